#include "process/EnvironmentCheck.h"
#include "framework/Text.h"
#include "environments/Environments.h"
#include "process/ExecuteCommand.h"
#include "session/BuildHost.h"

std::string IdeExecutablePath(int index) {
  const TEnviron &environment = Environments[std::size_t(index)];
  return environment.RootDir + "\\bin\\" + (environment.IsDelphi ? "Delphi32.exe" : "bcb.exe");
}

bool ListProcesses(TProcessList &list) {
#ifdef _WIN32
  return PsApiPreferred() ? ListProcessesByPsApi(list) : ListProcessesByToolHelp(list);
#else
  return ListProcessesByProcFs(list);
#endif
}

bool IsEnvironmentRunning(int index) {
  const std::string ide = UpperCase(ProcessListPath(IdeExecutablePath(index)));
  TProcessList processes;
  ListProcesses(processes);
  for (const TProcessEntry &process : processes)
    if (UpperCase(process.ExeName) == ide)
      return true;
  return false;
}

void EnsureEnvironmentClosed(TBuildHost &host, int index, const std::string &kindName,
                             const std::string &suffix) {
  while (IsEnvironmentRunning(index))
    if (!host.AskYesNo("Please close " + kindName + " " + suffix + " and click Yes to continue."))
      AbortCompilation("");
}
