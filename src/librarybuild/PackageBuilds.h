// Building one package: with the Delphi compiler, with the C++Builder converter and make tool, or
// as a .NET assembly.
#pragma once
#include "session/BuildHost.h"

#include <string>

// The command lines of the tools, as they are started.
std::string DelphiPackageCommand(const TBuildHost &host, const std::string &commandLine,
                                 const std::string &file, const std::string &subfolder);
std::string MakefileConversionCommand(int index, const std::string &sourceFolder, const std::string &name);
std::string MakeCommand(const std::string &commandLine, const std::string &sourceFolder,
                        const std::string &file);
std::string DotNetPackageCommand(const TBuildHost &host, const std::string &commandLine,
                                 const std::string &sourceFolder, const std::string &name);

// Compiles name.dpk of the source folder with the environment's compiler, the package into
// EnvironmentFolder + subfolder.
void CompileDelphiPackage(const TBuildHost &host, const std::string &commandLine, const std::string &file,
                          const std::string &subfolder);

// C++Builder: the project (name.bpk) is the makefile for version 4 and older, and is converted into
// name.mak first for later versions. The products stay in the source folder.
void CompileCBuilderPackage(int index, const std::string &commandLine, const std::string &sourceFolder,
                            const std::string &name);
void RemoveByteOrderMark(const std::string &projectPath);
void ConvertPackageToMakefile(int index, const std::string &sourceFolder, const std::string &name);
void MakeCBuilderPackage(const std::string &commandLine, const std::string &sourceFolder, const std::string &file);

// .NET: compiles name.dpk into EnvironmentFolder\Assemblies.
void CompileDotNetPackage(const TBuildHost &host, const std::string &commandLine, const std::string &sourceFolder,
                          const std::string &name);
