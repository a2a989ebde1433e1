// The menu of an environment's row: a right-click on its check box, folder or status offers what
// can be done to that one environment outside a build run.
#include "VersionsForm.h"

#include "doctor/Doctor.h"
#include "environments/Environments.h"
#include "framework/Exception.h"
#include "session/BuildLog.h"

namespace {

// One row of the menu: its caption around the row's caption, and its action.
struct TRowMenuEntry {
  const char *Before, *After;
  void (TVersionsForm::*Action)(int index);
};

const TRowMenuEntry RowMenu[] = {
    {"Check Quivex in ", "", &TVersionsForm::CheckEnvironmentClick},
    // "\x85" is the ellipsis of the ANSI code page the program's texts are in ("…" in Windows-1252).
    {"Uninstall Quivex from ", "\x85", &TVersionsForm::UninstallEnvironmentClick},
};

} // namespace

TMenuItems TVersionsForm::RowMenuItems(TControl &target) {
  if (RunInProgress() || target.Parent() != &GroupBox1)
    return {};
  for (int index = 0; index < EnvironmentCount; ++index) {
    const TEnviron &row = Environments[std::size_t(index)];
    if (!row.CheckBox || row.CheckBox->Top() != target.Top()) // the row's controls share its line
      continue;
    TMenuItems items;
    for (const auto &entry : RowMenu)
      items.push_back({entry.Before + row.CheckBox->Caption() + entry.After,
                       [this, index, action = entry.Action] { (this->*action)(index); }});
    return items;
  }
  return {};
}

// The check reads only: its findings go into the log, which comes to the front.
void TVersionsForm::CheckEnvironmentClick(int index) {
  TDoctorSettings settings;
  settings.SourceFolder = Edit1.Text();
  if (!settings.SourceFolder.empty() && !Edit2.Text().empty())
    settings.DestinationBase = DestinationFolder(settings.SourceFolder + "\\");
  EnsureBuildLog();
  for (const auto &line : ReportLines(RunDoctor({index}, settings)))
    BuildLog->push_back(line);
  FlushBuildLog();
  PageControl1.SetActivePage(&TabSheet2);
}

// Asks, then undoes what this program changed in the environment; the log says what was restored
// and what was left because someone changed it since.
void TVersionsForm::UninstallEnvironmentClick(int index) {
  LockControls(true);
  try {
    UninstallQuivexFrom(index);
  } catch (const std::exception &error) {
    AppendToBuildLog("EXCEPTION:");
    AppendToBuildLog(error.what());
    AppendToBuildLog(std::string(80, '-'));
  }
  LockControls(false);
  FlushBuildLog();
  PageControl1.SetActivePage(&TabSheet2);
}
