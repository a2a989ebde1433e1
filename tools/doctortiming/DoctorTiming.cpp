// doctortiming <source folder> <destination folder> [runs]
// Times the doctor over every environment of this machine (the rows the window detects): the first
// run, then the median of the further runs, each with a reader of its own, as /doctor makes one.
#include "app/VersionsForm.h"
#include "doctor/Doctor.h"
#include "environments/Environments.h"
#include "framework/Application.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct TRun {
  double Milliseconds = 0;
  int Reads = 0;
  std::vector<TEnvironmentReport> Reports;
};

TRun CheckAll(const TDoctorSettings &settings) {
  TRun run;
  auto start = std::chrono::steady_clock::now();
  TMachineReader machine;
  for (int index = 0; index < EnvironmentCount; ++index) {
    TEnvironmentSnapshot snapshot = TakeSnapshot(index, settings, machine);
    run.Reports.push_back({index, snapshot.Name, CheckEnvironment(snapshot)});
  }
  run.Milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  run.Reads = machine.Reads();
  return run;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: doctortiming <source folder> <destination folder> [runs]\n");
    return 2;
  }
  const TDoctorSettings settings{argv[1], argv[2]};
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 10;
  Application().SetParameters({});
  auto detectStart = std::chrono::steady_clock::now();
  TVersionsForm form; // headless: the rows as the window detects them
  double detect =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - detectStart).count();

  TRun first = CheckAll(settings);
  std::vector<double> times;
  for (int i = 0; i < runs; ++i)
    times.push_back(CheckAll(settings).Milliseconds);
  std::sort(times.begin(), times.end());
  std::printf("environments:       %d (detected in %.1f ms)\n", EnvironmentCount, detect);
  std::printf("first run:          %.1f ms, %d reads of keys, folders, files and the process list\n",
              first.Milliseconds, first.Reads);
  std::printf("further runs (%d):  median %.1f ms, fastest %.1f ms, slowest %.1f ms\n", runs,
              times[times.size() / 2], times.front(), times.back());
  std::printf("findings:           %d errors, %d warnings, %d notes\n",
              CountFindings(first.Reports, TSeverity::Error),
              CountFindings(first.Reports, TSeverity::Warning),
              CountFindings(first.Reports, TSeverity::Note));
  for (const auto &line : ReportLines(first.Reports))
    std::printf("  %s\n", line.c_str());
  return 0;
}
