// The build run that BEGIN starts: checks the fields and folders, then builds every ticked
// environment in table order, each ending in "OK" and its time or in the report of its error.
#include "VersionsForm.h"

#include "changes/EnvironmentChanges.h"
#include "environments/Environments.h"
#include "formconvert/FormConversion.h"
#include "framework/Application.h"
#include "framework/DateTimeText.h"
#include "framework/Desktop.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/InstanceLock.h"
#include "process/ExecuteCommand.h"
#include "session/BuildLog.h"
#include "session/EnvironmentJournal.h"
#include "unattended/RunLocks.h"
#include "unattended/Switches.h"

#include <ctime>

namespace {

// Runs an action and then, whatever happened, a closing step.
template <typename TAction, typename TFinally> void RunThen(TAction action, TFinally finally) {
  try {
    action();
  } catch (...) {
    finally();
    throw;
  } finally();
}

} // namespace

std::string TVersionsForm::ElapsedText(std::chrono::steady_clock::time_point start,
                                       std::chrono::steady_clock::time_point now) {
  long long total = std::chrono::duration_cast<std::chrono::seconds>(now - start).count();
  long long hours = (total / 3600) % 24, minutes = (total / 60) % 60, seconds = total % 60;
  std::string text;
  if (hours != 0)
    text = std::to_string(hours) + "h ";
  if (!text.empty() || minutes != 0)
    text += " " + std::to_string(minutes) + "m ";
  if (!text.empty() || seconds != 0)
    text += " " + std::to_string(seconds) + "s";
  return text;
}

void TVersionsForm::Button2Click(TControl &) {
  if (runInProgress_)
    return;
  Application().Desktop().SetWaitCursor(true);
  RunThen(
      [this] {
        StandardMode = StandardEditionBuild();
        PageControl1.SetActivePage(&TabSheet1);
        if (Edit1.Text().empty()) {
          FocusControl(Edit1);
          throw Exception("Quivex Source folder cannot be empty.");
        }
        if (Edit2.Text().empty()) {
          FocusControl(Edit2);
          throw Exception("Destination folder cannot be empty.");
        }
        // Two runs into one destination would overwrite and move each other's files; the lock is
        // taken on the folder, however this run spells it.
        const std::string destination = DestinationFolder(Edit1.Text() + "\\");
        TInstanceLock destinationLock(DestinationLockName(destination));
        if (!destinationLock.Held())
          throw EAnotherRun("Another run builds into " + destination + ".");
        EnsureBuildLog();
        LockControls(true);
        RunThen(
            [this] {
              AppendToBuildLog("Compilation started: " + ShortDateLongTimeText(std::time(nullptr)));
              AppendToBuildLog(" ");
              PrepareFolders();
              SaveSettings();
              if (CBMakeXFM.Checked())
                MakeXfmFiles(SourceFolder);
              BuildTickedEnvironments();
            },
            [this] {
              LockControls(false);
              FlushBuildLog();
            });
      },
      [] { Application().Desktop().SetWaitCursor(false); });
}

void TVersionsForm::PrepareFolders() {
  SourceFolder = Edit1.Text();
  DestinationBase = DestinationFolder(SourceFolder + "\\");
  if (!Fs::DirectoryExists(SourceFolder))
    AbortCompilation("Source folder cannot be found.");
  if (!Fs::DirectoryExists(DestinationBase)) {
    if (!AskYesNo("Destination folder: \r" + DestinationBase + "\rDoes not exist. Create ?"))
      AbortCompilation("");
    Changes::CreateFolder(DestinationBase);
  }
  if (!Fs::FileExists(SourceFolder + "\\ZelDefs.inc"))
    AbortCompilation("Quivex sources cannot be found at " + SourceFolder + " folder.");
}

void TVersionsForm::BuildTickedEnvironments() {
  if (int atOnce = EnvironmentsAtOnce(Jobs); atOnce > 1) {
    std::vector<int> rows;
    for (int i = 0; i < EnvironmentCount; ++i)
      if (Environments[std::size_t(i)].CheckBox->Checked())
        rows.push_back(i);
    BuildEnvironmentsAtOnce(rows, atOnce);
    return;
  }
  for (int i = 0; i < EnvironmentCount; ++i) {
    if (!Environments[std::size_t(i)].CheckBox->Checked())
      continue;
    try {
      BuildOneEnvironment(i);
    } catch (const EAbort &) {
      throw; // reported where it happened (the install driver): once is enough
    } catch (const std::exception &error) {
      ReportBuildError(i, error);
    }
  }
}

void TVersionsForm::BuildOneEnvironment(int index) {
  const TEnviron &row = Environments[std::size_t(index)];
  AppendToBuildLog(row.CheckBox->Caption());
  auto start = std::chrono::steady_clock::now();
  // One journal for everything this environment's build, install and Decision Cube rebuild change
  // outside the output tree: a failure in any of them puts the environment back as it was.
  RunWithJournal(*this, index, [&] {
    BuildEnvironment(index);
    CopyInstaller(EnvironmentFolder);
    if (!row.IsCLX) {
      ShowStatus(index, "Installing...");
      if (CBInstall.Checked())
        InstallEnvironment(index, true);
      if (CBDCube.Checked())
        RebuildDecisionCube(index);
    }
  });
  ShowStatus(index, "OK " + ElapsedText(start));
  row.CheckBox->SetChecked(false);
  AppendToBuildLog(std::string(80, '='));
}

void TVersionsForm::LockControls(bool locked) {
  if (locked) {
    beginEnabledBeforeRun_ = Button2.Enabled();
    rowTicksChangedInRun_ = false;
  }
  runInProgress_ = locked;
  ShowToolLineInCaption(locked);
  TControl *const runControls[] = {&Button1,      &Button3,   &Button4,   &Edit1,  &Edit2,
                                   &SpeedButton1, &CBMakeXFM, &CBInstall, &CBDCube};
  for (TControl *control : runControls)
    control->SetEnabled(!locked);
  for (auto *control : GroupBox1.Controls())
    if (control->Kind() == TControlKind::CheckBox)
      control->SetEnabled(!locked);
  // BEGIN comes back as it was (enabled, on a machine without environments, although no row is
  // ticked) unless the run changed a row's tick, which decides it anew as every change does.
  Button2.SetEnabled(!locked && beginEnabledBeforeRun_);
  if (!locked && rowTicksChangedInRun_)
    EnableBeginButton(Button2);
}

// While a tool runs, the caption carries its last output line after the window's own caption.
void TVersionsForm::ShowToolLineInCaption(bool during) {
  if (!during) {
    ToolOutputView = nullptr;
    if (!idleCaption_.empty())
      SetCaption(idleCaption_);
    idleCaption_.clear();
    return;
  }
  idleCaption_ = Caption();
  ToolOutputView = [this](const std::string &line) {
    SetCaption(line.empty() ? idleCaption_ : idleCaption_ + " - " + line);
  };
}
