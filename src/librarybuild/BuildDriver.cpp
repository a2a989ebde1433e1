#include "BuildDriver.h"

#include "CompileProcs.h"
#include "EnvironmentNames.h"
#include "PackageBuilds.h"
#include "environments/Environments.h"
#include "framework/Files.h"
#include "session/BuildLog.h"

namespace {

const char *const DotNetAssemblies[] = {"Velmora.Quivex.VCL", "Velmora.Quivex.VCL.Languages",
                                        "Velmora.Quivex.VCL.Design"};

void PrepareFolder(const std::string &folder) {
  CreateFolderIfMissing(folder);
  EmptyFolder(folder);
}

void PrepareOutputTree(const TBuildHost &host, const TEnviron &row) {
  const std::string &e = host.EnvironmentFolder;
  CreateFolderIfMissing(e);
  PrepareFolder(e + "\\Lib");
  if (row.IsDotNet) {
    PrepareFolder(e + "\\Assemblies");
  } else {
    PrepareFolder(e + "\\Bin");
    PrepareFolder(e + "\\System");
  }
  if (!row.IsDelphi)
    PrepareFolder(e + "\\Include");
}

void CopyResourceFiles(TBuildHost &host, const TEnviron &row) {
  const std::string &src = host.SourceFolder, lib = host.EnvironmentFolder + "\\lib";
  CopyFileList(src, {"ZelResou.res", "Quivex.res", "ZelChaEx.res", "ZelBrushes.res", "ZelBmps.res"}, lib);
  if (!host.StandardEditionBuild())
    CopyFileList(src,
                 {"ZelProBm.res", "ZelTools.res", "ZelNavig.res", "ZelImaPo.res", "ZelImaBa.res", "ZelGLIcon.res",
                  "ZelFunne.res", "ZelComma.res"},
                 lib);
  if (!row.IsStandard && !row.IsCLX)
    CopyFileInto(src, "ZelQRIcon.res", lib);
}

void CopyRuntimePackagesToSystem(TBuildHost &host, const TEnviron &row) {
  std::string system = host.EnvironmentFolder + "\\System";
  auto bpl = [&](const std::string &stem) { return stem + host.PackageSuffix + ".bpl"; };
  TStringList names{bpl("Zel7"), bpl("ZelUI7")};
  if (!host.StandardEditionBuild())
    names.insert(names.end(), {bpl("ZelPro7"), bpl("ZelGL7"), bpl("ZelImage7"), bpl("ZelLanguage7")});
  if (!row.IsStandard) {
    names.push_back(bpl("ZelDB7"));
    if (!row.IsCLX)
      names.push_back(bpl("ZelQR7"));
  }
  CopyFileList(system, names, SystemFolder());
}

} // namespace

void MoveCBuilderProducts(TBuildHost &host, int index) {
  const TEnviron &row = Environments[std::size_t(index)];
  const std::string &src = host.SourceFolder, &e = host.EnvironmentFolder, &suffix = host.PackageSuffix;
  bool standardBuild = host.StandardEditionBuild();
  auto bpl = [&](const std::string &stem) { return stem + suffix + ".bpl"; };
  MoveFileList(src, {bpl("Zel7"), bpl("ZelUI7")}, e + "\\System");
  if (!standardBuild)
    MoveFileList(src, {bpl("ZelLanguage7"), bpl("ZelPro7"), bpl("ZelGL7"), bpl("ZelImage7")}, e + "\\System");
  if (!row.IsStandard)
    MoveFileInto(src, bpl("ZelDB7"), e + "\\System");
  MoveFileInto(src, bpl("DclZel" + EditionSuffix(index) + "7"), e + "\\Bin");
  if (StdPackagesWanted(index))
    MoveFileInto(src, bpl("DclZelStd7"), e + "\\Bin");
  if (!standardBuild) {
    MoveFileList(src, {bpl("DclZelPro" + EditionSuffix(index) + "7"), bpl("DclZGL7")}, e + "\\Bin");
    if (StdPackagesWanted(index))
      MoveFileInto(src, bpl("DclZelProStd7"), e + "\\Bin");
  }
  if (!row.IsStandard && !row.IsCLX) {
    MoveFileInto(src, bpl("ZelQR7"), e + "\\System");
    MoveFileInto(src, bpl("DclZQR7"), e + "\\Bin");
  }
  MoveFilesByMask(src, "*.hpp", e + "\\Include");
  for (const char *mask : {"*.obj", "*.bpi", "*.lib", "*.dcu"})
    MoveFilesByMask(src, mask, e + "\\Lib");
  DeleteFilesByMask(src, "*.tds");
}

std::vector<TLibraryPackage> PackagesToBuild(TBuildHost &host, int index) {
  const TEnviron &row = Environments[std::size_t(index)];
  bool full = !host.StandardEditionBuild();
  std::string std = EditionSuffix(index);
  struct TRule {
    TLibraryPackage Package;
    bool Wanted;
  } rules[] = {
      {{"Zel7", "\\System", false}, true},
      {{"ZelUI7", "\\System", false}, true},
      {{"ZelDB7", "\\System", false}, !row.IsStandard},
      {{"ZelPro7", "\\System", false}, full},
      {{"ZelGL7", "\\System", false}, full},
      {{"ZelImage7", "\\System", false}, full},
      {{"ZelLanguage7", "\\System", false}, full},
      {{"DclZel" + std + "7", "\\Bin", false}, true},
      {{"DclZelPro" + std + "7", "\\Bin", false}, full},
      {{"DclZGL7", "\\Bin", false}, full},
      {{"ZelQR7", "\\System", false}, !row.IsStandard && !row.IsCLX},
      {{"DclZQR7", "\\Bin", false}, !row.IsStandard && !row.IsCLX},
      {{"DclZelStd7", "\\Bin", true}, StdPackagesWanted(index)},
      {{"DclZelProStd7", "\\Bin", false}, StdPackagesWanted(index) && full},
  };
  std::vector<TLibraryPackage> packages;
  for (auto &rule : rules)
    if (rule.Wanted)
      packages.push_back(rule.Package);
  return packages;
}

std::vector<std::string> PackageCommandLines(const std::vector<TLibraryPackage> &packages,
                                             std::string commandLine) {
  std::vector<std::string> commandLines;
  for (const auto &package : packages) {
    if (package.AddNoBde)
      commandLine += " -DNOUSE_BDE"; // and it stays for the packages after it
    commandLines.push_back(commandLine);
  }
  return commandLines;
}

void CompilePackage(TBuildHost &host, int index, const std::string &commandLine, const std::string &subfolder,
                    const std::string &name, const std::string &sourceFolder) {
  const TEnviron &row = Environments[std::size_t(index)];
  if (!row.IsDelphi) {
    DeleteFilesByMask(host.SourceFolder, "*.il?");
    DeleteFilesByMask(host.SourceFolder, "*.tds");
  }
  for (const std::string &path : {host.SourceFolder + "\\" + name + ".map", row.RootDir + "\\lib\\" + name + ".dcp",
                                  row.RootDir + "\\lib\\" + name + ".res", host.SourceFolder + "\\" + name + ".dcp",
                                  host.SourceFolder + "\\" + name + ".bpl", SystemFolder() + "\\" + name + ".bpl"})
    DeleteFileIfExists(path);
  ShowStatus(index, "Compiling... " + name);
  AppendToBuildLog(name);
  if (row.IsDelphi)
    CompileDelphiPackage(host, commandLine, name + ".dpk", subfolder);
  else
    CompileCBuilderPackage(index, commandLine, sourceFolder, name);
  CopyFileInto(sourceFolder, name + ".res", host.EnvironmentFolder + "\\lib");
  AppendToBuildLog(std::string(80, '-'));
}

void BuildEnvironment(TBuildHost &host, int index) {
  const TEnviron &row = Environments[std::size_t(index)];
  SetEnvironmentNames(host, index);
  if (host.InstallChecked())
    host.EnsureEnvironmentClosed(index, host.KindName, host.PackageSuffix);
  PrepareOutputTree(host, row);
  const std::string src = host.SourceFolder, e = host.EnvironmentFolder;
  CleanSourceFolder(src, index);
  BackupOldLibraryFiles(host, index);
  std::string commandLine = BaseCommandLine(host, index);
  host.BeforeCompile(index, commandLine, src);

  if (row.IsDotNet) {
    for (const char *assembly : DotNetAssemblies)
      CompileDotNetPackage(host, commandLine, src, assembly);
  } else {
    auto packages = PackagesToBuild(host, index);
    auto commandLines = PackageCommandLines(packages, commandLine);
    for (std::size_t i = 0; i < packages.size(); ++i)
      CompilePackage(host, index, commandLines[i], packages[i].Subfolder,
                     packages[i].Stem + host.PackageSuffix, src);
  }

  ShowStatus(index, "Copying files...");
  if (!row.IsDotNet && !row.IsDelphi)
    MoveCBuilderProducts(host, index);
  CopyFormFiles(src, row.IsCLX ? ".xfm" : ".dfm", e + "\\Lib");
  CopyFileInto(src, "ZelDefs.inc", e + "\\lib");
  if (!row.IsDelphi)
    CopyFileInto(src, "ZelDefs.inc", e + "\\Include");
  if (!row.IsDotNet)
    CopyResourceFiles(host, row);
  if (row.IsDotNet)
    CopyFilesByMask(src, "*.bmp", e + "\\Lib");
  if (!row.IsDotNet)
    CopyRuntimePackagesToSystem(host, row);
}
