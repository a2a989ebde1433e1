#include "PackageBuilds.h"

#include "CompileProcs.h"
#include "EnvironmentNames.h"
#include "PlannedProducts.h"
#include "changes/EnvironmentChanges.h"
#include "changes/Plan.h"
#include "environments/Environments.h"
#include "framework/Text.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "process/ExecuteCommand.h"

std::string DelphiPackageCommand(const TBuildHost &host, const std::string &commandLine,
                                 const std::string &file, const std::string &subfolder) {
  return commandLine + " " + Quoted(host.SourceFolder + "\\" + file) + " -LE" +
         Quoted(host.EnvironmentFolder + subfolder);
}

void CompileDelphiPackage(const TBuildHost &host, const std::string &commandLine, const std::string &file,
                          const std::string &subfolder) {
  std::string command = DelphiPackageCommand(host, commandLine, file, subfolder);
  ChangeFolder(host.SourceFolder);
  ExecuteCommand(command, "Cannot recompile Delphi package: " + file);
  if (TPlanScope::Current())
    PlanPascalPackageProducts(host.SourceFolder + "\\" + file, host.EnvironmentFolder + "\\lib",
                              host.EnvironmentFolder + subfolder, false);
}

void CompileCBuilderPackage(int index, const std::string &commandLine, const std::string &sourceFolder,
                            const std::string &name) {
  if (Environments[std::size_t(index)].Version <= 4) {
    MakeCBuilderPackage(commandLine, sourceFolder, name + ".bpk");
  } else {
    ConvertPackageToMakefile(index, sourceFolder, name);
    MakeCBuilderPackage(commandLine, sourceFolder, name + ".mak");
  }
  DeleteFilesByMask(sourceFolder, "*.il?");
  DeleteFilesByMask(sourceFolder, "*.tds");
}

void RemoveByteOrderMark(const std::string &projectPath) {
  TStringList lines = Changes::LoadLines(projectPath);
  if (lines.empty())
    throw Exception("The package project " + projectPath + " is empty.");
  if (lines[0].rfind("\xEF\xBB\xBF", 0) != 0)
    return; // a project without the mark is left exactly as it is
  lines[0].erase(0, 3);
  Changes::SaveLines(projectPath, lines); // in the source folder: the layer just saves it, or plans it
}

std::string MakefileConversionCommand(int index, const std::string &sourceFolder, const std::string &name) {
  return Quoted(Environments[std::size_t(index)].RootDir + "\\bin\\bpr2mak.exe") + " " +
         Quoted(sourceFolder + "\\" + name + ".bpk");
}

void ConvertPackageToMakefile(int index, const std::string &sourceFolder, const std::string &name) {
  RemoveByteOrderMark(sourceFolder + "\\" + name + ".bpk");
  ExecuteCommand(MakefileConversionCommand(index, sourceFolder, name),
                 "Cannot convert C++ Builder package " + name + " to makefile.");
  if (TPlanScope::Current())
    PlanMakefileConversion(sourceFolder + "\\" + name + ".bpk");
}

std::string MakeCommand(const std::string &commandLine, const std::string &sourceFolder,
                        const std::string &file) {
  return commandLine + " -f" + Quoted(sourceFolder + "\\" + file);
}

void MakeCBuilderPackage(const std::string &commandLine, const std::string &sourceFolder, const std::string &file) {
  std::string command = MakeCommand(commandLine, sourceFolder, file);
  ChangeFolder(sourceFolder);
  ExecuteCommand(command, "Cannot recompile C++ Builder package: " + file);
  if (TPlanScope::Current())
    PlanCBuilderPackageProducts(sourceFolder + "\\" + file.substr(0, file.find_last_of('.')) + ".bpk");
}

std::string DotNetPackageCommand(const TBuildHost &host, const std::string &commandLine,
                                 const std::string &sourceFolder, const std::string &name) {
  std::string command = commandLine + " " + Quoted(sourceFolder + "\\" + name + ".dpk") + " -LE" +
                        Quoted(host.EnvironmentFolder + "\\Assemblies") + " -LUSystem.Drawing " +
                        DotNetWarningOptions + " ";
  if (Fs::FileExists(sourceFolder + "\\Keys\\Quivex.snk"))
    command += " -DZELKEYS";
  return command;
}

void CompileDotNetPackage(const TBuildHost &host, const std::string &commandLine,
                          const std::string &sourceFolder, const std::string &name) {
  if (!Changes::DirectoryExists(host.EnvironmentFolder + "\\Assemblies"))
    Fs::ForceFolders(host.EnvironmentFolder + "\\Assemblies");
  std::string command = DotNetPackageCommand(host, commandLine, sourceFolder, name);
  ChangeFolder(sourceFolder);
  ExecuteCommand(command, "Cannot recompile Quivex for Delphi for .NET package: " + name);
  if (TPlanScope::Current())
    PlanPascalPackageProducts(sourceFolder + "\\" + name + ".dpk", host.EnvironmentFolder + "\\lib",
                              host.EnvironmentFolder + "\\Assemblies", true);
}
