#include "framework/Application.h"
#include "framework/Desktop.h"
#include "framework/Files.h"
#include "framework/WinApi.h"

#include <shlobj.h>

namespace {
HWND Owner() { return static_cast<HWND>(Application().MainWindowHandle); }

std::string Title() {
  std::string name = Fs::ProgramFileName();
  auto slash = name.find_last_of("\\/");
  if (slash != std::string::npos)
    name.erase(0, slash + 1);
  auto dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

bool waitCursor = false;

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data)
    ::SendMessageA(window, BFFM_SETSELECTIONA, TRUE, data);
  return 0;
}
} // namespace

bool TWin32Desktop::AskYesNo(const std::string &message) {
  return ::MessageBoxA(Owner(), message.c_str(), "Confirm", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void TWin32Desktop::ShowMessage(const std::string &message) {
  ::MessageBoxA(Owner(), message.c_str(), Title().c_str(), MB_OK);
}

void TWin32Desktop::ShowError(const std::string &message) {
  ::MessageBoxA(Owner(), message.c_str(), Title().c_str(), MB_OK | MB_ICONERROR);
}

std::optional<std::string> TWin32Desktop::BrowseForFolder(const std::string &title,
                                                          const std::string &initialFolder) {
  ::CoInitialize(nullptr);
  char displayName[MAX_PATH] = {};
  BROWSEINFOA info{};
  info.hwndOwner = Owner();
  info.pszDisplayName = displayName;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = BrowseCallback;
  info.lParam = initialFolder.empty() ? 0 : reinterpret_cast<LPARAM>(initialFolder.c_str());
  PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderA(&info);
  if (!chosen)
    return std::nullopt;
  char path[MAX_PATH] = {};
  bool ok = ::SHGetPathFromIDListA(chosen, path);
  ::CoTaskMemFree(chosen);
  if (!ok)
    return std::nullopt;
  return std::string(path);
}

bool TWin32Desktop::StartProgram(const std::string &commandLine) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

void TWin32Desktop::SetWaitCursor(bool wait) {
  waitCursor = wait;
  ::SetCursor(::LoadCursor(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

bool IsWaitCursorShown() { return waitCursor; }
