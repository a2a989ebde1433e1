#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Desktop.h"
#include "framework/Event.h"
#include "framework/Process.h"
#include "framework/WinApi.h"

TApplication::TApplication() : platformDesktop_(std::make_unique<TWin32Desktop>()) {}

// The parameters as the C runtime gives them to main and CommandLineToArgvW splits them: blanks
// separate outside quotes, 2n backslashes before a quote give n and the quote groups, 2n+1 give n
// and a literal quote, and a quote right after a closing one is literal. So "/dest:Out\"x" is one
// parameter, as every other Windows program reads it.
const std::vector<std::string> &TApplication::PlatformParameters() {
  static const std::vector<std::string> parameters = [] {
    std::vector<std::string> items = SplitCommandLine(::GetCommandLineA());
    if (!items.empty())
      items.erase(items.begin());
    return items;
  }();
  return parameters;
}

int TApplication::PixelsPerInch() const {
  if (!nativeWindows_)
    return 96; // headless forms lay out as designed, whatever the screen
  HDC screen = ::GetDC(nullptr);
  int pixels = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return pixels > 0 ? pixels : 96;
}

void TApplication::ProcessMessages() {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(int(message.wParam)); // leave it for the message loop
      break;
    }
    HWND main = static_cast<HWND>(MainWindowHandle);
    if (main && ::IsDialogMessageA(main, &message))
      continue;
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

// MWMO_INPUTAVAILABLE: messages that arrived before the wait, and were seen but not removed, wake
// it too.
bool TApplication::WaitForEventOrMessage(TEvent &event) {
  HANDLE handle = event.Native();
  return ::MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0;
}

void TApplication::Run(TForm &mainForm) {
  // The first showing runs FormShow, which may fail like any other event (a settings write on its
  // way out, the automatic install): the same top-level handler reports it, and the loop goes on.
  RunUserAction([&mainForm] { mainForm.Show(); });
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    HWND main = static_cast<HWND>(MainWindowHandle);
    if (main && ::IsDialogMessageA(main, &message))
      continue;
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}
