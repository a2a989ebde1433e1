// The library's units on an environment's search paths, its sources on the browsing path, and the
// default project options of new Delphi projects.
#pragma once
#include "InstallDriver.h"
#include "framework/TextLines.h"

#include <string>

void SetLibraryPaths(TInstallContext &install);

// The entries of a ';' list of folders: CR and LF separate too, a ';' inside quotes does not (the
// quotes stay; a line end closes an open one), blanks and line ends before an entry are skipped,
// empty entries dropped.
TStringList SplitFolderList(const std::string &list);
// The list without the folders that hold fileName, joined with ';'.
std::string RemoveFoldersContaining(const std::string &list, const std::string &fileName);
// Whether a list entry names folder: compared without regard to case, and to blanks, quotes and a
// final "\" around either.
bool SameFolderEntry(const std::string &entry, const std::string &folder);
// The list without its entries that name folder (whole entries only), joined with ';'.
std::string RemoveFolderEntry(const std::string &list, const std::string &folder);
// Puts folder at the end of the path list valueName of the key open on registry, after removing the
// folders that hold marker and the entries that already name the folder.
void AddFolderToPathValue(TRegistry &registry, const std::string &valueName, const std::string &folder,
                          const std::string &marker);
// The runtime packages new projects build with ("Zel77;ZelUI77;...").
std::string RuntimePackageList(TBuildHost &host, int index);
bool IsLibraryPackageName(const std::string &name);
// Whether the name part of one of the "name=value" lines contains text (ignoring case).
bool HasEntryNamed(const TStringList &lines, const std::string &text);
// The design packages of older library versions that new projects exclude: kind 0 to 5, version n.
std::string OldDesignPackageName(const std::string &packageSuffix, int kind, int n);
std::string OldDesignPackageDescription(int kind);
