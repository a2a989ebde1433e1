#include "DecisionCubeBuild.h"
#include "DecisionCubeSources.h"

#include "changes/EnvironmentChanges.h"
#include "changes/Plan.h"
#include "environments/Environments.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "framework/Registry.h"
#include "framework/Text.h"
#include "ideintegration/InstallDriver.h"
#include "librarybuild/CompileProcs.h"
#include "librarybuild/EnvironmentNames.h"
#include "librarybuild/PackageBuilds.h"
#include "librarybuild/PlannedProducts.h"
#include "process/ExecuteCommand.h"
#include "session/BuildLog.h"

#include <algorithm>

const char *const DecisionCubeUnits[15] = {"Mxconsts", "Mxarrays", "MXPBAR",   "MXQEDCOM", "MXQPARSE",
                                           "Mxstore",  "MXTABLES", "MXCOMMON", "MXBUTTON", "MXGRID",
                                           "MXDCUBE",  "MXDB",     "MXPIVSRC", "MXDSQL",   "MXGRAPH"};

namespace {

const TEnviron &Row(int index) {
  return Environments[std::size_t(index)];
}

std::string LibFolder(int index) {
  return Row(index).RootDir + "\\lib";
}

std::string BinFolder(int index) {
  return Row(index).RootDir + "\\bin";
}

// The units backed up in alphabetical order, case ignored.
TStringList UnitsAlphabetically() {
  TStringList units(std::begin(DecisionCubeUnits), std::end(DecisionCubeUnits));
  std::sort(units.begin(), units.end(),
            [](const std::string &a, const std::string &b) { return UpperCase(a) < UpperCase(b); });
  return units;
}

void BuildDelphiPackages(TBuildHost &host, int index) {
  const std::string &folder = host.DecisionCubeFolder;
  const std::string lib = LibFolder(index), system = SystemFolder();
  const int version = Row(index).Version;
  std::string prefix = DecisionCubeCommandPrefix(host, index);
  CompileDecisionCubePackage(host, prefix, RuntimePackageSource(version));
  for (const auto &unit : UnitsAlphabetically())
    BackupOnce(lib, unit + ".dcu");
  for (const char *unit : DecisionCubeUnits)
    CopyDecisionCubeFile(folder, std::string(unit) + ".dcu", lib);
  BackupOnce(lib, RuntimePackageSymbolFile(version));
  BackupOnce(system, RuntimePackageLibrary(version));
  CopyDecisionCubeFile(folder, RuntimePackageSymbolFile(version), lib);
  CopyDecisionCubeFile(folder, RuntimePackageLibrary(version), system);
  CompileDecisionCubePackage(host, prefix, DesignPackageSource(version));
}

// Deletes the first line of defproj.dof that names the design package: new projects no longer
// exclude it.
void RemoveFromDefaultProjectOptions(int index, const std::string &designPackage) {
  std::string path = BinFolder(index) + "\\defproj.dof";
  if (!Fs::FileExists(path))
    return;
  TStringList lines = LoadLines(path);
  std::string key = UpperCase(designPackage + "=");
  auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string &text) {
    return UpperCase(text).find(key) != std::string::npos;
  });
  if (line == lines.end())
    return;
  lines.erase(line);
  Changes::SaveLines(path, lines); // through a temporary file beside it
}

} // namespace

void CopyDecisionCubeFile(const std::string &sourceFolder, const std::string &name,
                          const std::string &targetFolder) {
  if (!Changes::CopyFile(sourceFolder + "\\" + name, targetFolder + "\\" + name, false))
    throw Exception("Cannot copy file: " + name + " to " + targetFolder);
}

std::string DecisionCubeCommandPrefix(const TBuildHost &host, int index) {
  const std::string environmentLib = host.EnvironmentFolder + "\\lib";
  return Quoted(BinFolder(index) + "\\dcc32.exe") + " " + CompilerOptions() +
         " -LE\".\" -LN\".\" -E\".\" -N\".\"" + " -U" +
         Quoted(host.SourceFieldText() + ";" + LibFolder(index) + ";" + environmentLib) + " -I" +
         Quoted(environmentLib) + " \"";
}

void CompileDecisionCubePackage(const TBuildHost &host, const std::string &commandPrefix,
                                const std::string &file) {
  std::string command = commandPrefix + host.DecisionCubeFolder + "\\" + file + "\"";
  ChangeFolder(host.DecisionCubeFolder);
  ExecuteCommand(command, "Cannot recompile Decision Cube package: " + file);
  if (TPlanScope::Current()) // its products beside its sources ("-N." and the rest)
    PlanPascalPackageProducts(host.DecisionCubeFolder + "\\" + file, host.DecisionCubeFolder,
                              host.DecisionCubeFolder, false);
}

std::string DecisionCubeMakeCommand(TBuildHost &host, int index) {
  // The build's tree of this environment, formed anew from the destination field: the base of a
  // Standard edition build is not used here.
  std::string tree =
      host.DestinationFolder(host.SourceFolder + "\\") + "\\BuilderC" + std::to_string(Row(index).Version);
  // The folder values are quoted: a destination with a blank would otherwise end the define there.
  return Quoted(BinFolder(index) + "\\make.exe") + " -B" + CompilerDefines(index) +
         " -DZELINCPATH=" + Quoted(tree + "\\Include") + " -DZELLIBPATH=" + Quoted(tree + "\\Lib");
}

void MakeDecisionCubePackage(TBuildHost &host, int index, const std::string &name) {
  const std::string &folder = host.DecisionCubeFolder;
  for (const char *extension : {".ilc", ".ils", ".ild", ".ilf", ".lib", ".map", ".dcp", ".bpl"})
    DeleteFileIfExists(folder + "\\" + name + extension);
  DeleteFileIfExists(SystemFolder() + "\\" + name + ".bpl");
  ShowStatus(index, "Dec.Cube... " + name);
  AppendToBuildLog(name);
  ConvertPackageToMakefile(index, folder, name);
  MakeCBuilderPackage(DecisionCubeMakeCommand(host, index), folder, name + ".mak");
}

void BuildDecisionCubePackages(TBuildHost &host, int index) {
  if (Row(index).IsDelphi) {
    BuildDelphiPackages(host, index);
    return;
  }
  MakeDecisionCubePackage(host, index, "dss");
  MakeDecisionCubePackage(host, index, "dcldss");
}

void EnableDecisionCubeDesignPackage(const TBuildHost &host, int index) {
  const std::string name = DesignPackageLibrary(Row(index).Version);
  {
    TRegistry registry(TRootKey::CurrentUser); // closed when the block ends, also on error
    std::string valueName = BinFolder(index) + "\\" + name;
    if (OpenEnvironmentKey(registry, index, "Disabled Packages") && Changes::ValueExists(registry, valueName))
      Changes::DeleteValue(registry, valueName);
  }
  if (Row(index).IsDelphi)
    RemoveFromDefaultProjectOptions(index, name);
}

void RebuildDecisionCube(TBuildHost &host, int index) {
  const TEnviron &row = Row(index);
  if (row.IsDotNet || row.Version < 5 || row.Edition != "CSS")
    return;
  ShowStatus(index, "Decision Cube...");
  host.DecisionCubeFolder = row.RootDir + "\\source\\Decision Cube";
  // The names of this environment, as its build set them; set again so that the rebuild stands on
  // its own.
  SetEnvironmentNames(host, index);
  host.EnsureEnvironmentClosed(index, host.KindName, host.PackageSuffix);
  BackupDecisionCubeSources(host, index);
  PatchDecisionCubeSources(host, index);
  BuildDecisionCubePackages(host, index);
  const std::string bin = BinFolder(index), designPackage = DesignPackageLibrary(row.Version);
  BackupOnce(bin, designPackage);
  CopyDecisionCubeFile(host.DecisionCubeFolder, designPackage, bin);
  EnableDecisionCubeDesignPackage(host, index);
}
