#include "app/VersionsForm.h"
#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Desktop.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/InstanceLock.h"
#include "framework/RegFile.h"
#include "framework/Registry.h"
#include "framework/Timer.h"
#include "process/ExecuteCommand.h"
#include "session/BuildLog.h"
#include "unattended/RunLocks.h"
#include "TestRows.h"
#include "TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// The window with its per-environment work replaced: each build makes the output folder or fails
// for the rows the test names, and every step is recorded.
class TRunForm : public TVersionsForm {
public:
  std::vector<int> FailingRows;
  std::vector<std::string> Steps;
  bool InstallAbortsSilently = false;
  bool RealInstall = false;
  // When set, each build flushes the log, and whether "View with Notepad" came back is recorded.
  bool FlushDuringBuild = false, ViewEnabledAfterFlushInBuild = false;
  // What the window let through while a build ran.
  bool BeginEnabledDuringBuild = true, CloseAcceptedDuringBuild = true, RowEnabledDuringBuild = true;
  // When set, each build runs this tool first, as the build driver runs the compiler.
  std::string ToolCommand;

  void BuildEnvironment(int index) override {
    if (!ToolCommand.empty()) {
      ShowStatus(index, "Compiling... ZelDB77");
      ExecuteCommand(ToolCommand, "Cannot recompile Delphi package: ZelDB77.dpk");
    }
    BeginEnabledDuringBuild = Button2.Enabled();
    RowEnabledDuringBuild = Environments[std::size_t(index)].CheckBox->Enabled();
    Close();
    CloseAcceptedDuringBuild = Closed();
    Steps.push_back("build " + std::to_string(index));
    if (FlushDuringBuild) {
      FlushBuildLog();
      ViewEnabledAfterFlushInBuild = Button4.Enabled();
    }
    EnvironmentFolder = DestinationBase + "\\Env" + std::to_string(index);
    Fs::CreateFolder(EnvironmentFolder);
    for (int failing : FailingRows)
      if (failing == index)
        throw Exception("Cannot copy file: a to b");
  }
  void CopyInstaller(const std::string &folder) override { Steps.push_back("installer " + folder); }
  void InstallEnvironment(int index, bool silent) override {
    Steps.push_back("install " + std::to_string(index) + (silent ? " silent" : ""));
    if (RealInstall)
      return TVersionsForm::InstallEnvironment(index, silent);
    if (InstallAbortsSilently) {
      EnsureBuildLog();
      BuildLog->push_back("EXCEPTION:");
      BuildLog->push_back("the install's own message");
      throw EAbort();
    }
  }
  void RebuildDecisionCube(int index) override { Steps.push_back("dcube " + std::to_string(index)); }
};

const char *const Machine = "REGEDIT4\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
                            "\"ProgramFilesDir\"=\"C:\\\\Nowhere\"\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\5.0]\r\n\"RootDir\"=\"C:\\\\D5\"\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\6.0]\r\n\"RootDir\"=\"C:\\\\D6\"\r\n";

class BuildRunTest : public ::testing::Test {
protected:
  TRegistrySandbox sandbox;
  TScriptedDesktop desktop;
  TTempFolder sources;
  std::unique_ptr<TRunForm> form;

  BuildRunTest() {
    ResetProgramState();
    Application().SetDesktop(&desktop);
    Application().SetParameters({});
    ImportRegText(Machine);
    // Delphi 5 in this test's own folder: an install holds a lock keyed on it, and tests run side by side.
    std::string folder;
    for (char c : sources / "D5")
      folder += c == '\\' ? std::string("\\\\") : std::string(1, c);
    ImportRegText("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\5.0]\r\n\"RootDir\"=\"" + folder +
                  "\"\r\n");
    form = std::make_unique<TRunForm>();
    WriteTextFile(sources / "ZelDefs.inc", "{$DEFINE QUIVEX}");
    Fs::CreateFolder(sources / "Compiled");
    form->Edit1.SetText(sources.Path());
    form->CBMakeXFM.SetChecked(false);
  }
  ~BuildRunTest() override {
    form.reset();
    Application().SetDesktop(nullptr);
    ResetProgramState();
    ExpectScriptFollowed(desktop);
  }

  std::string RunError() {
    try {
      form->Button2Click(form->Button2);
    } catch (const Exception &error) {
      return error.Message();
    }
    return "no error";
  }
  TCheckBox &Row(int i) { return *Environments[std::size_t(i)].CheckBox; }
  std::string Status(int i) { return Environments[std::size_t(i)].StatusLabel->Caption(); }
};

TEST_F(BuildRunTest, WithNoRowTickedTheRunLogsItsStartAndSavesTheSettings) {
  form->Button3.Click();
  EXPECT_EQ(RunError(), "no error");
  ASSERT_EQ(form->Memo1.Lines().size(), 2u);
  EXPECT_EQ(form->Memo1.Lines()[0].rfind("Compilation started: ", 0), 0u);
  EXPECT_EQ(form->Memo1.Lines()[1], " ");
  EXPECT_TRUE(form->Steps.empty());
  TRegistry registry(TRootKey::CurrentUser);
  ASSERT_TRUE(registry.OpenKeyReadOnly("\\Software\\Velmora Software\\Quivex Recompile"));
  EXPECT_EQ(registry.ReadString("Sources"), sources.Path());
  EXPECT_FALSE(desktop.WaitCursor);
  EXPECT_TRUE(form->Button4.Enabled());
}

TEST_F(BuildRunTest, EmptyFieldsAreRefusedWithTheFocusOnThem) {
  form->Edit1.SetText("");
  EXPECT_EQ(RunError(), "Quivex Source folder cannot be empty.");
  EXPECT_EQ(form->ActiveControl(), &form->Edit1);
  form->Edit1.SetText(sources.Path());
  form->Edit2.SetText("");
  EXPECT_EQ(RunError(), "Destination folder cannot be empty.");
  EXPECT_EQ(form->ActiveControl(), &form->Edit2);
  EXPECT_TRUE(form->Memo1.Lines().empty()); // no log was touched
  EXPECT_FALSE(desktop.WaitCursor);
  EXPECT_TRUE(form->Button2.Enabled());
}

TEST_F(BuildRunTest, FolderProblemsEndTheRunAfterItsStartLines) {
  form->Edit1.SetText(sources / "missing");
  EXPECT_EQ(RunError(), "Source folder cannot be found.Compilation aborted.");
  EXPECT_EQ(form->Memo1.Lines().size(), 2u);

  form->Edit1.SetText(sources.Path());
  form->Edit2.SetText("Out");
  desktop.ExpectQuestion("Destination folder: \r" + (sources / "Out") + "\rDoes not exist. Create ?", false);
  EXPECT_EQ(RunError(), "Compilation aborted.");
  EXPECT_FALSE(Fs::DirectoryExists(sources / "Out"));

  Fs::DeleteFile(sources / "ZelDefs.inc");
  desktop.ExpectQuestion("Destination folder: \r" + (sources / "Out") + "\rDoes not exist. Create ?", true);
  EXPECT_EQ(RunError(), "Quivex sources cannot be found at " + sources.Path() + " folder.Compilation aborted.");
  EXPECT_TRUE(Fs::DirectoryExists(sources / "Out"));
  EXPECT_TRUE(form->Steps.empty());
  EXPECT_TRUE(Row(0).Enabled()); // the window is usable again
  EXPECT_FALSE(form->RunInProgress());
}

TEST_F(BuildRunTest, ACLXRowGetsTheInstallerButNoInstall) {
  Row(0).SetChecked(false);
  form->CBDCube.SetChecked(true);
  EXPECT_EQ(RunError(), "no error");
  std::string env2 = sources / "Compiled\\Env2";
  EXPECT_EQ(form->Steps, (std::vector<std::string>{"build 1", "installer " + (sources / "Compiled\\Env1"),
                                                   "install 1 silent", "dcube 1", "build 2", "installer " + env2}));
  EXPECT_EQ(Status(2), "OK ");
  EXPECT_FALSE(Row(2).Checked());
  EXPECT_FALSE(form->Button2.Enabled()); // no ticked row is left
  EXPECT_EQ(form->Memo1.Lines().back(), std::string(80, '='));
  EXPECT_EQ(form->Memo1.Lines()[2], "Delphi 6");
}

TEST_F(BuildRunTest, TheFirstFailingRowEndsTheRunAndStaysTicked) {
  form->FailingRows = {1};
  EXPECT_THROW(form->Button2Click(form->Button2), EAbort);
  EXPECT_EQ(Status(0), "OK ");
  EXPECT_FALSE(Row(0).Checked());
  EXPECT_EQ(Status(1), "ERROR");
  EXPECT_TRUE(Row(1).Checked());
  EXPECT_EQ(Status(2), "");
  EXPECT_TRUE(Row(2).Checked());
  EXPECT_EQ(form->PageControl1.ActivePage(), &form->TabSheet2);
  const TStringList &log = form->Memo1.Lines();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(TStringList(log.end() - 3, log.end()),
            (TStringList{"EXCEPTION:", "Cannot copy file: a to b", std::string(44, '-')}));
  EXPECT_TRUE(form->Button2.Enabled());
  EXPECT_FALSE(desktop.WaitCursor);
}

TEST_F(BuildRunTest, AnErrorReportedByTheInstallIsNotReportedAgain) {
  form->InstallAbortsSilently = true;
  EXPECT_THROW(form->Button2Click(form->Button2), EAbort);
  const TStringList &log = form->Memo1.Lines();
  EXPECT_EQ(std::count(log.begin(), log.end(), "EXCEPTION:"), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "Operation aborted"), 0);
  EXPECT_TRUE(Row(0).Checked());
}

// The real install driver inside a run: the run keeps its whole log, and the install's failure is
// reported once, with its own message.
TEST_F(BuildRunTest, AnInstallFailureInsideARunIsReportedOnceAndTheLogKeepsTheWholeRun) {
  ImportRegText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Borland\\Delphi\\5.0\\Known Packages]\r\n");
  form->RealInstall = true;
  Row(1).SetChecked(false);
  Row(2).SetChecked(false);
  EXPECT_THROW(form->Button2Click(form->Button2), EAbort);
  const TStringList &log = form->Memo1.Lines();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[0].rfind("Compilation started: ", 0), 0u);
  EXPECT_EQ(log[2], Row(0).Caption());
  EXPECT_EQ(log[3], "EXCEPTION:");
  EXPECT_EQ(log[4].rfind("Can't load package " + (sources / "Compiled\\Delphi5\\Bin\\DclZel75.bpl."), 0), 0u)
      << log[4];
  EXPECT_EQ(Status(0), "ERROR");
  EXPECT_TRUE(Row(0).Checked());
  EXPECT_TRUE(form->Button4.Enabled());
}

// The window's runs keep out of another run's destination and environment as runs without a person
// do: a destination held under another spelling refuses the run before it logs anything; an
// environment being installed by another run fails its row.
TEST_F(BuildRunTest, AnotherRunsDestinationOrInstallRefusesTheWindowsRun) {
  {
    TInstanceLock other(DestinationLockName(sources / "COMPILED\\..\\Compiled\\"));
    ASSERT_TRUE(other.Held());
    EXPECT_EQ(RunError(), "Another run builds into " + (sources / "Compiled") + ".");
    EXPECT_TRUE(form->Memo1.Lines().empty());
    EXPECT_TRUE(form->Steps.empty());
  }
  form->RealInstall = true;
  Row(1).SetChecked(false);
  Row(2).SetChecked(false);
  TInstanceLock other(InstallLockName(EnvironmentRegistryKey(0), Environments[0].RootDir));
  EXPECT_THROW(form->Button2Click(form->Button2), EAbort);
  const TStringList &log = form->Memo1.Lines();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(TStringList(log.end() - 3, log.end()),
            (TStringList{"EXCEPTION:", "Another run installs into " + Row(0).Caption() + ".",
                         std::string(44, '-')}));
  EXPECT_EQ(Status(0), "ERROR");
  EXPECT_EQ(std::count(log.begin(), log.end(), "EXCEPTION:"), 1); // the install itself never began
}

TEST_F(BuildRunTest, AFlushInsideARunLeavesTheLogViewLockedUntilTheRunEnds) {
  form->FlushDuringBuild = true;
  EXPECT_EQ(RunError(), "no error");
  EXPECT_FALSE(form->ViewEnabledAfterFlushInBuild);
  EXPECT_TRUE(form->Button4.Enabled());
}

TEST_F(BuildRunTest, NothingStartsOrClosesWhileARunIsInProgress) {
  EXPECT_EQ(RunError(), "no error");
  EXPECT_FALSE(form->BeginEnabledDuringBuild);
  EXPECT_FALSE(form->RowEnabledDuringBuild);
  EXPECT_FALSE(form->CloseAcceptedDuringBuild);
  EXPECT_FALSE(form->Closed());
  EXPECT_TRUE(form->Button1.Enabled());
  EXPECT_TRUE(Row(0).Enabled());
  form->Close();
  EXPECT_TRUE(form->Closed());
}

// The tool waits until the test lets it go on. The test looks at the window from a timer, which
// fires only while the window is served, once the tool's line shows in the caption: the row says
// what is being built, and the run lock holds. Afterwards the caption is as before and the log as
// ever.
TEST_F(BuildRunTest, WhileAToolRunsTheWindowShowsItAndTheRunLockHolds) {
  TTempFolder temp;
  const std::string release = temp / "release";
  form->ToolCommand = "\"" + ProgramPath("testchild") + "\" out:Compiling\\x20ZelDB77.pas\\n \"await:" + ChildPath(release) + "\"";
  form->Button3.Click(); // only the first row
  Row(0).SetChecked(true);
  const std::string caption = form->Caption();
  struct {
    bool Looked = false;
    std::string Caption, Status;
    bool BeginEnabled = true, CloseEnabled = true, EditEnabled = true, RowEnabled = true, Closed = true;
    std::size_t StepsAfterBegin = 0;
  } during;
  TTimer timer;
  timer.SetInterval(10);
  timer.OnTimer = [&] {
    if (during.Looked || form->Caption().find("Compiling ZelDB77.pas") == std::string::npos)
      return;
    during.Looked = true;
    during.Caption = form->Caption();
    during.Status = Status(0);
    during.BeginEnabled = form->Button2.Enabled();
    during.CloseEnabled = form->Button1.Enabled();
    during.EditEnabled = form->Edit1.Enabled();
    during.RowEnabled = Row(0).Enabled();
    form->Button2Click(form->Button2); // a second BEGIN starts nothing
    during.StepsAfterBegin = form->Steps.size();
    form->Close();
    during.Closed = form->Closed();
    WriteTextFile(release, "");
  };
  timer.SetEnabled(true);
  EXPECT_EQ(RunError(), "no error");
  timer.SetEnabled(false);

  ASSERT_TRUE(during.Looked);
  EXPECT_EQ(during.Caption, caption + " - Compiling ZelDB77.pas");
  EXPECT_EQ(during.Status, "Compiling... ZelDB77");
  EXPECT_FALSE(during.BeginEnabled);
  EXPECT_FALSE(during.CloseEnabled);
  EXPECT_FALSE(during.EditEnabled);
  EXPECT_FALSE(during.RowEnabled);
  EXPECT_EQ(during.StepsAfterBegin, 0u);
  EXPECT_FALSE(during.Closed);
  EXPECT_FALSE(form->Closed());
  EXPECT_EQ(form->Caption(), caption);
  EXPECT_EQ(Status(0).rfind("OK ", 0), 0u);
  const TStringList &log = form->Memo1.Lines();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[2], Row(0).Caption());
  EXPECT_EQ(log[3], "Compiling ZelDB77.pas");
  EXPECT_EQ(log[4], std::string(80, '='));
}

TEST_F(BuildRunTest, WithoutEnvironmentsBeginStaysEnabledAfterARun) {
  // BEGIN is enabled at start on such a machine, so that forms can be converted and settings saved.
  form.reset();
  ResetEnvironments();
  TRegistry(TRootKey::LocalMachine).DeleteKey("\\SOFTWARE\\Borland");
  form = std::make_unique<TRunForm>();
  form->Edit1.SetText(sources.Path());
  ASSERT_EQ(EnvironmentCount, 0);
  ASSERT_TRUE(form->Button2.Enabled());
  EXPECT_EQ(RunError(), "no error");
  EXPECT_EQ(form->Memo1.Lines().size(), 2u);
  EXPECT_TRUE(form->Button2.Enabled());
  form->Edit2.SetText("Missing");
  desktop.ExpectQuestion("Destination folder: \r" + (sources / "Missing") + "\rDoes not exist. Create ?",
                         false);
  EXPECT_EQ(RunError(), "Compilation aborted.");
  EXPECT_TRUE(form->Button2.Enabled());
}

TEST_F(BuildRunTest, AStandardBuildGoesToItsOwnDestination) {
  Application().SetParameters({"STANDARD"});
  form->Button3.Click();
  desktop.ExpectQuestion("Destination folder: \r" + (sources / "CompiledStandard") + "\rDoes not exist. Create ?",
                         true);
  EXPECT_EQ(RunError(), "no error");
  EXPECT_EQ(form->DestinationBase, sources / "CompiledStandard");
  EXPECT_TRUE(StandardMode);
}

TEST(ElapsedText, PartsAreJoinedWithTwoBlanks) {
  auto start = std::chrono::steady_clock::time_point{};
  EXPECT_EQ(TVersionsForm::ElapsedText(start, start + 1h + 2min + 3s), "1h  2m  3s");
  EXPECT_EQ(TVersionsForm::ElapsedText(start, start + 2min), " 2m  0s");
  EXPECT_EQ(TVersionsForm::ElapsedText(start, start + 5s + 900ms), " 5s");
  EXPECT_EQ(TVersionsForm::ElapsedText(start, start + 999ms), "");
  EXPECT_EQ(TVersionsForm::ElapsedText(start, start + 25h + 4s), "1h  0m  4s"); // whole days are dropped
  EXPECT_EQ(TVersionsForm::ElapsedText(start, start + 3h), "3h  0m  0s");
}

} // namespace
