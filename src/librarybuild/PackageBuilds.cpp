#include "PackageBuilds.h"

#include "CompileProcs.h"
#include "EnvironmentNames.h"
#include "environments/Environments.h"
#include "framework/Text.h"
#include "framework/Exception.h"
#include "framework/Files.h"
#include "process/ExecuteCommand.h"

void CompileDelphiPackage(const TBuildHost &host, const std::string &commandLine, const std::string &file,
                          const std::string &subfolder) {
  std::string command = commandLine + " " + Quoted(host.SourceFolder + "\\" + file) + " -LE" +
                        Quoted(host.EnvironmentFolder + subfolder);
  ChangeFolder(host.SourceFolder);
  ExecuteCommand(command, "Cannot recompile Delphi package: " + file);
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
  TStringList lines = LoadLines(projectPath);
  if (lines.empty())
    throw Exception("The package project " + projectPath + " is empty.");
  if (lines[0].rfind("\xEF\xBB\xBF", 0) != 0)
    return; // a project without the mark is left exactly as it is
  lines[0].erase(0, 3);
  SaveLines(projectPath, lines);
}

void ConvertPackageToMakefile(int index, const std::string &sourceFolder, const std::string &name) {
  std::string project = sourceFolder + "\\" + name + ".bpk";
  RemoveByteOrderMark(project);
  std::string command =
      Quoted(Environments[std::size_t(index)].RootDir + "\\bin\\bpr2mak.exe") + " " + Quoted(project);
  ExecuteCommand(command, "Cannot convert C++ Builder package " + name + " to makefile.");
}

void MakeCBuilderPackage(const std::string &commandLine, const std::string &sourceFolder, const std::string &file) {
  std::string command = commandLine + " -f" + Quoted(sourceFolder + "\\" + file);
  ChangeFolder(sourceFolder);
  ExecuteCommand(command, "Cannot recompile C++ Builder package: " + file);
}

void CompileDotNetPackage(const TBuildHost &host, const std::string &commandLine, const std::string &sourceFolder,
                          const std::string &name) {
  std::string assemblies = host.EnvironmentFolder + "\\Assemblies";
  Fs::ForceFolders(assemblies);
  std::string command = commandLine + " " + Quoted(sourceFolder + "\\" + name + ".dpk") + " -LE" +
                        Quoted(assemblies) + " -LUSystem.Drawing " + DotNetWarningOptions + " ";
  if (Fs::FileExists(sourceFolder + "\\Keys\\Quivex.snk"))
    command += " -DZELKEYS";
  ChangeFolder(sourceFolder);
  ExecuteCommand(command, "Cannot recompile Quivex for Delphi for .NET package: " + name);
}
