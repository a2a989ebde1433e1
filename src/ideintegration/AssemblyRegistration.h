// The .NET environment: its design assembly in "Known Assemblies", the runtime assemblies in the
// global assembly cache, and the output folder under both "AssemblyFolders" keys.
#pragma once
#include "InstallDriver.h"

#include <string>

// The assemblies as the .NET build produces them. A Standard edition build compiles the same
// three assembly packages, so its assemblies carry these names too.
std::string DesignAssemblyName();
std::string VclAssemblyName();
std::string LanguagesAssemblyName();
// EnvironmentFolder\Assemblies\name.dll
std::string AssemblyPath(const TBuildHost &host, const std::string &name);
// The cache tool's command (the program, quoted, and a blank) from its shell association; empty
// when there is none.
std::string FindGacUtil();

// "Known Assemblies" is open on InstallRegistry.
void RegisterDesignAssembly(TInstallContext &install);
// The cache step (asked first unless silent) and the two assembly folder keys.
void InstallAssemblies(TInstallContext &install, bool silent);
