// Child processes started with redirected standard handles, and the anonymous pipes that connect
// them to this process. Like the Win32 calls behind them, these return results and Win32 error
// codes; the console runner above raises the errors with the texts the user sees. "Could not start"
// (Start returns false) is kept apart from "ran and failed" (an exit code).
#pragma once
#include "Event.h"
#include "Handles.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The exit code of a process that has not ended yet (STILL_ACTIVE).
constexpr std::uint32_t StillActive = 259;

// The normal priority class (NORMAL_PRIORITY_CLASS); OR-ed into the creation flags.
constexpr std::uint32_t NormalPriorityClass = 32;

// Splits a command line into the program and its arguments by the rules of CommandLineToArgvW:
// the program ends at the next blank, or at the closing quote when it starts with one (no escapes
// there); in the arguments 2n backslashes before a quote give n backslashes and toggle quoting,
// 2n+1 give n backslashes and a literal quote, and a quote right after a closing quote is literal.
// The program is followed by the arguments; an empty or blank command line gives no entries.
std::vector<std::string> SplitCommandLine(const std::string &commandLine);

#ifdef _WIN32
using TOwnedHandle = UniqueHandle;
#else
using TOwnedHandle = UniqueFd;
#endif

// One end of an anonymous pipe, closed when the object goes.
class TPipeEnd {
public:
  TPipeEnd() = default;
  explicit TPipeEnd(TOwnedHandle handle) : handle_(std::move(handle)) {}

  bool IsOpen() const noexcept { return handle_.IsValid(); }
  void Close() noexcept { handle_.Close(); }
  TOwnedHandle::HandleType Native() const noexcept { return handle_.Get(); }

  // How many bytes wait in the pipe, without taking them and without blocking. False (count 0)
  // when the pipe cannot be asked.
  bool BytesWaiting(std::uint32_t &count) const;
  // Takes up to size bytes and returns how many it took. It blocks while the pipe is empty, so the
  // runner calls it only for bytes it knows are waiting; 0 at the end of the pipe or on failure.
  std::uint32_t Read(char *buffer, std::uint32_t size);
  // Writes all bytes (blocking while the pipe is full); false when the pipe refused them.
  bool Write(const char *bytes, std::uint32_t size);

private:
  TOwnedHandle handle_;
};

// An anonymous pipe: bytes written to WriteEnd come out of ReadEnd.
struct TPipe {
  TPipeEnd ReadEnd;
  TPipeEnd WriteEnd;
};

// Which end of a new pipe goes to the child.
enum class TChildEnd { Read, Write };

// What the pipe that carries a child's output to the runner holds: a tool that writes fast runs
// ahead while the runner cuts what it has read into lines, instead of waiting for each read.
constexpr std::uint32_t ChildOutputPipeSize = 1 << 20;

// Creates an anonymous pipe with this process's default security, holding bufferSize bytes where
// the system allows it (0: its default size). Only the end named by childEnd can be inherited, so
// the child gets its own end and never a copy of ours (a child holding our write end would never
// see the end of its input). False with the Win32 error code in error.
bool CreateChildPipe(TPipe &pipe, TChildEnd childEnd, std::uint32_t &error, std::uint32_t bufferSize = 0);

// A child process. Start runs a command line with a hidden window in a new console, its standard
// input read from one pipe end and its standard output and error both written to another. The
// child and every process it starts belong together (Win32: a job object, which also ends them all
// when this process ends in any way; POSIX: a process group of their own): a tool that leaves a
// process running behind it does not leave it running behind us once we let go of the tool.
class TChildProcess {
public:
  TChildProcess() = default;
  ~TChildProcess();
  TChildProcess(const TChildProcess &) = delete;
  TChildProcess &operator=(const TChildProcess &) = delete;

  // The command line goes to the system unchanged (program path, quoting and arguments are the
  // caller's); the child runs in the caller's current folder with the caller's environment. On
  // POSIX the program is found as CreateProcess finds it (case-insensitive Windows paths, ".exe"
  // optional, the current folder before PATH). False with the Win32 error code in StartError when
  // no process could be started (2 for a missing program).
  bool Start(const std::string &commandLine, const TPipeEnd &input, const TPipeEnd &output,
             std::uint32_t priorityClass = NormalPriorityClass);
  // The folder the next Start runs the child in instead of the caller's current folder (empty:
  // the caller's). Several children can so start in folders of their own at the same time.
  void SetStartFolder(std::string folder) { startFolder_ = std::move(folder); }
  std::uint32_t StartError() const { return startError_; }
  bool Started() const;
  std::uint32_t Id() const { return id_; }

  // StillActive while the child runs, then its exit code. A child killed by a POSIX signal
  // reports the Windows status of the same crash (0xC0000005 for a segmentation fault). A child
  // may well end with StillActive itself: only HasEnded tells.
  std::uint32_t ExitCode();
  // Whether the child has ended, asked of the process itself rather than read from its exit code.
  bool HasEnded();
  // Ends the child at once; it then reports exitCode. False when it had ended already.
  bool Terminate(std::uint32_t exitCode);
  // Waits up to milliseconds (Infinite: for ever) for the child to end; true when it has.
  static constexpr std::uint32_t Infinite = 0xFFFFFFFF;
  bool WaitForExit(std::uint32_t milliseconds = Infinite);
  // Lets go of the child. Once it has ended, whatever it started and left running is ended now;
  // a child that still runs is left running, with whatever it started.
  void Close();

private:
  friend class TChildPipes;
  std::string startFolder_;
  std::uint32_t startError_ = 0;
  std::uint32_t id_ = 0;
#ifdef _WIN32
  UniqueHandle process_;
  UniqueHandle thread_;
  UniqueHandle job_; // none where this process's own job allows no job inside it
#else
  // Learns whether the child has ended (waiting for it when wait is true) and how, without taking
  // its exit status: the ended child stays a zombie, and so keeps its process group's number from
  // going to another process, until Close.
  bool LookForEnd(bool wait);
  int pid_ = -1;
  UniqueFd exitSignal_; // a pidfd: readable once the child has ended
  bool ended_ = false;
  bool unreaped_ = false; // ended, and its status still ours to take
  std::uint32_t exitCode_ = StillActive;
  bool terminated_ = false;
  std::uint32_t terminateCode_ = 0;
#endif
};

// The runner's side of a child's standard handles, never blocking: output is read as the child
// writes it, queued input is written as the child takes it, and one wait covers the pipes, the end
// of the child and a wake-up event. On Win32 our ends are named pipes opened for overlapped
// operation (anonymous pipes cannot be waited for); on POSIX they are non-blocking descriptors
// polled together with a pidfd.
class TChildPipes {
public:
  TChildPipes();
  ~TChildPipes();
  TChildPipes(const TChildPipes &) = delete;
  TChildPipes &operator=(const TChildPipes &) = delete;

  // Makes both pipes. Without input the child's input is at its end from the start, so a tool
  // that asks a question reads end of file instead of waiting for an answer. False with the Win32
  // error code in error.
  bool Create(bool withInput, std::uint32_t &error);
  // The ends the child gets (for TChildProcess::Start); closed by CloseChildEnds once it has them,
  // so that the pipes break when the child and whatever it started have gone.
  const TPipeEnd &ChildInput() const { return childInput_; }
  const TPipeEnd &ChildOutput() const { return childOutput_; }
  void CloseChildEnds();

  // Where output is read to: before each read the pipes ask room for memory and read into it, so
  // that a caller who keeps the output need not copy it. The memory must stay where it is until
  // what was read into it has been taken. Without room, reads go to a buffer of the pipes' own.
  using TReadRoom = std::function<std::span<char>()>;
  void ReadInto(TReadRoom room);

  // Queues bytes for the child's input; Wait writes them as the child reads.
  void QueueInput(std::string_view bytes);

  enum TWaitResult { wrOutput, wrChildEnded, wrWoken, wrTimedOut };
  // Waits until output has arrived (TakeOutput then has it), the child has ended, wake was set
  // (and is reset) or milliseconds have passed (TEvent::Infinite: no limit). Output that arrived
  // with the end of the child is reported first, and the end at the next call: output that keeps
  // arriving (from a process the child left behind) does not hide the end.
  TWaitResult Wait(TChildProcess &child, TEvent &wake, std::uint32_t milliseconds);
  // The output that has arrived, without waiting; empty when none has. Valid until the next call.
  std::string_view TakeOutput();
  // After the child has ended: the next piece of what is left in the pipe, empty once the rest is
  // taken. The rest is what the pipe held when this was first called, and what arrives while that
  // is taken, as long as more waits, but at most RestAfterEndBytes or RestAfterEndTime more: a
  // process the child started and left running may hold the pipe and write to it for ever. It
  // never waits for more.
  std::string_view TakeRemainingOutput();
  static constexpr std::uint64_t RestAfterEndBytes = 16 << 20;
  static constexpr std::uint32_t RestAfterEndTime = 1000; // ms
  // Gives up input not yet written and any operation in progress.
  void Cancel();

  struct TImpl;

private:
  std::span<char> NextRoom();
  // Stops a read in progress and tells how many bytes are left to take: read and not yet taken,
  // or waiting in the pipe.
  std::uint64_t OutputLeft();
  // The output read or waiting now, without waiting for more; empty when there is none.
  std::string_view TakeWaitingOutput();

  TPipeEnd childInput_, childOutput_;
  TReadRoom room_;
  std::vector<char> ownBuffer_; // where reads go without room_
  std::unique_ptr<TImpl> impl_;
  // What TakeRemainingOutput takes after the child's end: whether it has begun, what the pipe held
  // then, what it has taken, and until when it takes more.
  bool takingRest_ = false;
  std::uint64_t restHeld_ = 0, restTaken_ = 0;
  std::chrono::steady_clock::time_point restUntil_;
};
