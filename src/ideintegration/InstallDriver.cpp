#include "InstallDriver.h"
#include "AssemblyRegistration.h"
#include "HelpIntegration.h"
#include "LibraryPaths.h"
#include "PackageRegistration.h"

#include "changes/ChangeBatch.h"
#include "changes/EnvironmentChanges.h"
#include "environments/Environments.h"
#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Desktop.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Text.h"
#include "librarybuild/BuildDriver.h"
#include "librarybuild/CompileProcs.h"
#include "librarybuild/EnvironmentNames.h"
#include "session/BuildLog.h"
#include "session/EnvironmentJournal.h"

const char *const ProgramKey = "\\Software\\Velmora Software\\Quivex Pro v7 VCL";
const char *const ExamplesAddress = "https://examples.velmora.example/quivex/";

namespace {

const TEnviron &Row(int index) {
  return Environments[std::size_t(index)];
}

void SetEnvironmentVariables(TInstallContext &install) {
  const TEnviron &row = Row(install.Index);
  if (row.IsDelphi || row.Version < 6 ||
      !OpenEnvironmentKey(install.InstallRegistry, install.Index, "Environment Variables"))
    return;
  Changes::WriteString(install.InstallRegistry, "ZELINCPATH", install.Host.EnvironmentFolder + "\\Include");
  Changes::WriteString(install.InstallRegistry, "ZELLIBPATH", install.Host.EnvironmentFolder + "\\Lib");
  install.InstallRegistry.CloseKey();
}

void WriteInstallRecord(TInstallContext &install) {
  TBuildHost &host = install.Host;
  if (!Changes::OpenKey(install.InstallRegistry, ProgramKey, true))
    return;
  Changes::WriteString(install.InstallRegistry, "VelmoraDotCom", ExamplesAddress);
  std::string examples = host.DestinationBase + "\\Examples\\Features";
  if (Changes::FileExists(examples + "\\Zel" + std::to_string(LibraryVersion) + "New.dpr"))
    Changes::WriteString(install.InstallRegistry, "DemoPath", examples);
  Changes::WriteString(install.InstallRegistry, "BinPath",
                       host.EnvironmentFolder + (Row(install.Index).IsDotNet ? "\\Assemblies" : "\\Bin"));
}

} // namespace

bool OpenEnvironmentKey(TRegistry &registry, int index, const std::string &subkey) {
  return registry.OpenKey("\\" + EnvironmentRegistryKey(index) + "\\" + subkey, false);
}

bool IsInstalled(int index) {
  const TEnviron &row = Row(index);
  TRegistry registry(TRootKey::CurrentUser);
  if (!OpenEnvironmentKey(registry, index, row.IsDotNet ? "Known Assemblies" : "Known Packages"))
    return false;
  if (row.IsDotNet) {
    std::string design = UpperCase(DesignAssemblyName());
    for (const auto &name : registry.GetValueNames())
      if (UpperCase(registry.ReadString(name)) == design)
        return true;
    return false;
  }
  std::string package = UpperCase(PackageFileName(index, "DCLZEL", LibraryVersion));
  for (const auto &name : registry.GetValueNames())
    if (UpperCase(name).find(package) != std::string::npos)
      return true;
  return false;
}

void PerformInstall(TBuildHost &host, int index, bool silent) {
  const TEnviron &row = Row(index);
  SetEnvironmentNames(host, index);
  // The install's records go to the journal together, with one flush, and its changes follow.
  TChangeBatch batch;
  TInstallContext install{host, index};
  if (OpenEnvironmentKey(install.InstallRegistry, index,
                         row.IsDotNet ? "Known Assemblies" : "Known Packages")) {
    if (row.IsDotNet)
      RegisterDesignAssembly(install);
    else
      RegisterDesignPackages(install);
    install.InstallRegistry.CloseKey();
  }
  SetEnvironmentVariables(install);
  if (row.IsDelphi || row.IsDotNet)
    SetLibraryPaths(install);
  if (row.IsDotNet)
    InstallAssemblies(install, silent);
  else
    CopyFilesByMask(host.EnvironmentFolder + "\\System", "*.bpl", SystemFolder());
  if (!row.IsDotNet)
    MergeIdeHelp(host, index);
  RegisterLibraryHelpFiles(host);
  WriteInstallRecord(install);
  batch.Commit();
}

namespace {

void InstallOrReport(TBuildHost &host, int index, bool silent) {
  try {
    if (IsInstalled(index) && !silent &&
        !host.AskYesNo("Quivex Pro 7 is already installed under:\r\r" + Row(index).CheckBox->Caption() +
                       ".\r\rDo you want to reinstall?"))
      return; // declined: nothing changes
  } catch (const Exception &error) {
    host.ReportBuildError(index, error);
  }
  // Inside a build run the run's journal records the install and the run reports a failure;
  // alone, the install has a journal of its own.
  RunWithJournal(host, index, [&] { PerformInstall(host, index, silent); });
  if (!silent)
    Application().Desktop().ShowMessage("Quivex Pro installation finished.");
}

} // namespace

void InstallEnvironment(TBuildHost &host, int index, bool silent) {
  EnsureBuildLog();
  // An install of its own shows what it logged; inside a build run the run flushes at its end, so
  // that the view and a saved log keep the whole run.
  bool flushHere = !host.RunInProgress();
  try {
    InstallOrReport(host, index, silent);
  } catch (...) {
    if (flushHere)
      host.FlushBuildLog();
    throw;
  }
  if (flushHere)
    host.FlushBuildLog();
}
