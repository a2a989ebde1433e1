// Child processes on Win32: CreatePipe, CreateProcessA with redirected standard handles,
// PeekNamedPipe for peeking, GetExitCodeProcess for exit codes.
#include "framework/Process.h"

#include <vector>

bool TPipeEnd::BytesWaiting(std::uint32_t &count) const {
  DWORD waiting = 0;
  BOOL ok = ::PeekNamedPipe(handle_.Get(), nullptr, 0, nullptr, &waiting, nullptr);
  count = ok ? waiting : 0;
  return ok != FALSE;
}

std::uint32_t TPipeEnd::Read(char *buffer, std::uint32_t size) {
  DWORD got = 0;
  if (!::ReadFile(handle_.Get(), buffer, size, &got, nullptr))
    return 0;
  return got;
}

bool TPipeEnd::Write(const char *bytes, std::uint32_t size) {
  while (size > 0) {
    DWORD put = 0;
    if (!::WriteFile(handle_.Get(), bytes, size, &put, nullptr) || put == 0)
      return false;
    bytes += put;
    size -= put;
  }
  return true;
}

bool CreateChildPipe(TPipe &pipe, TChildEnd childEnd, std::uint32_t &error) {
  // No security descriptor: the pipe gets this process's default security, not a null access
  // list that would open it to everyone. Both ends start inheritable; ours is then made private.
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof(attributes);
  attributes.lpSecurityDescriptor = nullptr;
  attributes.bInheritHandle = TRUE;
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &attributes, 0)) {
    error = ::GetLastError();
    return false;
  }
  pipe.ReadEnd = TPipeEnd(UniqueHandle(readEnd));
  pipe.WriteEnd = TPipeEnd(UniqueHandle(writeEnd));
  HANDLE ours = childEnd == TChildEnd::Read ? writeEnd : readEnd;
  if (!::SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0)) {
    error = ::GetLastError();
    pipe = TPipe();
    return false;
  }
  error = 0;
  return true;
}

TChildProcess::~TChildProcess() = default;

bool TChildProcess::Started() const {
  return process_.IsValid();
}

bool TChildProcess::Start(const std::string &commandLine, const TPipeEnd &input, const TPipeEnd &output,
                          std::uint32_t priorityClass) {
  Close();
  STARTUPINFOA startup{};
  ::GetStartupInfoA(&startup);
  startup.cb = sizeof(startup);
  // That block describes the C runtime descriptors this process itself was started with; handed on,
  // it would give the child's runtime our handle values instead of its standard handles.
  startup.cbReserved2 = 0;
  startup.lpReserved2 = nullptr;
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = input.Native();
  startup.hStdOutput = output.Native();
  startup.hStdError = output.Native();

  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0'); // CreateProcessA may write into the command line
  PROCESS_INFORMATION created{};
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, priorityClass | CREATE_NEW_CONSOLE,
                        nullptr, nullptr, &startup, &created)) {
    startError_ = ::GetLastError();
    return false;
  }
  process_.Reset(created.hProcess);
  thread_.Reset(created.hThread);
  id_ = created.dwProcessId;
  startError_ = 0;
  return true;
}

std::uint32_t TChildProcess::ExitCode() {
  DWORD code = 0;
  if (!process_.IsValid() || !::GetExitCodeProcess(process_.Get(), &code))
    return 0;
  return code;
}

bool TChildProcess::Terminate(std::uint32_t exitCode) {
  return process_.IsValid() && ::TerminateProcess(process_.Get(), exitCode);
}

bool TChildProcess::WaitForExit(std::uint32_t milliseconds) {
  return process_.IsValid() && ::WaitForSingleObject(process_.Get(), milliseconds) == WAIT_OBJECT_0;
}

// Anonymous pipes cannot be waited for; the child's end can.
void TChildProcess::Pause(const TPipeEnd &, std::uint32_t milliseconds) {
  if (process_.IsValid())
    ::WaitForSingleObject(process_.Get(), milliseconds);
  else
    ::Sleep(milliseconds);
}

void TChildProcess::Close() {
  thread_.Close();
  process_.Close();
  id_ = 0;
}
