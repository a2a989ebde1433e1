// The checks of an environment's set-up. Each looks at the snapshot alone and says what it finds;
// none of them changes anything.
#include "doctor/Doctor.h"

#include "framework/Text.h"
#include "ideintegration/AssemblyRegistration.h"
#include "ideintegration/InstallDriver.h"
#include "ideintegration/LibraryPaths.h"
#include "librarybuild/BuildDriver.h"
#include "process/EnvironmentCheck.h"

#include <map>

const std::vector<TDoctorCheck> DoctorChecks = {
    {"tools", CheckCommandLineTools},           // what a build of the environment runs
    {"known-packages", CheckKnownPackageFiles}, // the registered design packages' files
    {"package-versions", CheckPackageVersions}, // one version of each design package, known once
    {"runtime-packages", CheckRuntimePackages}, // the system folder's copies of the tree's
    {"search-path", CheckSearchPaths},          // the folders the compiler and the IDE search
    {"ide-running", CheckIdeRunning},           // an IDE that holds its packages open
    {"compiled-tree", CheckCompiledTree},       // the tree against the sources
    {"install-record", CheckInstallRecord},     // the program's record of the last install
    {"journal", CheckJournalledValues},         // the values the runs wrote, as they stand now
};

namespace {

const std::string Version = std::to_string(LibraryVersion);

// The design packages' stems, a longer one before any stem it begins with.
const char *const DesignStems[] = {"DCLZELPROSTD", "DCLZELPRO", "DCLZELSTD", "DCLZEL",
                                   "DCLZEP",       "DCLZGL",    "DCLZQR",    "ZELIMAGE"};

bool StartsWith(const std::string &text, const std::string &start) {
  return text.rfind(start, 0) == 0;
}
bool EndsWith(const std::string &text, const std::string &end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A file of the library by its name: a package or assembly that the install registers.
bool IsLibraryFile(const std::string &fileName) {
  std::string name = UpperCase(fileName);
  return StartsWith(name, "DCLZ") || StartsWith(name, "ZEL") || name.find("QUIVEX") != std::string::npos;
}

std::string ValueSubject(const TKeyValues &key, const std::string &name) {
  return key.Path + " " + Quoted(name);
}

std::string Join(const std::vector<std::string> &items, const std::string &separator) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i)
    text += (i ? separator : "") + items[i];
  return text;
}

std::string VersionLabel(int version) {
  return version == 0 ? "the environment's own chart package" : "Quivex " + std::to_string(version);
}

// The library version a description names: "Quivex 6 Components" is 6.
std::optional<int> DescribedVersion(const std::string &description) {
  std::size_t at = UpperCase(description).find("QUIVEX ");
  if (at == std::string::npos)
    return std::nullopt;
  at += 7;
  std::size_t end = at;
  while (end < description.size() && description[end] >= '0' && description[end] <= '9')
    ++end;
  return end > at && end - at < 4 ? std::optional<int>(std::stoi(description.substr(at, end - at)))
                                  : std::nullopt;
}

// The path an entry names, or the entry as written when it cannot be told.
std::string PathOfEntry(const TEnviron &row, const std::string &entry) {
  std::string path = ExpandFolder(row, entry);
  return path.empty() ? entry : path;
}

std::string RebuildFix(const TEnvironmentSnapshot &snapshot) {
  return "Build " + snapshot.Name +
         " again (tick its row and press BEGIN, or ZelRecompile /build /env:" + Quoted(snapshot.Name) + ").";
}

std::string ReinstallFix(const TEnvironmentSnapshot &snapshot, const std::string &why) {
  return "Install Quivex " + Version + " into " + snapshot.Name + " again" + why + ".";
}

// The key the environment registers its design packages under, or its design assembly.
const TKeyValues &PackageKey(const TEnvironmentSnapshot &snapshot) {
  return snapshot.Row.IsDotNet ? snapshot.KnownAssemblies : snapshot.KnownPackages;
}

// The registry entry of this version's main design package (or design assembly), as the install
// recognises it; null when there is none.
const TRegValue *InstalledDesignEntry(const TEnvironmentSnapshot &snapshot) {
  const std::string design = snapshot.Row.IsDotNet
                                 ? UpperCase(DesignAssemblyName())
                                 : UpperCase(PackageFileName(snapshot.Index, "DCLZEL", LibraryVersion));
  for (const auto &value : PackageKey(snapshot).Values)
    if (snapshot.Row.IsDotNet ? UpperCase(value.Data) == design
                              : UpperCase(value.Name).find(design) != std::string::npos)
      return &value;
  return nullptr;
}

void CheckPathList(const TEnvironmentSnapshot &snapshot, TFindings &findings, const std::string &subject,
                   const std::string &list, bool browsing) {
  const std::string library = snapshot.EnvironmentFolder.empty() ? "" : snapshot.EnvironmentFolder + "\\Lib";
  const std::string marker = browsing                ? "ZeEngine.pas"
                             : snapshot.Row.IsDotNet ? "ZeEngine.dcuil"
                                                     : "ZeEngine.dcu";
  const std::string own = browsing ? snapshot.Settings.SourceFolder : library;
  for (const auto &entry : SplitFolderList(list)) {
    std::string folder = ExpandFolder(snapshot.Row, entry);
    if (folder.empty())
      continue;
    if (!snapshot.Machine.FolderExists(folder)) {
      AddFinding(findings, TSeverity::Warning, subject,
                 "the folder " + folder + " does not exist, so nothing is found there",
                 "Remove " + entry + " from the path, or create the folder.");
    } else if ((own.empty() || !SamePath(folder, own)) &&
               snapshot.Machine.FileExists(folder + "\\" + marker)) {
      std::string which = browsing ? "sources" : "units";
      AddFinding(findings, browsing ? TSeverity::Warning : TSeverity::Error, subject,
                 folder + " holds another copy of the Quivex " + which + " (" + marker +
                     "): " + (browsing ? "the IDE may show" : "the compiler may take") +
                     " those instead of " + (own.empty() ? "the compiled tree's" : own),
                 "Remove " + entry + " from the path (installing Quivex " + Version +
                     " again takes it off), or delete the old " + which + ".");
    }
  }
}

} // namespace

std::optional<int> DesignPackageVersion(const TEnviron &row, const std::string &fileName) {
  std::string name = UpperCase(fileName);
  if (!EndsWith(name, ".BPL"))
    return std::nullopt;
  name.resize(name.size() - 4);
  const std::string version = std::to_string(row.Version), kind = row.IsDelphi ? "" : "C";
  for (const char *stem : DesignStems) {
    if (!StartsWith(name, stem))
      continue;
    std::string rest = name.substr(std::string(stem).size());
    if (rest == version + "0") // the chart package that came with the environment
      return 0;
    if (rest.size() == 1 + kind.size() + version.size() && rest[0] >= '1' && rest[0] <= '9' &&
        rest.substr(1) == kind + version)
      return rest[0] - '0';
    return std::nullopt;
  }
  return std::nullopt;
}

std::string ExpandFolder(const TEnviron &row, const std::string &entry) {
  std::string folder;
  for (char c : entry)
    if (c != '"' && c != '\'')
      folder += c;
  for (const std::string macro : {"$(DELPHI)", "$(BCB)", "$(BDS)"}) {
    std::size_t at = UpperCase(folder).find(macro);
    if (at != std::string::npos)
      folder.replace(at, macro.size(), row.RootDir);
  }
  while (!folder.empty() && folder.back() == ' ')
    folder.pop_back();
  bool absolute = (folder.size() >= 2 && folder[1] == ':') ||
                  (!folder.empty() && (folder[0] == '\\' || folder[0] == '/'));
  if (folder.find("$(") != std::string::npos || !absolute)
    return "";
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/'))
    folder.pop_back();
  return folder;
}

void CheckCommandLineTools(const TEnvironmentSnapshot &snapshot, TFindings &findings) {
  const TEnviron &row = snapshot.Row;
  if (!snapshot.Machine.FolderExists(row.RootDir)) {
    AddFinding(findings, TSeverity::Error, row.RootDir, "the environment's folder does not exist",
               "Repair or reinstall " + snapshot.Name + ", or remove its registry key if it is gone.");
    return;
  }
  std::vector<std::pair<const char *, const char *>> tools; // file, what it is
  if (row.IsDotNet)
    tools = {{"dccil.exe", "compiler"}};
  else if (row.IsDelphi)
    tools = {{"dcc32.exe", "compiler"}};
  else if (row.Version <= 4) // C++Builder 4 makes its projects as they are
    tools = {{"make.exe", "make tool"}};
  else
    tools = {{"make.exe", "make tool"}, {"bpr2mak.exe", "project converter"}};
  for (const auto &[file, what] : tools) {
    std::string path = row.RootDir + "\\bin\\" + file;
    if (!snapshot.Machine.FileExists(path))
      AddFinding(
          findings, TSeverity::Error, path,
          std::string("the command-line ") + what + " is missing (an edition without the command-line " +
              "tools): the library cannot be built for " + snapshot.Name,
          "Build with an edition that has the command-line tools, or add them to " + row.RootDir + "\\bin.");
  }
}

void CheckKnownPackageFiles(const TEnvironmentSnapshot &snapshot, TFindings &findings) {
  if (snapshot.Row.IsCLX) // a CLX row shares its twin's keys: one report is enough
    return;
  const TKeyValues &key = PackageKey(snapshot);
  for (const auto &value : key.Values) {
    std::string path = ExpandFolder(snapshot.Row, value.Name);
    if (path.empty() || snapshot.Machine.FileExists(path))
      continue;
    bool library = IsLibraryFile(NameOf(path));
    AddFinding(findings, library ? TSeverity::Error : TSeverity::Warning, ValueSubject(key, value.Name),
               "names a file that does not exist: " + path +
                   " (the IDE says \"Can't load package\" at every start)",
               library ? ReinstallFix(snapshot, ", or remove the entry")
                       : "Remove the entry in the IDE (Component, Install Packages), or put the file back.");
  }
}

void CheckPackageVersions(const TEnvironmentSnapshot &snapshot, TFindings &findings) {
  const TEnviron &row = snapshot.Row;
  if (row.IsCLX || row.IsDotNet)
    return;
  std::map<int, std::vector<std::string>> byVersion;          // version -> file names
  std::map<std::string, std::vector<std::string>> byFileName; // upper-case file name -> entries
  std::map<std::string, std::string> disabled;                // folded path -> entry
  for (const auto &value : snapshot.DisabledPackages.Values)
    disabled.emplace(FoldPath(PathOfEntry(row, value.Name)), value.Name);
  for (const auto &value : snapshot.KnownPackages.Values) {
    std::string fileName = NameOf(value.Name);
    if (auto version = DesignPackageVersion(row, fileName)) {
      byVersion[*version].push_back(fileName);
      byFileName[UpperCase(fileName)].push_back(value.Name);
    }
    auto both = disabled.find(FoldPath(PathOfEntry(row, value.Name)));
    if (IsLibraryFile(fileName) && both != disabled.end())
      AddFinding(
          findings, TSeverity::Warning, ValueSubject(snapshot.DisabledPackages, both->second),
          "the package is listed both in \"Known Packages\" and in \"Disabled Packages\"",
          "Tick or untick it once more in the IDE (Component, Install Packages), so that it stands in one "
          "list only.");
  }
  if (byVersion.size() > 1) {
    std::vector<std::string> versions, others;
    for (const auto &[version, names] : byVersion) {
      versions.push_back(VersionLabel(version) + " (" + Join(names, ", ") + ")");
      if (version != LibraryVersion)
        others.insert(others.end(), names.begin(), names.end());
    }
    AddFinding(findings, TSeverity::Error, snapshot.KnownPackages.Path,
               "packages of " + std::to_string(byVersion.size()) + " versions are enabled at once, " +
                   Join(versions, " and ") + ": their units clash (\"unit found in two packages\")",
               (byVersion.count(LibraryVersion) ? "Untick " + Join(others, ", ")
                                                : std::string("Keep one version: untick the others")) +
                   " in the IDE (Component, Install Packages); installing Quivex " + Version +
                   " again disables older versions' packages.");
  }
  for (const auto &[name, entries] : byFileName)
    if (entries.size() > 1)
      AddFinding(findings, TSeverity::Error, snapshot.KnownPackages.Path,
                 NameOf(entries.front()) + " is registered " + std::to_string(entries.size()) + " times (" +
                     Join(entries, ", ") + "): the IDE loads one and refuses the others",
                 ReinstallFix(snapshot, ": the install leaves one entry per package"));
}

void CheckRuntimePackages(const TEnvironmentSnapshot &snapshot, TFindings &findings) {
  if (snapshot.Row.IsDotNet || snapshot.EnvironmentFolder.empty())
    return;
  const std::string tree = snapshot.EnvironmentFolder + "\\System";
  TMachineReader &machine = snapshot.Machine;
  for (const auto &entry : machine.Entries(tree)) {
    if (entry.IsDirectory || !EndsWith(UpperCase(entry.Name), ".BPL"))
      continue;
    const std::string built = tree + "\\" + entry.Name, installed = snapshot.SystemFolder + "\\" + entry.Name;
    const std::string copyFix = "Build " + snapshot.Name +
                                " again (the build copies its runtime packages into the " +
                                "system folder), or copy " + built + " there.";
    if (!machine.FileExists(installed)) {
      AddFinding(
          findings, TSeverity::Warning, installed,
          "the runtime package is not in the system folder: the design packages and programs that need "
          "it cannot load",
          copyFix);
      continue;
    }
    const auto &description = machine.Description(installed);
    auto version = description ? DescribedVersion(*description) : std::nullopt;
    if (!description)
      AddFinding(
          findings, TSeverity::Error, installed,
          "the file in the system folder cannot be loaded as a package, and it stands in the place of " +
              built,
          copyFix);
    else if (version && *version != LibraryVersion)
      AddFinding(findings, TSeverity::Error, installed,
                 "belongs to Quivex " + std::to_string(*version) + " (\"" + *description +
                     "\"): the IDE and programs load it instead of " + built,
                 copyFix);
    else if (machine.Contents(installed) != machine.Contents(built))
      AddFinding(findings, TSeverity::Warning, installed,
                 "differs from " + built + ": the IDE and programs load the system folder's copy", copyFix);
  }
}

void CheckSearchPaths(const TEnvironmentSnapshot &snapshot, TFindings &findings) {
  const TEnviron &row = snapshot.Row;
  if (row.IsCLX)
    return;
  const TKeyValues &library = snapshot.Library;
  for (const char *name : {"Search Path", "Debug DCU Path", "Package Search Path", "Browsing Path"})
    if (library.Find(name))
      CheckPathList(snapshot, findings, ValueSubject(library, name), library.Text(name),
                    std::string(name) == "Browsing Path");
  if (!row.IsDelphi || row.IsDotNet)
    return;
  // New projects search what the default project options say.
  const std::string options = row.RootDir + "\\bin\\defproj.dof";
  if (const auto &lines = snapshot.Machine.Lines(options))
    for (const auto &line : *lines)
      if (UpperCase(line.substr(0, line.find('='))) == "SEARCHPATH" && line.find('=') != std::string::npos) {
        CheckPathList(snapshot, findings, options + " SearchPath", line.substr(line.find('=') + 1), false);
        break;
      }
}

void CheckIdeRunning(const TEnvironmentSnapshot &snapshot, TFindings &findings) {
  const std::string ide = IdeExecutablePath(snapshot.Index);
  const std::string listed = UpperCase(ProcessListPath(ide));
  for (const auto &process : snapshot.Machine.Processes())
    if (UpperCase(process.ExeName) == listed) {
      AddFinding(
          findings, TSeverity::Warning, ide,
          "the IDE is running: a build or install would ask to close it, and it holds its packages open",
          "Close " + NameOf(ide) + " before building or installing.");
      return;
    }
}

void CheckCompiledTree(const TEnvironmentSnapshot &snapshot, TFindings &findings) {
  const std::string &source = snapshot.Settings.SourceFolder, &tree = snapshot.EnvironmentFolder;
  TMachineReader &machine = snapshot.Machine;
  if (source.empty() || tree.empty()) {
    AddFinding(findings, TSeverity::Note, snapshot.Name,
               "no source or destination folder is set, so the compiled tree was not looked at",
               "Fill in the Quivex source and destination folders (the window's fields, or /source:FOLDER "
               "and /dest:FOLDER).");
    return;
  }
  if (!machine.FolderExists(tree)) {
    AddFinding(findings, TSeverity::Note, tree,
               "not compiled into " + snapshot.Settings.DestinationBase + " yet", RebuildFix(snapshot));
    return;
  }
  std::string newestPackage;
  Fs::TFileTime packageTime = 0;
  for (const char *folder : {"\\System", "\\Bin", "\\Assemblies"})
    for (const auto &entry : machine.Entries(tree + folder)) {
      std::string name = UpperCase(entry.Name);
      if (entry.IsDirectory || !(EndsWith(name, ".BPL") || EndsWith(name, ".DLL")))
        continue;
      auto time = machine.LastWriteTime(tree + folder + "\\" + entry.Name);
      if (time && *time >= packageTime) {
        packageTime = *time;
        newestPackage = tree + folder + "\\" + entry.Name;
      }
    }
  if (newestPackage.empty()) {
    AddFinding(findings, TSeverity::Warning, tree, "the compiled tree holds no package",
               RebuildFix(snapshot));
    return;
  }
  // The library's code: its units, the include file and the forms. Not the package projects: a
  // C++Builder build rewrites a project saved with a byte order mark, after the other environments'
  // builds.
  for (const auto &entry : machine.Entries(source)) {
    std::string name = UpperCase(entry.Name);
    bool isSource =
        !entry.IsDirectory && (EndsWith(name, ".PAS") || EndsWith(name, ".INC") || EndsWith(name, ".DFM"));
    auto time = isSource ? machine.LastWriteTime(source + "\\" + entry.Name) : std::nullopt;
    if (time && *time > packageTime) {
      AddFinding(findings, TSeverity::Warning, source + "\\" + entry.Name,
                 "the source is newer than the newest compiled package, " + newestPackage +
                     ": the compiled tree is older than the sources",
                 RebuildFix(snapshot));
      return;
    }
  }
}

void CheckInstallRecord(const TEnvironmentSnapshot &snapshot, TFindings &findings) {
  const TEnviron &row = snapshot.Row;
  if (row.IsCLX)
    return;
  const TKeyValues &record = snapshot.InstallRecord;
  const TRegValue *design = InstalledDesignEntry(snapshot);
  if (!record.Exists) {
    if (design)
      AddFinding(findings, TSeverity::Warning, record.Path,
                 "the install record is missing, although " + snapshot.Name + " knows Quivex " + Version +
                     "'s design packages",
                 ReinstallFix(snapshot, ", which writes the record"));
    return;
  }
  // The record names the tree of the environment installed last; the others have nothing to compare.
  const std::string bin = record.Text("BinPath");
  if (UpperCase(NameOf(FolderOf(bin))) != UpperCase(snapshot.FolderName) ||
      UpperCase(NameOf(bin)) != (row.IsDotNet ? "ASSEMBLIES" : "BIN"))
    return;
  const std::string binSubject = ValueSubject(record, "BinPath");
  if (!snapshot.Machine.FolderExists(bin))
    AddFinding(findings, TSeverity::Error, binSubject, "names a folder that does not exist: " + bin,
               ReinstallFix(snapshot, " from the tree it should use"));
  else if (!design)
    AddFinding(findings, TSeverity::Warning, binSubject,
               "names " + bin + ", but " + PackageKey(snapshot).Path + " holds no Quivex " + Version +
                   " design package",
               ReinstallFix(snapshot, ""));
  else if (!SamePath(FolderOf(PathOfEntry(row, design->Name)), bin))
    AddFinding(findings, TSeverity::Warning, binSubject,
               "names " + bin + ", but the IDE loads the design package " + design->Name,
               ReinstallFix(snapshot, " from the tree it should use"));
  if (record.Find("DemoPath")) {
    std::string demo = record.Text("DemoPath");
    if (!snapshot.Machine.FileExists(demo + "\\Zel" + Version + "New.dpr"))
      AddFinding(findings, TSeverity::Warning, ValueSubject(record, "DemoPath"),
                 "names " + demo + ", which holds no examples (Zel" + Version + "New.dpr)",
                 ReinstallFix(snapshot, " from a destination that has the examples, or delete the value"));
  }
  if (record.Text("VelmoraDotCom") != ExamplesAddress)
    AddFinding(findings, TSeverity::Note, ValueSubject(record, "VelmoraDotCom"),
               record.Find("VelmoraDotCom")
                   ? "holds " + record.Text("VelmoraDotCom") + " instead of " + ExamplesAddress
                   : "is missing",
               ReinstallFix(snapshot, ", which writes it"));
}

// A value that holds something else than the last run left in it was changed since, by a person or
// another program: the IDE may not find the library as installed. An uninstall leaves it.
void CheckJournalledValues(const TEnvironmentSnapshot &snapshot, TFindings &findings) {
  if (snapshot.Row.IsCLX)
    return; // never installed: its keys are its twin's, whose row says it
  for (const auto &value : snapshot.JournalledValues) {
    if (value.Now == value.Change.After)
      continue;
    auto text = [](const TValueState &state) {
      return state.Exists ? Quoted(state.Data) : std::string("absent");
    };
    AddFinding(findings, TSeverity::Warning, ChangeSubject(value.Change),
               "changed since the install of " + value.When + ": it holds " + text(value.Now) +
                   ", the install left " + text(value.Change.After),
               "Reinstall to write it again; an uninstall leaves a value changed since as it is");
  }
}
