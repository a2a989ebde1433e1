// The console runner's costs, each beside the plainest way to do the same with the calls below it:
// captured output against a bare read loop, the delay from a child's line to its report, the CPU
// used while a silent child runs, and one ExecuteCommand against a bare spawn and wait.
#include "framework/Process.h"
#include "process/DosCommand.h"
#include "process/ExecuteCommand.h"
#include "session/BuildLog.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

constexpr std::int64_t FiftyMegabytes = 50 * 1024 * 1024;

std::string Child(const std::string &actions) {
  return std::string("\"") + ZEL_TESTCHILD + "\" " + actions;
}

void WaitLikeExecuteCommand(const TDosCommand &command) {
  while (!command.Finished())
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// 50 MB in lines of 80 bytes, through the runner into CapturedLines.
void BM_CapturedOutput(benchmark::State &state) {
  for (auto _ : state) {
    TDosCommand command;
    command.CommandLine = Child("spew:" + std::to_string(FiftyMegabytes) + ":80");
    command.Run();
    WaitLikeExecuteCommand(command);
    if (command.CapturedLines.size() != std::size_t(FiftyMegabytes / 80))
      state.SkipWithError("lines lost");
  }
  state.SetBytesProcessed(state.iterations() * FiftyMegabytes);
}
BENCHMARK(BM_CapturedOutput)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The same child and pipe, read with blocking reads of 64 KB until the end, bytes thrown away.
void BM_PlainReadLoop(benchmark::State &state) {
  std::vector<char> buffer(65536);
  for (auto _ : state) {
    TPipe input, output;
    std::uint32_t error = 0;
    CreateChildPipe(input, TChildEnd::Read, error);
    CreateChildPipe(output, TChildEnd::Write, error);
    TChildProcess child;
    child.Start(Child("spew:" + std::to_string(FiftyMegabytes) + ":80"), input.ReadEnd, output.WriteEnd);
    output.WriteEnd.Close(); // so that the end of the child's output ends the loop
    std::int64_t total = 0;
    while (std::uint32_t got = output.ReadEnd.Read(buffer.data(), std::uint32_t(buffer.size())))
      total += got;
    child.WaitForExit();
    if (total != FiftyMegabytes)
      state.SkipWithError("bytes lost");
  }
  state.SetBytesProcessed(state.iterations() * FiftyMegabytes);
}
BENCHMARK(BM_PlainReadLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// From the child's write to the report of the line: the child writes its steady clock, which is the
// same clock in both processes.
void BM_LineDelay(benchmark::State &state) {
  std::vector<double> delays;
  std::mutex mutex;
  for (auto _ : state) {
    TDosCommand command;
    command.OnNewLine = [&](TDosCommand &, const std::string &line, TOutputType type) {
      if (type != otEntireLine)
        return;
      auto now = std::chrono::steady_clock::now().time_since_epoch();
      double sent = std::stod(line);
      std::lock_guard lock(mutex);
      delays.push_back((double(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()) - sent) /
                       1e3);
    };
    command.CommandLine = Child("stamp:200:7");
    command.Run();
    WaitLikeExecuteCommand(command);
  }
  std::sort(delays.begin(), delays.end());
  double sum = 0;
  for (double d : delays)
    sum += d;
  state.counters["mean_us"] = delays.empty() ? 0 : sum / double(delays.size());
  state.counters["median_us"] = delays.empty() ? 0 : delays[delays.size() / 2];
  state.counters["max_us"] = delays.empty() ? 0 : delays.back();
}
BENCHMARK(BM_LineDelay)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// A child that stays silent for 10 s while the caller waits as ExecuteCommand does: the CPU time
// of this whole process (the worker's polling and the caller's) against the time that passed.
void BM_SilentChildCpu(benchmark::State &state) {
  for (auto _ : state) {
    double cpuBefore = CpuSeconds();
    auto start = std::chrono::steady_clock::now();
    TDosCommand command;
    command.CommandLine = Child("sleep:10000");
    command.Run();
    WaitLikeExecuteCommand(command);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.counters["cpu_percent"] = 100.0 * (CpuSeconds() - cpuBefore) / wall;
  }
}
BENCHMARK(BM_SilentChildCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_ExecuteCommandTrivial(benchmark::State &state) {
  EnsureBuildLog();
  for (auto _ : state)
    ExecuteCommand(Child("exit:0"), "trivial");
  BuildLog.reset();
}
BENCHMARK(BM_ExecuteCommandTrivial)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_SpawnAndWait(benchmark::State &state) {
  for (auto _ : state) {
    TPipe input, output;
    std::uint32_t error = 0;
    CreateChildPipe(input, TChildEnd::Read, error);
    CreateChildPipe(output, TChildEnd::Write, error);
    TChildProcess child;
    child.Start(Child("exit:0"), input.ReadEnd, output.WriteEnd);
    child.WaitForExit();
  }
}
BENCHMARK(BM_SpawnAndWait)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
