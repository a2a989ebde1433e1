// The program: the main window on the real desktop, and the message loop until it closes.
#include "VersionsForm.h"

#include "framework/Application.h"
#include "framework/WinApi.h"

#include <memory>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
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
