// The console command runner: runs one command line as a hidden console child process, captures
// what it writes to its standard output and error through one pipe, cuts that stream into lines
// and hands them on while the child runs. TDosCommand is what callers configure and start;
// TDosThread, its worker, creates the child and does all reading and writing; TProcessTimer
// measures the two optional time limits in whole seconds.
#pragma once
#include "framework/Event.h"
#include "framework/Exception.h"
#include "framework/Process.h"
#include "framework/TextLines.h"
#include "framework/Timer.h"
#include "process/CapturedLines.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TDosCommand;

enum TOutputType {
  otEntireLine,      // the text is a complete line
  otBeginningOfLine, // the start of a line whose end has not arrived yet
};

using TNewLineEvent =
    std::function<void(TDosCommand &sender, const std::string &newLine, TOutputType outputType)>;
using TDosNotifyEvent = std::function<void(TDosCommand &sender)>;

// The child could not be started; the message is the command line followed by " doesn't exist.".
class TCreateProcessError : public Exception {
public:
  using Exception::Exception;
};

// Counts whole seconds since StartCounting and since the last complete output line. It ticks on
// the thread that started counting, and only while that thread processes messages, so a caller
// that waits without processing messages freezes both counters. The counters are read and reset
// by the worker thread.
class TProcessTimer : public TTimer {
public:
  TProcessTimer();

  std::atomic<std::int32_t> SecondsSinceStart{0};
  std::atomic<std::int32_t> SecondsSinceLastLine{0};

  void StartCounting();
  void Tick();
  void ResetLastLine();
  // Stops the ticks; the counters keep their values. The worker calls this from its own thread:
  // the timer then stops at its next tick, on its own thread, without counting that tick.
  void StopCounting();

private:
  std::atomic<bool> stopRequested_{false};
  std::thread::id countingThread_;
};

// The worker of one run. It keeps its results after it ends.
class TDosThread {
public:
  struct TSettings {
    TDosCommand *Sender = nullptr;
    std::string CommandLine;
    TCapturedLines *CapturedLines = nullptr;
    TStringList *DisplayLines = nullptr;
    bool InputToOutput = false;
    bool CloseInput = false;
    TProcessTimer *Timer = nullptr;
    std::int32_t MaxTimeAfterBeginning = 0;
    std::int32_t MaxTimeAfterLastOutput = 0;
    TNewLineEvent OnNewLine;
    TDosNotifyEvent OnTerminated;
    std::int32_t PriorityClass = 32;
    std::string StartFolder;
    TEvent *Signal = nullptr; // set at each change of the display and when the worker has finished
  };

  explicit TDosThread(TSettings settings);
  // Starts the child, then the thread that watches it; a child that cannot be started ends the
  // worker (FatalError) before Start returns. The runner calls it right after making the worker
  // its current one, so that handlers running on the worker thread already see this worker
  // through the runner.
  void Start();
  // Waits for the thread body to return; the caller makes sure it will (see TDosCommand). On the
  // worker's own thread (a handler that runs the runner again) it returns at once: the body is in
  // its last handler then and touches nothing of the run any more.
  void Join();
  bool OnItsThread() const { return std::this_thread::get_id() == threadId_.load(); }
  ~TDosThread();
  TDosThread(const TDosThread &) = delete;
  TDosThread &operator=(const TDosThread &) = delete;

  // Set when the worker has ended (and before OnTerminated): it touches the lines, the display and
  // the timer no more, apart from what the OnTerminated handler does.
  std::atomic<bool> Finished{false};
  // 259 while the child runs, then its exit code (which may be 259 too); 0 when it never started.
  std::atomic<std::uint32_t> ExitCode{0};

  // Asks the worker to stop: it stops splitting the current read, drops the input, terminates the
  // child with exit code 0 and ends once the child has. Finished follows only then.
  void RequestStop();
  // Queues an entry for the child's input. Its first character is a marker and is not sent; after
  // the marker "_" a CR LF follows the text, after any other marker nothing does.
  void AddInput(std::string entry);
  // The text the display shows last: the partial line when one is showing, else the last line.
  // Any thread may ask; the worker updates it once per read, and signals the change only once the
  // line before it has been asked for: a caller busy elsewhere is woken once, not once per read.
  std::string DisplayLine() const;
  // What ended the worker abnormally (TCreateProcessError when the child could not be started, an
  // Exception when a pipe could not be made, or whatever a handler raised); null otherwise. Valid
  // once Finished is true.
  std::exception_ptr FatalError() const;

private:
  friend struct TLineSink;
  void StartChild();
  void Execute();
  void WatchChild();
  void ReleaseChild();
  void EndWithError(std::exception_ptr error);
  void TakeIn(std::string_view bytes);
  void EndLine();
  void ShowEntireLine(const std::string &line);
  void ShowPartialLine();
  void FlushPendingLine();
  void ShowOnDisplay(const std::string &text);
  void PublishDisplayLine(std::string_view text);
  void FeedInput();
  void EchoInput(const std::string &text);
  bool TimeIsUp() const;
  void Signal();

  TSettings settings_;
  std::unique_ptr<TChildPipes> pipes_; // from the child's start to the worker's end
  TChildProcess child_;
  std::atomic<bool> stopRequested_{false};
  TEvent wake_; // a stop request or new input
  std::mutex inputMutex_;
  TStringList pendingInput_;
  bool partialShown_ = false;
  bool lineEnded_ = false; // in the current read
  mutable std::mutex displayMutex_;
  std::string displayLine_;
  mutable bool displayTaken_ = true; // the line on display has been asked for since it changed
  mutable std::mutex errorMutex_;
  std::exception_ptr fatalError_;
  std::thread thread_;
  std::atomic<std::thread::id> threadId_; // the worker's thread, once its body runs
};

class TDosCommand {
public:
  TDosCommand();
  // A runner is released only after its worker has finished; one that still runs is asked to stop.
  ~TDosCommand();
  TDosCommand(const TDosCommand &) = delete;
  TDosCommand &operator=(const TDosCommand &) = delete;

  std::string CommandLine;
  TNewLineEvent OnNewLine;
  TDosNotifyEvent OnTerminated;
  bool InputToOutput = false;
  std::int32_t MaxTimeAfterBeginning = 0;  // seconds; 0 or less: no limit
  std::int32_t MaxTimeAfterLastOutput = 0; // seconds; 0 or less: no limit
  // The child's input is at its end from the start: a tool that asks a question reads end of file
  // instead of waiting for ever. SendLine then sends nothing.
  bool CloseInput = false;

  TCapturedLines CapturedLines;        // the complete output lines of the last run
  TStringList *DisplayLines = nullptr; // not owned; mirrors the output live, partial line included
  std::int32_t PriorityClass = 32;     // OR-ed into the process creation flags
  std::string StartFolder;             // where the child starts; empty: the caller's current folder

  // Starts the child and returns at once; does nothing when CommandLine is empty. The run before
  // is over first: one that still goes is stopped, and its worker is waited for, so that no two
  // workers ever share the lines or the timer.
  void Run();
  // The current worker's state; valid after a Run that started one.
  bool Finished() const;
  std::uint32_t ExitCode() const;
  // Why the current worker ended abnormally (see TDosThread::FatalError); null when it did not.
  std::exception_ptr FatalError() const;
  // Set when the current worker has finished, and when the line on display changes after the
  // caller asked for the one before (DisplayLine): what a caller waits on instead of polling.
  TEvent &Signal() { return signal_; }
  // The current worker's DisplayLine; empty without one.
  std::string DisplayLine() const;

  // Sends a line (followed by CR LF) or, without lineEnd, bare text to the running child.
  void SendLine(const std::string &text, bool lineEnd = true);
  // Asks the current worker to stop: the child is terminated with exit code 0. It returns at
  // once; Finished says when the worker has ended.
  void Stop();

  TDosThread *Worker() const { return worker_; }
  TProcessTimer *Timer() const { return timer_.get(); }

private:
  TEvent signal_;
  std::unique_ptr<TProcessTimer> timer_;
  std::vector<std::unique_ptr<TDosThread>> workers_; // the current one last
  TDosThread *worker_ = nullptr;
};
