// The .NET environment: its design assembly in "Known Assemblies", the runtime assemblies in the
// global assembly cache, and the output folder under both "AssemblyFolders" keys.
#pragma once
#include "InstallDriver.h"

#include <functional>
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

// Why no assembly went into the cache although it was asked for: the install shows it with
// "Error: " in front and goes on with the assembly folder keys.
extern const char *const CacheToolMissing;
// Called after that message with the environment and the reason, before the install goes on: a
// run without a person fails the environment here, or notes that it went without the cache.
// Unset, the install just goes on.
extern std::function<void(int index, const std::string &reason)> CacheStepSkipped;

// "Known Assemblies" is open on InstallRegistry.
void RegisterDesignAssembly(TInstallContext &install);
// The cache step (asked first unless silent) and the two assembly folder keys.
void InstallAssemblies(TInstallContext &install, bool silent);
