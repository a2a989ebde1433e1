// Times the console runner beside the bare calls it stands on, as bench/process does with Google
// Benchmark natively: captured output against a plain read loop, the delay from a child's line to
// its report, the CPU used while a silent child runs, one ExecuteCommand against a bare spawn and
// wait. Usage: processtiming TESTCHILD [SILENT_SECONDS]
#include "ProcessWorkloads.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <vector>

using namespace ProcessWorkloads;

namespace {

using TClock = std::chrono::steady_clock;

double SecondsSince(TClock::time_point start) {
  return std::chrono::duration<double>(TClock::now() - start).count();
}

double MegabytesPerSecond(TClock::time_point start) {
  return double(FiftyMegabytes) / 1048576.0 / SecondsSince(start);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

template <typename TWork> double MillisecondsPerRun(int runs, TWork work) {
  auto start = TClock::now();
  for (int i = 0; i < runs; ++i)
    work();
  return SecondsSince(start) * 1000 / runs;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: processtiming TESTCHILD [SILENT_SECONDS]\n");
    return 2;
  }
  const std::string testChild = argv[1];
  const int silentSeconds = argc > 2 ? std::atoi(argv[2]) : 10;

  // The first capture writes to fresh memory; the later ones to the blocks it gave back, as each
  // tool of a build does after the first. Captures and plain loops take turns.
  auto start = TClock::now();
  std::size_t lines = CaptureSpew(testChild);
  std::printf("captured output, first run (fresh memory): %8.1f MB/s\n", MegabytesPerSecond(start));
  std::vector<double> captured, plain, keeping;
  auto timeLoop = [&](std::vector<double> &speeds, std::int64_t (*loop)(const std::string &)) {
    auto started = TClock::now();
    std::int64_t bytes = loop(testChild);
    speeds.push_back(MegabytesPerSecond(started));
    if (bytes != FiftyMegabytes)
      std::printf("  (bytes lost: %lld arrived)\n", static_cast<long long>(bytes));
  };
  for (int run = 0; run < 5; ++run) {
    start = TClock::now();
    lines = CaptureSpew(testChild);
    captured.push_back(MegabytesPerSecond(start));
    timeLoop(plain, ReadSpewPlainly);
    timeLoop(keeping, ReadSpewKeeping);
  }
  if (lines != std::size_t(FiftyMegabytes / SpewLineLength))
    std::printf("  (lines lost: %zu arrived)\n", lines);
  std::printf("captured output, 50 MB in 80-byte lines:   %8.1f MB/s (median of 5 after the first)\n",
              Median(captured));
  std::printf("plain read loop, same child and pipe:      %8.1f MB/s (median of 5)\n", Median(plain));
  std::printf("read loop keeping every byte:              %8.1f MB/s (median of 5)\n", Median(keeping));
  std::printf("ratio captured / plain:                    %8.2f\n", Median(captured) / Median(plain));

  for (char byte : {'\0', '\r'}) {
    start = TClock::now();
    std::int64_t split = SplitBytes(byte, TwoHundredMegabytes);
    std::printf("splitting 200 MB of %s:             %8.2f s (%lld lines)\n", byte ? "CR " : "NUL",
                SecondsSince(start), static_cast<long long>(split));
  }

  auto delays = LineDelaysMicroseconds(testChild);
  if (!delays.empty())
    std::printf("line to display, 200 lines:              mean %.0f us, median %.0f us, max %.0f us\n",
                std::accumulate(delays.begin(), delays.end(), 0.0) / double(delays.size()),
                delays[delays.size() / 2], delays.back());

  double cpu = CpuSeconds();
  start = TClock::now();
  RunSilentChild(testChild, silentSeconds * 1000);
  std::printf("CPU while a silent child runs %d s:      %8.2f %% of one core\n", silentSeconds,
              100.0 * (CpuSeconds() - cpu) / SecondsSince(start));

  std::printf("ExecuteCommand of a trivial child:       %8.2f ms\n",
              MillisecondsPerRun(20, [&] { ExecuteTrivialChild(testChild); }));
  std::printf("bare spawn and wait of the same child:   %8.2f ms\n",
              MillisecondsPerRun(20, [&] { SpawnAndWaitTrivialChild(testChild); }));
  return 0;
}
