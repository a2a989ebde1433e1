// The work the console runner's timings measure, shared by the Google Benchmark suite (native) and
// the plain harness (built for both platforms, run under Wine). Each workload runs the test child
// with the given actions; the callers only time them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ProcessWorkloads {

constexpr std::int64_t FiftyMegabytes = 50LL * 1024 * 1024;
constexpr std::int64_t SpewLineLength = 80;

// The test child's command line with the given actions.
std::string ChildCommand(const std::string &testChild, const std::string &actions);

// 50 MB in 80-byte lines through the runner into CapturedLines; returns how many lines arrived.
std::size_t CaptureSpew(const std::string &testChild);

// The same child and pipe, read with blocking reads of 64 KB until the end, bytes thrown away;
// returns how many bytes arrived.
std::int64_t ReadSpewPlainly(const std::string &testChild);

// The same, but every byte kept: each read lands after the last in one 50 MB buffer, made once and
// written again by every run as the runner's pooled blocks are. What keeping the output costs
// before any line is found; returns how many bytes arrived.
std::int64_t ReadSpewKeeping(const std::string &testChild);

// From the child's write to the line's showing at the caller, which waits as ExecuteCommand does,
// in microseconds, sorted: the child writes its steady clock, the same clock in both processes.
std::vector<double> LineDelaysMicroseconds(const std::string &testChild);

constexpr std::int64_t TwoHundredMegabytes = 200LL * 1024 * 1024;
// The line splitter alone over 200 MB of one byte value in 64 KB pieces (a read's size), lines
// counted rather than kept; returns the lines. 0 bytes vanish; CR bytes are all line ends.
std::int64_t SplitBytes(char byte, std::int64_t total);

// A child that stays silent for the given time while the caller waits as ExecuteCommand does.
void RunSilentChild(const std::string &testChild, int milliseconds);

// One ExecuteCommand of a child that does nothing; the build log grows by its lines.
void ExecuteTrivialChild(const std::string &testChild);

// The same child started on fresh pipes and waited for, without the runner.
void SpawnAndWaitTrivialChild(const std::string &testChild);

// The CPU time this whole process has used so far, user and kernel.
double CpuSeconds();

} // namespace ProcessWorkloads
