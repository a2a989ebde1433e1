// The install of one built environment: design packages or the design assembly, library paths,
// environment variables, runtime packages, help, and the program's own record of the install.
#pragma once
#include "framework/Registry.h"
#include "session/BuildHost.h"

#include <set>
#include <string>

// The install's record below HKEY_CURRENT_USER.
extern const char *const ProgramKey;
// The examples web page stored in the record as "VelmoraDotCom".
extern const char *const ExamplesAddress;

// What the steps of one install share: the environment, the registry object that every
// HKEY_CURRENT_USER step opens its keys on (one key at a time), and the folder of the packages
// being registered.
struct TInstallContext {
  TInstallContext(TBuildHost &host, int index) : Host(host), Index(index) {}
  TBuildHost &Host;
  int Index;
  TRegistry InstallRegistry{TRootKey::CurrentUser};
  std::string PackageFolder;
  // The value names that were skipped and logged once (names the ANSI code page cannot hold).
  std::set<std::string> SkippedNames;
};

// Asks before a reinstall unless silent, installs, and says so unless silent. A failure is reported
// through the host (the log, "ERROR" in the row) and leaves as the silent abort; a declined
// question returns normally. Outside a build run the log is flushed at the end; inside one the run
// flushes it, so that the view keeps the whole run.
void InstallEnvironment(TBuildHost &host, int index, bool silent);
// Whether the environment already knows the library's design package (or design assembly).
bool IsInstalled(int index);
// Every step of the install in order; raises at the first failure.
void PerformInstall(TBuildHost &host, int index, bool silent);
// Opens the environment's key + "\" + subkey on registry without creating it.
bool OpenEnvironmentKey(TRegistry &registry, int index, const std::string &subkey);
