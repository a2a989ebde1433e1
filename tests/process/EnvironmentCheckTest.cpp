// The running-environment check against real running stand-in IDEs, copied into simulated
// environment folders.
#include "process/EnvironmentCheck.h"
#include "TestSupport.h"
#include "environments/Environments.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Process.h"
#include "framework/ProcessList.h"
#include "session/BuildHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::string UpperCase(std::string text) {
  for (char &c : text)
    if (c >= 'a' && c <= 'z')
      c = char(c - 32);
  return text;
}

std::string LowerCase(std::string text) {
  for (char &c : text)
    if (c >= 'A' && c <= 'Z')
      c = char(c + 32);
  return text;
}

// A stand-in IDE started from a given path; stopped (through its stop file) when the object goes.
class TRunningIde {
public:
  TRunningIde(const std::string &programPath, const std::string &stopFile) : stopFile_(stopFile) {
    std::uint32_t error = 0;
    EXPECT_TRUE(CreateChildPipe(input_, TChildEnd::Read, error));
    EXPECT_TRUE(CreateChildPipe(output_, TChildEnd::Write, error));
    EXPECT_TRUE(
        child_.Start("\"" + programPath + "\" \"" + stopFile + "\" 300", input_.ReadEnd, output_.WriteEnd))
        << "cannot start " << programPath << ": error " << child_.StartError();
  }
  ~TRunningIde() { Stop(); }

  void Stop() {
    if (!child_.Started() || child_.ExitCode() != StillActive)
      return;
    WriteTextFile(stopFile_, "stop");
    if (!child_.WaitForExit(30000)) {
      ADD_FAILURE() << "the stand-in IDE did not stop";
      child_.Terminate(1);
    }
    child_.WaitForExit(30000);
  }
  std::int32_t Id() const { return std::int32_t(child_.Id()); }

private:
  std::string stopFile_;
  TPipe input_, output_;
  TChildProcess child_;
};

// The main window's part in the check: the question, answered by the test.
class TTestHost : public TBuildHost {
public:
  std::function<bool(const std::string &)> Answer;
  std::vector<std::string> Questions;

  bool AskYesNo(const std::string &message) override {
    Questions.push_back(message);
    return Answer ? Answer(message) : false;
  }
  void EnsureEnvironmentClosed(int index, const std::string &kindName, const std::string &suffix) override {
    ::EnsureEnvironmentClosed(*this, index, kindName, suffix);
  }
  std::string DestinationFolder(const std::string &base) override { return base; }
  bool InstallChecked() const override { return false; }
  std::string SourceFieldText() const override { return ""; }
  TStringList OriginalFileNames() const override { return {}; }
  [[noreturn]] void ReportBuildError(int, const std::exception &) override { throw EAbort(); }
  void FlushBuildLog() override {}
  void CopyInstaller(const std::string &) override {}
  void BuildEnvironment(int) override {}
  bool StandardEditionBuild() override { return false; }
};

class EnvironmentCheckTest : public testing::Test {
protected:
  static constexpr int Delphi7 = 0;
  static constexpr int Builder6 = 1;

  void SetUp() override {
    ResetEnvironments();
    delphiRoot_ = temp_ / "Delphi7";
    builderRoot_ = temp_ / "CBuilder6";
    Install(ProgramPath("Delphi32"), delphiRoot_ + "\\bin\\Delphi32.exe");
    Install(ProgramPath("bcb"), builderRoot_ + "\\bin\\bcb.exe");
    Environments[Delphi7].RootDir = delphiRoot_;
    Environments[Delphi7].IsDelphi = true;
    Environments[Builder6].RootDir = builderRoot_;
    Environments[Builder6].IsDelphi = false;
    EnvironmentCount = 2;
  }
  void TearDown() override { ResetEnvironments(); }

  static void Install(const std::string &program, const std::string &target) {
    ASSERT_TRUE(Fs::ForceFolders(target.substr(0, target.find_last_of('\\'))));
    ASSERT_TRUE(Fs::CopyFile(program, target, false)) << program << " -> " << target;
  }
  std::string StopFile(const std::string &name) { return temp_ / (name + ".stop"); }

  // Processes take a moment to show their program path in the list: poll (a guard, not a timing).
  static bool WaitUntil(const std::function<bool()> &condition) {
    auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!condition()) {
      if (std::chrono::steady_clock::now() > deadline)
        return false;
      std::this_thread::sleep_for(20ms);
    }
    return true;
  }
  static bool Listed(std::int32_t id) {
    TProcessList list;
    ListProcesses(list);
    for (const auto &entry : list)
      if (entry.ProcessId == id)
        return true;
    return false;
  }

  TTempFolder temp_;
  std::string delphiRoot_, builderRoot_;
};

TEST_F(EnvironmentCheckTest, TheIdeProgramDependsOnTheKindOfEnvironment) {
  EXPECT_EQ(IdeExecutablePath(Delphi7), delphiRoot_ + "\\bin\\Delphi32.exe");
  EXPECT_EQ(IdeExecutablePath(Builder6), builderRoot_ + "\\bin\\bcb.exe");
}

TEST_F(EnvironmentCheckTest, NothingRunsBeforeTheIdeStarts) {
  EXPECT_FALSE(IsEnvironmentRunning(Delphi7));
  EXPECT_FALSE(IsEnvironmentRunning(Builder6));
}

TEST_F(EnvironmentCheckTest, ListsTheIdeWithItsFullPathAndIdentifier) {
  TRunningIde ide(delphiRoot_ + "\\bin\\Delphi32.exe", StopFile("d"));
  ASSERT_TRUE(WaitUntil([&] { return IsEnvironmentRunning(Delphi7); }));
  TProcessList list;
  ASSERT_TRUE(ListProcesses(list));
  const std::string expected = UpperCase(ProcessListPath(delphiRoot_ + "\\bin\\Delphi32.exe"));
  bool found = false;
  for (const auto &entry : list)
    if (entry.ProcessId == ide.Id()) {
      EXPECT_EQ(UpperCase(entry.ExeName), expected);
      found = true;
    }
  EXPECT_TRUE(found) << "no entry with the IDE's identifier " << ide.Id();
}

TEST_F(EnvironmentCheckTest, FindsTheRunningIdeAndLosesItWhenItEnds) {
  TRunningIde ide(delphiRoot_ + "\\bin\\Delphi32.exe", StopFile("d"));
  ASSERT_TRUE(WaitUntil([&] { return IsEnvironmentRunning(Delphi7); }));
  EXPECT_FALSE(IsEnvironmentRunning(Builder6));
  ide.Stop();
  EXPECT_FALSE(IsEnvironmentRunning(Delphi7));
}

TEST_F(EnvironmentCheckTest, FindsACBuilderIde) {
  TRunningIde ide(builderRoot_ + "\\bin\\bcb.exe", StopFile("b"));
  ASSERT_TRUE(WaitUntil([&] { return IsEnvironmentRunning(Builder6); }));
  EXPECT_FALSE(IsEnvironmentRunning(Delphi7));
}

// The system may know the program under a path written in another case than RootDir.
TEST_F(EnvironmentCheckTest, AnIdeStartedThroughALowerCasePathMatchesRootDirAsStored) {
  TRunningIde ide(LowerCase(delphiRoot_ + "\\bin\\Delphi32.exe"), StopFile("d"));
  EXPECT_TRUE(WaitUntil([&] { return IsEnvironmentRunning(Delphi7); }));
}

TEST_F(EnvironmentCheckTest, RootDirInAnotherCaseStillMatches) {
  Environments[Delphi7].RootDir = UpperCase(delphiRoot_);
  TRunningIde ide(delphiRoot_ + "\\bin\\Delphi32.exe", StopFile("d"));
  EXPECT_TRUE(WaitUntil([&] { return IsEnvironmentRunning(Delphi7); }));
}

TEST_F(EnvironmentCheckTest, AnIdeFromAnotherInstallationDoesNotCount) {
  Install(ProgramPath("Delphi32"), temp_ / "Other\\bin\\Delphi32.exe");
  TRunningIde other(temp_ / "Other\\bin\\Delphi32.exe", StopFile("o"));
  ASSERT_TRUE(WaitUntil([&] { return Listed(other.Id()); }));
  EXPECT_FALSE(IsEnvironmentRunning(Delphi7));
}

#ifdef _WIN32
TEST_F(EnvironmentCheckTest, ChoosesPsApiOnTheNtFamily) {
  EXPECT_TRUE(PsApiPreferred());
}

// Tool Help shows the program's file name (Windows and Wine give no folder there).
TEST_F(EnvironmentCheckTest, ToolHelpListsTheIdeByItsFileName) {
  TRunningIde ide(delphiRoot_ + "\\bin\\Delphi32.exe", StopFile("d"));
  TProcessList list;
  ASSERT_TRUE(ListProcessesByToolHelp(list));
  bool found = false;
  for (const auto &entry : list)
    if (entry.ProcessId == ide.Id()) {
      EXPECT_EQ(UpperCase(entry.ExeName.substr(entry.ExeName.find_last_of('\\') + 1)), "DELPHI32.EXE");
      found = true;
    }
  EXPECT_TRUE(found);
}

TEST_F(EnvironmentCheckTest, PsApiListsFullPaths) {
  TRunningIde ide(delphiRoot_ + "\\bin\\Delphi32.exe", StopFile("d"));
  ASSERT_TRUE(WaitUntil([&] {
    TProcessList list;
    ListProcessesByPsApi(list);
    for (const auto &entry : list)
      if (entry.ProcessId == ide.Id())
        return UpperCase(entry.ExeName) == UpperCase(delphiRoot_ + "\\bin\\Delphi32.exe");
    return false;
  }));
}
#else
TEST_F(EnvironmentCheckTest, ProcFsPathsLookLikeWinePaths) {
  TRunningIde ide(delphiRoot_ + "\\bin\\Delphi32.exe", StopFile("d"));
  ASSERT_TRUE(WaitUntil([&] { return Listed(ide.Id()); }));
  TProcessList list;
  ASSERT_TRUE(ListProcessesByProcFs(list));
  std::string expected = "Z:" + Fs::NativePath(delphiRoot_ + "\\bin\\Delphi32.exe");
  for (char &c : expected)
    if (c == '/')
      c = '\\';
  bool found = false;
  for (const auto &entry : list)
    if (entry.ProcessId == ide.Id()) {
      EXPECT_EQ(entry.ExeName, expected);
      found = true;
    }
  EXPECT_TRUE(found);
}
#endif

// ---- the question ----

TEST_F(EnvironmentCheckTest, DoesNotAskWhenTheIdeIsNotRunning) {
  TTestHost host;
  host.EnsureEnvironmentClosed(Delphi7, "Delphi", "7");
  EXPECT_TRUE(host.Questions.empty());
}

TEST_F(EnvironmentCheckTest, AsksAgainAfterYesForAsLongAsTheIdeRuns) {
  TRunningIde ide(delphiRoot_ + "\\bin\\Delphi32.exe", StopFile("d"));
  ASSERT_TRUE(WaitUntil([&] { return IsEnvironmentRunning(Delphi7); }));
  TTestHost host;
  host.Answer = [&](const std::string &) {
    if (host.Questions.size() == 3)
      ide.Stop(); // the user finally closes it
    return true;
  };
  host.EnsureEnvironmentClosed(Delphi7, "Delphi", "7");
  EXPECT_EQ(host.Questions, std::vector<std::string>(3, "Please close Delphi 7 and click Yes to continue."));
}

TEST_F(EnvironmentCheckTest, NoAbortsTheCompilation) {
  TRunningIde ide(builderRoot_ + "\\bin\\bcb.exe", StopFile("b"));
  ASSERT_TRUE(WaitUntil([&] { return IsEnvironmentRunning(Builder6); }));
  TTestHost host;
  host.Answer = [](const std::string &) { return false; };
  try {
    host.EnsureEnvironmentClosed(Builder6, "Builder", "C6");
    ADD_FAILURE() << "No did not abort";
  } catch (const Exception &error) {
    EXPECT_EQ(error.Message(), "Compilation aborted.");
  }
  EXPECT_EQ(host.Questions, std::vector<std::string>{"Please close Builder C6 and click Yes to continue."});
}

} // namespace

namespace {

// EnumProcesses says only how much of the buffer it filled: a busy machine must still be listed
// whole, also when its processes fill a buffer exactly, and a failing call gives nothing.
TEST(ProcessIdsTest, AreAllListedHoweverManyRun) {
  for (std::uint32_t running : {0u, 3u, 1024u, 1025u, 5000u}) {
    auto enumerate = [running](std::uint32_t *ids, std::uint32_t bytes, std::uint32_t &filled) {
      std::uint32_t fit = std::min<std::uint32_t>(running, bytes / sizeof(std::uint32_t));
      for (std::uint32_t i = 0; i < fit; ++i)
        ids[i] = 4 * (i + 1);
      filled = fit * std::uint32_t(sizeof(std::uint32_t));
      return true;
    };
    std::vector<std::uint32_t> ids;
    ASSERT_TRUE(EnumerateAllProcessIds(enumerate, ids)) << running;
    ASSERT_EQ(ids.size(), running);
    if (running > 0) {
      EXPECT_EQ(ids.back(), 4 * running);
    }
  }
  std::vector<std::uint32_t> ids{1, 2};
  EXPECT_FALSE(EnumerateAllProcessIds([](std::uint32_t *, std::uint32_t, std::uint32_t &) { return false; }, ids));
  EXPECT_TRUE(ids.empty());
}

} // namespace
