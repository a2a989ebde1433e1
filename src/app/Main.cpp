// The program: the main window on the real desktop, and the message loop until it closes; or, with
// switches on the command line, the same build run without a window, ending in an exit code.
#include "UnattendedRun.h"
#include "VersionsForm.h"

#include "framework/Application.h"
#include "framework/ParentConsole.h"
#include "framework/WinApi.h"
#include "unattended/Switches.h"

#include <memory>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::vector<std::string> parameters;
  for (int i = 1; i <= Application().ParamCount(); ++i)
    parameters.push_back(Application().ParamStr(i));
  if (IsUnattendedInstallCommandLine(parameters, Application().ExeName())) {
    AttachParentConsole();
    return RunUnattendedInstall(parameters, WriteConsoleLine);
  }
  if (IsUnattendedCommandLine(parameters)) {
    AttachParentConsole();
    return RunUnattended(parameters, WriteConsoleLine); // headless: no window is ever created
  }
  Application().SetNativeWindows(true);
  std::unique_ptr<TVersionsForm> form;
  try {
    form = std::make_unique<TVersionsForm>();
  } catch (const std::exception &error) {
    Application().HandleException(error);
    return 1;
  }
  Application().Run(*form);
  return 0;
}
