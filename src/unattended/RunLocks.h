// The machine-wide locks that keep two runs apart, the window's as well as those without a person:
// one destination folder is built into by one run at a time, and one environment is installed into
// by one run at a time, or one run's changes to its packages and keys could undo the other's.
#pragma once
#include "framework/Exception.h"

#include <string>

// Another run holds the lock: the work was refused before it started.
class EAnotherRun : public Exception {
public:
  using Exception::Exception;
};

// The same for every spelling of one folder: case (also outside ASCII), "/" or "\", a trailing
// "\", "." and "..", a relative path from the current folder, a short name.
std::string DestinationLockName(const std::string &destination);
// Keyed on the environment: its registry key ("Software\Borland\Delphi\7.0", in any case) and its
// installation folder (in any spelling).
std::string InstallLockName(const std::string &environmentKey, const std::string &rootFolder);
