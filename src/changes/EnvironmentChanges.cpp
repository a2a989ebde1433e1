#include "EnvironmentChanges.h"
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

// Records a file's change from its present bytes to after, saving a copy of the present bytes.
void RecordFile(TChangeScope &scope, const std::string &path, const TFileState &after,
                const std::string *afterBytes = nullptr) {
  TChange change;
  change.Kind = TChangeKind::File;
  change.Path = path;
  change.FileAfter = after;
  if (afterBytes && IsPathListFile(path))
    change.AfterCopy = scope.Journal().SaveCopy(*afterBytes);
  if (Fs::FileExists(path)) {
    auto bytes = Fs::ReadWholeFile(path);
    if (!bytes)
      throw EFileError("Cannot open file \"" + path + "\". " + SystemErrorMessage(Fs::LastErrorCode()));
    change.FileBefore = FileStateOf(*bytes);
    change.Copy = scope.Journal().SaveCopy(*bytes);
  }
  scope.Journal().Record(change);
}

TFileState StateOfFile(const std::string &path) {
  auto bytes = Fs::FileExists(path) ? Fs::ReadWholeFile(path) : std::nullopt;
  return bytes ? FileStateOf(*bytes) : TFileState{};
}

void RecordValue(TChangeScope &scope, TRegistry &registry, const std::string &name,
                 const TValueState &after) {
  TChange change;
  change.Kind = TChangeKind::Value;
  change.Root = registry.RootKey();
  change.Key = registry.CurrentPath();
  change.Name = name;
  if (auto value = registry.ReadValue(name))
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
    Fs::ForceFolders(folder_);
    text = HeaderLine(header_);
  }
  text += ChangeLine(int(changes_.size()) + 1, change);
  if (!file_.Append(text))
    throw EFileError("Cannot write the journal \"" + path_ + "\". " +
                     SystemErrorMessage(Fs::LastErrorCode()));
  changes_.push_back(change);
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
  Fs::ForceFolders(folder_);
  std::string name = stem_ + "-" + std::to_string(copies_.size() + 1) + ".copy";
  // On disk before the file it saves is overwritten, as the record that names it.
  Fs::DeleteFile(folder_ + "\\" + name);
  if (!Fs::AppendToFileDurably(folder_ + "\\" + name, bytes))
    throw EFileError("Cannot write the journal's copy \"" + folder_ + "\\" + name + "\". " +
                     SystemErrorMessage(Fs::LastErrorCode()));
  copies_.emplace_back(hash, name);
  return name;
}

void TJournal::MarkState(const std::string &state) {
  if (!changes_.empty())
    file_.Append(StateLine(TJournalState{state, UtcTimeText()}));
  file_.Close(); // the journal's last line: an uninstall may append to it from here on
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
  if (TChangeScope *scope = BeforeChange(target)) {
    if (failIfExists && Fs::FileExists(target)) {
      Fs::SetLastErrorCode(Fs::ErrorFileExists);
      return false;
    }
    if (!Fs::FileExists(source))
      return Fs::CopyFile(source, target, failIfExists); // fails with the system's own error
    RecordFile(*scope, target, StateOfFile(source));
  }
  return Fs::CopyFile(source, target, failIfExists);
}

bool MoveFile(const std::string &source, const std::string &target) {
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::MoveFile(*plan, source, target);
  TChangeScope *sourceScope = BeforeChange(source), *targetScope = BeforeChange(target);
  if ((sourceScope || targetScope) && Fs::FileExists(source) && !Fs::FileExists(target)) {
    TFileState moved = StateOfFile(source);
    if (targetScope)
      RecordFile(*targetScope, target, moved);
    if (sourceScope)
      RecordFile(*sourceScope, source, TFileState{});
  }
  return Fs::MoveFile(source, target);
}

std::string ScratchCopyName(const std::string &path) {
  if (!TPlanScope::Current())
    return Fs::TemporaryNameBeside(path);
  return Fs::TemporaryNameBeside(Fs::TemporaryFolder() + "\\" + path.substr(path.find_last_of("\\/") + 1));
}

bool RenameOver(const std::string &source, const std::string &target) {
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::RenameOver(*plan, source, target);
  if (TChangeScope *scope = BeforeChange(target); scope && Fs::FileExists(source)) {
    auto bytes = Fs::ReadWholeFile(source);
    if (!bytes)
      throw EFileError("Cannot open file \"" + source + "\". " + SystemErrorMessage(Fs::LastErrorCode()));
    RecordFile(*scope, target, FileStateOf(*bytes), &*bytes);
  }
  return Fs::RenameOver(source, target);
}

bool DeleteFile(const std::string &path) {
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::DeleteFile(*plan, path);
  if (currentTurn && !currentTurn->Held() && !IsOwnPath(path) && Fs::FileExists(path)) {
    currentTurn->Defer(path);
    return true;
  }
  if (TChangeScope *scope = BeforeChange(path); scope && Fs::FileExists(path))
    RecordFile(*scope, path, TFileState{});
  return Fs::DeleteFile(path);
}

bool CreateFolder(const std::string &path) {
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::CreateFolder(*plan, path);
  if (TChangeScope *scope = BeforeChange(path); scope && !Fs::DirectoryExists(path)) {
    TChange change;
    change.Kind = TChangeKind::Folder;
    change.Path = path;
    scope->Journal().Record(change);
  }
  return Fs::CreateFolder(path);
}

void SaveLines(const std::string &path, const TStringList &lines) {
  std::string bytes = JoinLines(lines);
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::SaveLines(*plan, path, bytes);
  if (TChangeScope *scope = BeforeChange(path))
    RecordFile(*scope, path, FileStateOf(bytes), &bytes);
  if (!Fs::WriteWholeFile(path, bytes))
    throw EFileError("Cannot create file \"" + path + "\". " + SystemErrorMessage(Fs::LastErrorCode()));
}

bool OpenKey(TRegistry &registry, const std::string &key, bool canCreate) {
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::OpenKey(*plan, registry, key, canCreate);
  TChangeScope *scope = canCreate ? BeforeRegistryChange() : nullptr;
  if (scope && canCreate) {
    // Every missing level is recorded, the highest first, so that undoing newest first removes
    // the deepest first.
    TRegistry probe(registry.RootKey());
    std::string path = key.rfind("\\", 0) == 0 ? key.substr(1) : registry.CurrentPath() + "\\" + key;
    for (std::size_t end = 0; end != std::string::npos;) {
      end = path.find('\\', end + 1);
      std::string level = path.substr(0, end);
      if (!probe.KeyExists("\\" + level)) {
        TChange change;
        change.Kind = TChangeKind::Key;
        change.Root = registry.RootKey();
        change.Key = level;
        scope->Journal().Record(change);
      }
    }
  }
  return registry.OpenKey(key, canCreate);
}

void WriteValue(TRegistry &registry, const TRegValue &value) {
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::WriteValue(*plan, registry, value);
  if (TChangeScope *scope = BeforeRegistryChange())
    RecordValue(*scope, registry, value.Name, TValueState{true, value.Type, value.Data});
  registry.WriteValue(value);
}

void WriteString(TRegistry &registry, const std::string &name, const std::string &text) {
  WriteValue(registry, TRegValue{name, rdString, text});
}

bool DeleteValue(TRegistry &registry, const std::string &name) {
  if (TPlanScope *plan = TPlanScope::Current())
    return PlannedChanges::DeleteValue(*plan, registry, name);
  if (TChangeScope *scope = BeforeRegistryChange(); scope && registry.ValueExists(name))
    RecordValue(*scope, registry, name, TValueState{});
  return registry.DeleteValue(name);
}

} // namespace Changes
