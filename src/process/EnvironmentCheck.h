// Whether an environment's IDE is running, and the question that waits until it is closed:
// packages and library files of an environment cannot be replaced while its IDE has them open.
#pragma once
#include "framework/ProcessList.h"

#include <string>

class TBuildHost;

// RootDir + "\bin\Delphi32.exe" for Delphi rows (the .NET row included), else RootDir + "\bin\bcb.exe".
std::string IdeExecutablePath(int index);

// Empties the list and fills it with the running processes: PSAPI on the NT family from version 4
// on, else Tool Help (on Linux, /proc). False when the system could not be asked.
bool ListProcesses(TProcessList &list);

// True when a running process's program is the environment's IDE: whole paths compared without
// regard to case. A list that could not be made counts as "not running".
bool IsEnvironmentRunning(int index);

// Asks "Please close <kind> <suffix> and click Yes to continue." for as long as the IDE runs; Yes
// looks again, No raises "Compilation aborted.". Returns at once, without asking, when it does not run.
void EnsureEnvironmentClosed(TBuildHost &host, int index, const std::string &kindName,
                             const std::string &suffix);
