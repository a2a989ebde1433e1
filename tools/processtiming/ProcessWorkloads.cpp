#include "ProcessWorkloads.h"

#include "framework/Application.h"
#include "framework/Process.h"
#include "process/DosCommand.h"
#include "process/ExecuteCommand.h"
#include "process/LineSplitter.h"

#ifdef _WIN32
#include "framework/WinApi.h"
#else
#include <sys/resource.h>
#endif

#include <algorithm>
#include <chrono>

namespace ProcessWorkloads {

namespace {

// ExecuteCommand's wait: asleep until the runner signals or a message arrives.
void WaitLikeExecuteCommand(TDosCommand &command) {
  while (!command.Finished()) {
    Application().WaitForEventOrMessage(command.Signal());
    Application().ProcessMessages();
  }
}

struct TCountingSink {
  std::int64_t Lines = 0;
  void Append(const char *, const char *) {}
  void EndLine() { ++Lines; }
  bool Stopped() const { return false; }
};

std::string SpewActions() {
  return "spew:" + std::to_string(FiftyMegabytes) + ":" + std::to_string(SpewLineLength);
}

// A child on fresh pipes; the caller keeps our ends.
struct TPipedChild {
  TPipe Input, Output;
  TChildProcess Child;

  explicit TPipedChild(const std::string &commandLine) {
    std::uint32_t error = 0;
    CreateChildPipe(Input, TChildEnd::Read, error);
    CreateChildPipe(Output, TChildEnd::Write, error, ChildOutputPipeSize); // the runner's size
    Child.Start(commandLine, Input.ReadEnd, Output.WriteEnd);
  }
};

} // namespace

std::string ChildCommand(const std::string &testChild, const std::string &actions) {
  return "\"" + testChild + "\" " + actions;
}

std::size_t CaptureSpew(const std::string &testChild) {
  TDosCommand command;
  command.CommandLine = ChildCommand(testChild, SpewActions());
  command.CloseInput = true;
  command.Run();
  WaitLikeExecuteCommand(command);
  return command.CapturedLines.size();
}

std::int64_t ReadSpewPlainly(const std::string &testChild) {
  TPipedChild piped(ChildCommand(testChild, SpewActions()));
  piped.Output.WriteEnd.Close(); // so that the end of the child's output ends the loop
  std::vector<char> buffer(65536);
  std::int64_t total = 0;
  while (std::uint32_t got = piped.Output.ReadEnd.Read(buffer.data(), std::uint32_t(buffer.size())))
    total += got;
  piped.Child.WaitForExit();
  return total;
}

std::int64_t ReadSpewKeeping(const std::string &testChild) {
  static std::vector<char> kept(std::size_t(FiftyMegabytes) + 1);
  TPipedChild piped(ChildCommand(testChild, SpewActions()));
  piped.Output.WriteEnd.Close();
  std::size_t total = 0;
  while (total < kept.size())
    if (std::uint32_t got = piped.Output.ReadEnd.Read(kept.data() + total,
                                                      std::uint32_t(std::min<std::size_t>(65536, kept.size() - total))))
      total += got;
    else
      break;
  piped.Child.WaitForExit();
  return std::int64_t(total);
}

std::vector<double> LineDelaysMicroseconds(const std::string &testChild) {
  std::vector<double> delays;
  TDosCommand command;
  command.CommandLine = ChildCommand(testChild, "stamp:200:7");
  command.CloseInput = true;
  command.Run();
  std::string shown;
  while (!command.Finished()) {
    Application().WaitForEventOrMessage(command.Signal());
    Application().ProcessMessages();
    std::string line = command.DisplayLine();
    if (line.empty() || line == shown)
      continue;
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    double received = double(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    delays.push_back((received - std::stod(line)) / 1e3);
    shown = line;
  }
  std::sort(delays.begin(), delays.end());
  return delays;
}

std::int64_t SplitBytes(char byte, std::int64_t total) {
  const std::string piece(65536, byte);
  TCountingSink sink;
  for (std::int64_t done = 0; done < total; done += std::int64_t(piece.size()))
    LineSplitting::Split(piece, sink);
  return sink.Lines;
}

void RunSilentChild(const std::string &testChild, int milliseconds) {
  TDosCommand command;
  command.CommandLine = ChildCommand(testChild, "sleep:" + std::to_string(milliseconds));
  command.CloseInput = true;
  command.Run();
  WaitLikeExecuteCommand(command);
}

void ExecuteTrivialChild(const std::string &testChild) {
  ExecuteCommand(ChildCommand(testChild, "exit:0"), "trivial");
}

void SpawnAndWaitTrivialChild(const std::string &testChild) {
  TPipedChild piped(ChildCommand(testChild, "exit:0"));
  piped.Child.WaitForExit();
}

double CpuSeconds() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto value = [](const FILETIME &time) {
    return double((std::uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e7;
  };
  return value(kernel) + value(user);
#else
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#endif
}

} // namespace ProcessWorkloads
