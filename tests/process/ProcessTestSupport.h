// What the process tests share: command lines for the test child, and a recorder of the lines a
// runner reports from its worker thread.
#pragma once
#include "process/DosCommand.h"

#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A test name made of the text: letters and digits kept, everything else "_".
std::string TestName(const std::string &text);

// The text in double quotes, as a program path with blanks must be written.
std::string Quoted(const std::string &text);

// An argument as the command line must carry it: quoted when it holds a blank.
std::string QuoteArgument(const std::string &argument);

// The quoted path of the test child followed by the actions (see tools/testchild).
std::string ChildCommand(std::initializer_list<std::string> actions);

// Waits (generously: this only guards against a hang) until the runner's worker has finished.
bool WaitUntilFinished(const TDosCommand &command, std::chrono::seconds limit = std::chrono::seconds(60));

// Lets the timer tick while waiting, as a caller that processes messages does.
bool WaitProcessingMessages(const TDosCommand &command,
                            std::chrono::seconds limit = std::chrono::seconds(60));

// The process identifier a test child wrote to the file at path (babble:), once the file is there;
// 0 when it did not come within the limit (a hang guard).
std::uint32_t ProcessIdInFile(const std::string &path, std::chrono::seconds limit = std::chrono::seconds(60));

// Whether the process with this identifier has gone (ended, or ended and not yet collected by
// whoever adopted it), waiting up to the limit: ending a process takes the system a moment.
bool ProcessGoes(std::uint32_t id, std::chrono::seconds limit = std::chrono::seconds(30));

struct TReportedLine {
  std::string Text;
  TOutputType Type;
  std::size_t DisplayCount; // DisplayLines' size at the moment of the report
  bool operator==(const TReportedLine &other) const = default;
};

// Records every OnNewLine report; the test thread can wait for a given number of them.
class TLineRecorder {
public:
  void Attach(TDosCommand &command);
  bool WaitForCount(std::size_t count, std::chrono::seconds limit = std::chrono::seconds(60));
  std::vector<TReportedLine> Lines();
  std::thread::id ReportingThread();

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<TReportedLine> lines_;
  std::thread::id thread_;
};
