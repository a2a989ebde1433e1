#include "doctor/Snapshot.h"
#include "changes/Undo.h"

#include "framework/Controls.h"
#include "framework/Text.h"
#include "ideintegration/InstallDriver.h"
#include "librarybuild/CompileProcs.h"
#include "process/EnvironmentCheck.h"

std::string FoldPath(const std::string &path) {
  std::string folded = UpperCase(path);
  for (auto &c : folded)
    if (c == '/')
      c = '\\';
  while (folded.size() > 1 && folded.back() == '\\' && folded[folded.size() - 2] != ':')
    folded.pop_back();
  return folded;
}

bool SamePath(const std::string &a, const std::string &b) {
  return FoldPath(a) == FoldPath(b);
}

std::string NameOf(const std::string &path) {
  auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

const TRegValue *TKeyValues::Find(const std::string &name) const {
  for (const auto &value : Values)
    if (UpperCase(value.Name) == UpperCase(name))
      return &value;
  return nullptr;
}

std::string TKeyValues::Text(const std::string &name) const {
  const TRegValue *value = Find(name);
  return value && (value->Type == rdString || value->Type == rdExpandString) ? value->Data : std::string();
}

const TKeyValues &TMachineReader::Key(TRootKey root, const std::string &path) {
  std::string name = RootKeyName(root) + "\\" + path;
  auto found = keys_.find(FoldPath(name));
  if (found != keys_.end())
    return found->second;
  ++reads_;
  TKeyValues key;
  key.Path = name;
  TRegistry registry(root);
  if (registry.OpenKeyReadOnly("\\" + path)) {
    key.Exists = true;
    for (const auto &valueName : registry.GetValueNames())
      if (auto value = registry.ReadValue(valueName))
        key.Values.push_back(*value);
  }
  return keys_.emplace(FoldPath(name), std::move(key)).first->second;
}

const TMachineReader::TFolder &TMachineReader::Folder(const std::string &folder) {
  std::string folded = FoldPath(folder);
  auto found = folders_.find(folded);
  if (found != folders_.end())
    return found->second;
  ++reads_;
  TFolder entry;
  entry.Exists = Fs::DirectoryExists(folder);
  if (entry.Exists)
    entry.Entries = Fs::FindFiles(folder + "\\*");
  for (std::size_t i = 0; i < entry.Entries.size(); ++i)
    entry.ByName.emplace(UpperCase(entry.Entries[i].Name), i);
  return folders_.emplace(folded, std::move(entry)).first->second;
}

bool TMachineReader::FolderExists(const std::string &folder) {
  return Folder(folder).Exists;
}

const std::vector<Fs::TFoundFile> &TMachineReader::Entries(const std::string &folder) {
  return Folder(folder).Entries;
}

bool TMachineReader::FileExists(const std::string &path) {
  std::string folder = FolderOf(path);
  if (folder.empty() || folder.back() == ':') // a bare name or a drive's root: not worth a listing
    return Fs::FileExists(path);
  const TFolder &entry = Folder(folder);
  auto found = entry.ByName.find(UpperCase(NameOf(path)));
  return found != entry.ByName.end() && !entry.Entries[found->second].IsDirectory;
}

std::optional<Fs::TFileTime> TMachineReader::LastWriteTime(const std::string &path) {
  auto [at, added] = times_.try_emplace(FoldPath(path));
  if (added) {
    ++reads_;
    at->second = Fs::LastWriteTime(path);
  }
  return at->second;
}

const std::optional<std::string> &TMachineReader::Contents(const std::string &path) {
  auto [at, added] = contents_.try_emplace(FoldPath(path));
  if (added) {
    ++reads_;
    at->second = Fs::ReadWholeFile(path);
  }
  return at->second;
}

const std::optional<TStringList> &TMachineReader::Lines(const std::string &path) {
  auto [at, added] = lines_.try_emplace(FoldPath(path));
  if (added && FileExists(path))
    if (const auto &bytes = Contents(path))
      at->second = SplitLines(*bytes);
  return at->second;
}

const std::optional<std::string> &TMachineReader::Description(const std::string &path) {
  auto [at, added] = descriptions_.try_emplace(FoldPath(path));
  if (added) {
    ++reads_;
    try {
      at->second = PackageDescription(path);
    } catch (const std::exception &) {
      at->second.reset(); // not a package the system can load
    }
  }
  return at->second;
}

const TProcessList &TMachineReader::Processes() {
  if (!processes_) {
    ++reads_;
    processes_.emplace();
    ListProcesses(*processes_);
  }
  return *processes_;
}

namespace {
// The values the journals of the environment recorded, newest run first, each value once, with
// what the registry holds now (read through the machine reader, so each key once).
void ReadJournalledValues(TEnvironmentSnapshot &snapshot, TMachineReader &machine) {
  std::vector<TStoredJournal> journals = ReadJournals(JournalFolder());
  std::map<std::string, bool> seen;
  for (auto journal = journals.rbegin(); journal != journals.rend(); ++journal) {
    if (journal->State == "undone" || journal->State == "rolledBack")
      continue;
    // A value that a later run of another environment wrote again (the install record, the help
    // registrations) is that run's to answer for.
    bool own = UpperCase(journal->Header.Key) == UpperCase(snapshot.RegistryKey);
    for (auto change = journal->Changes.rbegin(); change != journal->Changes.rend(); ++change) {
      if (change->Kind != TChangeKind::Value ||
          !seen.emplace(UpperCase(ChangeSubject(*change)), true).second || !own)
        continue;
      const TKeyValues &key = machine.Key(change->Root, change->Key);
      const TRegValue *value = key.Find(change->Name);
      snapshot.JournalledValues.push_back(
          {*change, journal->Header.Time,
           value ? TValueState{true, value->Type, value->Data} : TValueState{}});
    }
  }
}
} // namespace

TEnvironmentSnapshot TakeSnapshot(int index, const TDoctorSettings &settings, TMachineReader &machine) {
  TEnvironmentSnapshot snapshot(machine);
  const TEnviron &row = Environments[std::size_t(index)];
  snapshot.Index = index;
  snapshot.Row = row;
  snapshot.Name = row.CheckBox ? row.CheckBox->Caption() : std::string();
  snapshot.RegistryKey = EnvironmentRegistryKey(index);
  // As the build names the tree: the kind, "C" for C++Builder, the product version, "CLX".
  snapshot.FolderName = std::string(row.IsDelphi ? "Delphi" : "Builder") + (row.IsDelphi ? "" : "C") +
                        std::to_string(row.ProductVersion) + (row.IsCLX ? "CLX" : "");
  snapshot.Settings = settings;
  if (!settings.DestinationBase.empty())
    snapshot.EnvironmentFolder = settings.DestinationBase + "\\" + snapshot.FolderName;
  snapshot.SystemFolder = SystemFolder();
  auto key = [&](const char *subkey) {
    return machine.Key(TRootKey::CurrentUser, snapshot.RegistryKey + "\\" + subkey);
  };
  snapshot.KnownPackages = key("Known Packages");
  snapshot.DisabledPackages = key("Disabled Packages");
  snapshot.KnownAssemblies = key("Known Assemblies");
  snapshot.Library = key("Library");
  snapshot.InstallRecord = machine.Key(TRootKey::CurrentUser, ProgramKey + 1); // without its leading "\"
  ReadJournalledValues(snapshot, machine);
  return snapshot;
}
