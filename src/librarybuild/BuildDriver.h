// The build of the whole library for one environment into its own output tree.
#pragma once
#include "session/BuildHost.h"

#include <string>
#include <vector>

// The library's version: part of every package, help, key and value name.
constexpr int LibraryVersion = 7;

// Builds environment index into host.EnvironmentFolder; raises at the first failure.
void BuildEnvironment(TBuildHost &host, int index);

// One Delphi or C++Builder package; its products go to EnvironmentFolder + subfolder.
void CompilePackage(TBuildHost &host, int index, const std::string &commandLine, const std::string &subfolder,
                    const std::string &name, const std::string &sourceFolder);

// One package of the library and whether an environment builds it.
struct TLibraryPackage {
  std::string Stem;      // the name before PackageSuffix, e.g. "Zel7", "DclZelStd7"
  std::string Subfolder; // "\System" for runtime packages, "\Bin" for design-time packages
  bool AddNoBde;         // " -DNOUSE_BDE" joins the command line from this package on
};
std::vector<TLibraryPackage> PackagesToBuild(TBuildHost &host, int index);
// The command line of each package, in table order: the base command line, and " -DNOUSE_BDE"
// from the first package that asks for it on.
std::vector<std::string> PackageCommandLines(const std::vector<TLibraryPackage> &packages,
                                             std::string commandLine);

// make leaves a C++Builder build's products in the source folder: they are moved into the output
// tree, in a fixed order, and the first missing one ends the build.
void MoveCBuilderProducts(TBuildHost &host, int index);
