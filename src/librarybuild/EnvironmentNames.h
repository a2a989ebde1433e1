// Per-environment names and every switch the library build passes to the Borland tools: pure
// string work on one environment row and the program's build settings.
#pragma once
#include "session/BuildHost.h"

#include <string>

// The build settings: constants of the program.
constexpr bool DebugBuild = false;
constexpr bool ShowWarnings = true;
constexpr bool ShowPlatformWarnings = true;
constexpr bool BuildStdPackages = true;
constexpr bool StampCopiedFiles = true;
inline const char *const DotNetWarningOptions = " -W-UNIT_PLATFORM -W-SYMBOL_PLATFORM";

// Sets host.PackageSuffix ("7", "7CLX", "C6", "8"), host.KindName ("Delphi" or "Builder") and
// host.EnvironmentFolder (DestinationBase + "\" + KindName + PackageSuffix).
void SetEnvironmentNames(TBuildHost &host, int index);

std::string CompilerOptions();
std::string CompilerDefines(int index);
std::string EditionSuffix(int index); // "Std" for a Standard edition environment
bool StdPackagesWanted(int index);
// The start of every compile of the environment; needs SetEnvironmentNames first.
std::string BaseCommandLine(const TBuildHost &host, int index);
