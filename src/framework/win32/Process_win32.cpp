// Child processes on Win32: CreateProcessA with redirected standard handles, GetExitCodeProcess
// for exit codes, and pipes: anonymous ones for plain blocking use, and for the runner named pipes
// whose own end is opened overlapped, so that a read in progress can be waited for together with
// the process handle and an event (the technique ninja's subprocess-win32.cc uses).
#include "framework/Process.h"

#include <atomic>
#include <cstdio>
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

bool CreateChildPipe(TPipe &pipe, TChildEnd childEnd, std::uint32_t &error, std::uint32_t bufferSize) {
  // No security descriptor: the pipe gets this process's default security, not a null access
  // list that would open it to everyone. Both ends start inheritable; ours is then made private.
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof(attributes);
  attributes.lpSecurityDescriptor = nullptr;
  attributes.bInheritHandle = TRUE;
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &attributes, bufferSize)) {
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

namespace {
// What the processes a tool left running report when they are ended with it.
constexpr UINT LeftBehindExitCode = 1;

// A job whose processes all end when its last handle closes, which happens at the latest when this
// process ends, in whatever way. None when the system refuses one.
UniqueHandle NewToolJob() {
  UniqueHandle job(::CreateJobObjectA(nullptr, nullptr));
  if (!job)
    return job;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!::SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits)))
    job.Close();
  return job;
}
} // namespace

TChildProcess::~TChildProcess() {
  Close();
}

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

  // The child starts suspended, to be in its job before it can start anything.
  UniqueHandle job = NewToolJob();
  DWORD flags = priorityClass | CREATE_NEW_CONSOLE | (job ? CREATE_SUSPENDED : 0);
  PROCESS_INFORMATION created{};
  // ERROR_INTERNAL_ERROR means the new process died while the system was still setting it up,
  // before any of its own code ran (Wine reports a rare crash of its loader so): one more try.
  for (int attempt = 0;; ++attempt) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0'); // CreateProcessA may write into the command line
    if (::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                         startFolder_.empty() ? nullptr : startFolder_.c_str(), &startup, &created))
      break;
    startError_ = ::GetLastError();
    if (startError_ != ERROR_INTERNAL_ERROR || attempt > 0)
      return false;
  }
  process_.Reset(created.hProcess);
  thread_.Reset(created.hThread);
  id_ = created.dwProcessId;
  if (job) {
    // Before Windows 8 a process in a job of its own (given by whoever started us) cannot put its
    // child into another: the child then runs without one.
    if (::AssignProcessToJobObject(job.Get(), process_.Get()))
      job_ = std::move(job);
    ::ResumeThread(thread_.Get());
  }
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

bool TChildProcess::HasEnded() {
  return process_.IsValid() && ::WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0;
}

void TChildProcess::Close() {
  if (job_) {
    if (HasEnded()) {
      ::TerminateJobObject(job_.Get(), LeftBehindExitCode);
    } else {
      // A child let go of while it runs keeps running, with all it starts: the job must not end
      // them as it closes.
      JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
      ::SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    }
    job_.Close();
  }
  thread_.Close();
  process_.Close();
  id_ = 0;
}

// ---- TChildPipes ----

namespace {

constexpr DWORD InputPipeSize = 65536;

// How often the process is asked whether it has ended while output keeps arriving (ms): often
// enough that its end is noticed at once, seldom enough to cost nothing next to the reads.
constexpr ULONGLONG EndLookInterval = 10;

// Unique within the machine: this process's identifier and a counter.
std::string NewPipeName() {
  static std::atomic<unsigned long> counter{0};
  char name[80];
  std::snprintf(name, sizeof name, "\\\\.\\pipe\\ZelRecompile-%lu-%lu",
                static_cast<unsigned long>(::GetCurrentProcessId()), ++counter);
  return name;
}

// A named pipe with one instance: our end overlapped and private, the child's end plain and
// inheritable. inbound: the child writes and we read.
bool CreateOverlappedPipe(bool inbound, UniqueHandle &ours, UniqueHandle &childs, std::uint32_t &error) {
  std::string name = NewPipeName();
  DWORD openMode = (inbound ? PIPE_ACCESS_INBOUND : PIPE_ACCESS_OUTBOUND) | FILE_FLAG_OVERLAPPED |
                   FILE_FLAG_FIRST_PIPE_INSTANCE;
  DWORD size = inbound ? ChildOutputPipeSize : InputPipeSize;
  ours.Reset(::CreateNamedPipeA(name.c_str(), openMode, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1,
                                size, size, 0, nullptr));
  if (!ours) {
    error = ::GetLastError();
    return false;
  }
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  childs.Reset(::CreateFileA(name.c_str(), inbound ? GENERIC_WRITE : GENERIC_READ, 0, &inheritable,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!childs) {
    error = ::GetLastError();
    ours.Close();
    return false;
  }
  // The child's end is open, so the pipe is connected already; this only confirms it.
  OVERLAPPED connect{};
  UniqueHandle connected(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  connect.hEvent = connected.Get();
  if (!::ConnectNamedPipe(ours.Get(), &connect)) {
    DWORD why = ::GetLastError();
    DWORD ignored = 0;
    if (why == ERROR_IO_PENDING)
      ::GetOverlappedResult(ours.Get(), &connect, &ignored, TRUE);
    else if (why != ERROR_PIPE_CONNECTED) {
      error = why;
      ours.Close();
      childs.Close();
      return false;
    }
  }
  error = 0;
  return true;
}

UniqueHandle NewManualEvent() {
  return UniqueHandle(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

} // namespace

struct TChildPipes::TImpl {
  UniqueHandle Output, Input; // ours
  UniqueHandle ReadDone = NewManualEvent(), WriteDone = NewManualEvent();
  OVERLAPPED ReadOperation{}, WriteOperation{};
  char *ReadTo = nullptr; // where the read in progress or the last one puts its bytes
  DWORD Arrived = 0;      // bytes of a finished read not yet taken
  bool Reading = false;   // a read is in progress
  bool OutputEnded = false;
  bool ChildEnded = false;   // seen, and reported once the output read with it is taken
  ULONGLONG EndLookedAt = 0; // when the process was last asked, while output kept arriving
  std::string Queued;        // input not yet handed to a write
  std::string InFlight;      // the bytes of the write in progress, which must stay put until it ends
  bool Writing = false;
  bool InputBroken = false;

  // The room stays where it is while the read is in progress: the next room is asked for only
  // for the next read.
  void StartRead(std::span<char> room) {
    ReadTo = room.data();
    ReadOperation = OVERLAPPED{};
    ReadOperation.hEvent = ReadDone.Get();
    DWORD got = 0;
    if (::ReadFile(Output.Get(), ReadTo, DWORD(room.size()), &got, &ReadOperation)) {
      Arrived = got;
      return;
    }
    if (::GetLastError() == ERROR_IO_PENDING)
      Reading = true;
    else
      OutputEnded = true; // ERROR_BROKEN_PIPE: every writer has gone
  }

  // False while the read is still in progress (only when not waiting).
  bool FinishRead(bool wait) {
    DWORD got = 0;
    if (::GetOverlappedResult(Output.Get(), &ReadOperation, &got, wait ? TRUE : FALSE)) {
      Reading = false;
      Arrived = got;
      return true;
    }
    DWORD why = ::GetLastError();
    if (why == ERROR_IO_INCOMPLETE)
      return false;
    Reading = false;
    if (why != ERROR_OPERATION_ABORTED)
      OutputEnded = true;
    return true;
  }

  void CancelRead() {
    if (!Reading)
      return;
    ::CancelIoEx(Output.Get(), &ReadOperation);
    FinishRead(true); // what had arrived before the cancel is kept
  }

  // Hands queued input to the pipe until a write has to wait for the child.
  void PushInput() {
    while (!Writing && !InputBroken && !Queued.empty()) {
      InFlight.swap(Queued);
      Queued.clear();
      WriteOperation = OVERLAPPED{};
      WriteOperation.hEvent = WriteDone.Get();
      DWORD put = 0;
      if (::WriteFile(Input.Get(), InFlight.data(), DWORD(InFlight.size()), &put, &WriteOperation))
        KeepUnwritten(put);
      else if (::GetLastError() == ERROR_IO_PENDING)
        Writing = true;
      else
        BreakInput();
    }
  }

  void FinishWrite(bool wait) {
    DWORD put = 0;
    if (::GetOverlappedResult(Input.Get(), &WriteOperation, &put, wait ? TRUE : FALSE)) {
      Writing = false;
      KeepUnwritten(put);
      return;
    }
    if (::GetLastError() == ERROR_IO_INCOMPLETE)
      return;
    Writing = false;
    BreakInput();
  }

  void KeepUnwritten(DWORD put) {
    if (put < InFlight.size())
      Queued.insert(0, InFlight, put, std::string::npos);
    InFlight.clear();
  }

  // The child cannot take input any more (it has gone): what is left is dropped.
  void BreakInput() {
    InputBroken = true;
    Queued.clear();
    InFlight.clear();
  }
};

TChildPipes::TChildPipes() : impl_(std::make_unique<TImpl>()) {}

TChildPipes::~TChildPipes() {
  Cancel();
}

bool TChildPipes::Create(bool withInput, std::uint32_t &error) {
  UniqueHandle childOutput, childInput;
  if (!CreateOverlappedPipe(true, impl_->Output, childOutput, error))
    return false;
  if (withInput) {
    if (!CreateOverlappedPipe(false, impl_->Input, childInput, error))
      return false;
    childInput_ = TPipeEnd(std::move(childInput));
  } else {
    // The writing end goes at once: the child's first read finds the end of its input.
    TPipe empty;
    if (!CreateChildPipe(empty, TChildEnd::Read, error))
      return false;
    childInput_ = std::move(empty.ReadEnd);
  }
  childOutput_ = TPipeEnd(std::move(childOutput));
  return true;
}

void TChildPipes::QueueInput(std::string_view bytes) {
  if (impl_->Input && !impl_->InputBroken)
    impl_->Queued.append(bytes);
}

TChildPipes::TWaitResult TChildPipes::Wait(TChildProcess &child, TEvent &wake, std::uint32_t milliseconds) {
  TImpl &impl = *impl_;
  for (;;) {
    if (impl.Arrived > 0) {
      // A read that finds bytes waiting finishes at once, and the output comes first when the
      // process ends as a read does: output that keeps arriving would hide the end. So the
      // process is asked now and then meanwhile.
      ULONGLONG now = ::GetTickCount64();
      if (now - impl.EndLookedAt >= EndLookInterval) {
        impl.EndLookedAt = now;
        impl.ChildEnded = impl.ChildEnded || child.HasEnded();
      }
      return wrOutput;
    }
    if (impl.ChildEnded)
      return wrChildEnded;
    if (!impl.Reading && !impl.OutputEnded) {
      impl.StartRead(NextRoom());
      continue;
    }
    impl.PushInput();
    HANDLE handles[4];
    DWORD count = 0;
    if (impl.Reading)
      handles[count++] = impl.ReadDone.Get(); // first, so that output comes before the end
    handles[count++] = child.process_.Get();
    handles[count++] = wake.Native();
    if (impl.Writing)
      handles[count++] = impl.WriteDone.Get();
    DWORD result = ::WaitForMultipleObjects(count, handles, FALSE, milliseconds);
    if (result == WAIT_TIMEOUT)
      return wrTimedOut;
    if (result >= WAIT_OBJECT_0 + count)
      return wrChildEnded; // a handle went bad: nothing more can be waited for
    HANDLE signalled = handles[result - WAIT_OBJECT_0];
    if (signalled == child.process_.Get()) {
      impl.ChildEnded = true;
      return wrChildEnded;
    }
    if (signalled == wake.Native())
      return wrWoken;
    if (signalled == impl.ReadDone.Get())
      impl.FinishRead(false);
    else
      impl.FinishWrite(false);
  }
}

std::string_view TChildPipes::TakeOutput() {
  std::string_view bytes(impl_->ReadTo, impl_->Arrived);
  impl_->Arrived = 0;
  return bytes;
}

std::uint64_t TChildPipes::OutputLeft() {
  TImpl &impl = *impl_;
  impl.CancelRead();
  DWORD waiting = 0;
  if (!impl.OutputEnded && !::PeekNamedPipe(impl.Output.Get(), nullptr, 0, nullptr, &waiting, nullptr))
    waiting = 0;
  return impl.Arrived + waiting;
}

std::string_view TChildPipes::TakeWaitingOutput() {
  TImpl &impl = *impl_;
  impl.CancelRead();
  if (impl.Arrived == 0 && !impl.OutputEnded) {
    DWORD waiting = 0;
    if (::PeekNamedPipe(impl.Output.Get(), nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0) {
      impl.StartRead(NextRoom()); // bytes are waiting, so it finishes at once
      if (impl.Reading)
        impl.FinishRead(true);
    }
  }
  return TakeOutput();
}

void TChildPipes::Cancel() {
  TImpl &impl = *impl_;
  impl.CancelRead();
  if (impl.Writing) {
    ::CancelIoEx(impl.Input.Get(), &impl.WriteOperation);
    impl.FinishWrite(true);
  }
  impl.Queued.clear();
  impl.InFlight.clear();
}
