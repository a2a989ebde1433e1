// The shared log of a build or install, the row status, and the common report of an
// environment's failure. Every step appends lines; the main window shows them at each flush.
#pragma once
#include "framework/TextLines.h"
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

// What holds a thread's log, as a std::unique_ptr holds it, but without a destructor: the
// mingw-w64 runtime runs the destructors of a thread's variables after it has released their
// storage, which crashes every thread that ends. Each thread releases its own log (reset); the
// window's thread keeps its own to the end of the program.
class TThreadLog {
public:
  explicit operator bool() const { return lines_ != nullptr; }
  TStringList &operator*() const { return *lines_; }
  TStringList *operator->() const { return lines_; }
  TStringList *get() const { return lines_; }
  void reset() {
    std::unique_ptr<TStringList> released(lines_);
    lines_ = nullptr;
  }
  TThreadLog &operator=(std::unique_ptr<TStringList> lines) {
    reset();
    lines_ = lines.release();
    return *this;
  }
  friend bool operator==(const TThreadLog &log, std::nullptr_t) { return !log; }

private:
  TStringList *lines_ = nullptr;
};

// The log of the run: absent until EnsureBuildLog, released by each flush. Each thread has its
// own: an environment that builds beside others writes its lines into a log of its own (see
// TEnvironmentThread), which the run joins into its log in row order.
extern thread_local TThreadLog BuildLog;
// The run's Standard edition flag, set by the build run from StandardEditionBuild.
extern bool StandardMode;

void EnsureBuildLog();
// EnsureBuildLog, then appends one line.
void AppendToBuildLog(const std::string &line);

// Shows text in the status label of row index (unless index is -1), then lets the window handle
// pending messages so that it repaints and reacts between steps.
void ShowStatus(int index, const std::string &text);
// Where a row's status is reported besides its label (a run without a person prints it); unset,
// nowhere else.
extern std::function<void(int index, const std::string &text)> StatusView;

// Where the running tool's last output line is shown while it runs (the main window sets it for
// the time of a build run); unset, the line is shown nowhere. The log is not touched.
extern std::function<void(const std::string &line)> ToolOutputView;
// Shows line through ToolOutputView; an empty line clears what was shown.
void ShowToolOutput(const std::string &line);

// The thread of one environment that builds beside others, for as long as the object lives on it.
// What the environment's steps share with the rest of the program is then its own: BuildLog is the
// thread's, ShowStatus hands the row's status to relay (the run's thread shows it, since the
// window belongs to that thread), the tools' lines are shown nowhere (several run at once), and a
// change of folder before a tool (ChangeFolder) is the tools' own folder rather than the process's
// current folder, which nothing changes while environments build at once.
class TEnvironmentThread {
public:
  using TStatusRelay = std::function<void(int index, const std::string &text)>;
  explicit TEnvironmentThread(TStatusRelay relay);
  ~TEnvironmentThread();
  TEnvironmentThread(const TEnvironmentThread &) = delete;
  TEnvironmentThread &operator=(const TEnvironmentThread &) = delete;

  // The folder the thread's tools start in; empty until the first ChangeFolder.
  std::string ToolFolder;
  // The lines the environment logged, taken out of the thread's log.
  TStringList TakeLog();

  // The calling thread's, or null on a thread that builds alone (the window's).
  static TEnvironmentThread *Current();

private:
  TStatusRelay relay_;
  friend void ShowStatus(int index, const std::string &text);
};
