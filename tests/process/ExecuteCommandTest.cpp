// Running a tool into the build log: exactly which lines the log gains on success and on failure,
// and which error the caller sees.
#include "process/ExecuteCommand.h"
#include "ProcessTestSupport.h"
#include "TestSupport.h"
#include "changes/ChangeBatch.h"
#include "changes/EnvironmentChanges.h"
#include "framework/Application.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Timer.h"
#include "framework/WinApi.h"
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

// A question gets the end of the input at once, not a wait for an answer that never comes.
TEST_F(ExecuteCommandTest, APromptingToolReadsTheEndOfItsInput) {
  EXPECT_EQ(Execute(ChildCommand({"out:Overwrite? ", "drain"})), "");
  EXPECT_EQ(*BuildLog, (Lines{"Compilation started: today", "Overwrite? eof"}));
}

// An install notes its changes and makes them at its end; a tool it starts meanwhile (the assembly
// cache's) finds them made. Were they still only noted, the child would wait for the file in vain.
TEST_F(ExecuteCommandTest, AToolStartedWhileChangesAreNotedFindsThemMade) {
  TTempFolder temp;
  const std::string file = temp / "Env\\Help\\D7.cnt";
  ASSERT_TRUE(Fs::ForceFolders(temp / "Env\\Help"));
  SetJournalFolder(temp / "Journal");
  {
    TChangeScope scope("Test Env", "Software\\ZelTest\\Env", {});
    TChangeBatch batch;
    Changes::SaveLines(file, {":Include Quivex7.ohc"});
    EXPECT_FALSE(Fs::FileExists(file));
    EXPECT_EQ(Execute(ChildCommand({"await:" + ChildPath(file)})), "");
    EXPECT_TRUE(Fs::FileExists(file));
    scope.Rollback();
  }
  SetJournalFolder("");
  EXPECT_FALSE(Fs::FileExists(file));
}

#ifdef _WIN32
// A real window message, posted before the tool starts: the wait must dispatch it.
struct TPostedMessage {
  static inline bool Handled = false;
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP)
      Handled = true;
    return ::DefWindowProcA(window, message, wParam, lParam);
  }
  HWND Window = nullptr;
  TPostedMessage() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ZelPostedMessageTest";
    ::RegisterClassA(&windowClass);
    Window = ::CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               windowClass.hInstance, nullptr);
    Handled = false;
    ::PostMessageA(Window, WM_APP, 0, 0);
  }
  ~TPostedMessage() { ::DestroyWindow(Window); }
};
#endif

// The tool waits until the test lets it go on, and only a message handled during the wait can: a
// timer, which fires only while messages are processed, once the tool's line is showing (and on
// Win32 a posted message has arrived as well). The line shows while the tool runs and goes after;
// the log is the same as ever.
TEST_F(ExecuteCommandTest, TheWindowIsServedAndShowsTheToolsLastLineWhileItRuns) {
  TTempFolder temp;
  const std::string release = temp / "release";
  std::vector<std::string> shown;
  ToolOutputView = [&shown](const std::string &line) { shown.push_back(line); };
#ifdef _WIN32
  TPostedMessage posted;
  ASSERT_NE(posted.Window, nullptr);
  auto postedArrived = [] { return TPostedMessage::Handled; };
#else
  auto postedArrived = [] { return true; };
#endif
  bool released = false;
  TTimer timer;
  timer.SetInterval(10);
  timer.OnTimer = [&] {
    if (!released && postedArrived() && !shown.empty() && shown.back() == "Compiling ZelDB77") {
      WriteTextFile(release, "");
      released = true;
    }
  };
  timer.SetEnabled(true);
  std::string error = Execute(ChildCommand({"out:Borland Delphi\\nCompiling ZelDB77\\n", "await:" + ChildPath(release),
                                            "out:ZelDB77.dpk(12)\\n"}));
  timer.SetEnabled(false);
  ToolOutputView = nullptr;
  EXPECT_EQ(error, "");
  EXPECT_TRUE(released);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back(), "");
  EXPECT_NE(std::find(shown.begin(), shown.end(), "Compiling ZelDB77"), shown.end());
  EXPECT_EQ(*BuildLog,
            (Lines{"Compilation started: today", "Borland Delphi", "Compiling ZelDB77", "ZelDB77.dpk(12)"}));
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
