// Times the console runner beside the bare calls it stands on, as bench/process does with Google
// Benchmark natively: captured output against a plain read loop, the delay from a child's line to
// its report, the CPU used while a silent child runs, one ExecuteCommand against a bare spawn and
// wait. Usage: processtiming TESTCHILD [SILENT_SECONDS]
#include "framework/Process.h"
#include "process/DosCommand.h"
#include "process/ExecuteCommand.h"
#include "session/BuildLog.h"

#ifdef _WIN32
#include "framework/WinApi.h"
#else
#include <sys/resource.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;
constexpr long long FiftyMegabytes = 50LL * 1024 * 1024;

std::string testChild;

std::string Child(const std::string &actions) {
  return "\"" + testChild + "\" " + actions;
}

double Seconds(TClock::time_point since) {
  return std::chrono::duration<double>(TClock::now() - since).count();
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

void WaitLikeExecuteCommand(const TDosCommand &command) {
  while (!command.Finished())
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

double CapturedMegabytesPerSecond() {
  auto start = TClock::now();
  TDosCommand command;
  command.CommandLine = Child("spew:" + std::to_string(FiftyMegabytes) + ":80");
  command.Run();
  WaitLikeExecuteCommand(command);
  double seconds = Seconds(start);
  if (command.CapturedLines.size() != std::size_t(FiftyMegabytes / 80))
    std::printf("  (lines lost: %zu)\n", command.CapturedLines.size());
  return double(FiftyMegabytes) / 1048576.0 / seconds;
}

double PlainReadMegabytesPerSecond() {
  auto start = TClock::now();
  TPipe input, output;
  std::uint32_t error = 0;
  CreateChildPipe(input, TChildEnd::Read, error);
  CreateChildPipe(output, TChildEnd::Write, error);
  TChildProcess child;
  child.Start(Child("spew:" + std::to_string(FiftyMegabytes) + ":80"), input.ReadEnd, output.WriteEnd);
  output.WriteEnd.Close();
  std::vector<char> buffer(65536);
  long long total = 0;
  while (std::uint32_t got = output.ReadEnd.Read(buffer.data(), std::uint32_t(buffer.size())))
    total += got;
  child.WaitForExit();
  if (total != FiftyMegabytes)
    std::printf("  (bytes lost: %lld)\n", total);
  return double(total) / 1048576.0 / Seconds(start);
}

void LineDelay(double &mean, double &median, double &max) {
  std::vector<double> delays;
  std::mutex mutex;
  TDosCommand command;
  command.OnNewLine = [&](TDosCommand &, const std::string &line, TOutputType type) {
    if (type != otEntireLine)
      return;
    auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(TClock::now().time_since_epoch()).count();
    std::lock_guard lock(mutex);
    delays.push_back(double(now - std::atoll(line.c_str())) / 1e3);
  };
  command.CommandLine = Child("stamp:200:7");
  command.Run();
  WaitLikeExecuteCommand(command);
  std::sort(delays.begin(), delays.end());
  double sum = 0;
  for (double delay : delays)
    sum += delay;
  mean = delays.empty() ? 0 : sum / double(delays.size());
  median = delays.empty() ? 0 : delays[delays.size() / 2];
  max = delays.empty() ? 0 : delays.back();
}

double SilentChildCpuPercent(int seconds) {
  double cpu = CpuSeconds();
  auto start = TClock::now();
  TDosCommand command;
  command.CommandLine = Child("sleep:" + std::to_string(seconds * 1000));
  command.Run();
  WaitLikeExecuteCommand(command);
  return 100.0 * (CpuSeconds() - cpu) / Seconds(start);
}

double ExecuteCommandMilliseconds(int runs) {
  EnsureBuildLog();
  auto start = TClock::now();
  for (int i = 0; i < runs; ++i)
    ExecuteCommand(Child("exit:0"), "trivial");
  BuildLog.reset();
  return Seconds(start) * 1000 / runs;
}

double SpawnAndWaitMilliseconds(int runs) {
  auto start = TClock::now();
  for (int i = 0; i < runs; ++i) {
    TPipe input, output;
    std::uint32_t error = 0;
    CreateChildPipe(input, TChildEnd::Read, error);
    CreateChildPipe(output, TChildEnd::Write, error);
    TChildProcess child;
    child.Start(Child("exit:0"), input.ReadEnd, output.WriteEnd);
    child.WaitForExit();
  }
  return Seconds(start) * 1000 / runs;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: processtiming TESTCHILD [SILENT_SECONDS]\n");
    return 2;
  }
  testChild = argv[1];
  int silentSeconds = argc > 2 ? std::atoi(argv[2]) : 10;

  std::printf("captured output, 50 MB in 80-byte lines: %8.1f MB/s\n", CapturedMegabytesPerSecond());
  std::printf("plain read loop, same child and pipe:    %8.1f MB/s\n", PlainReadMegabytesPerSecond());
  double mean, median, max;
  LineDelay(mean, median, max);
  std::printf("line to report, 200 lines:               mean %.0f us, median %.0f us, max %.0f us\n", mean,
              median, max);
  std::printf("CPU while a silent child runs %d s:      %8.2f %% of one core\n", silentSeconds,
              SilentChildCpuPercent(silentSeconds));
  std::printf("ExecuteCommand of a trivial child:       %8.2f ms\n", ExecuteCommandMilliseconds(20));
  std::printf("bare spawn and wait of the same child:   %8.2f ms\n", SpawnAndWaitMilliseconds(20));
  return 0;
}
