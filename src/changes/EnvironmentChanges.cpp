#include "EnvironmentChanges.h"
#include "ChangeBatch.h"
#include "Plan.h"
#include "Undo.h"

#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Text.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

#ifndef ZEL_PROGRAM_VERSION
#define ZEL_PROGRAM_VERSION "7.0.0"
#endif

namespace {

std::mutex folderMutex;
std::string journalFolder;
thread_local TChangeScope *currentScope = nullptr;
thread_local TChangeTurn *currentTurn = nullptr;
std::function<void(int)> recordedHook;

std::string UtcTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &now);
#else
  gmtime_r(&now, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

// Journal names sort by the time they were begun, to the millisecond, then by a counter.
std::string NewJournalStem() {
  static std::atomic<unsigned> counter{0};
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::system_clock::now().time_since_epoch())
                .count();
  std::string token = Fs::TemporaryNameBeside(""); // ".<token>.zeltmp": unique to this process and call
  token = token.substr(1, token.find('.', 1) - 1);
  char stem[64];
  std::snprintf(stem, sizeof stem, "%015lld-%04u-", static_cast<long long>(ms), counter.fetch_add(1) % 10000);
  return stem + token;
}

bool IsOwnPath(const std::string &path) {
  TChangeScope *scope = TChangeScope::Current();
  return scope && scope->IsOwnPath(path);
}

// The journal of a change of path: none for a path in the scope's own folders. A change outside
// them waits for the environment's turn first.
TChangeScope *BeforeChange(const std::string &path) {
  if (IsOwnPath(path))
    return nullptr;
  Changes::AwaitTurn();
  return TChangeScope::Current();
}

// The same for a registry change, which is never inside the scope's folders.
TChangeScope *BeforeRegistryChange() {
  Changes::AwaitTurn();
  return TChangeScope::Current();
}

// The batch that notes a change journalled in scope (none: the change is made at once).
TChangeBatch *BatchOf(const TChangeScope *scope) {
  return scope ? TChangeBatch::Current() : nullptr;
}

// A noted change that fails when it is made: what it was, and the system's reason.
[[noreturn]] void RaiseNotMade(const std::string &what) {
  throw EFileError(what + " " + SystemErrorMessage(Fs::LastErrorCode()));
}

// A file's bytes as the step's earlier changes leave it (nothing when it is missing or cannot be
// read).
std::optional<std::string> PresentBytes(const std::string &path) {
  if (TPlanScope *overlay = ChangeOverlay())
    return overlay->FileBytes(path);
  return Fs::ReadWholeFile(path);
}

// The file a change is about to touch, as the step's earlier changes leave it: one look at the
// disk, and its bytes when there is a file (a missing name costs a lookup, which on POSIX and under
// Wine scans the folder: one look is all a change takes).
struct TPresentFile {
  Fs::TPathAttributes Disk;
  std::optional<std::string> Bytes;
  bool Exists() const { return Bytes.has_value(); }
};

TPresentFile LookAt(const std::string &path) {
  TPresentFile file{Fs::PathAttributes(path), std::nullopt};
  TPlanScope *overlay = ChangeOverlay();
  if (overlay && overlay->NotesFile(path)) {
    file.Bytes = overlay->FileBytes(path);
  } else if (file.Disk.Exists && !file.Disk.IsDirectory) {
    file.Bytes = Fs::ReadWholeFile(path);
    if (!file.Bytes)
      throw EFileError("Cannot open file \"" + path + "\". " + SystemErrorMessage(Fs::LastErrorCode()));
  }
  return file;
}

// Why writing the file would fail now (0: it would not): its folder missing, a folder in its place,
// or a read-only file. A batch asks before it notes a write, so that the step fails where it would
// without a batch.
std::uint32_t WriteRefusal(const std::string &path, const TPresentFile &file) {
  if (file.Disk.IsDirectory || file.Disk.IsReadOnly)
    return Fs::ErrorAccessDenied;
  if (!file.Disk.Exists && !FolderOf(path).empty() && !Changes::DirectoryExists(FolderOf(path)))
    return Fs::ErrorPathNotFound;
  return 0;
}

// Records a file's change from its present bytes to after, saving a copy of the present bytes.
void RecordFile(TChangeScope &scope, const std::string &path, const TPresentFile &present,
                const TFileState &after, const std::string *afterBytes = nullptr) {
  TChange change;
  change.Kind = TChangeKind::File;
  change.Path = path;
  change.FileAfter = after;
  if (afterBytes && IsPathListFile(path))
    change.AfterCopy = scope.Journal().SaveCopy(*afterBytes);
  if (present.Bytes) {
    change.FileBefore = FileStateOf(*present.Bytes);
    // A file written with the bytes it holds (a reinstall's runtime packages) needs no copy: undoing
    // it has nothing to put back. A file of path lists keeps its copy, which a merge reads.
    if (change.FileBefore != after || IsPathListFile(path))
      change.Copy = scope.Journal().SaveCopy(*present.Bytes);
  }
  scope.Journal().Record(change);
}

// The key open on registry, or noted as open by the batch (which has not made it yet).
std::string OpenKeyPath(const TRegistry &registry) {
  TPlanScope *overlay = ChangeOverlay();
  return overlay ? overlay->OpenKeyPath(registry) : registry.CurrentPath();
}

// The key that OpenKey(key) opens on registry, without the leading "\".
std::string KeyToOpen(const TRegistry &registry, const std::string &key) {
  std::string path = key.rfind("\\", 0) == 0         ? key.substr(1)
                     : OpenKeyPath(registry).empty() ? key
                                                     : OpenKeyPath(registry) + "\\" + key;
  while (!path.empty() && path.back() == '\\')
    path.pop_back();
  return path;
}

// Whether the key exists as the step's earlier changes leave the registry.
bool KeyExistsNoted(TRootKey root, const std::string &key) {
  if (TPlanScope *overlay = ChangeOverlay())
    return overlay->KeyExists(root, key);
  return TRegistry(root).KeyExists("\\" + key);
}

// Notes a change of a value of the key open on registry (or noted as open), for the batch to make
// in the key it opens for its changes; failure: the error raised when the key or the change fails.
void NoteValueChange(TChangeBatch &batch, const TRegistry &registry, const std::string &failure,
                     std::function<bool(TRegistry &key)> change) {
  batch.Note([&batch, root = registry.RootKey(), path = OpenKeyPath(registry), failure, change] {
    TRegistry *key = batch.KeyForChanges(root, path);
    if (!key || !change(*key))
      throw ERegistryException(failure);
  });
}

void RecordValue(TChangeScope &scope, TRegistry &registry, const std::string &name,
                 const TValueState &after) {
  TChange change;
  change.Kind = TChangeKind::Value;
  change.Root = registry.RootKey();
  change.Key = OpenKeyPath(registry);
  change.Name = name;
  if (auto value = Changes::ReadValue(registry, name))
    change.Before = TValueState{true, value->Type, value->Data};
  change.After = after;
  scope.Journal().Record(change);
}

} // namespace

std::string JournalFolder() {
  std::lock_guard lock(folderMutex);
  if (journalFolder.empty())
    return Fs::LocalAppDataFolder() + "\\ZelRecompile\\Journal";
  return journalFolder;
}

void SetJournalFolder(const std::string &folder) {
  std::lock_guard lock(folderMutex);
  journalFolder = folder;
}

TJournal::TJournal(std::string folder, TJournalHeader header)
    : folder_(std::move(folder)), stem_(NewJournalStem()), path_(folder_ + "\\" + stem_ + ".journal"),
      file_(path_), header_(std::move(header)) {}

void TJournal::Record(const TChange &change) {
  std::string text;
  if (changes_.empty()) {
    EnsureFolder();
    text = HeaderLine(header_);
  }
  text += ChangeLine(int(changes_.size()) + 1, change);
  changes_.push_back(change);
  if (grouping_) {
    heldText_ += text;
    return;
  }
  if (!file_.Append(text)) {
    changes_.pop_back();
    throw EFileError("Cannot write the journal \"" + path_ + "\". " +
                     SystemErrorMessage(Fs::LastErrorCode()));
  }
  if (recordedHook)
    recordedHook(int(changes_.size()));
}

void TJournal::SetRecordedHook(std::function<void(int record)> hook) {
  recordedHook = std::move(hook);
}

std::string TJournal::SaveCopy(const std::string &bytes) {
  std::uint64_t hash = ContentHash(bytes);
  for (const auto &[savedHash, name] : copies_)
    if (savedHash == hash)
      return name;
  std::string name = stem_ + "-" + std::to_string(++copiesNamed_) + ".copy";
  if (grouping_)
    heldCopies_.emplace_back(name, bytes);
  else
    WriteCopy(name, bytes);
  copies_.emplace_back(hash, name);
  return name;
}

// On disk before the file it saves is changed, as the record that names it. Names are never used
// twice, also after a discarded group.
void TJournal::WriteCopy(const std::string &name, const std::string &bytes) {
  EnsureFolder();
  if (!Fs::AppendToFileDurably(folder_ + "\\" + name, bytes))
    throw EFileError("Cannot write the journal's copy \"" + folder_ + "\\" + name + "\". " +
                     SystemErrorMessage(Fs::LastErrorCode()));
}

void TJournal::EnsureFolder() {
  if (!folderMade_)
    folderMade_ = Fs::ForceFolders(folder_);
}

void TJournal::MarkState(const std::string &state) {
  // No change waits for the state line: a journal whose line is lost in a crash reads as open, and
  // an uninstall replays open journals too.
  if (!changes_.empty())
    file_.Append(StateLine(TJournalState{state, UtcTimeText()}), Fs::TDurableFile::TFlush::Later);
  file_.Close(); // the journal's last line: an uninstall may append to it from here on
}

void TJournal::BeginGroup() {
  grouping_ = true;
  heldFrom_ = changes_.size();
}

namespace {
// Flushes the files side by side, each on a thread of its own but the last: a disk serves flushes
// that come together for little more than the price of one. Raises EFileError naming a file that
// could not be flushed.
void FlushTogether(const std::vector<Fs::TDurableFile *> &files) {
  std::vector<std::uint32_t> errors(files.size(), 0);
  auto flush = [&](std::size_t i) {
    if (!files[i]->Flush())
      errors[i] = Fs::LastErrorCode() ? Fs::LastErrorCode() : Fs::ErrorAccessDenied;
  };
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i + 1 < files.size(); ++i)
    threads.emplace_back(flush, i);
  if (!files.empty())
    flush(files.size() - 1);
  for (auto &thread : threads)
    thread.join();
  for (std::size_t i = 0; i < files.size(); ++i)
    if (errors[i])
      throw EFileError("Cannot write the journal \"" + files[i]->Path() + "\". " +
                       SystemErrorMessage(errors[i]));
}
} // namespace

void TJournal::CommitGroup() {
  // The held copies and records are written first and flushed together.
  std::vector<std::unique_ptr<Fs::TDurableFile>> copies;
  std::vector<Fs::TDurableFile *> written;
  auto failed = [](const std::string &path) {
    return EFileError("Cannot write the journal \"" + path + "\". " +
                      SystemErrorMessage(Fs::LastErrorCode()));
  };
  for (const auto &[name, bytes] : heldCopies_) {
    EnsureFolder();
    copies.push_back(std::make_unique<Fs::TDurableFile>(folder_ + "\\" + name));
    if (!copies.back()->Append(bytes, Fs::TDurableFile::TFlush::Later))
      throw failed(copies.back()->Path());
    written.push_back(copies.back().get());
  }
  if (!heldText_.empty()) {
    if (!file_.Append(heldText_, Fs::TDurableFile::TFlush::Later))
      throw failed(path_);
    written.push_back(&file_);
  }
  FlushTogether(written);
  heldCopies_.clear();
  heldText_.clear();
  std::size_t from = heldFrom_;
  heldFrom_ = changes_.size();
  if (recordedHook)
    for (std::size_t record = from + 1; record <= changes_.size(); ++record)
      recordedHook(int(record));
}

void TJournal::DiscardGroup() {
  for (const auto &held : heldCopies_)
    std::erase_if(copies_, [&](const auto &copy) { return copy.second == held.first; });
  heldCopies_.clear();
  heldText_.clear();
  changes_.resize(heldFrom_);
  grouping_ = false;
}

TChangeScope::TChangeScope(const std::string &environment, const std::string &key,
                           std::vector<std::string> ownFolders)
    : journal_(JournalFolder(), TJournalHeader{1, ZEL_PROGRAM_VERSION, UtcTimeText(), environment, key}),
      outer_(currentScope) {
  for (auto &folder : ownFolders)
    if (!folder.empty())
      ownFolders_.push_back(ComparableName(folder) + "\\");
  currentScope = this;
}

TChangeScope::~TChangeScope() {
  currentScope = outer_;
}

TChangeScope *TChangeScope::Current() {
  return currentScope;
}

bool TChangeScope::IsOwnPath(const std::string &path) const {
  std::string normal = ComparableName(path) + "\\";
  for (const auto &folder : ownFolders_)
    if (normal.compare(0, folder.size(), folder) == 0)
      return true;
  return false;
}

void TChangeScope::Commit() {
  journal_.MarkState("done");
}

TUndoReport TChangeScope::Rollback() {
  // Undoing writes the registry and files back directly: it must not journal itself.
  TChangeScope *saved = currentScope;
  currentScope = nullptr;
  TUndoReport report = UndoChanges(journal_.Changes(), journal_.Folder());
  currentScope = saved;
  journal_.MarkState("rolledBack");
  RemoveJournalCopies(journal_.Folder(), journal_.Changes());
  return report;
}

TChangeTurns::TChangeTurns(int count) : done_(std::size_t(count), false) {}

void TChangeTurns::Await(int position, const std::function<void()> &waiting) {
  std::unique_lock lock(mutex_);
  auto due = [&] {
    for (int i = 0; i < position; ++i)
      if (!done_[std::size_t(i)])
        return false;
    return true;
  };
  if (due())
    return;
  if (waiting) {
    lock.unlock();
    waiting();
    lock.lock();
  }
  changed_.wait(lock, due);
}

void TChangeTurns::Done(int position) {
  {
    std::lock_guard lock(mutex_);
    done_[std::size_t(position)] = true;
  }
  changed_.notify_all();
}

TChangeTurn::TChangeTurn(TChangeTurns &turns, int position, std::function<void()> waiting)
    : turns_(turns), position_(position), waiting_(std::move(waiting)) {
  currentTurn = this;
}

TChangeTurn::~TChangeTurn() {
  currentTurn = nullptr;
  turns_.Done(position_); // deletions still noted are dropped: an environment that failed makes none
}

void TChangeTurn::Await() {
  if (held_)
    return;
  turns_.Await(position_, waiting_);
  held_ = true;
  std::vector<std::string> deletions;
  deletions.swap(deferred_);
  for (const auto &path : deletions)
    if (Fs::FileExists(path) && !Changes::DeleteFile(path))
      throw Exception("Error deleting file: " + path);
}

TChangeTurn *TChangeTurn::Current() {
  return currentTurn;
}

TStringList UndoReportLines(const TUndoReport &report, const std::string &verb) {
  TStringList lines{std::to_string(report.Undone) + (report.Undone == 1 ? " change " : " changes ") + verb +
                    "."};
  for (const auto &subject : report.ChangedSince)
    lines.push_back("changed since install: " + subject);
  for (const auto &failure : report.Failed)
    lines.push_back("could not be undone: " + failure);
  return lines;
}

namespace Changes {

void AwaitTurn() {
  if (currentTurn)
    currentTurn->Await();
}

bool CopyFile(const std::string &source, const std::string &target, bool failIfExists) {
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::CopyFile(*plan, source, target, failIfExists);
  TChangeScope *scope = BeforeChange(target);
  if (!scope)
    return Fs::CopyFile(source, target, failIfExists);
  TChangeBatch *batch = BatchOf(scope);
  TPresentFile present = LookAt(target);
  if (failIfExists && present.Exists())
    return RefuseChange(Fs::ErrorFileExists);
  auto bytes = PresentBytes(source);
  if (!bytes)
    return batch ? RefuseChange(Fs::ErrorFileNotFound)
                 : Fs::CopyFile(source, target, failIfExists); // fails with the system's own error
  if (batch)
    if (std::uint32_t refusal = WriteRefusal(target, present))
      return RefuseChange(refusal);
  RecordFile(*scope, target, present, FileStateOf(*bytes));
  if (!batch)
    return Fs::CopyFile(source, target, failIfExists);
  batch->Overlay().PlanFile(target, true, bytes);
  batch->Note([=] {
    if (!Fs::CopyFile(source, target, failIfExists))
      RaiseNotMade("Cannot copy file \"" + source + "\" to \"" + target + "\".");
  });
  return true;
}

bool MoveFile(const std::string &source, const std::string &target) {
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::MoveFile(*plan, source, target);
  TChangeScope *sourceScope = BeforeChange(source), *targetScope = BeforeChange(target);
  if (!sourceScope && !targetScope)
    return Fs::MoveFile(source, target);
  TChangeBatch *batch = BatchOf(sourceScope ? sourceScope : targetScope);
  TPresentFile moved = LookAt(source), replaced = LookAt(target);
  if (batch) {
    if (!moved.Exists())
      return RefuseChange(Fs::ErrorFileNotFound);
    if (replaced.Exists() || replaced.Disk.IsDirectory)
      return RefuseChange(Fs::ErrorAlreadyExists);
    if (std::uint32_t refusal = WriteRefusal(target, replaced))
      return RefuseChange(refusal);
  }
  if (moved.Exists() && !replaced.Exists()) {
    if (targetScope)
      RecordFile(*targetScope, target, replaced, FileStateOf(*moved.Bytes));
    if (sourceScope)
      RecordFile(*sourceScope, source, moved, TFileState{});
  }
  if (!batch)
    return Fs::MoveFile(source, target);
  batch->Overlay().PlanMove(source, target);
  batch->Note([=] {
    if (!Fs::MoveFile(source, target))
      RaiseNotMade("Cannot move file \"" + source + "\" to \"" + target + "\".");
  });
  return true;
}

std::string ScratchCopyName(const std::string &path) {
  if (!TPlanScope::Current())
    return Fs::TemporaryNameBeside(path);
  return Fs::TemporaryNameBeside(Fs::TemporaryFolder() + "\\" + path.substr(path.find_last_of("\\/") + 1));
}

bool RenameOver(const std::string &source, const std::string &target) {
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::RenameOver(*plan, source, target);
  TChangeScope *scope = BeforeChange(target);
  if (!scope)
    return Fs::RenameOver(source, target);
  auto bytes = Fs::ReadWholeFile(source); // the caller's own copy
  if (!bytes && Fs::FileExists(source))
    throw EFileError("Cannot open file \"" + source + "\". " + SystemErrorMessage(Fs::LastErrorCode()));
  if (!bytes)
    return Fs::RenameOver(source, target); // fails with the system's own error
  TChangeBatch *batch = BatchOf(scope);
  TPresentFile present = LookAt(target);
  if (batch)
    if (std::uint32_t refusal = WriteRefusal(target, present))
      return RefuseChange(refusal);
  RecordFile(*scope, target, present, FileStateOf(*bytes), &*bytes);
  if (!batch)
    return Fs::RenameOver(source, target);
  batch->Overlay().PlanFile(target, true, bytes);
  batch->Note(
      [=] {
        if (!Fs::RenameOver(source, target))
          RaiseNotMade("Cannot create file \"" + target + "\".");
      },
      source);
  return true;
}

bool DeleteFile(const std::string &path) {
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::DeleteFile(*plan, path);
  if (currentTurn && !currentTurn->Held() && !IsOwnPath(path) && Fs::FileExists(path)) {
    currentTurn->Defer(path);
    return true;
  }
  TChangeScope *scope = BeforeChange(path);
  if (!scope)
    return Fs::DeleteFile(path);
  TChangeBatch *batch = BatchOf(scope);
  TPresentFile present = LookAt(path);
  if (batch) {
    if (!present.Exists())
      return RefuseChange(Fs::ErrorFileNotFound);
    if (std::uint32_t refusal = WriteRefusal(path, present))
      return RefuseChange(refusal);
  }
  if (present.Exists())
    RecordFile(*scope, path, present, TFileState{});
  if (!batch)
    return Fs::DeleteFile(path);
  batch->Overlay().PlanFile(path, false, std::nullopt);
  batch->Note([=] {
    if (!Fs::DeleteFile(path))
      RaiseNotMade("Cannot delete file \"" + path + "\".");
  });
  return true;
}

bool CreateFolder(const std::string &path) {
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::CreateFolder(*plan, path);
  TChangeScope *scope = BeforeChange(path);
  TChangeBatch *batch = BatchOf(scope);
  if (batch && (Changes::DirectoryExists(path) || Changes::FileExists(path)))
    return RefuseChange(Fs::ErrorAlreadyExists);
  if (scope && !Changes::DirectoryExists(path)) {
    TChange change;
    change.Kind = TChangeKind::Folder;
    change.Path = path;
    scope->Journal().Record(change);
  }
  if (!batch)
    return Fs::CreateFolder(path);
  batch->Overlay().PlanFolder(path);
  batch->Note([=] {
    if (!Fs::CreateFolder(path))
      RaiseNotMade("Cannot create folder \"" + path + "\".");
  });
  return true;
}

void SaveLines(const std::string &path, const TStringList &lines) {
  std::string bytes = JoinLines(lines);
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::SaveLines(*plan, path, bytes);
  const std::string failure = "Cannot create file \"" + path + "\".";
  TChangeScope *scope = BeforeChange(path);
  TChangeBatch *batch = BatchOf(scope);
  if (scope) {
    TPresentFile present = LookAt(path);
    if (batch)
      if (std::uint32_t refusal = WriteRefusal(path, present)) {
        Fs::SetLastErrorCode(refusal);
        RaiseNotMade(failure);
      }
    RecordFile(*scope, path, present, FileStateOf(bytes), &bytes);
  }
  if (batch) {
    batch->Overlay().PlanFile(path, true, bytes);
    batch->Note([=] {
      if (!Fs::WriteWholeFile(path, bytes))
        RaiseNotMade(failure);
    });
  } else if (!Fs::WriteWholeFile(path, bytes)) {
    RaiseNotMade(failure);
  }
}

bool OpenKey(TRegistry &registry, const std::string &key, bool canCreate) {
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::OpenKey(*plan, registry, key, canCreate);
  TChangeScope *scope = canCreate ? BeforeRegistryChange() : nullptr;
  TChangeBatch *batch = TChangeBatch::Current();
  const TRootKey root = registry.RootKey();
  const std::string path = KeyToOpen(registry, key);
  const bool existed = KeyExistsNoted(root, path);
  if (scope && !existed) {
    // Every missing level is recorded, the highest first, so that undoing newest first removes
    // the deepest first.
    for (std::size_t end = 0; end != std::string::npos;) {
      end = path.find('\\', end + 1);
      std::string level = path.substr(0, end);
      if (!KeyExistsNoted(root, level)) {
        TChange change;
        change.Kind = TChangeKind::Key;
        change.Root = root;
        change.Key = level;
        scope->Journal().Record(change);
      }
    }
  }
  if (!batch)
    return registry.OpenKey(key, canCreate);
  if (!PlannedChanges::OpenKey(batch->Overlay(), registry, key, canCreate))
    return false;
  if (!existed)
    batch->Note([=] {
      TRegistry created(root);
      if (!created.OpenKey("\\" + path, true))
        throw ERegistryException("Failed to create key " + path);
    });
  return true;
}

void WriteValue(TRegistry &registry, const TRegValue &value) {
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::WriteValue(*plan, registry, value);
  TChangeScope *scope = BeforeRegistryChange();
  TChangeBatch *batch = BatchOf(scope);
  const std::string failure = "Failed to set data for '" + value.Name + "'";
  if (batch && !registry.HasOpenKey() && OpenKeyPath(registry).empty())
    throw ERegistryException(failure);
  if (scope)
    RecordValue(*scope, registry, value.Name, TValueState{true, value.Type, value.Data});
  if (!batch)
    return registry.WriteValue(value);
  PlannedChanges::WriteValue(batch->Overlay(), registry, value);
  NoteValueChange(*batch, registry, failure, [value](TRegistry &key) {
    key.WriteValue(value);
    return true;
  });
}

void WriteString(TRegistry &registry, const std::string &name, const std::string &text) {
  WriteValue(registry, TRegValue{name, rdString, text});
}

bool DeleteValue(TRegistry &registry, const std::string &name) {
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::DeleteValue(*plan, registry, name);
  TChangeScope *scope = BeforeRegistryChange();
  TChangeBatch *batch = BatchOf(scope);
  if (!Changes::ValueExists(registry, name))
    return batch ? false : registry.DeleteValue(name);
  if (scope)
    RecordValue(*scope, registry, name, TValueState{});
  if (!batch)
    return registry.DeleteValue(name);
  PlannedChanges::DeleteValue(batch->Overlay(), registry, name);
  NoteValueChange(*batch, registry, "Cannot delete registry: " + name,
                  [name](TRegistry &key) { return key.DeleteValue(name); });
  return true;
}

} // namespace Changes
