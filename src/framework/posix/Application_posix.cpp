// The application of the native build: headless, messages and questions go to the console (tests
// replace the desktop with a scripted one), and "processing messages" means firing due timers.
#include "framework/Application.h"
#include "framework/Desktop.h"
#include "framework/Event.h"
#include "framework/Timer.h"
#include "framework/Controls.h"

#include <fstream>
#include <iostream>
#include <iterator>

void ProcessDueTimers();                  // Timer_posix.cpp
std::uint32_t MillisecondsToNextTimer(); // Timer_posix.cpp

namespace {
class TConsoleDesktop : public TDesktop {
public:
  bool AskYesNo(const std::string &message) override {
    std::cerr << "Question (answered No): " << message << '\n';
    return false;
  }
  void ShowMessage(const std::string &message) override { std::cerr << message << '\n'; }
  void ShowError(const std::string &message) override { std::cerr << "Error: " << message << '\n'; }
  std::optional<std::string> BrowseForFolder(const std::string &, const std::string &) override {
    return std::nullopt;
  }
  bool StartProgram(const std::string &) override { return false; }
  void SetWaitCursor(bool) override {}
};
} // namespace

TApplication::TApplication() : platformDesktop_(std::make_unique<TConsoleDesktop>()) {}

const std::vector<std::string> &TApplication::PlatformParameters() {
  static const std::vector<std::string> parameters = [] {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start < all.size()) {
      std::size_t end = all.find('\0', start);
      if (end == std::string::npos)
        end = all.size();
      items.push_back(all.substr(start, end - start));
      start = end + 1;
    }
    if (!items.empty())
      items.erase(items.begin());
    return items;
  }();
  return parameters;
}

int TApplication::PixelsPerInch() const { return 96; }

void TApplication::ProcessMessages() { ProcessDueTimers(); }

// Headless, the only messages are the timers: the wait ends when the next one is due.
bool TApplication::WaitForEventOrMessage(TEvent &event) { return event.Wait(MillisecondsToNextTimer()); }

void TApplication::Run(TForm &mainForm) {
  RunUserAction([&mainForm] { mainForm.Show(); }); // an error of the first showing is an event's error
}
