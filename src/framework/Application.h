// The application object: program name and parameters, the message loop, the desktop services,
// and the top-level error handler.
#pragma once
#include <memory>
#include <string>
#include <vector>

class TDesktop;
class TEvent;
class TForm;

class TApplication {
public:
  TApplication();
  ~TApplication();

  // Native windows are created for forms only when this is set (the real program). Tests leave it
  // off and drive the same forms headless, on both platforms.
  bool NativeWindows() const { return nativeWindows_; }
  void SetNativeWindows(bool native) { nativeWindows_ = native; }

  // The program's own file name and its parameters (ParamStr(0) is the program).
  std::string ExeName() const;
  int ParamCount() const;
  std::string ParamStr(int index) const;
  void SetParameters(std::vector<std::string> parameters); // without the program name
  // Tests: the program's file name as if it had been started under another one; empty restores it.
  void SetExeName(std::string exeName) { exeName_ = std::move(exeName); }

  int PixelsPerInch() const; // 96 headless

  TDesktop &Desktop();
  void SetDesktop(TDesktop *desktop); // not owned; null restores the platform's own

  // Handles pending window messages and due timers of the calling thread, then returns.
  void ProcessMessages();
  // Sleeps until the event is set or a message (or timer) is there for the calling thread to
  // process; true when the event woke it (the event is then reset). ProcessMessages next.
  bool WaitForEventOrMessage(TEvent &event);
  // Shows the main form and runs the message loop until it closes.
  void Run(TForm &mainForm);
  // Reports an error as the top-level handler does: the silent abort is dropped, everything else
  // goes into the standard error box.
  void HandleException(const std::exception &error);

  // The main window's native handle (an HWND), when it has one: owner of the message boxes.
  void *MainWindowHandle = nullptr;

private:
  static const std::vector<std::string> &PlatformParameters();
  bool nativeWindows_ = false;
  std::vector<std::string> parameters_;
  std::string exeName_;
  bool parametersSet_ = false;
  TDesktop *desktop_ = nullptr;
  std::unique_ptr<TDesktop> platformDesktop_;
};

TApplication &Application();
