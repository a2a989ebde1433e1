// The console runner's costs, each beside the plainest way to do the same with the calls below it:
// captured output against a bare read loop, the delay from a child's line to its report, the CPU
// used while a silent child runs, and one ExecuteCommand against a bare spawn and wait.
#include "ProcessWorkloads.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <string>
#include <vector>

using namespace ProcessWorkloads;

namespace {

const std::string TestChild = ZEL_TESTCHILD;

// 50 MB in lines of 80 bytes, through the runner into CapturedLines.
void BM_CapturedOutput(benchmark::State &state) {
  for (auto _ : state)
    if (CaptureSpew(TestChild) != std::size_t(FiftyMegabytes / SpewLineLength))
      state.SkipWithError("lines lost");
  state.SetBytesProcessed(state.iterations() * FiftyMegabytes);
}
BENCHMARK(BM_CapturedOutput)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The same child and pipe, read with blocking reads of 64 KB until the end, bytes thrown away.
void BM_PlainReadLoop(benchmark::State &state) {
  for (auto _ : state)
    if (ReadSpewPlainly(TestChild) != FiftyMegabytes)
      state.SkipWithError("bytes lost");
  state.SetBytesProcessed(state.iterations() * FiftyMegabytes);
}
BENCHMARK(BM_PlainReadLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The same, every byte kept in one buffer that every run writes again: the floor for any runner
// that keeps the output.
void BM_KeepingReadLoop(benchmark::State &state) {
  for (auto _ : state)
    if (ReadSpewKeeping(TestChild) != FiftyMegabytes)
      state.SkipWithError("bytes lost");
  state.SetBytesProcessed(state.iterations() * FiftyMegabytes);
}
BENCHMARK(BM_KeepingReadLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The line splitter alone over 200 MB of zeros and of lone CRs: one pass, whatever the bytes.
void BM_SplitSpecialBytes(benchmark::State &state) {
  char byte = char(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(SplitBytes(byte, TwoHundredMegabytes));
  state.SetBytesProcessed(state.iterations() * TwoHundredMegabytes);
}
BENCHMARK(BM_SplitSpecialBytes)->Arg(0)->Arg('\r')->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// From the child's write to the line's showing at the caller.
void BM_LineDelay(benchmark::State &state) {
  std::vector<double> delays;
  for (auto _ : state) {
    auto run = LineDelaysMicroseconds(TestChild);
    delays.insert(delays.end(), run.begin(), run.end());
  }
  std::sort(delays.begin(), delays.end());
  if (delays.empty())
    return;
  state.counters["mean_us"] = std::accumulate(delays.begin(), delays.end(), 0.0) / double(delays.size());
  state.counters["median_us"] = delays[delays.size() / 2];
  state.counters["max_us"] = delays.back();
}
BENCHMARK(BM_LineDelay)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// A child that stays silent for 10 s while the caller waits as ExecuteCommand does: the CPU time
// of this whole process (the worker's polling and the caller's) against the time that passed.
void BM_SilentChildCpu(benchmark::State &state) {
  for (auto _ : state) {
    double cpuBefore = CpuSeconds();
    auto start = std::chrono::steady_clock::now();
    RunSilentChild(TestChild, 10000);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.counters["cpu_percent"] = 100.0 * (CpuSeconds() - cpuBefore) / wall;
  }
}
BENCHMARK(BM_SilentChildCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_ExecuteCommandTrivial(benchmark::State &state) {
  for (auto _ : state)
    ExecuteTrivialChild(TestChild);
}
BENCHMARK(BM_ExecuteCommandTrivial)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_SpawnAndWait(benchmark::State &state) {
  for (auto _ : state)
    SpawnAndWaitTrivialChild(TestChild);
}
BENCHMARK(BM_SpawnAndWait)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
