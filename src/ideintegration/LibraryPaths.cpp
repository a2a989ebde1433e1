#include "LibraryPaths.h"

#include "changes/EnvironmentChanges.h"
#include "environments/Environments.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/IniFile.h"
#include "framework/Text.h"
#include "librarybuild/BuildDriver.h"

namespace {

const TEnviron &Row(int index) {
  return Environments[std::size_t(index)];
}

std::string Join(const TStringList &entries) {
  std::string text;
  for (std::size_t i = 0; i < entries.size(); ++i)
    text += (i == 0 ? "" : ";") + entries[i];
  return text;
}

// The name part of a "name=value" line: the text before the first "=".
std::string NamePart(const std::string &line) {
  return line.substr(0, line.find('='));
}

// The first line named name (ignoring case), or lines.size().
std::size_t FindLineNamed(const TStringList &lines, const std::string &name) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (UpperCase(NamePart(lines[i])) == UpperCase(name))
      return i;
  return lines.size();
}

void SetSearchPathLine(TStringList &lines, const std::string &libraryFolder) {
  std::size_t at = FindLineNamed(lines, "SearchPath");
  if (at == lines.size()) {
    lines.push_back("SearchPath=" + libraryFolder);
    return;
  }
  std::size_t valueStart = lines[at].find('=') + 1;
  TStringList kept;
  TStringList entries = SplitFolderList(lines[at].substr(valueStart));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    // The first entry is never tested for the marker: it used to carry the line's name, so the
    // test could not find it, and IDEs rely on it staying first.
    bool holdsLibrary = i > 0 && Changes::FileExists(entries[i] + "\\ZeEngine.dcu");
    if (!holdsLibrary && !SameFolderEntry(entries[i], libraryFolder))
      kept.push_back(entries[i]);
  }
  kept.push_back(libraryFolder);
  lines[at] = lines[at].substr(0, valueStart) + Join(kept);
}

void SetPackagesLine(TStringList &lines, TBuildHost &host, int index) {
  std::size_t at = FindLineNamed(lines, "Packages");
  if (at == lines.size()) {
    lines.push_back("Packages=" + RuntimePackageList(host, index));
    return;
  }
  TStringList kept;
  for (const auto &entry : SplitFolderList(lines[at].substr(std::min<std::size_t>(9, lines[at].size()))))
    if (!IsLibraryPackageName(entry))
      kept.push_back(entry);
  lines[at] = "Packages=" + Join(kept) + ";" + RuntimePackageList(host, index);
}

// New projects leave out the design packages of older library versions. Kinds 4 and 5 do not
// depend on the version and are written again in every pass, to the same key.
void ExcludeOldDesignPackages(TIniFile &options, const std::string &packageSuffix) {
  const std::string section = "Excluded Packages";
  TStringList existing = options.ReadSectionValues(section);
  for (int n = LibraryVersion - 1; n >= 4; --n)
    for (int kind = 0; kind <= 5; ++kind) {
      std::string name = OldDesignPackageName(packageSuffix, kind, n);
      if (!HasEntryNamed(existing, name))
        options.WriteString(section, "$(DELPHI)\\Bin\\" + name + ".bpl", OldDesignPackageDescription(kind));
    }
}

// The default project options: the lines and the section are edited on a copy beside the file,
// which then replaces it, so that a failure never leaves half a file.
void EditDefaultProjectOptions(TInstallContext &install, const std::string &libraryFolder) {
  std::string path = Row(install.Index).RootDir + "\\bin\\defproj.dof";
  TStringList lines;
  if (Changes::FileExists(path))
    lines = Changes::LoadLines(path);
  SetSearchPathLine(lines, libraryFolder);
  SetPackagesLine(lines, install.Host, install.Index);
  std::string copy = Changes::ScratchCopyName(path);
  try {
    SaveLines(copy, lines);
    TIniFile options(copy);
    ExcludeOldDesignPackages(options, install.Host.PackageSuffix);
    if (!Changes::RenameOver(copy, path))
      throw EFileError("Cannot create file \"" + path + "\". " + SystemErrorMessage(Fs::LastErrorCode()));
  } catch (...) {
    Fs::DeleteFile(copy);
    throw;
  }
}

} // namespace

TStringList SplitFolderList(const std::string &list) {
  TStringList entries;
  std::string entry;
  char quote = 0;
  auto endEntry = [&] {
    if (!entry.empty())
      entries.push_back(entry);
    entry.clear();
  };
  for (char c : list) {
    if (c == '\r' || c == '\n') { // a line end separates even inside quotes
      // and closes them, so that the entry, joined to the next with ";", does not take it in.
      if (quote != 0)
        entry += quote;
      endEntry();
      quote = 0;
    } else if (quote == 0 && c == ';') {
      endEntry();
    } else if (!(entry.empty() && c == ' ')) { // blanks before an entry are skipped
      entry += c;
      if (quote == 0 && (c == '"' || c == '\''))
        quote = c;
      else if (c == quote)
        quote = 0;
    }
  }
  endEntry();
  return entries;
}

std::string RemoveFoldersContaining(const std::string &list, const std::string &fileName) {
  TStringList kept;
  for (const auto &entry : SplitFolderList(list))
    if (!Changes::FileExists(entry + "\\" + fileName))
      kept.push_back(entry);
  return Join(kept);
}

bool SameFolderEntry(const std::string &entry, const std::string &folder) {
  auto bare = [](const std::string &text) {
    std::size_t first = text.find_first_not_of(" \t\"'"), last = text.find_last_not_of(" \t\"'\\");
    // Nothing but quotes, blanks and backslashes: no folder, whichever of them come first.
    return first == std::string::npos || last == std::string::npos || last < first
               ? std::string()
               : UpperCase(text.substr(first, last - first + 1));
  };
  return bare(entry) == bare(folder);
}

std::string RemoveFolderEntry(const std::string &list, const std::string &folder) {
  TStringList kept;
  for (const auto &entry : SplitFolderList(list))
    if (!SameFolderEntry(entry, folder))
      kept.push_back(entry);
  return Join(kept);
}

void AddFolderToPathValue(TRegistry &registry, const std::string &valueName, const std::string &folder,
                          const std::string &marker) {
  std::string list;
  if (Changes::ValueExists(registry, valueName))
    list =
        RemoveFolderEntry(RemoveFoldersContaining(Changes::ReadString(registry, valueName), marker), folder);
  Changes::WriteString(registry, valueName, list.empty() ? folder : list + ";" + folder);
}

std::string RuntimePackageList(TBuildHost &host, int index) {
  const std::string s = host.PackageSuffix, v = std::to_string(LibraryVersion);
  std::string list = "Zel" + v + s + ";ZelUI" + v + s;
  if (!Row(index).IsStandard)
    list += ";ZelDB" + v + s;
  if (!host.StandardEditionBuild())
    list += ";ZelPro" + v + s + ";ZelGL" + v + s + ";ZelImage" + v + s + ";ZelLanguage" + v + s;
  return list;
}

bool IsLibraryPackageName(const std::string &name) {
  return UpperCase(name.substr(0, 3)) == "ZEL";
}

bool HasEntryNamed(const TStringList &lines, const std::string &text) {
  for (const auto &line : lines)
    if (UpperCase(NamePart(line)).find(UpperCase(text)) != std::string::npos)
      return true;
  return false;
}

std::string OldDesignPackageName(const std::string &packageSuffix, int kind, int n) {
  std::string t = std::to_string(n) + packageSuffix;
  switch (kind) {
  case 0:
    return "dclzel" + t;
  case 1:
    return (n >= 6 ? "dclzelpro" : "dclzep") + t;
  case 2:
    return "dclzqr" + t;
  case 3:
    return "dclzgl" + t;
  case 4:
    return "dclzel" + packageSuffix + "0";
  default:
    return "dclzqr" + packageSuffix + "0";
  }
}

std::string OldDesignPackageDescription(int kind) {
  static const char *const descriptions[] = {"Quivex Components",      "Quivex Pro Components",
                                             "Quivex for QuickReport", "Quivex OpenGL",
                                             "Quivex Standard",        "Quivex for QuickReport"};
  return descriptions[kind];
}

void SetLibraryPaths(TInstallContext &install) {
  const TEnviron &row = Row(install.Index);
  std::string libraryFolder = install.Host.EnvironmentFolder + "\\Lib";
  if (!row.IsDotNet)
    EditDefaultProjectOptions(install, libraryFolder);
  TRegistry &registry = install.InstallRegistry;
  if (!OpenEnvironmentKey(registry, install.Index, "Library"))
    return;
  std::string marker = row.IsDotNet ? "ZeEngine.dcuil" : "ZeEngine.dcu";
  AddFolderToPathValue(registry, "Search Path", libraryFolder, marker);
  if (row.IsDotNet) {
    AddFolderToPathValue(registry, "Debug DCU Path", libraryFolder, marker);
    AddFolderToPathValue(registry, "Package Search Path", libraryFolder, marker);
  }
  std::string sourceFolder = install.Host.SourceFieldText();
  if (!sourceFolder.empty())
    AddFolderToPathValue(registry, "Browsing Path", sourceFolder, "ZeEngine.pas");
  registry.CloseKey();
}
