#include "Plan.h"

#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Text.h"

#include <cctype>

namespace {

thread_local TPlanScope *currentPlan = nullptr;

std::string KeyName(TRootKey root, const std::string &key) {
  return RootKeyName(root) + "\\" + key;
}

} // namespace

std::string PlannedFileActionName(TPlannedFileAction action) {
  switch (action) {
  case TPlannedFileAction::Create:
    return "create";
  case TPlannedFileAction::Overwrite:
    return "overwrite";
  case TPlannedFileAction::Move:
    return "move";
  case TPlannedFileAction::Delete:
    return "delete";
  }
  return {};
}

TPlanScope::TPlanScope() : outer_(currentPlan) {
  environments_.emplace_back(); // the run's own entries
  currentPlan = this;
}

TPlanScope::TPlanScope(TOverlayOnly) : outer_(nullptr), current_(false) {
  environments_.emplace_back();
}

TPlanScope::~TPlanScope() {
  if (current_)
    currentPlan = outer_;
}

TPlanScope *TPlanScope::Current() {
  return currentPlan;
}

void TPlanScope::BeginEnvironment(const std::string &name, int index) {
  environments_.emplace_back();
  Entries().Name = name;
  Entries().Index = index;
}

std::vector<TEnvironmentPlan> TPlanScope::Environments() const {
  std::vector<TEnvironmentPlan> plans;
  for (const auto &entries : environments_) {
    TEnvironmentPlan plan;
    plan.Name = entries.Name;
    plan.Index = entries.Index;
    plan.Commands = entries.Commands;
    plan.Questions = entries.Questions;
    for (const auto &file : entries.Files) {
      TPlannedFile planned{file.Path, TPlannedFileAction::Create, {}, file.AfterUnknown ? file.Unknown : ""};
      if (file.Before.Exists && !file.After.Exists) {
        planned.Action = file.MovedTo.empty() ? TPlannedFileAction::Delete : TPlannedFileAction::Move;
        planned.To = file.MovedTo;
      } else if (file.Before.Exists) {
        if (file.Before == file.After && !file.AfterUnknown)
          continue; // written with the bytes it held
        planned.Action = TPlannedFileAction::Overwrite;
      } else if (!file.After.Exists) {
        continue; // made and gone again within the run
      }
      plan.Files.push_back(planned);
    }
    for (const auto &value : entries.Values)
      if (value.Before != value.After)
        plan.Registry.push_back(
            TPlannedValue{KeyName(value.Root, value.Key), value.Name, value.Before, value.After});
    if (plan.Index >= 0 || !plan.Files.empty() || !plan.Registry.empty() || !plan.Commands.empty() ||
        !plan.Questions.empty())
      plans.push_back(std::move(plan));
  }
  return plans;
}

bool TPlanScope::FileExists(const std::string &path) const {
  auto found = files_.find(ComparableName(path));
  return found != files_.end() ? found->second.State.Exists : Fs::FileExists(path);
}

bool TPlanScope::DirectoryExists(const std::string &path) const {
  return folders_.count(ComparableName(path)) != 0 || Fs::DirectoryExists(path);
}

TFileState TPlanScope::FileState(const std::string &path) const {
  auto found = files_.find(ComparableName(path));
  return found != files_.end() ? found->second.State : CurrentFileState(path);
}

std::optional<std::string> TPlanScope::FileBytes(const std::string &path) const {
  auto found = files_.find(ComparableName(path));
  if (found != files_.end())
    return found->second.State.Exists ? found->second.Bytes : std::nullopt;
  return Fs::ReadWholeFile(path); // nothing for a missing file, or a folder
}

TPlanScope::TFileEntry &TPlanScope::FileEntry(const std::string &path) {
  std::string normal = ComparableName(path);
  for (auto &entry : Entries().Files)
    if (ComparableName(entry.Path) == normal)
      return entry;
  TFileEntry entry;
  entry.Path = path;
  entry.Before = entry.After = FileState(path);
  auto found = files_.find(normal);
  entry.AfterUnknown = found != files_.end() && found->second.State.Exists && !found->second.Bytes;
  Entries().Files.push_back(entry);
  return Entries().Files.back();
}

void TPlanScope::PlanFile(const std::string &path, bool exists, const std::optional<std::string> &bytes,
                          const std::string &unknown) {
  TFileEntry &entry = FileEntry(path);
  TFileNow now{path, {}, exists ? bytes : std::nullopt, exists && !bytes ? unknown : ""};
  if (exists)
    now.State = bytes ? FileStateOf(*bytes) : TFileState{true, 0, 0};
  entry.After = now.State;
  entry.AfterUnknown = exists && !bytes;
  entry.Unknown = now.Unknown;
  entry.MovedTo.clear();
  files_[ComparableName(path)] = std::move(now);
}

void TPlanScope::PlanMove(const std::string &source, const std::string &target) {
  auto found = files_.find(ComparableName(source));
  TFileNow moved = found != files_.end() ? found->second : TFileNow{source, CurrentFileState(source), {}, {}};
  if (found == files_.end() && moved.State.Exists)
    moved.Bytes = Fs::ReadWholeFile(source);
  std::string unknown =
      moved.Unknown.empty() ? "the bytes of " + source + " when the run moves it" : moved.Unknown;
  FileEntry(source); // listed before its target, as the move reads
  PlanFile(target, true, moved.Bytes, moved.Bytes ? std::string() : unknown);
  if (auto description = Description(source))
    PlanDescription(target, *description);
  PlanFile(source, false, std::nullopt);
  FileEntry(source).MovedTo = target;
}

namespace {
// "*" and "?" as Windows matches file names, without regard to case; "*.*" matches every name.
bool MatchesMask(const char *mask, const char *name) {
  if (std::string(mask) == "*.*")
    return true;
  for (; *mask; ++mask, ++name) {
    if (*mask == '*') {
      for (const char *rest = name;; ++rest) {
        if (MatchesMask(mask + 1, rest))
          return true;
        if (!*rest)
          return false;
      }
    }
    if (!*name || (*mask != '?' && std::toupper(static_cast<unsigned char>(*mask)) !=
                                       std::toupper(static_cast<unsigned char>(*name))))
      return false;
  }
  return !*name;
}
} // namespace

// Windows matches a mask against a file's short name too, whose extension is the long one's first
// three letters: "*.dcu" finds "ZelPenDlg.dcuil". The plan finds what the system would.
bool MatchesShortExtension(const std::string &pattern, const std::string &name) {
#ifdef _WIN32
  if (pattern.size() != 5 || pattern.compare(0, 2, "*.") != 0 ||
      pattern.find_first_of("*?", 2) != std::string::npos)
    return false;
  std::size_t dot = name.find_last_of('.');
  return dot != std::string::npos && name.size() - dot > 4 && name.compare(dot, 4, pattern.substr(1)) == 0;
#else
  return false; // the POSIX layer matches long names only
#endif
}

std::vector<std::string> TPlanScope::FilesMatching(const std::string &mask,
                                                   std::vector<std::string> found) const {
  std::string normalMask = ComparableName(mask);
  std::size_t slash = normalMask.find_last_of('\\');
  std::string folder = slash == std::string::npos ? std::string() : normalMask.substr(0, slash + 1);
  std::string pattern = normalMask.substr(folder.size());
  for (const auto &[path, now] : files_) {
    if (path.size() <= folder.size() || path.compare(0, folder.size(), folder) != 0 ||
        path.find('\\', folder.size()) != std::string::npos ||
        !(MatchesMask(pattern.c_str(), path.c_str() + folder.size()) ||
          MatchesShortExtension(pattern, path.substr(folder.size()))))
      continue;
    std::string name = now.Path.substr(now.Path.find_last_of("\\/") + 1);
    std::erase_if(found, [&](const std::string &other) { return UpperCase(other) == UpperCase(name); });
    if (now.State.Exists)
      found.push_back(name);
  }
  return found;
}

void TPlanScope::PlanDescription(const std::string &path, const std::string &description) {
  descriptions_[ComparableName(path)] = description;
}

std::optional<std::string> TPlanScope::Description(const std::string &path) const {
  auto found = descriptions_.find(ComparableName(path));
  if (found == descriptions_.end() || !FileExists(path))
    return std::nullopt;
  return found->second;
}

void TPlanScope::PlanFolder(const std::string &path) {
  folders_[ComparableName(path)] = true;
}

std::string TPlanScope::ValueSubject(TRootKey root, const std::string &key, const std::string &name) {
  return UpperCase(KeyName(root, key)) + "\\\\" + UpperCase(name); // "\\": a name may hold "\"
}

std::optional<TValueState> TPlanScope::PlannedValue(TRootKey root, const std::string &key,
                                                    const std::string &name) const {
  auto found = values_.find(ValueSubject(root, key, name));
  if (found == values_.end())
    return std::nullopt;
  return found->second.After;
}

TValueState TPlanScope::ValueState(TRootKey root, const std::string &key, const std::string &name) const {
  if (auto planned = PlannedValue(root, key, name))
    return *planned;
  return CurrentValueState(root, key, name);
}

std::map<std::string, bool> TPlanScope::PlannedValueNames(TRootKey root, const std::string &key) const {
  std::map<std::string, bool> names;
  std::string upper = UpperCase(key);
  for (const auto &[subject, value] : values_)
    if (value.Root == root && UpperCase(value.Key) == upper)
      names[value.Name] = value.After.Exists;
  return names;
}

void TPlanScope::PlanValue(TRootKey root, const std::string &key, const std::string &name,
                           const TValueState &after) {
  std::string subject = ValueSubject(root, key, name);
  TValueEntry *entry = nullptr;
  for (auto &value : Entries().Values)
    if (ValueSubject(value.Root, value.Key, value.Name) == subject)
      entry = &value;
  if (!entry) {
    Entries().Values.push_back(TValueEntry{root, key, name, ValueState(root, key, name), {}});
    entry = &Entries().Values.back();
  }
  entry->After = after;
  values_[subject] = TValueEntry{root, key, name, {}, after};
}

bool TPlanScope::KeyExists(TRootKey root, const std::string &key) const {
  if (keys_.count(UpperCase(KeyName(root, key))))
    return true;
  TRegistry registry(root);
  return registry.KeyExists("\\" + key);
}

void TPlanScope::PlanKey(TRootKey root, const std::string &key) {
  keys_[UpperCase(KeyName(root, key))] = true;
}

std::string TPlanScope::OpenKeyPath(const TRegistry &registry) const {
  if (!registry.HasOpenKey())
    if (auto found = plannedOpenKeys_.find(&registry); found != plannedOpenKeys_.end())
      return found->second;
  return registry.CurrentPath();
}

void TPlanScope::OpenPlannedKey(TRegistry &registry, const std::string &path) {
  registry.CloseKey();
  plannedOpenKeys_[&registry] = path;
}

std::string TPlanScope::FileUnknown(const std::string &path) const {
  auto found = files_.find(ComparableName(path));
  return found == files_.end() ? std::string() : found->second.Unknown;
}

void TPlanScope::PlanCommand(const std::string &folder, const std::string &commandLine) {
  Entries().Commands.push_back(TPlannedCommand{folder, commandLine});
}

void TPlanScope::PlanQuestion(const std::string &text, bool answer) {
  Entries().Questions.push_back(TPlannedQuestion{text, answer});
}

void TPlanScope::AppendJournalText(const std::string &path, const std::string &text) {
  journalText_[ComparableName(path)] += text;
}

std::string TPlanScope::JournalText(const std::string &path) const {
  auto found = journalText_.find(ComparableName(path));
  return found == journalText_.end() ? std::string() : found->second;
}

namespace PlannedChanges {

bool CopyFile(TPlanScope &plan, const std::string &source, const std::string &target, bool failIfExists) {
  if (!plan.FileExists(source))
    return RefuseChange(Fs::ErrorFileNotFound);
  if (failIfExists && plan.FileExists(target))
    return RefuseChange(Fs::ErrorFileExists);
  if (!FolderOf(target).empty() && !plan.DirectoryExists(FolderOf(target)))
    return RefuseChange(Fs::ErrorPathNotFound);
  auto bytes = plan.FileBytes(source);
  plan.PlanFile(target, true, bytes, plan.FileUnknown(source));
  if (auto description = plan.Description(source))
    plan.PlanDescription(target, *description);
  return true;
}

bool MoveFile(TPlanScope &plan, const std::string &source, const std::string &target) {
  if (!plan.FileExists(source))
    return RefuseChange(Fs::ErrorFileNotFound);
  if (plan.FileExists(target))
    return RefuseChange(Fs::ErrorAlreadyExists);
  if (!FolderOf(target).empty() && !plan.DirectoryExists(FolderOf(target)))
    return RefuseChange(Fs::ErrorPathNotFound);
  plan.PlanMove(source, target);
  return true;
}

bool RenameOver(TPlanScope &plan, const std::string &source, const std::string &target) {
  if (!plan.FileExists(source))
    return RefuseChange(Fs::ErrorFileNotFound);
  plan.PlanFile(target, true, plan.FileBytes(source), plan.FileUnknown(source));
  // The source is the caller's own copy, made beside the target to be renamed over it: the plan
  // leaves no such copy behind.
  if (Fs::FileExists(source))
    Fs::DeleteFile(source);
  else
    plan.PlanFile(source, false, std::nullopt);
  return true;
}

bool DeleteFile(TPlanScope &plan, const std::string &path) {
  if (!plan.FileExists(path))
    return RefuseChange(Fs::ErrorFileNotFound);
  plan.PlanFile(path, false, std::nullopt);
  return true;
}

bool CreateFolder(TPlanScope &plan, const std::string &path) {
  if (plan.DirectoryExists(path))
    return RefuseChange(Fs::ErrorAlreadyExists);
  plan.PlanFolder(path);
  return true;
}

void SaveLines(TPlanScope &plan, const std::string &path, const std::string &bytes) {
  plan.PlanFile(path, true, bytes);
}

bool OpenKey(TPlanScope &plan, TRegistry &registry, const std::string &key, bool canCreate) {
  std::string path = key.rfind("\\", 0) == 0              ? key.substr(1)
                     : plan.OpenKeyPath(registry).empty() ? key
                                                          : plan.OpenKeyPath(registry) + "\\" + key;
  while (!path.empty() && path.back() == '\\')
    path.pop_back();
  TRegistry probe(registry.RootKey());
  if (probe.KeyExists("\\" + path)) {
    plan.ForgetPlannedKey(registry);
    return registry.OpenKey("\\" + path, false);
  }
  if (!plan.KeyExists(registry.RootKey(), path)) {
    if (!canCreate)
      return false;
    for (std::size_t end = 0; end != std::string::npos;) {
      end = path.find('\\', end + 1);
      plan.PlanKey(registry.RootKey(), path.substr(0, end));
    }
  }
  plan.OpenPlannedKey(registry, path);
  return true;
}

void WriteValue(TPlanScope &plan, TRegistry &registry, const TRegValue &value) {
  std::string path = plan.OpenKeyPath(registry);
  if (path.empty() && !registry.HasOpenKey())
    throw ERegistryException("Failed to set data for '" + value.Name + "'");
  plan.PlanValue(registry.RootKey(), path, value.Name, TValueState{true, value.Type, value.Data});
}

bool DeleteValue(TPlanScope &plan, TRegistry &registry, const std::string &name) {
  std::string path = plan.OpenKeyPath(registry);
  if (!plan.ValueState(registry.RootKey(), path, name).Exists)
    return false;
  plan.PlanValue(registry.RootKey(), path, name, TValueState{});
  return true;
}

} // namespace PlannedChanges
