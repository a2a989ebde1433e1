// The console command runner with real children. Reads are split where a test needs it by making
// the child wait for a line on its input between two writes, and sending that line only after the
// runner has reported what the first write gave: each write then arrives in a read of its own.
#include "process/DosCommand.h"
#include "ProcessTestSupport.h"
#include "TestSupport.h"
#include "framework/Process.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;
constexpr TOutputType E = otEntireLine;
constexpr TOutputType B = otBeginningOfLine;

// ---- line rules within one read ----

struct TOneReadCase {
  const char *Name;
  const char *Output; // the test child's escapes
  Lines Captured;
};

void PrintTo(const TOneReadCase &rule, std::ostream *out) {
  *out << rule.Name;
}

class LineRulesTest : public testing::TestWithParam<TOneReadCase> {};

TEST_P(LineRulesTest, CutsOneReadIntoLines) {
  TDosCommand command;
  command.CommandLine = ChildCommand({std::string("out:") + GetParam().Output});
  command.Run();
  ASSERT_TRUE(WaitUntilFinished(command));
  EXPECT_EQ(command.CapturedLines, GetParam().Captured);
  EXPECT_EQ(command.ExitCode(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Bytes, LineRulesTest,
                         testing::Values(TOneReadCase{"CrLfIsOneLineEnd", "a\\r\\nb\\r\\n", {"a", "b"}},
                                         TOneReadCase{"LfAlone", "a\\nb\\n", {"a", "b"}},
                                         TOneReadCase{"LoneCrEndsALine", "a\\rb\\n", {"a", "b"}},
                                         TOneReadCase{"CrCrLf", "a\\r\\r\\nb\\n", {"a", "", "b"}},
                                         TOneReadCase{"LfCr", "a\\n\\rb", {"a", "", "b"}},
                                         TOneReadCase{"EmptyLines", "\\n\\n", {"", ""}},
                                         TOneReadCase{"ZeroBytesVanish", "x\\0y\\0\\n\\0", {"xy"}},
                                         TOneReadCase{
                                             "OtherControlBytesStay", "t\\tf\\fz\\x01\\n", {"t\tf\fz\x01"}},
                                         TOneReadCase{"HighBytesStay", "\\xE4\\xFC\\n", {"\xE4\xFC"}},
                                         TOneReadCase{"UnendedLastLineIsCaptured", "a\\nrest", {"a", "rest"}},
                                         TOneReadCase{"NoOutput", "", {}}),
                         [](const testing::TestParamInfo<TOneReadCase> &info) { return info.param.Name; });

// ---- reports, display lines and reads split on purpose ----

class DosCommandTest : public testing::Test {
protected:
  void Start(std::initializer_list<std::string> actions) {
    recorder_.Attach(command_);
    command_.CommandLine = ChildCommand(actions);
    command_.Run();
  }
  // Lets the child go on once the runner has reported count lines.
  void ReleaseAfter(std::size_t count) {
    ASSERT_TRUE(recorder_.WaitForCount(count)) << "reports so far: " << recorder_.Lines().size();
    command_.SendLine("go");
  }
  void Finish() { ASSERT_TRUE(WaitUntilFinished(command_)); }

  TDosCommand command_;
  TLineRecorder recorder_;
};

TEST_F(DosCommandTest, ReportsAPartialLineAndThenTheWholeLine) {
  Start({"out:a\\r\\nb"});
  Finish();
  EXPECT_EQ(command_.CapturedLines, (Lines{"a", "b"}));
  EXPECT_EQ(recorder_.Lines(), (std::vector<TReportedLine>{{"a", E, 0}, {"b", B, 0}, {"b", E, 0}}));
}

TEST_F(DosCommandTest, CrAtTheEndOfOneReadAndLfAtTheStartOfTheNextAreTwoLineEnds) {
  Start({"out:a\\r", "wait", "out:\\nb\\n"});
  ReleaseAfter(1);
  Finish();
  EXPECT_EQ(command_.CapturedLines, (Lines{"a", "", "b"}));
}

TEST_F(DosCommandTest, ALineInThreeReadsIsReportedTwiceInPartAndOnceWhole) {
  TStringList display{"earlier"};
  command_.DisplayLines = &display;
  Start({"out:ab", "wait", "out:cd", "wait", "out:ef\\n"});
  ReleaseAfter(1);
  ReleaseAfter(2);
  Finish();
  EXPECT_EQ(recorder_.Lines(), (std::vector<TReportedLine>{{"ab", B, 2}, {"abcd", B, 2}, {"abcdef", E, 2}}));
  EXPECT_EQ(display, (Lines{"earlier", "abcdef"}));
  EXPECT_EQ(command_.CapturedLines, (Lines{"abcdef"}));
}

TEST_F(DosCommandTest, ZeroBytesVanishAcrossReads) {
  Start({"out:\\0a\\0", "wait", "out:\\0\\0b\\0\\r\\n\\0"});
  ReleaseAfter(1);
  Finish();
  EXPECT_EQ(command_.CapturedLines, (Lines{"ab"}));
}

TEST_F(DosCommandTest, DisplayLinesMirrorTheOutputWithThePartialLastLine) {
  TStringList display;
  command_.DisplayLines = &display;
  Start({"out:one\\ntw", "wait", "out:o\\nthree"});
  ReleaseAfter(2);
  Finish();
  EXPECT_EQ(display, (Lines{"one", "two", "three"}));
  EXPECT_EQ(command_.CapturedLines, (Lines{"one", "two", "three"}));
  EXPECT_EQ(recorder_.Lines(),
            (std::vector<TReportedLine>{
                {"one", E, 1}, {"tw", B, 2}, {"two", E, 2}, {"three", B, 3}, {"three", E, 3}}));
}

// A caller busy elsewhere is woken once for a change of the line on display, not once per read;
// once it has taken the line, the next change wakes it again, and no change is lost meanwhile.
TEST_F(DosCommandTest, TheSignalWaitsForTheCallerToTakeTheLineOnDisplay) {
  Start({"out:a\\n", "wait", "out:b\\n", "wait", "out:c\\n", "wait"});
  ASSERT_TRUE(command_.Signal().Wait(60000));
  ReleaseAfter(1);
  ASSERT_TRUE(recorder_.WaitForCount(2));
  std::this_thread::sleep_for(std::chrono::milliseconds(200)); // "b" reaches the display meanwhile
  EXPECT_FALSE(command_.Signal().Wait(0)) << "woken again before taking the line";
  EXPECT_EQ(command_.DisplayLine(), "b");
  command_.SendLine("go");
  ASSERT_TRUE(command_.Signal().Wait(60000)) << "the child still runs: only \"c\" can wake us";
  EXPECT_EQ(command_.DisplayLine(), "c");
  command_.SendLine("go");
  Finish();
}

TEST_F(DosCommandTest, LinesAreReportedOnTheWorkerThread) {
  Start({"out:x\\n"});
  Finish();
  ASSERT_EQ(recorder_.Lines().size(), 1u);
  EXPECT_NE(recorder_.ReportingThread(), std::this_thread::get_id());
}

TEST_F(DosCommandTest, StandardErrorIsCapturedWithStandardOutput) {
  Start({"out:1\\n", "err:2\\n", "out:3\\n"});
  Finish();
  EXPECT_EQ(command_.CapturedLines, (Lines{"1", "2", "3"}));
}

// Output far larger than the pipe and than one block of the store, in more lines than one chunk
// of its index: nothing lost or doubled where reads or blocks meet.
TEST_F(DosCommandTest, CapturesLargeOutputCompletely) {
  Start({"spew:3000000:40"});
  Finish();
  ASSERT_EQ(command_.CapturedLines.size(), 75000u);
  for (const auto &line : command_.CapturedLines)
    ASSERT_EQ(line, std::string(39, 'x'));
}

// ---- exit codes and failures ----

#ifdef _WIN32
constexpr std::uint32_t ExitCode259 = 259;
#else
constexpr std::uint32_t ExitCode259 = 3; // POSIX keeps only the low 8 bits of an exit code
#endif

struct TExitCase {
  const char *Action;
  std::uint32_t ExitCode;
};

void PrintTo(const TExitCase &exit, std::ostream *out) {
  *out << TestName(exit.Action);
}

class DosCommandExitTest : public testing::TestWithParam<TExitCase> {};

TEST_P(DosCommandExitTest, KeepsTheChildsExitCode) {
  TDosCommand command;
  command.CommandLine = ChildCommand({"out:line\\n", GetParam().Action});
  command.Run();
  ASSERT_TRUE(WaitUntilFinished(command));
  EXPECT_EQ(command.ExitCode(), GetParam().ExitCode);
  EXPECT_EQ(command.CapturedLines, (Lines{"line"}));
  EXPECT_EQ(command.FatalError(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Codes, DosCommandExitTest,
                         testing::Values(TExitCase{"exit:0", 0}, TExitCase{"exit:1", 1},
                                         TExitCase{"exit:2", 2}, TExitCase{"crash", 0xC0000005},
                                         // The code that also means "still running": the end is
                                         // seen all the same.
                                         TExitCase{"exit:259", ExitCode259}),
                         [](const testing::TestParamInfo<TExitCase> &info) {
                           return TestName(info.param.Action);
                         });

TEST(DosCommandStartTest, AMissingProgramFinishesWithTheStartErrorAndNothingElse) {
  TTempFolder temp;
  TDosCommand command;
  bool terminated = false;
  command.OnTerminated = [&](TDosCommand &) { terminated = true; };
  command.CommandLine = Quoted(temp / "nothere.exe") + " -B";
  command.Run();
  ASSERT_TRUE(WaitUntilFinished(command));
  EXPECT_EQ(command.ExitCode(), 0u);
  EXPECT_TRUE(command.CapturedLines.empty());
  EXPECT_FALSE(terminated);
  ASSERT_NE(command.FatalError(), nullptr);
  try {
    std::rethrow_exception(command.FatalError());
  } catch (const TCreateProcessError &error) {
    EXPECT_EQ(error.Message(), command.CommandLine + " doesn't exist.");
  } catch (...) {
    ADD_FAILURE() << "the start error is not a TCreateProcessError";
  }
}

TEST(DosCommandStartTest, AnEmptyCommandLineStartsNothing) {
  TDosCommand command;
  command.Run();
  EXPECT_EQ(command.Worker(), nullptr);
  EXPECT_EQ(command.Timer(), nullptr);

  command.CommandLine = ChildCommand({"out:kept\\n"});
  command.Run();
  ASSERT_TRUE(WaitUntilFinished(command));
  TDosThread *worker = command.Worker();
  command.CommandLine.clear();
  command.Run();
  EXPECT_EQ(command.Worker(), worker);
  EXPECT_EQ(command.CapturedLines, (Lines{"kept"}));
}

TEST(DosCommandStartTest, ARunnerRunsAgainWithFreshLines) {
  TDosCommand command;
  command.CommandLine = ChildCommand({"out:first\\n", "exit:1"});
  command.Run();
  ASSERT_TRUE(WaitUntilFinished(command));
  command.CommandLine = ChildCommand({"out:second\\n"});
  command.Run();
  ASSERT_TRUE(WaitUntilFinished(command));
  EXPECT_EQ(command.CapturedLines, (Lines{"second"}));
  EXPECT_EQ(command.ExitCode(), 0u);
}

// Waits for the worker's OnTerminated, which follows Finished.
bool WaitForFlag(const std::atomic<int> &flag) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (flag == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return flag != 0;
}

TEST(DosCommandStartTest, OnTerminatedComesOnceAfterFinished) {
  auto command = std::make_unique<TDosCommand>();
  std::atomic<int> calls{0};
  std::atomic<bool> finishedSeen{false};
  command->OnTerminated = [&](TDosCommand &sender) {
    finishedSeen = sender.Finished();
    ++calls;
  };
  command->CommandLine = ChildCommand({"out:x"});
  command->Run();
  ASSERT_TRUE(WaitForFlag(calls));
  command.reset(); // joins the worker: no later call can follow
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(finishedSeen);
}

TEST(DosCommandStartTest, StopTerminatesTheChildWithExitCodeZero) {
  TDosCommand command;
  std::atomic<int> terminated{0};
  command.OnTerminated = [&](TDosCommand &) { ++terminated; };
  command.CommandLine = ChildCommand({"out:started\\n", "drain", "exit:5"});
  TLineRecorder recorder;
  recorder.Attach(command);
  command.Run();
  ASSERT_TRUE(recorder.WaitForCount(1));
  command.Stop();
  // Finished follows once the worker has ended, the child gone.
  ASSERT_TRUE(WaitForFlag(terminated));
  EXPECT_TRUE(command.Finished());
  EXPECT_EQ(command.ExitCode(), 0u);
}

// Waits (generously: a hang guard) until the runner has read some output.
bool WaitForOutput(const TDosCommand &command) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (command.DisplayLine().empty()) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

struct TRerunCase {
  const char *Name;
  bool StopFirst; // else Run comes while the run before still goes
};

void PrintTo(const TRerunCase &rerun, std::ostream *out) {
  *out << rerun.Name;
}

class DosCommandRerunTest : public testing::TestWithParam<TRerunCase> {};

// The run before is still reading a flood of output when the next one starts: the next run's lines
// and exit code are its own, nothing of the run before among them.
TEST_P(DosCommandRerunTest, TheNextRunCapturesOnlyItsOwnLines) {
  TDosCommand command;
  for (int round = 0; round < 20; ++round) {
    command.CommandLine = ChildCommand({"spew:1000000000:80"});
    command.Run();
    ASSERT_TRUE(WaitForOutput(command));
    if (GetParam().StopFirst)
      command.Stop();
    command.CommandLine = ChildCommand({"out:second\\n", "exit:3"});
    command.Run();
    ASSERT_TRUE(WaitUntilFinished(command));
    ASSERT_EQ(command.CapturedLines, (Lines{"second"})) << "round " << round;
    ASSERT_EQ(command.ExitCode(), 3u) << "round " << round;
  }
}

INSTANTIATE_TEST_SUITE_P(After, DosCommandRerunTest,
                         testing::Values(TRerunCase{"AStop", true}, TRerunCase{"NoStop", false}),
                         [](const testing::TestParamInfo<TRerunCase> &info) { return info.param.Name; });

struct TLeftBehindCase {
  const char *Name;
  bool Stop; // the tool is stopped, else it ends by itself
};

void PrintTo(const TLeftBehindCase &leftBehind, std::ostream *out) {
  *out << leftBehind.Name;
}

class DosCommandLeftBehindTest : public testing::TestWithParam<TLeftBehindCase> {};

// A tool that leaves a process running behind it, which writes on and on to the output it shares
// with the tool (as "yes &" in a script would): the tool's end ends the run all the same, and the
// process left behind is ended with the tool. It ignores the broken pipe, so nothing else ends it.
TEST_P(DosCommandLeftBehindTest, TheToolsEndEndsTheRunAndWhatItLeftRunning) {
  TTempFolder temp;
  const std::string idFile = temp / "babbler.id";
  TDosCommand command;
  // A line reported costs the runner more than writing it costs the process: the pipe never empties.
  std::atomic<std::size_t> reported{0};
  command.OnNewLine = [&reported](TDosCommand &, const std::string &, TOutputType) { ++reported; };
  // The tool goes on once the process it left is writing, and then ends, or waits to be stopped.
  command.CommandLine =
      ChildCommand({"out:before\\n", "detach:" + ChildPath(idFile), "await:" + ChildPath(idFile), "sleep:200",
                    GetParam().Stop ? "drain" : "exit:0"});
  command.Run();
  std::uint32_t id = ProcessIdInFile(idFile);
  ASSERT_NE(id, 0u) << "the tool left nothing running";
  if (GetParam().Stop)
    command.Stop();
  EXPECT_TRUE(WaitUntilFinished(command, std::chrono::seconds(30))) << "the run goes on after the tool's end";
  EXPECT_TRUE(ProcessGoes(id)) << "what the tool left running still runs";
  EXPECT_EQ(command.ExitCode(), 0u);
  if (!GetParam().Stop) {
    ASSERT_FALSE(command.CapturedLines.empty());
    EXPECT_EQ(command.CapturedLines.front(), "before");
    // Of what came after the tool's end the runner took at most the 16 MB beyond what the pipe
    // held then; the rest of the bound is for the room of the last read and what arrived while the
    // end was being noticed.
    auto orphanLines = std::count(command.CapturedLines.begin(), command.CapturedLines.end(), "orphan");
    EXPECT_LE(std::uint64_t(orphanLines) * 7, TChildPipes::RestAfterEndBytes + 8 * ChildOutputPipeSize);
  }
}

INSTANTIATE_TEST_SUITE_P(Ends, DosCommandLeftBehindTest,
                         testing::Values(TLeftBehindCase{"ByItself", false},
                                         TLeftBehindCase{"ByAStop", true}),
                         [](const testing::TestParamInfo<TLeftBehindCase> &info) { return info.param.Name; });

// Input the child never reads, far more than a pipe holds: neither a stop nor the runner's end
// waits for the child to take it.
TEST(DosCommandStartTest, InputTheChildNeverReadsHoldsUpNeitherStopNorTheEnd) {
  const std::string megabytes(4 << 20, 'x');
  for (bool stopFirst : {true, false}) {
    auto command = std::make_unique<TDosCommand>();
    TLineRecorder recorder;
    recorder.Attach(*command);
    command->CommandLine = ChildCommand({"out:ready\\n", "sleep:60000"});
    command->Run();
    ASSERT_TRUE(recorder.WaitForCount(1));
    command->SendLine(megabytes);
    command->SendLine(megabytes);
    if (stopFirst) {
      command->Stop();
      EXPECT_TRUE(WaitUntilFinished(*command, std::chrono::seconds(30)));
    }
    command.reset(); // joins the worker
  }
}

// ---- time limits ----

TEST(DosCommandTimeLimitTest, TheLimitCountsOnlyWhileTheCallerProcessesMessages) {
  TDosCommand command;
  command.MaxTimeAfterBeginning = 1;
  command.CommandLine = ChildCommand({"out:waiting", "drain"});
  command.Run();
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_FALSE(command.Finished()) << "the timer ticked without messages being processed";
  EXPECT_EQ(command.Timer()->SecondsSinceStart, 0);

  ASSERT_TRUE(WaitProcessingMessages(command));
  // The wait ends after the tick that takes the count above the limit; the child runs on.
  EXPECT_EQ(command.Timer()->SecondsSinceStart, 2);
  EXPECT_EQ(command.ExitCode(), StillActive);
  EXPECT_EQ(command.CapturedLines, (Lines{"waiting"}));
}

// A partial line arrives between the first and second tick; only line ends restart the count.
TEST(DosCommandTimeLimitTest, OnlyLineEndsRestartTheTimeSinceTheLastLine) {
  TDosCommand command;
  command.MaxTimeAfterLastOutput = 1;
  command.CommandLine = ChildCommand({"out:line\\n", "sleep:1500", "out:partial", "drain"});
  command.Run();
  ASSERT_TRUE(WaitProcessingMessages(command));
  EXPECT_EQ(command.Timer()->SecondsSinceLastLine, 2);
  EXPECT_EQ(command.Timer()->SecondsSinceStart, 2);
  EXPECT_EQ(command.ExitCode(), StillActive);
  EXPECT_EQ(command.CapturedLines, (Lines{"line", "partial"}));
}

// ---- input ----

TEST_F(DosCommandTest, SendsQueuedLinesWithALineEnd) {
  Start({"input:2"});
  command_.SendLine("hello");
  command_.SendLine("world");
  Finish();
  EXPECT_EQ(command_.CapturedLines, (Lines{"got:hello", "got:world"}));
}

TEST_F(DosCommandTest, AnEntryWithoutTheLineMarkerIsSentWithoutALineEnd) {
  Start({"input:1"});
  command_.SendLine("ab", false);
  command_.SendLine("cd");
  Finish();
  EXPECT_EQ(command_.CapturedLines, (Lines{"got:abcd"}));
}

TEST_F(DosCommandTest, EchoCompletesThePromptOnDisplayButIsNotCaptured) {
  TStringList display;
  command_.DisplayLines = &display;
  command_.InputToOutput = true;
  Start({"out:Name? ", "input:1"});
  ASSERT_TRUE(recorder_.WaitForCount(1));
  command_.SendLine("Bob");
  Finish();
  EXPECT_EQ(display, (Lines{"Name? Bob", "got:Bob"}));
  EXPECT_EQ(command_.CapturedLines, (Lines{"got:Bob"}));
  EXPECT_EQ(recorder_.Lines(),
            (std::vector<TReportedLine>{{"Name? ", B, 1}, {"Name? Bob", E, 1}, {"got:Bob", E, 2}}));
}

TEST_F(DosCommandTest, EchoWithoutAPromptIsANewDisplayLine) {
  TStringList display;
  command_.DisplayLines = &display;
  command_.InputToOutput = true;
  Start({"input:1"});
  command_.SendLine("Bob");
  Finish();
  EXPECT_EQ(display, (Lines{"Bob", "got:Bob"}));
  EXPECT_EQ(command_.CapturedLines, (Lines{"got:Bob"}));
}

TEST_F(DosCommandTest, WithoutEchoTheInputIsNotShown) {
  TStringList display;
  command_.DisplayLines = &display;
  Start({"input:1"});
  command_.SendLine("Bob");
  Finish();
  EXPECT_EQ(display, (Lines{"got:Bob"}));
}

} // namespace
