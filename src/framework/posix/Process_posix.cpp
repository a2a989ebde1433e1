// Child processes on POSIX: pipe2 and posix_spawn, FIONREAD for peeking, waitid for exit codes.
// The command line is read as Windows reads it and the program is found as CreateProcess finds it,
// so that the command lines the program forms for Windows tools run unchanged here.
#include "Win32Codes.h"
#include "framework/Files.h"
#include "framework/Process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

// The exit codes Windows gives a process that crashed the same way.
enum : std::uint32_t {
  StatusAccessViolation = 0xC0000005,
  StatusIllegalInstruction = 0xC000001D,
  StatusIntegerDivideByZero = 0xC0000094,
  StatusControlCExit = 0xC000013A,
  AbortExitCode = 3, // what abort() leaves on Windows
};

// From waitid's report: how the child ended (CLD_EXITED or a signal's CLD_KILLED, CLD_DUMPED) and
// its exit status or that signal.
std::uint32_t ExitCodeFor(int how, int status) {
  if (how == CLD_EXITED)
    return std::uint32_t(status & 0xFF);
  switch (status) {
  case SIGSEGV:
  case SIGBUS:
    return StatusAccessViolation;
  case SIGILL:
    return StatusIllegalInstruction;
  case SIGFPE:
    return StatusIntegerDivideByZero;
  case SIGABRT:
    return AbortExitCode;
  default:
    return StatusControlCExit;
  }
}

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

bool EndsWithIgnoringCase(const std::string &text, const std::string &tail) {
  if (text.size() < tail.size())
    return false;
  for (std::size_t i = 0; i < tail.size(); ++i)
    if (Upper(text[text.size() - tail.size() + i]) != Upper(tail[i]))
      return false;
  return true;
}

bool HasFolder(const std::string &name) {
  return name.find_first_of("\\/") != std::string::npos || (name.size() >= 2 && name[1] == ':');
}

// The names CreateProcess would try for name, in order: as written, then with ".exe" added when the
// name has no extension. Our native builds of the tools carry no ".exe", so a name that has one is
// also tried without it.
std::vector<std::string> NamesToTry(const std::string &name) {
  std::vector<std::string> names{name};
  std::size_t lastPart = name.find_last_of("\\/:");
  lastPart = lastPart == std::string::npos ? 0 : lastPart + 1;
  if (EndsWithIgnoringCase(name, ".exe"))
    names.push_back(name.substr(0, name.size() - 4));
  else if (name.find('.', lastPart) == std::string::npos)
    names.push_back(name + ".exe");
  return names;
}

// 0 when native is a program we may run; else the Win32 code for why not.
std::uint32_t CheckProgram(const std::string &native) {
  struct stat st;
  if (::stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return Fs::ErrorFileNotFound;
  return ::access(native.c_str(), X_OK) == 0 ? 0u : std::uint32_t(Fs::ErrorAccessDenied);
}

// The native path of the program a command line names, searched as CreateProcess searches: a
// name with a folder is resolved from the current folder, a bare name in the current folder and
// then along PATH.
std::optional<std::string> FindProgram(const std::string &name, std::uint32_t &error) {
  std::vector<std::string> folders;
  if (HasFolder(name)) {
    folders.push_back("");
  } else {
    folders.push_back(Fs::CurrentFolder() + "/");
    const char *path = std::getenv("PATH");
    std::string entries = path ? path : "";
    for (std::size_t start = 0; start <= entries.size();) {
      std::size_t end = entries.find(':', start);
      if (end == std::string::npos)
        end = entries.size();
      std::string folder = entries.substr(start, end - start);
      folders.push_back((folder.empty() ? std::string(".") : folder) + "/");
      start = end + 1;
    }
  }
  error = Fs::ErrorFileNotFound;
  for (const auto &folder : folders)
    for (const auto &candidate : NamesToTry(name)) {
      std::string native = Fs::NativePath(folder + candidate);
      std::uint32_t problem = CheckProgram(native);
      if (problem == 0)
        return native;
      if (problem != Fs::ErrorFileNotFound)
        error = problem;
    }
  return std::nullopt;
}

// posix_spawn's own objects, released in every path.
struct TSpawnSetup {
  posix_spawn_file_actions_t Actions;
  posix_spawnattr_t Attributes;
  TSpawnSetup() {
    ::posix_spawn_file_actions_init(&Actions);
    ::posix_spawnattr_init(&Attributes);
  }
  ~TSpawnSetup() {
    ::posix_spawnattr_destroy(&Attributes);
    ::posix_spawn_file_actions_destroy(&Actions);
  }
  TSpawnSetup(const TSpawnSetup &) = delete;
  TSpawnSetup &operator=(const TSpawnSetup &) = delete;
};

} // namespace

bool TPipeEnd::BytesWaiting(std::uint32_t &count) const {
  int waiting = 0;
  count = 0;
  if (::ioctl(handle_.Get(), FIONREAD, &waiting) != 0)
    return false;
  count = std::uint32_t(waiting);
  return true;
}

std::uint32_t TPipeEnd::Read(char *buffer, std::uint32_t size) {
  ssize_t got;
  do
    got = ::read(handle_.Get(), buffer, size);
  while (got < 0 && errno == EINTR);
  return got > 0 ? std::uint32_t(got) : 0;
}

namespace {
// Writes as much as the pipe takes: all of it when fd blocks. A pipe without a reader raises
// SIGPIPE, which would end this whole process: the signal is held back for this thread and
// dropped, so that the write just fails (EPIPE) as WriteFile does. -1 with errno on failure.
ssize_t WriteToPipe(int fd, const char *bytes, std::size_t size) {
  sigset_t pipeSignal, previous;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
  std::size_t done = 0;
  int failure = 0;
  while (done < size) {
    ssize_t put = ::write(fd, bytes + done, size - done);
    if (put < 0 && errno == EINTR)
      continue;
    if (put <= 0) {
      failure = put < 0 ? errno : EIO;
      break;
    }
    done += std::size_t(put);
  }
  if (failure == EPIPE && !sigismember(&previous, SIGPIPE)) {
    timespec now{0, 0};
    while (::sigtimedwait(&pipeSignal, nullptr, &now) < 0 && errno == EINTR) {
    }
  }
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (failure != 0 && (done == 0 || failure != EAGAIN)) {
    errno = failure;
    return -1;
  }
  return ssize_t(done);
}
} // namespace

bool TPipeEnd::Write(const char *bytes, std::uint32_t size) {
  return WriteToPipe(handle_.Get(), bytes, size) == ssize_t(size);
}

bool CreateChildPipe(TPipe &pipe, TChildEnd, std::uint32_t &error, std::uint32_t bufferSize) {
  // Both ends close on exec; the child's end reaches the child only through the dup2 onto its
  // standard handle, so no other child started meanwhile inherits either end.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    error = Win32Codes::FromErrno(errno);
    return false;
  }
  pipe.ReadEnd = TPipeEnd(UniqueFd(fds[0]));
  pipe.WriteEnd = TPipeEnd(UniqueFd(fds[1]));
  // Past the system's limit for one user the pipe keeps its default size, which works as well.
  if (bufferSize > 0)
    ::fcntl(fds[0], F_SETPIPE_SZ, int(bufferSize));
  error = 0;
  return true;
}

TChildProcess::~TChildProcess() {
  Close();
}

bool TChildProcess::Started() const {
  return pid_ > 0;
}

bool TChildProcess::Start(const std::string &commandLine, const TPipeEnd &input, const TPipeEnd &output,
                          std::uint32_t) {
  // The priority class has no counterpart here: children run at our own priority.
  Close();
  std::vector<std::string> arguments = SplitCommandLine(commandLine);
  if (arguments.empty() || arguments[0].empty()) {
    startError_ = Fs::ErrorFileNotFound;
    return false;
  }
  std::optional<std::string> program = FindProgram(arguments[0], startError_);
  if (!program)
    return false;

  TSpawnSetup setup;
  ::posix_spawn_file_actions_adddup2(&setup.Actions, input.Native(), STDIN_FILENO);
  ::posix_spawn_file_actions_adddup2(&setup.Actions, output.Native(), STDOUT_FILENO);
  ::posix_spawn_file_actions_adddup2(&setup.Actions, output.Native(), STDERR_FILENO);
  if (!startFolder_.empty()) {
    // CreateProcess refuses a missing folder before it starts anything.
    if (!Fs::DirectoryExists(startFolder_)) {
      startError_ = Fs::ErrorPathNotFound;
      return false;
    }
    ::posix_spawn_file_actions_addchdir_np(&setup.Actions, Fs::NativePath(startFolder_).c_str());
    if (!program->empty() && program->front() != '/') // found from our folder, as CreateProcess finds it
      *program = Fs::NativePath(Fs::CurrentFolder()) + "/" + *program;
  }
  // Signals this process ignores or blocks must not carry over into the tool.
  sigset_t signals;
  sigemptyset(&signals);
  ::posix_spawnattr_setsigmask(&setup.Attributes, &signals);
  for (int signal : {SIGPIPE, SIGINT, SIGQUIT, SIGHUP, SIGTERM})
    sigaddset(&signals, signal);
  ::posix_spawnattr_setsigdefault(&setup.Attributes, &signals);
  // A process group of its own, numbered as the child, for all it starts: what is left of it when
  // it has ended can be ended together.
  ::posix_spawnattr_setpgroup(&setup.Attributes, 0);
  ::posix_spawnattr_setflags(&setup.Attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  std::vector<char *> argv;
  for (auto &argument : arguments)
    argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  int failure =
      ::posix_spawn(&pid, program->c_str(), &setup.Actions, &setup.Attributes, argv.data(), environ);
  if (failure != 0) {
    startError_ = Win32Codes::FromErrno(failure);
    return false;
  }
  pid_ = pid;
  id_ = std::uint32_t(pid);
#ifdef SYS_pidfd_open
  exitSignal_.Reset(int(::syscall(SYS_pidfd_open, pid, 0))); // stays invalid on kernels before 5.3
#endif
  startError_ = 0;
  ended_ = false;
  exitCode_ = StillActive;
  terminated_ = false;
  return true;
}

bool TChildProcess::LookForEnd(bool wait) {
  if (ended_)
    return true;
  if (pid_ <= 0)
    return false;
  siginfo_t info{};
  int result;
  do
    result = ::waitid(P_PID, id_t(pid_), &info, WEXITED | WNOWAIT | (wait ? 0 : WNOHANG));
  while (result < 0 && errno == EINTR);
  if (result == 0 && info.si_pid == 0)
    return false;
  ended_ = true;
  unreaped_ = result == 0;
  if (result < 0) // reaped by someone else: the code is lost, and a lost code must not read as success
    exitCode_ = terminated_ ? terminateCode_ : 0xFFFFFFFF;
  else if (terminated_ && info.si_code != CLD_EXITED && info.si_status == SIGKILL)
    exitCode_ = terminateCode_;
  else
    exitCode_ = ExitCodeFor(info.si_code, info.si_status);
  return true;
}

std::uint32_t TChildProcess::ExitCode() {
  if (!Started())
    return 0;
  LookForEnd(false);
  return exitCode_;
}

bool TChildProcess::Terminate(std::uint32_t exitCode) {
  if (!Started() || LookForEnd(false))
    return false;
  if (::kill(pid_, SIGKILL) != 0)
    return false;
  terminated_ = true;
  terminateCode_ = exitCode;
  return true;
}

bool TChildProcess::WaitForExit(std::uint32_t milliseconds) {
  if (!Started())
    return false;
  if (milliseconds == Infinite)
    return LookForEnd(true);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!LookForEnd(false)) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

bool TChildProcess::HasEnded() {
  return Started() && LookForEnd(false);
}

void TChildProcess::Close() {
  if (Started() && LookForEnd(false)) {
    if (unreaped_) {
      // The rest of its group goes with it. While the child is a zombie no other process can have
      // its number, so the signal reaches only what it started.
      ::kill(-pid_, SIGKILL);
      int status;
      while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
    }
  } else if (Started()) {
    // The child runs on without us (as a Windows child does when its handles are closed); someone
    // must still collect its exit status, or it stays behind as a zombie until we end.
    std::thread([pid = pid_] {
      int status;
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  }
  exitSignal_.Close();
  pid_ = -1;
  id_ = 0;
  ended_ = false;
  unreaped_ = false;
  exitCode_ = StillActive;
  terminated_ = false;
}

// ---- TChildPipes ----

namespace {

// Without a pidfd (kernels before 5.3) the end of the child is looked for this often.
constexpr int ReapInterval = 10;

bool SetNonBlocking(int fd) {
  int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

} // namespace

struct TChildPipes::TImpl {
  TPipeEnd Output, Input;          // ours, non-blocking
  const char *ArrivedAt = nullptr; // bytes read and not yet taken
  std::size_t Arrived = 0;
  bool OutputEnded = false;
  bool ChildEnded = false; // seen, and reported once the output read with it is taken
  std::string Queued;
  std::size_t QueuedFrom = 0; // the part of Queued already written
  bool InputBroken = false;

  void ReadNow(std::span<char> room) {
    ssize_t got;
    while ((got = ::read(Output.Native(), room.data(), room.size())) < 0 && errno == EINTR) {
    }
    if (got > 0) {
      ArrivedAt = room.data();
      Arrived = std::size_t(got);
    } else if (got == 0 || errno != EAGAIN)
      OutputEnded = true;
  }

  bool InputWaiting() const { return !InputBroken && QueuedFrom < Queued.size(); }

  void PushInput() {
    if (!InputWaiting())
      return;
    ssize_t put = WriteToPipe(Input.Native(), Queued.data() + QueuedFrom, Queued.size() - QueuedFrom);
    if (put < 0 && errno != EAGAIN) {
      InputBroken = true; // the child has gone: what is left is dropped
      put = ssize_t(Queued.size() - QueuedFrom);
    }
    if (put > 0)
      QueuedFrom += std::size_t(put);
    if (QueuedFrom == Queued.size()) {
      Queued.clear();
      QueuedFrom = 0;
    }
  }
};

TChildPipes::TChildPipes() : impl_(std::make_unique<TImpl>()) {}

TChildPipes::~TChildPipes() = default;

bool TChildPipes::Create(bool withInput, std::uint32_t &error) {
  TPipe output, input;
  if (!CreateChildPipe(output, TChildEnd::Write, error, ChildOutputPipeSize) ||
      !CreateChildPipe(input, TChildEnd::Read, error))
    return false;
  if (!SetNonBlocking(output.ReadEnd.Native()) || (withInput && !SetNonBlocking(input.WriteEnd.Native()))) {
    error = Win32Codes::FromErrno(errno);
    return false;
  }
  impl_->Output = std::move(output.ReadEnd);
  // Without input the writing end goes with `input` here: the child reads the end of its input.
  if (withInput)
    impl_->Input = std::move(input.WriteEnd);
  childOutput_ = std::move(output.WriteEnd);
  childInput_ = std::move(input.ReadEnd);
  return true;
}

void TChildPipes::QueueInput(std::string_view bytes) {
  if (impl_->Input.IsOpen() && !impl_->InputBroken)
    impl_->Queued.append(bytes);
}

TChildPipes::TWaitResult TChildPipes::Wait(TChildProcess &child, TEvent &wake, std::uint32_t milliseconds) {
  TImpl &impl = *impl_;
  // Without a pidfd the child is asked whether it has ended before each wait, and waits last at
  // most ReapInterval.
  bool reaping = !child.exitSignal_;
  std::chrono::steady_clock::time_point deadline;
  if (reaping && milliseconds != TEvent::Infinite)
    deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    if (impl.Arrived > 0)
      return wrOutput;
    if (reaping && !impl.ChildEnded)
      impl.ChildEnded = child.HasEnded();
    if (impl.ChildEnded)
      return wrChildEnded;
    impl.PushInput();
    pollfd watched[4];
    nfds_t count = 0;
    int outputAt = -1, endAt = -1, inputAt = -1;
    if (!impl.OutputEnded) {
      outputAt = int(count);
      watched[count++] = {impl.Output.Native(), POLLIN, 0};
    }
    if (child.exitSignal_) {
      endAt = int(count);
      watched[count++] = {child.exitSignal_.Get(), POLLIN, 0};
    }
    int wakeAt = int(count);
    watched[count++] = {wake.Native(), POLLIN, 0};
    if (impl.InputWaiting()) {
      inputAt = int(count);
      watched[count++] = {impl.Input.Native(), POLLOUT, 0};
    }
    int timeout = milliseconds == TEvent::Infinite ? -1 : int(milliseconds);
    if (reaping && (timeout < 0 || timeout > ReapInterval))
      timeout = ReapInterval;
    int ready = ::poll(watched, count, timeout);
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready < 0)
      return wrChildEnded; // nothing more can be waited for
    if (ready == 0) {
      if (!reaping || (milliseconds != TEvent::Infinite && std::chrono::steady_clock::now() >= deadline))
        return wrTimedOut;
      continue;
    }
    if (endAt >= 0 && watched[endAt].revents != 0)
      impl.ChildEnded = true;
    if (outputAt >= 0 && watched[outputAt].revents != 0) {
      impl.ReadNow(NextRoom());
      continue;
    }
    if (impl.ChildEnded)
      continue;
    if (watched[wakeAt].revents != 0) {
      wake.Consume();
      return wrWoken;
    }
    if (inputAt >= 0 && watched[inputAt].revents & (POLLERR | POLLHUP)) {
      impl.InputBroken = true;
      impl.Queued.clear();
      impl.QueuedFrom = 0;
    }
  }
}

std::string_view TChildPipes::TakeOutput() {
  std::string_view bytes(impl_->ArrivedAt, impl_->Arrived);
  impl_->Arrived = 0;
  return bytes;
}

std::uint64_t TChildPipes::OutputLeft() {
  std::uint32_t waiting = 0;
  if (!impl_->OutputEnded)
    impl_->Output.BytesWaiting(waiting);
  return impl_->Arrived + waiting;
}

std::string_view TChildPipes::TakeWaitingOutput() {
  if (impl_->Arrived == 0 && !impl_->OutputEnded)
    impl_->ReadNow(NextRoom());
  return TakeOutput();
}

void TChildPipes::Cancel() {
  impl_->Queued.clear();
  impl_->QueuedFrom = 0;
}
