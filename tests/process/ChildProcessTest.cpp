// The child-process layer on its own: pipes, start, peek, read, write, exit codes, termination.
#include "ProcessTestSupport.h"
#include "TestSupport.h"
#include "framework/Files.h"
#include "framework/Process.h"

#include <optional>

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t Patience = 30000; // ms; only guards against a hang

// A child wired to two fresh pipes; the test keeps our ends.
class ChildProcessTest : public testing::Test {
protected:
  void SetUp() override {
    std::uint32_t error = 0;
    ASSERT_TRUE(CreateChildPipe(input_, TChildEnd::Read, error)) << error;
    ASSERT_TRUE(CreateChildPipe(output_, TChildEnd::Write, error)) << error;
  }
  // A child still running is let go gently: the end of its input ends a draining child, and only
  // one that still runs is terminated. Either way it is gone before the next test starts.
  void TearDown() override {
    if (!child_.Started() || child_.ExitCode() != StillActive)
      return;
    input_.WriteEnd.Close();
    if (!child_.WaitForExit(Patience / 10))
      child_.Terminate(1);
    child_.WaitForExit(Patience);
  }

  bool Start(const std::string &commandLine) {
    return child_.Start(commandLine, input_.ReadEnd, output_.WriteEnd);
  }

  // Everything the child wrote, once it has ended.
  std::string OutputAfterExit() {
    EXPECT_TRUE(child_.WaitForExit(Patience));
    std::string all;
    std::uint32_t waiting = 0;
    while (output_.ReadEnd.BytesWaiting(waiting) && waiting > 0) {
      std::string chunk(waiting, '\0');
      chunk.resize(output_.ReadEnd.Read(chunk.data(), waiting));
      all += chunk;
    }
    return all;
  }

  TPipe input_, output_;
  TChildProcess child_;
};

struct TExitCase {
  const char *Action;
  std::uint32_t ExitCode;
};

void PrintTo(const TExitCase &exit, std::ostream *out) {
  *out << TestName(exit.Action);
}

class ChildExitCodeTest : public ChildProcessTest, public testing::WithParamInterface<TExitCase> {};

TEST_P(ChildExitCodeTest, ReportsTheExitCodeOnceTheChildHasEnded) {
  ASSERT_TRUE(Start(ChildCommand({GetParam().Action})));
  ASSERT_TRUE(child_.WaitForExit(Patience));
  EXPECT_EQ(child_.ExitCode(), GetParam().ExitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ChildExitCodeTest,
    testing::Values(TExitCase{"exit:0", 0}, TExitCase{"exit:1", 1}, TExitCase{"exit:2", 2},
                    TExitCase{"exit:255", 255}, TExitCase{"crash", 0xC0000005}
#ifdef _WIN32
                    ,
                    TExitCase{"exit:0xFFFFFFFF", 0xFFFFFFFF}, TExitCase{"exit:0xC0000005", 0xC0000005}
#endif
                    ),
    [](const testing::TestParamInfo<TExitCase> &info) { return TestName(info.param.Action); });

TEST_F(ChildProcessTest, ReportsStillActiveWhileTheChildRuns) {
  ASSERT_TRUE(Start(ChildCommand({"drain"})));
  EXPECT_EQ(child_.ExitCode(), StillActive);
  EXPECT_FALSE(child_.WaitForExit(50));
}

// The child sees the end of its input only when nobody else holds the input's write end: had our
// own end been inherited, the child would hold a copy and wait for ever.
TEST_F(ChildProcessTest, ChildSeesTheEndOfItsInputWhenWeCloseOurEnd) {
  ASSERT_TRUE(Start(ChildCommand({"drain"})));
  input_.WriteEnd.Close();
  ASSERT_TRUE(child_.WaitForExit(Patience)) << "the child still holds a write end of its own input";
  EXPECT_EQ(child_.ExitCode(), 0u);
  EXPECT_EQ(OutputAfterExit(), "eof\n");
}

TEST_F(ChildProcessTest, PeekingLeavesTheBytesInThePipe) {
  ASSERT_TRUE(Start(ChildCommand({"out:hello"})));
  ASSERT_TRUE(child_.WaitForExit(Patience));
  std::uint32_t waiting = 0;
  ASSERT_TRUE(output_.ReadEnd.BytesWaiting(waiting));
  EXPECT_EQ(waiting, 5u);
  ASSERT_TRUE(output_.ReadEnd.BytesWaiting(waiting));
  EXPECT_EQ(waiting, 5u);
  char buffer[16] = {};
  EXPECT_EQ(output_.ReadEnd.Read(buffer, sizeof(buffer)), 5u);
  EXPECT_EQ(std::string(buffer), "hello");
  ASSERT_TRUE(output_.ReadEnd.BytesWaiting(waiting));
  EXPECT_EQ(waiting, 0u);
}

TEST_F(ChildProcessTest, StandardErrorGoesIntoTheSamePipeInOrder) {
  ASSERT_TRUE(Start(ChildCommand({"out:1\\n", "err:2\\n", "out:3\\n"})));
  EXPECT_EQ(OutputAfterExit(), "1\n2\n3\n");
}

TEST_F(ChildProcessTest, WhatWeWriteReachesTheChildsInput) {
  ASSERT_TRUE(Start(ChildCommand({"input:2"})));
  const std::string lines = "first\nsecond\n";
  ASSERT_TRUE(input_.WriteEnd.Write(lines.data(), std::uint32_t(lines.size())));
  EXPECT_EQ(OutputAfterExit(), "got:first\ngot:second\n");
}

TEST_F(ChildProcessTest, TerminateEndsTheChildWithTheGivenCode) {
  ASSERT_TRUE(Start(ChildCommand({"drain"})));
  ASSERT_TRUE(child_.Terminate(7));
  ASSERT_TRUE(child_.WaitForExit(Patience));
  EXPECT_EQ(child_.ExitCode(), 7u);
}

// What a tool leaves running behind it goes once we let go of the ended tool.
TEST_F(ChildProcessTest, LettingGoOfAnEndedChildEndsWhatItLeftRunning) {
  TTempFolder temp;
  const std::string idFile = temp / "babbler.id";
  ASSERT_TRUE(Start(ChildCommand({"detach:" + ChildPath(idFile), "await:" + ChildPath(idFile)})));
  std::uint32_t id = ProcessIdInFile(idFile);
  ASSERT_NE(id, 0u);
  ASSERT_TRUE(child_.WaitForExit(Patience));
  EXPECT_FALSE(ProcessGoes(id, std::chrono::seconds(0))) << "gone before we let go of the tool";
  child_.Close();
  EXPECT_TRUE(ProcessGoes(id)) << "what the tool left running still runs";
}

// A tool let go of while it runs keeps running (the runner's time limits leave it so): it still
// answers the end of its input.
TEST_F(ChildProcessTest, LettingGoOfARunningChildLeavesItRunning) {
  ASSERT_TRUE(Start(ChildCommand({"drain"})));
  child_.Close();
  input_.WriteEnd.Close();
  output_.WriteEnd.Close(); // the child holds the only write end now: reading ends when it ends
  std::string output;
  char buffer[64];
  while (std::uint32_t count = output_.ReadEnd.Read(buffer, sizeof buffer))
    output.append(buffer, count);
  EXPECT_EQ(output, "eof\n");
}

#ifdef _WIN32
// The tool's job goes with this process however it ends (a killed ZelRecompile closes no handles
// itself): the system closes the job's last handle, and the job ends every process in it. The
// death test's child runs this test again up to the statement; it finds the parent's file in the
// environment and makes no folder of its own. The process the tool left holds the death test's
// pipe (it inherits all it can), so the death test ends only once that process has gone: had
// nothing ended it, it would have given up after its minute, and said so.
TEST_F(ChildProcessTest, WhatAToolLeftRunningEndsWhenThisProcessIsKilled) {
  const char *const Variable = "ZEL_TEST_BABBLER_ID";
  std::optional<TTempFolder> temp;
  char given[MAX_PATH] = {};
  std::string idFile;
  if (::GetEnvironmentVariableA(Variable, given, MAX_PATH) > 0) {
    idFile = given;
  } else {
    temp.emplace();
    idFile = *temp / "babbler.id";
    ::SetEnvironmentVariableA(Variable, idFile.c_str());
  }
  EXPECT_EXIT(
      {
        Start(ChildCommand({"detach:" + ChildPath(idFile), "drain"}));
        ProcessIdInFile(idFile);
        ::TerminateProcess(::GetCurrentProcess(), 7);
      },
      testing::ExitedWithCode(7), "");
  ::SetEnvironmentVariableA(Variable, nullptr);
  std::uint32_t id = ProcessIdInFile(idFile, std::chrono::seconds(0));
  ASSERT_NE(id, 0u) << "the tool left nothing running";
  EXPECT_TRUE(ProcessGoes(id));
  EXPECT_FALSE(Fs::FileExists(idFile + ".end")) << "what the tool left running outlived us";
}
#endif

TEST_F(ChildProcessTest, AMissingProgramDoesNotStart) {
  TTempFolder temp;
  EXPECT_FALSE(Start(Quoted(temp / "missing.exe") + " out:x"));
  EXPECT_EQ(child_.StartError(), 2u);
  EXPECT_FALSE(child_.Started());
}

TEST_F(ChildProcessTest, ABlankCommandLineDoesNotStart) {
  EXPECT_FALSE(Start(""));
  EXPECT_FALSE(Start("   "));
  EXPECT_FALSE(child_.Started());
}

// Program paths are Windows paths: any case, and ".exe" as written in the tools' command lines.
TEST_F(ChildProcessTest, FindsTheProgramIgnoringCase) {
  TTempFolder temp;
  ASSERT_TRUE(Fs::ForceFolders(temp / "Bin"));
  ASSERT_TRUE(Fs::CopyFile(ProgramPath("testchild"), temp / ExecutableName("Bin\\TestChild"), false));
  ASSERT_TRUE(Start(Quoted(temp / "BIN\\TESTCHILD.EXE") + " out:found"));
  EXPECT_EQ(OutputAfterExit(), "found");
}

// A bare program name is looked for in the current folder first.
TEST_F(ChildProcessTest, FindsABareProgramNameInTheCurrentFolder) {
  TTempFolder temp;
  ASSERT_TRUE(Fs::CopyFile(ProgramPath("testchild"), temp / ExecutableName("mychild"), false));
  std::string previous = Fs::CurrentFolder();
  ASSERT_TRUE(Fs::SetCurrentFolder(temp.Path()));
  bool started = Start("mychild.exe out:here");
  Fs::SetCurrentFolder(previous);
  ASSERT_TRUE(started) << child_.StartError();
  EXPECT_EQ(OutputAfterExit(), "here");
}

struct TArgumentsCase {
  const char *Name;
  const char *Arguments;
  const char *Received;
};

void PrintTo(const TArgumentsCase &arguments, std::ostream *out) {
  *out << arguments.Name;
}

class ChildArgumentsTest : public ChildProcessTest, public testing::WithParamInterface<TArgumentsCase> {};

TEST_P(ChildArgumentsTest, ArgumentsArriveAsWindowsSplitsThem) {
  ASSERT_TRUE(Start(Quoted(ProgramPath("testchild")) + " args " + GetParam().Arguments));
  EXPECT_EQ(OutputAfterExit(), std::string("[args]\n") + GetParam().Received);
}

INSTANTIATE_TEST_SUITE_P(
    Quoting, ChildArgumentsTest,
    testing::Values(TArgumentsCase{"Plain", "a b", "[a]\n[b]\n"},
                    TArgumentsCase{"Quoted", "\"a b\"  c", "[a b]\n[c]\n"},
                    TArgumentsCase{"QuotedPath", "\"C:\\Program Files\\x.dpk\"",
                                   "[C:\\Program Files\\x.dpk]\n"},
                    TArgumentsCase{"QuotedSwitchValue", "-LE\"C:\\Out Dir\\Bin\"", "[-LEC:\\Out Dir\\Bin]\n"},
                    TArgumentsCase{"EscapedQuote", "a\\\"b", "[a\"b]\n"},
                    TArgumentsCase{"BackslashBeforeClosingQuote", "\"a\\\\\" b", "[a\\]\n[b]\n"},
                    TArgumentsCase{"TrailingBackslash", "C:\\dir\\", "[C:\\dir\\]\n"}),
    [](const testing::TestParamInfo<TArgumentsCase> &info) { return info.param.Name; });

} // namespace
