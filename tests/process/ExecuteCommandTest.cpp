// Running a tool into the build log: exactly which lines the log gains on success and on failure,
// and which error the caller sees.
#include "process/ExecuteCommand.h"
#include "ProcessTestSupport.h"
#include "TestSupport.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "session/BuildLog.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;
const std::string Title = "Cannot recompile Delphi package: ZelCore7";

class ExecuteCommandTest : public testing::Test {
protected:
  void SetUp() override {
    BuildLog = std::make_unique<TStringList>(TStringList{"Compilation started: today"});
  }
  void TearDown() override { BuildLog.reset(); }

  // Runs the command and returns the message of the error it raised ("" when none).
  std::string Execute(const std::string &commandLine) {
    try {
      ExecuteCommand(commandLine, Title);
    } catch (const Exception &error) {
      return error.Message();
    }
    return "";
  }
};

TEST_F(ExecuteCommandTest, ASucceedingToolAddsExactlyItsOutput) {
  EXPECT_EQ(Execute(ChildCommand({"out:one\\r\\ntwo\\r\\nthree\\r\\n"})), "");
  EXPECT_EQ(*BuildLog, (Lines{"Compilation started: today", "one", "two", "three"}));
}

TEST_F(ExecuteCommandTest, ASilentSucceedingToolAddsNothing) {
  EXPECT_EQ(Execute(ChildCommand({"exit:0"})), "");
  EXPECT_EQ(*BuildLog, (Lines{"Compilation started: today"}));
}

TEST_F(ExecuteCommandTest, CreatesTheLogWhenThereIsNone) {
  BuildLog.reset();
  EXPECT_EQ(Execute(ChildCommand({"exit:0"})), "");
  ASSERT_NE(BuildLog, nullptr);
  EXPECT_TRUE(BuildLog->empty());
}

TEST_F(ExecuteCommandTest, AFailingToolLogsTitleOutputAndCodeThenAborts) {
  EXPECT_EQ(Execute(ChildCommand({"out:Fatal: unit not found\\r\\n", "err:Error 1\\r\\n", "exit:1"})),
            "Compilation aborted.");
  EXPECT_EQ(*BuildLog, (Lines{"Compilation started: today", "", Title, "Fatal: unit not found", "Error 1",
                              "Exit code: 1"}));
}

TEST_F(ExecuteCommandTest, AnyExitCodeOtherThanZeroFails) {
  EXPECT_EQ(Execute(ChildCommand({"exit:2"})), "Compilation aborted.");
  EXPECT_EQ(*BuildLog, (Lines{"Compilation started: today", "", Title, "Exit code: 2"}));
}

// A crash leaves a code with the highest bit set, negative as a signed number: still a failure.
TEST_F(ExecuteCommandTest, ACrashingToolFailsWithItsCodeInHexadecimal) {
  EXPECT_EQ(Execute(ChildCommand({"out:working\\n", "crash"})), "Compilation aborted.");
  EXPECT_EQ(*BuildLog, (Lines{"Compilation started: today", "", Title, "working", "Exit code: 0xC0000005"}));
}

TEST_F(ExecuteCommandTest, AToolThatCannotStartFailsWithTheStartError) {
  TTempFolder temp;
  const std::string command = Quoted(temp / "bin\\dcc32.exe") + " -B";
  EXPECT_EQ(Execute(command), "Compilation aborted.");
  EXPECT_EQ(*BuildLog, (Lines{"Compilation started: today", "", Title, command + " doesn't exist."}));
}

TEST_F(ExecuteCommandTest, TheToolRunsInTheCallersCurrentFolder) {
  TTempFolder temp;
  std::string previous = Fs::CurrentFolder();
  ASSERT_TRUE(Fs::SetCurrentFolder(temp.Path()));
  std::string error = Execute(ChildCommand({"cwd"}));
  std::string current = Fs::CurrentFolder();
  Fs::SetCurrentFolder(previous);
  EXPECT_EQ(error, "");
  EXPECT_EQ(*BuildLog, (Lines{"Compilation started: today", current}));
}

TEST(AbortCompilationTest, AppendsTheAbortSentenceWithoutABlank) {
  try {
    AbortCompilation("Source folder cannot be found.");
    FAIL() << "AbortCompilation returned";
  } catch (const Exception &error) {
    EXPECT_EQ(error.Message(), "Source folder cannot be found.Compilation aborted.");
  }
}

TEST(AbortCompilationTest, AnEmptyTextGivesTheAbortSentenceAlone) {
  try {
    AbortCompilation("");
    FAIL() << "AbortCompilation returned";
  } catch (const Exception &error) {
    EXPECT_EQ(error.Message(), "Compilation aborted.");
  }
}

TEST(LogCommandFailureTest, AddsAnEmptyLineTheTitleAndTheOutput) {
  BuildLog = std::make_unique<TStringList>(TStringList{"before"});
  LogCommandFailure("Title", {"a", "", "b"});
  EXPECT_EQ(*BuildLog, (Lines{"before", "", "Title", "a", "", "b"}));
  BuildLog.reset();
}

struct TCodeCase {
  std::uint32_t Code;
  const char *Line;
};

void PrintTo(const TCodeCase &code, std::ostream *out) {
  *out << "Code" << code.Code;
}

class ExitCodeLineTest : public testing::TestWithParam<TCodeCase> {};

TEST_P(ExitCodeLineTest, IsDecimalUnlessTheHighestBitIsSet) {
  EXPECT_EQ(ExitCodeLine(GetParam().Code), GetParam().Line);
}

INSTANTIATE_TEST_SUITE_P(Codes, ExitCodeLineTest,
                         testing::Values(TCodeCase{1, "Exit code: 1"}, TCodeCase{259, "Exit code: 259"},
                                         TCodeCase{0x7FFFFFFF, "Exit code: 2147483647"},
                                         TCodeCase{0x80000000, "Exit code: 0x80000000"},
                                         TCodeCase{0xC0000005, "Exit code: 0xC0000005"},
                                         TCodeCase{0xFFFFFFFF, "Exit code: 0xFFFFFFFF"}),
                         [](const testing::TestParamInfo<TCodeCase> &info) {
                           return "Code" + std::to_string(info.param.Code);
                         });

} // namespace
