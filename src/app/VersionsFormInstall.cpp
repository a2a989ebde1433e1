// The automatic install mode: started as the installer that every build leaves in its output
// folder, or with "INSTALL" ["NET"], the program installs the compiled tree it finds below the
// current folder and closes.
#include "VersionsForm.h"

#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Desktop.h"
#include "framework/Files.h"
#include "framework/Text.h"
#include "librarybuild/BuildDriver.h"
#include "librarybuild/EnvironmentNames.h"
#include "unattended/Switches.h"

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

} // namespace

std::string TVersionsForm::ParentFolder(std::string folder) {
  if (!folder.empty() && IsSeparator(folder.back()))
    folder.pop_back();
  while (!folder.empty() && !IsSeparator(folder.back()))
    folder.pop_back();
  if (!folder.empty())
    folder.pop_back();
  return folder;
}

int TVersionsForm::FindInstallableEnvironment(bool netOnly) {
  DestinationBase = Fs::CurrentFolder().substr(0, 260);
  // The file in the environment's tree beside the current folder, or in the current folder itself
  // when the installer runs inside the tree.
  auto foundInTree = [this](const std::string &tree, const std::string &file) {
    if (Fs::FileExists(tree + "\\" + file))
      return true;
    if (!Fs::FileExists(file))
      return false;
    DestinationBase = ParentFolder(DestinationBase);
    return true;
  };
  for (int i = 0; i < EnvironmentCount; ++i) {
    const TEnviron &row = Environments[std::size_t(i)];
    if (row.IsCLX || (netOnly && !row.IsDotNet))
      continue;
    // The tree is named as the build names it ("Delphi7", "BuilderC6", "Delphi8").
    SetEnvironmentNames(*this, i);
    std::string tree = KindName + PackageSuffix;
    if (row.IsDotNet) {
      if (foundInTree(tree, "Assemblies\\Velmora.Quivex.Vcl.Design.dll"))
        return i;
      continue;
    }
    // The design package of a full edition's tree, or of a Standard edition's ("DclZelStd77.bpl").
    std::string nameEnd =
        std::to_string(LibraryVersion) + (row.IsDelphi ? "" : "C") + std::to_string(row.Version) + ".bpl";
    for (const char *stem : {"bin\\dclzel", "bin\\DclZelStd"})
      if (foundInTree(tree, stem + nameEnd))
        return i;
  }
  return -1;
}

bool TVersionsForm::StartAutomaticUninstall() {
  TApplication &application = Application();
  int index = FindInstallableEnvironment(false);
  if (index == -1) {
    application.Desktop().ShowMessage("Quivex files cannot be found under current folder structure.");
    return true;
  }
  const std::string caption = Environments[std::size_t(index)].CheckBox->Caption();
  try {
    TUninstallOutcome outcome = UninstallQuivexFrom(index);
    FlushBuildLog();
    if (outcome.Status == TUninstallOutcome::NothingRecorded)
      application.Desktop().ShowMessage("Nothing to uninstall: no change of this program is recorded for " +
                                        caption + ".");
    else if (outcome.Status == TUninstallOutcome::Undone)
      application.Desktop().ShowMessage("Quivex Pro was uninstalled from " + caption + "." +
                                        (outcome.Report.ChangedSince.empty()
                                             ? std::string()
                                             : "\r\rChanged since the install, and left as they are: " +
                                                   std::to_string(outcome.Report.ChangedSince.size()) +
                                                   " (see the log)."));
    else if (outcome.Status == TUninstallOutcome::Failed)
      throw Exception("Some changes could not be undone (see the log).");
  } catch (const std::exception &error) {
    try {
      ReportBuildError(index, error);
    } catch (const EAbort &) {
    }
    return true; // the window stays with the log in front
  }
  Close();
  return true;
}

bool TVersionsForm::StartAutomaticInstall() {
  TApplication &application = Application();
  if (application.ParamCount() >= 1 && UpperCase(application.ParamStr(1)) == "INSTALL") {
    int index = FindInstallableEnvironment(UpperCase(application.ParamStr(2)) == "NET");
    if (index == -1)
      application.Desktop().ShowMessage("Quivex files to AUTO install cannot be found.");
    else
      InstallEnvironment(index, false); // a failure leaves as the silent abort: the window stays
    Close();
    return true;
  }
  if (!IsInstallerName(application.ExeName()))
    return false;
  if (application.ParamCount() >= 1 && IsUninstallParameter(application.ParamStr(1)))
    return StartAutomaticUninstall();
  int index = FindInstallableEnvironment(false);
  if (index == -1) {
    application.Desktop().ShowMessage("Quivex files cannot be found under current folder structure.");
    return true; // the window stays for normal use, without the source folder prompt
  }
  if (AskYesNo("Do you want to INSTALL Quivex Pro " + std::to_string(LibraryVersion) + " in " +
               Environments[std::size_t(index)].CheckBox->Caption() + " ?"))
    InstallEnvironment(index, false);
  Close();
  return true;
}
