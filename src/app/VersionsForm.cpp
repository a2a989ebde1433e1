#include "VersionsForm.h"

#include "changes/EnvironmentChanges.h"
#include "decisioncube/DecisionCubeBuild.h"
#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Desktop.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/InstanceLock.h"
#include "framework/Registry.h"
#include "framework/Text.h"
#include "ideintegration/InstallDriver.h"
#include "librarybuild/BuildDriver.h"
#include "librarybuild/CompileProcs.h"
#include "process/EnvironmentCheck.h"
#include "session/BuildLog.h"
#include "unattended/RunLocks.h"

#include <algorithm>
#include <cctype>

const char *const SettingsKey = "\\Software\\Velmora Software\\Quivex Recompile";

TVersionsForm::TVersionsForm() : TForm("VersionsForm") {
  CreateComponents();
  FormCreate();
}

TVersionsForm::~TVersionsForm() = default;

void TVersionsForm::FormCreate() {
  BuildLog.reset();
  PageControl1.SetActivePage(&TabSheet1);
  if (StandardEditionBuild())
    SetCaption(Caption() + " (Standard)");
  bool detected = true;
  try {
    DetectEnvironments(*this, GroupBox1, [this](TControl &sender) { EnableBeginButton(sender); });
  } catch (const std::exception &error) {
    Application().HandleException(error);
    detected = false;
  }
  if (detected)
    SetCaption(Caption() + "  VERSION: " + std::to_string(LibraryVersion));
  // The settings are loaded even when detection failed: otherwise the next close would overwrite
  // the saved folders with the empty fields.
  LoadSettings();
}

void TVersionsForm::LoadSettings() {
  TRegistry registry(TRootKey::CurrentUser);
  if (!registry.KeyExists(SettingsKey) || !registry.OpenKeyReadOnly(SettingsKey))
    return;
  auto readText = [&registry](const char *name) {
    try {
      return registry.ReadString(name);
    } catch (const ERegistryException &) {
      return std::string(); // a value that holds no text counts as absent
    }
  };
  Edit1.SetText(readText("Sources"));
  Edit2.SetText(readText("Destination"));
  // Without the setting the window builds one environment after another.
  try {
    auto jobs = registry.ReadValue("Jobs");
    if (jobs && jobs->Type == rdInteger && jobs->Data.size() == 4) {
      std::uint32_t value = 0;
      for (int i = 3; i >= 0; --i)
        value = value << 8 | std::uint8_t(jobs->Data[std::size_t(i)]);
      Jobs = int(std::min<std::uint32_t>(value, 64)); // 0: one per processor
    }
  } catch (const ERegistryException &) {
  }
}

void TVersionsForm::SaveSettings() {
  // Through the changes layer, so that a dry run lists the settings it would save.
  TRegistry registry(TRootKey::CurrentUser);
  if (!Changes::OpenKey(registry, SettingsKey, true))
    return;
  Changes::WriteString(registry, "Sources", Edit1.Text());
  Changes::WriteString(registry, "Destination", Edit2.Text());
}

void TVersionsForm::FormShow() {
  if (StartAutomaticInstall())
    return;
  if (Edit1.Text().empty()) {
    SpeedButton1Click(SpeedButton1);
    if (Edit1.Text().empty())
      Application().Desktop().ShowMessage("Please specify folder with Quivex 7 source code.\r"
                                          "This program will exit now.");
  }
  if (Edit1.Text().empty())
    Close();
}

void TVersionsForm::FormClose() {
  SaveSettings();
}

void TVersionsForm::Button1Click(TControl &) {
  Close();
}

void TVersionsForm::Button3Click(TControl &) {
  bool tick = Button3.Tag != 0;
  for (auto *control : GroupBox1.Controls())
    if (control->Kind() == TControlKind::CheckBox)
      static_cast<TCheckBox *>(control)->SetChecked(tick);
  Button3.Tag = tick ? 0 : 1;
  Button3.SetCaption(tick ? "UnSelect All" : "Select All");
}

void TVersionsForm::EnableBeginButton(TControl &) {
  if (RunInProgress()) {
    rowTicksChangedInRun_ = true; // a run unticks its rows as it goes; BEGIN waits for its end
    return;
  }
  bool anyTicked = false;
  for (auto *control : GroupBox1.Controls())
    if (control->Kind() == TControlKind::CheckBox && static_cast<TCheckBox *>(control)->Checked())
      anyTicked = true;
  Button2.SetEnabled(anyTicked);
}

void TVersionsForm::SpeedButton1Click(TControl &) {
  auto folder = Application().Desktop().BrowseForFolder("Folder with Quivex Pro Sources", Edit1.Text());
  if (folder)
    Edit1.SetText(*folder);
}

void TVersionsForm::Edit2Change(TControl &) {
  Label2.SetCaption(IsAbsolutePath(Edit2.Text()) ? "Absolute Destination:" : "Relative Destination:");
}

bool TVersionsForm::IsAbsolutePath(const std::string &text) {
  return text.find(':') != std::string::npos || (!text.empty() && text[0] == '\\');
}

bool TVersionsForm::AskYesNo(const std::string &message) {
  Application().Desktop().SetWaitCursor(false); // a build may have set the wait cursor
  return Application().Desktop().AskYesNo(message);
}

std::string TVersionsForm::DestinationFolder(const std::string &base) {
  std::string folder = IsAbsolutePath(Edit2.Text()) ? Edit2.Text() : base + Edit2.Text();
  if (StandardEditionBuild())
    folder += "Standard";
  return folder;
}

bool TVersionsForm::StandardEditionBuild() {
  return UpperCase(Application().ParamStr(1)) == "STANDARD";
}

void TVersionsForm::CopyInstaller(const std::string &folder) {
  CopyFileChecked(Application().ExeName(), folder + "\\ZelInstall.exe");
}

void TVersionsForm::EnsureEnvironmentClosed(int index, const std::string &kindName, const std::string &suffix) {
  ::EnsureEnvironmentClosed(Host(), index, kindName, suffix);
}

void TVersionsForm::BuildEnvironment(int index) { ::BuildEnvironment(Host(), index); }

void TVersionsForm::InstallEnvironment(int index, bool silent) {
  // Two installs into one environment at once read and rewrite the same keys and files, and one
  // would lose the other's changes: another run's install, even a window's, refuses this one.
  const TEnviron &row = Environments[std::size_t(index)];
  TInstanceLock lock(InstallLockName(EnvironmentRegistryKey(index), row.RootDir));
  if (!lock.Held()) {
    EnsureBuildLog();
    try {
      Host().ReportBuildError(index, EAnotherRun("Another run installs into " + row.CheckBox->Caption() + "."));
    } catch (...) {
      if (!RunInProgress())
        FlushBuildLog(); // as the install driver's own failures: the log view shows the report
      throw;
    }
  }
  ::InstallEnvironment(Host(), index, silent);
}

void TVersionsForm::RebuildDecisionCube(int index) { ::RebuildDecisionCube(Host(), index); }

TUninstallOutcome TVersionsForm::UninstallQuivexFrom(int index) {
  const TEnviron &row = Environments[std::size_t(index)];
  const std::string caption = row.CheckBox->Caption();
  EnsureBuildLog();
  TInstanceLock lock(InstallLockName(EnvironmentRegistryKey(index), row.RootDir));
  if (!lock.Held())
    throw EAnotherRun("Another run installs into " + caption + ".");
  TUninstallOutcome outcome;
  if (!HasJournalsToUndo(EnvironmentRegistryKey(index), JournalFolder())) {
    AppendToBuildLog("Nothing to uninstall: no change of this program is recorded for " + caption + ".");
    return outcome;
  }
  if (!AskYesNo("Do you want to uninstall Quivex Pro " + std::to_string(LibraryVersion) + " from " + caption +
                "?\r\rEvery change this program made to it is undone; what was changed since stays.")) {
    AppendToBuildLog("Uninstall from " + caption + " declined.");
    outcome.Status = TUninstallOutcome::Declined;
    return outcome;
  }
  return UninstallQuivex(index);
}
