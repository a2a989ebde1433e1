#include "PackageMake.h"

#include "CommandLine.h"
#include "PascalCompiler.h"
#include "PeImage.h"
#include "StandInConfig.h"
#include "StandInError.h"
#include "StandInFiles.h"
#include "SymbolFiles.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <iostream>

using namespace StandIn;

namespace {

void Print(const std::string &line) {
  std::cout << line << "\n";
}

std::string CppBanner(double version) {
  return version < 13.0 ? "Borland C++ 5.4 for Win32 Copyright (c) 1993, 1999 Inprise Corporation"
                        : "Borland C++ 5.6 for Win32 Copyright (c) 1993, 2002 Borland";
}

std::string LinkerBanner(double version) {
  return version < 13.0 ? "Turbo Incremental Link 4.00 Copyright (c) 1997, 1999 Inprise Corporation"
                        : "Turbo Incremental Link 5.60 Copyright (c) 1997-2002 Borland";
}

} // namespace

TPackageMake::TPackageMake(const TMakefile &makefile, const std::string &makefileName,
                           std::vector<std::string> commandLineDefines)
    : makefile_(makefile), makefileName_(makefileName), commandLineDefines_(std::move(commandLineDefines)),
      version_(CompilerVersion(TTargetKind::Win32)) {}

std::vector<std::string> TPackageMake::Folders(const std::string &macro) const {
  return SplitList(makefile_.Macro(macro), ';');
}

// The values of one Pascal compiler switch in PFLAGS ("-U..." gives the folders of every -U).
std::vector<std::string> TPackageMake::PascalSwitches(char letter) const {
  std::vector<std::string> values;
  for (const std::string &argument : SplitCommandLine(makefile_.Macro("PFLAGS"))) {
    if (argument.size() > 2 && argument[0] == '-' &&
        std::toupper(static_cast<unsigned char>(argument[1])) == letter) {
      for (const std::string &value : SplitList(argument.substr(2), ';')) {
        values.push_back(value);
      }
    }
  }
  return values;
}

// The linker's -D"text" option names the package description, as C++Builder's project options
// put it there.
std::string TPackageMake::PackageDescription() const {
  for (const std::string &argument : SplitCommandLine(makefile_.Macro("LFLAGS"))) {
    if (argument.size() > 2 && argument[0] == '-' && argument[1] == 'D') {
      return argument.substr(2);
    }
  }
  return std::string();
}

void TPackageMake::Write(const std::string &path, const std::string &bytes) const {
  if (!WriteFileBytes(path, bytes)) {
    throw EStandInError("Fatal: Unable to create file '" + path + "'");
  }
}

void TPackageMake::Build() {
  project_ = Trim(makefile_.Macro("PROJECT"));
  if (project_.empty()) {
    throw EStandInError("Fatal: '" + makefileName_ +
                        "' defines no PROJECT: not a C++Builder project makefile");
  }
  std::vector<TObject> objects = FindSources();
  std::vector<TObject> pascal;
  for (const TObject &object : objects) {
    if (object.IsPascal) {
      pascal.push_back(object);
    }
  }
  if (!pascal.empty()) {
    CompilePascal(pascal);
  }
  for (const TObject &object : objects) {
    if (!object.IsPascal) {
      CompileCpp(object);
    }
  }
  Link();
}

std::vector<TPackageMake::TObject> TPackageMake::FindSources() const {
  std::vector<TObject> objects;
  for (const std::string &object : SplitWords(makefile_.Macro("OBJFILES"))) {
    std::string folder = FolderOf(object);
    std::string stem = StemOf(object);
    std::vector<std::string> pascalFolders = {folder};
    for (const std::string &path : Folders("PATHPAS")) {
      pascalFolders.push_back(path);
    }
    std::vector<std::string> cppFolders = {folder};
    for (const std::string &path : Folders("PATHCPP")) {
      cppFolders.push_back(path);
    }
    if (auto source = FindInFolders(stem + ".pas", pascalFolders)) {
      objects.push_back({object, *source, true});
    } else if (auto cpp = FindInFolders(stem + ".cpp", cppFolders)) {
      objects.push_back({object, *cpp, false});
    } else if (auto c = FindInFolders(stem + ".c", cppFolders)) {
      objects.push_back({object, *c, false});
    } else {
      throw EStandInError("Fatal: '" + object + "' does not exist - don't know how to make it");
    }
  }
  return objects;
}

void TPackageMake::CompilePascal(const std::vector<TObject> &objects) {
  auto started = std::chrono::steady_clock::now();
  TCompileSettings settings;
  for (const std::string &symbol : PredefinedSymbols(TTargetKind::Win32, version_)) {
    settings.Defines.insert(UpperCase(symbol));
  }
  settings.Defines.insert("BCB");
  for (const char *macro : {"USERDEFINES", "SYSDEFINES"}) {
    for (const std::string &symbol : SplitList(makefile_.Macro(macro), ';')) {
      settings.Defines.insert(UpperCase(symbol.substr(0, symbol.find('='))));
    }
  }
  for (const std::string &symbol : PascalSwitches('D')) {
    settings.Defines.insert(UpperCase(symbol));
  }
  for (const std::string &symbol : commandLineDefines_) {
    settings.Defines.insert(UpperCase(symbol));
  }
  settings.Scan.CompilerVersion = version_;
  settings.Scan.IncludePath = PascalSwitches('I');
  for (const std::string &folder : Folders("INCLUDEPATH")) {
    settings.Scan.IncludePath.push_back(folder);
  }
  settings.UnitPath = Folders("PATHPAS");
  for (const auto &more : {PascalSwitches('U'), Folders("LIBPATH"), Folders("INCLUDEPATH")}) {
    settings.UnitPath.insert(settings.UnitPath.end(), more.begin(), more.end());
  }
  settings.UnitPath.push_back(EnvironmentFolder("lib"));
  settings.ResourcePath = PascalSwitches('R');
  settings.PackagePath = {"."};
  for (const std::string &folder : Folders("LIBPATH")) {
    settings.PackagePath.push_back(folder);
  }
  settings.PackagePath.push_back(EnvironmentFolder("lib"));
  settings.PackageExtensions = {""};
  settings.UnitExtension = ".dcu";

  std::string command = "\t" + makefile_.Macro("BCB") + "\\BIN\\dcc32 " + makefile_.Macro("PFLAGS");
  for (const TObject &object : objects) {
    command += " " + NameOf(object.SourcePath);
  }
  Print(command);
  for (const std::string &line : CompilerBanner(TTargetKind::Win32, version_)) {
    Print(line);
  }
  TPascalCompiler compiler(settings, Print);
  // Import libraries that exist take part in finding units; a missing one fails at the link,
  // as with the real linker.
  std::vector<TModuleReference> present;
  for (const std::string &package : SplitWords(makefile_.Macro("PACKAGES"))) {
    if (FindInFolders(package, settings.PackagePath)) {
      present.push_back({package, {}, -1, 0});
    }
  }
  std::vector<TRequiredPackage> packages = compiler.FindPackages(present, ".");
  std::vector<TModuleReference> units;
  std::map<std::string, std::string> objectFolders;
  for (const TObject &object : objects) {
    units.push_back({StemOf(object.SourcePath), object.SourcePath, -1, 0});
    objectFolders[UpperCase(StemOf(object.SourcePath))] = FolderOf(object.ObjectPath);
  }
  std::vector<TCompiledUnit> compiled;
  try {
    compiled = compiler.CompileUnits(TUnitOwner{"", {}, {}}, units, packages);
  } catch (const EStandInError &error) {
    Print(error.Message());
    throw EStandInError("** error 1 ** deleting " + objects.front().ObjectPath);
  }
  for (const TCompiledUnit &unit : compiled) {
    auto listed = objectFolders.find(UpperCase(unit.Name));
    std::string folder = listed != objectFolders.end() ? listed->second : FolderOf(unit.SourcePath);
    TUnitSymbols symbols{unit.Name, NameOf(unit.SourcePath), VersionText(version_), StemOf(project_), unit.Uses};
    Write(JoinPath(folder, unit.Name + ".obj"), WriteUnitSymbols(symbols, ".obj"));
    Write(JoinPath(folder, unit.Name + ".dcu"), WriteUnitSymbols(symbols, ".dcu"));
    std::string header = "// Borland C++ Builder\r\n// (DO NOT EDIT: machine generated header) '" +
                         NameOf(unit.SourcePath) + "' rev: " + VersionText(version_) + "\r\n\r\n#ifndef " +
                         unit.Name + "HPP\r\n#define " + unit.Name +
                         "HPP\r\n\r\n#pragma delphiheader begin\r\n";
    for (const std::string &used : unit.Uses) {
      header += "#include <" + used + ".hpp>\t// Pascal unit\r\n";
    }
    header += "\r\nnamespace " + unit.Name + "\r\n{\r\n}\t/* namespace " + unit.Name +
              " */\r\nusing namespace " + unit.Name + ";\r\n#pragma delphiheader end.\r\n\r\n#endif\t// " +
              unit.Name + "\r\n";
    Write(JoinPath(folder, unit.Name + ".hpp"), header);
    pascalUnits_.push_back(unit.Name);
    unitResources_.insert(unitResources_.end(), unit.Resources.begin(), unit.Resources.end());
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  char summary[160];
  std::snprintf(summary, sizeof summary, "%ld lines, %.2f seconds, %ld bytes code, %ld bytes data.",
                compiler.Lines(), seconds, 2048 + compiler.Lines() * 19,
                512 + static_cast<long>(compiled.size()) * 96);
  Print(summary);
}

void TPackageMake::CompileCpp(const TObject &object) {
  Print("\t" + makefile_.Macro("BCB") + "\\BIN\\bcc32 " + makefile_.Macro("CFLAG1") + " -n" +
        FolderOf(object.ObjectPath) + " " + NameOf(object.SourcePath));
  Print(CppBanner(version_));
  Print(NameOf(object.SourcePath) + ":");
  TUnitSymbols symbols{
      StemOf(object.SourcePath), object.SourcePath, VersionText(version_), StemOf(project_), {}};
  Write(object.ObjectPath, WriteUnitSymbols(symbols, ".obj"));
}

void TPackageMake::Link() {
  std::vector<TResource> resources;
  std::string description = PackageDescription();
  if (!description.empty()) {
    resources.push_back({TResourceId::Number(ResourceTypeRcData), TResourceId::Text("DESCRIPTION"), 0,
                         Utf16FromAnsi(description) + std::string(2, '\0')});
  }
  for (const std::string &file : SplitWords(makefile_.Macro("RESFILES"))) {
    auto bytes = ReadFileBytes(file);
    if (!bytes) {
      throw EStandInError("Fatal: '" + file + "' does not exist - don't know how to make it");
    }
    for (TResource &resource : ReadResFile(*bytes, file)) {
      resources.push_back(std::move(resource));
    }
  }
  resources.insert(resources.end(), unitResources_.begin(), unitResources_.end());

  Print("\t" + makefile_.Macro("BCB") + "\\BIN\\ilink32 @MAKE0000.@@@");
  Print(LinkerBanner(version_));
  std::vector<std::string> libraryFolders = {"."};
  for (const std::string &folder : Folders("LIBPATH")) {
    libraryFolders.push_back(folder);
  }
  libraryFolders.push_back(EnvironmentFolder("lib"));
  libraryFolders.push_back(JoinPath(EnvironmentFolder("lib"), "release"));
  std::vector<std::string> required;
  for (const char *macro : {"PACKAGES", "LIBFILES"}) {
    for (const std::string &library : SplitWords(makefile_.Macro(macro))) {
      if (!FindInFolders(library, libraryFolders)) {
        Print("Fatal: Unable to open file '" + UpperCase(NameOf(library)) + "'");
        throw EStandInError("** error 2 ** deleting " + project_);
      }
      if (std::string(macro) == "PACKAGES") {
        required.push_back(StemOf(library));
      }
    }
  }
  std::string info = "Package;Requires=";
  for (const std::string &name : required) {
    info += name + ",";
  }
  info += ";Contains=";
  for (const std::string &name : pascalUnits_) {
    info += name + ",";
  }
  resources.push_back({TResourceId::Number(ResourceTypeRcData), TResourceId::Text("PACKAGEINFO"), 0, info});

  Write(project_,
        BuildPeImage(SameText(ExtensionOf(project_), ".exe") ? TImageKind::Exe : TImageKind::Dll, resources));
  std::string stem = JoinPath(FolderOf(project_), StemOf(project_));
  TPackageSymbols symbols{StemOf(project_), VersionText(version_), required, pascalUnits_};
  Write(stem + ".bpi", WritePackageSymbols(symbols));
  // An OMF library header record, the Borland debug symbol table signature, and the linker's
  // incremental state: enough to be recognised, nothing anybody reads.
  Write(stem + ".lib", std::string("\xF0\x0D\x00\x00\x00\x00\x00\x00", 8) + StemOf(project_));
  Write(stem + ".tds", "FB0A" + std::string(12, '\0'));
  for (const char *state : {".ilc", ".ild", ".ilf", ".ils"}) {
    Write(stem + state, std::string("ZELSTANDIN ILINK STATE ") + state + "\r\n");
  }
}
