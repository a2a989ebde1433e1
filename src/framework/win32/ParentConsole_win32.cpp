#include "framework/Handles.h"
#include "framework/ParentConsole.h"

namespace {
HANDLE output = nullptr;
UniqueHandle consoleOutput; // CONOUT$ of the attached console, when that is the output
} // namespace

bool AttachParentConsole() {
  if (output)
    return true;
  // Redirected by the caller (cmd's "> file", a pipe, or Wine started from a Linux shell, which
  // gives every program the shell's streams): the handle is already there, and valid.
  HANDLE given = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (given && given != INVALID_HANDLE_VALUE && ::GetFileType(given) != FILE_TYPE_UNKNOWN) {
    output = given;
    return true;
  }
  if (!::AttachConsole(ATTACH_PARENT_PROCESS))
    return false;
  consoleOutput.Reset(::CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  output = consoleOutput.Get();
  return consoleOutput.IsValid();
}

void WriteConsoleLine(const std::string &line) {
  if (!output)
    return;
  std::string bytes = line + "\r\n";
  DWORD written = 0;
  ::WriteFile(output, bytes.data(), DWORD(bytes.size()), &written, nullptr);
}
