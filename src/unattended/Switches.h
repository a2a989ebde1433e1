// The switches of a run without a person, spelled as Windows tools spell them: "/name" or "-name",
// a value after ":" ("/env:Delphi 7*"), names in any case.
#pragma once
#include "framework/Exception.h"

#include <optional>
#include <string>
#include <vector>

// A command line the program cannot act on: the message names the problem, the caller adds the
// usage text.
class EUsageError : public Exception {
public:
  using Exception::Exception;
};

struct TUnattendedOptions {
  enum class TAction { List, Build, Uninstall, Doctor } Action = TAction::Build;
  std::vector<std::string> Patterns; // one per /env, in the order given
  std::optional<std::string> Source; // unset: the saved settings
  std::optional<std::string> Destination;
  bool Xfm = false;
  bool Install = false;
  bool DecisionCube = false;
  bool Yes = false;
  std::string LogFile;    // empty: no log file
  std::string ResultFile; // empty: no result file
  bool Standard = false;  // "STANDARD" came first, as for the window
  // How many environments build at once (/jobs:N); 0: one per processor. 1 builds them one after
  // another, as the window does unless its settings say otherwise.
  int Jobs = 1;
  // /plan: the run goes through its steps and changes nothing; it lists what it would change.
  bool Plan = false;
};

// The number of environments that build at once for a /jobs value or the window's "Jobs" setting:
// 0 gives one per processor of this machine.
int EnvironmentsAtOnce(int jobs);

// Whether the command line asks for a run without the window: some parameter is a switch. The
// automatic install mode ("INSTALL" first) keeps its own parameters.
bool IsUnattendedCommandLine(const std::vector<std::string> &parameters);

// Whether the program was started as the installer every build leaves in its output folder:
// exeName is its file name, with or without its folder, in any case.
bool IsInstallerName(const std::string &exeName);

// The automatic install mode without a person: the program started as "ZelInstall.exe" (exeName is
// the program's file name, with or without its folder) or with "INSTALL" first, and some parameter
// is a switch.
bool IsUnattendedInstallCommandLine(const std::vector<std::string> &parameters, const std::string &exeName);

// "/uninstall" (or "-uninstall", in any case).
bool IsUninstallParameter(const std::string &parameter);

struct TInstallSwitches {
  bool Yes = false;
  bool Uninstall = false; // "/uninstall": undo the installs into the environment found
  bool Plan = false;      // "/plan": list what the install or uninstall would change, change nothing
  std::string ResultFile; // empty: no result file
  std::vector<std::string> Parameters; // the install mode's own: "INSTALL" ["NET"]
};
// The installer takes "/uninstall", "/plan", "/yes" and "/result:FILE" beside its own parameters; raises
// EUsageError.
TInstallSwitches ParseInstallSwitches(const std::vector<std::string> &parameters);
extern const char *const InstallUsageLines[];

// The options of the parameters (without the program name); raises EUsageError.
TUnattendedOptions ParseSwitches(const std::vector<std::string> &parameters);

// The usage, one line per list entry, as printed after a usage error.
extern const char *const UsageLines[];
