#include "CompilerDriver.h"

#include "CommandLine.h"
#include "PascalCompiler.h"
#include "PeImage.h"
#include "StandInConfig.h"
#include "StandInError.h"
#include "StandInFiles.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <iostream>

namespace StandIn {

namespace {

struct TCompilerOptions {
  bool Quiet = false;
  bool ShowHints = true;
  bool ShowWarnings = true;
  TSwitches Switches;
  std::vector<std::string> Defines;
  std::vector<std::string> UnitPath;
  std::vector<std::string> IncludePath;
  std::vector<std::string> ResourcePath;
  std::vector<std::string> Namespaces;
  std::vector<std::string> UsePackages;
  std::string ExeOutput;     // -E
  std::string UnitOutput;    // -N
  std::string PackageOutput; // -LE
  std::string SymbolOutput;  // -LN
  std::vector<std::string> Sources;
};

std::vector<std::string> PathList(const std::string &text) {
  std::vector<std::string> folders;
  for (std::string folder : SplitList(text, ';')) {
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') {
      folder = folder.substr(1, folder.size() - 2);
    }
    if (!folder.empty()) {
      folders.push_back(folder);
    }
  }
  return folders;
}

void Append(std::vector<std::string> &list, const std::vector<std::string> &more) {
  list.insert(list.end(), more.begin(), more.end());
}

// A namespace list holds dotted identifiers only; anything with a path character after -N is the
// unit output folder ("-NSrc\lib" is a folder, "-NSBorland.Vcl" a namespace).
bool IsNamespaceList(const std::string &text) {
  return text.find_first_of("\\/:") == std::string::npos;
}

void ApplyOption(TCompilerOptions &options, const std::string &argument, TTargetKind target) {
  if (argument.empty() || argument[0] != '-') {
    options.Sources.push_back(argument);
    return;
  }
  std::string body = argument.substr(1);
  std::string upper = UpperCase(body);
  if (body.empty()) {
    throw EStandInError("Fatal: Invalid switch: " + argument);
  }
  char letter = upper[0];
  std::string value = body.substr(1);
  switch (letter) {
  case '$':
    for (const std::string &item : SplitList(value, ',')) {
      if (item.size() == 2 && (item[1] == '+' || item[1] == '-')) {
        options.Switches[static_cast<char>(std::toupper(static_cast<unsigned char>(item[0])))] =
            item[1] == '+';
      }
    }
    return;
  case 'D':
    Append(options.Defines, SplitList(value, ';'));
    return;
  case 'U':
    Append(options.UnitPath, PathList(value));
    return;
  case 'I':
    Append(options.IncludePath, PathList(value));
    return;
  case 'R':
    Append(options.ResourcePath, PathList(value));
    return;
  case 'O':
    return; // object files: the stand-ins link none
  case 'E':
    options.ExeOutput = Trim(value);
    return;
  case 'N':
    if (target == TTargetKind::DotNet && StartsWithText(value, "S") && IsNamespaceList(value.substr(1))) {
      Append(options.Namespaces, SplitList(value.substr(1), ';'));
    } else {
      options.UnitOutput = Trim(value);
    }
    return;
  case 'L':
    if (StartsWithText(value, "E")) {
      options.PackageOutput = Trim(value.substr(1));
      return;
    }
    if (StartsWithText(value, "N")) {
      options.SymbolOutput = Trim(value.substr(1));
      return;
    }
    if (StartsWithText(value, "U")) {
      Append(options.UsePackages, SplitList(value.substr(1), ';'));
      return;
    }
    break;
  case 'Q':
    options.Quiet = true;
    return;
  case 'H':
    options.ShowHints = value != "-";
    return;
  case 'W':
    if (value.empty() || value == "+" || value == "-") {
      options.ShowWarnings = value != "-";
    }
    return; // -W-NAME and -W+NAME switch single warnings the stand-ins never give
  case 'A': // unit aliases
  case 'B': // build all: the stand-ins always do
  case 'C': // console or GUI target
  case 'F': // find error
  case 'G': // map file
  case 'J': // C++ output files
  case 'K': // image base
  case 'M': // make modified units
  case 'P': // pack
  case 'T': // target
  case 'V': // debug information
  case 'X': // extended syntax
  case 'Z': // never build implicitly
    return;
  default:
    break;
  }
  throw EStandInError("Fatal: Invalid switch: " + argument);
}

std::vector<std::string> ConfigArguments(const std::string &path) {
  auto bytes = ReadFileBytes(path);
  return bytes ? SplitCommandLine(*bytes) : std::vector<std::string>();
}

// The source file as the compiler takes it: the name as given, or with .dpr, .dpk or .pas added.
std::string FindSourceFile(const std::string &given) {
  if (!ExtensionOf(given).empty()) {
    if (!IsFile(given)) {
      throw EStandInError("Fatal: File not found: '" + given + "'");
    }
    return given;
  }
  for (const char *extension : {".dpr", ".dpk", ".pas"}) {
    if (IsFile(given + extension)) {
      return given + extension;
    }
  }
  throw EStandInError("Fatal: File not found: '" + given + ".dpr'");
}

class TCompileRun {
public:
  TCompileRun(TTargetKind target, double version, TCompilerOptions options)
      : target_(target), version_(version), options_(std::move(options)),
        compiler_(Settings(), [](const std::string &line) { std::cout << line << "\n"; }) {}

  void Compile(const std::string &source) {
    TPascalModule module = compiler_.ReadModule(source);
    std::string folder = FolderOf(source);
    TModuleReference header{module.Name, {}, module.File, module.HeaderLine};
    std::vector<TModuleReference> packageNames = module.Requires;
    for (const std::string &name : options_.UsePackages) {
      packageNames.push_back({name, {}, -1, 0});
    }
    if (module.Kind == TModuleKind::Package && !SameText(module.Name, StemOf(source))) {
      throw EStandInError(compiler_.Location(header) + "Fatal: Package identifier '" + module.Name +
                          "' does not match file name");
    }
    std::vector<TRequiredPackage> packages = compiler_.FindPackages(packageNames, folder);
    std::vector<TModuleReference> units = module.Contains;
    TUnitOwner owner{folder, {}, compiler_.Location(header).substr(0, compiler_.Location(header).size() - 1)};
    if (module.Kind == TModuleKind::Package) {
      owner.PackageName = module.Name;
    } else if (module.Kind == TModuleKind::Unit) {
      units = {TModuleReference{module.Name, NameOf(source), -1, 0}};
    }
    std::vector<TCompiledUnit> compiled = compiler_.CompileUnits(owner, units, packages);
    if (module.Directives.Errors > 0) {
      throw EStandInError("Fatal: Could not compile " + ModuleKindName(module.Kind) + " '" + module.Name +
                          "'");
    }
    if (target_ == TTargetKind::DotNet) {
      CheckKeyFiles(module, folder);
    }
    if (!options_.Quiet) {
      for (const TCompiledUnit &unit : compiled) {
        std::cout << unit.SourcePath << "\n";
      }
      std::cout << source << "\n";
    }
    WriteUnits(module, compiled);
    if (module.Kind == TModuleKind::Package) {
      WritePackage(module, folder, compiled, packages);
    } else if (module.Kind != TModuleKind::Unit) {
      WriteProgram(module, folder, compiled);
    }
    units_ = compiled.size();
  }

  long Lines() const { return compiler_.Lines(); }
  std::size_t Units() const { return units_; }

private:
  TCompileSettings Settings() const {
    TCompileSettings settings;
    settings.Target = target_;
    for (const std::string &symbol : PredefinedSymbols(target_, version_)) {
      settings.Defines.insert(UpperCase(symbol));
    }
    for (const std::string &symbol : options_.Defines) {
      settings.Defines.insert(UpperCase(symbol));
    }
    settings.Scan.IncludePath = options_.IncludePath;
    settings.Scan.CompilerVersion = version_;
    settings.Scan.Switches = options_.Switches;
    settings.Scan.ShowHints = options_.ShowHints;
    settings.Scan.ShowWarnings = options_.ShowWarnings;
    settings.UnitPath = options_.UnitPath;
    settings.UnitPath.push_back(EnvironmentFolder("lib"));
    if (target_ == TTargetKind::DotNet) {
      settings.UnitPath.push_back(EnvironmentFolder("units"));
    }
    settings.ResourcePath = options_.ResourcePath;
    if (!options_.SymbolOutput.empty()) {
      settings.PackagePath.push_back(options_.SymbolOutput);
    }
    Append(settings.PackagePath, settings.UnitPath);
    settings.Namespaces = options_.Namespaces;
    settings.UnitOutput = options_.UnitOutput;
    settings.UnitExtension = UnitExtension();
    settings.PackageExtensions = target_ == TTargetKind::DotNet ? std::vector<std::string>{".dcpil", ".dll"}
                                                                : std::vector<std::string>{".dcp"};
    return settings;
  }

  std::string UnitExtension() const { return target_ == TTargetKind::DotNet ? ".dcuil" : ".dcu"; }

  void CheckKeyFiles(const TPascalModule &module, const std::string &folder) {
    for (const TModuleReference &key : module.KeyFiles) {
      std::string path = JoinPath(folder, key.Name);
      if (!IsFile(path) && !IsFile(key.Name)) {
        throw EStandInError(compiler_.Location(key) + "Fatal: Error reading key file '" + key.Name +
                            "' -- The system cannot find the file specified");
      }
    }
  }

  static void Write(const std::string &path, const std::string &bytes) {
    if (!WriteFileBytes(path, bytes)) {
      throw EStandInError("Fatal: Could not create output file '" + path + "'");
    }
  }

  void WriteUnits(const TPascalModule &module, const std::vector<TCompiledUnit> &compiled) {
    for (const TCompiledUnit &unit : compiled) {
      std::string folder = options_.UnitOutput.empty() ? FolderOf(unit.SourcePath) : options_.UnitOutput;
      TUnitSymbols symbols{unit.Name, NameOf(unit.SourcePath), VersionText(version_),
                           module.Kind == TModuleKind::Package ? module.Name : std::string(), unit.Uses};
      Write(JoinPath(folder, unit.Name + UnitExtension()), WriteUnitSymbols(symbols, UnitExtension()));
    }
  }

  std::vector<TResource> LinkedResources(const TPascalModule &module,
                                         const std::vector<TCompiledUnit> &compiled) {
    std::vector<TResource> resources;
    if (module.Directives.Description) {
      std::string text = Utf16FromAnsi(*module.Directives.Description) + std::string(2, '\0');
      resources.push_back(
          {TResourceId::Number(ResourceTypeRcData), TResourceId::Text("DESCRIPTION"), 0, text});
    }
    for (TResource &resource : compiler_.ModuleResources(module)) {
      resources.push_back(std::move(resource));
    }
    for (const TCompiledUnit &unit : compiled) {
      resources.insert(resources.end(), unit.Resources.begin(), unit.Resources.end());
    }
    return resources;
  }

  void WritePackage(const TPascalModule &module, const std::string &folder,
                    const std::vector<TCompiledUnit> &compiled,
                    const std::vector<TRequiredPackage> &packages) {
    TPackageSymbols symbols{module.Name, VersionText(version_), {}, {}};
    for (const TRequiredPackage &package : packages) {
      symbols.Requires.push_back(package.Name);
    }
    for (const TCompiledUnit &unit : compiled) {
      symbols.Units.push_back(unit.Name);
    }
    bool dotNet = target_ == TTargetKind::DotNet;
    std::string symbolFolder = options_.SymbolOutput.empty() ? folder : options_.SymbolOutput;
    Write(JoinPath(symbolFolder, module.Name + (dotNet ? ".dcpil" : ".dcp")), WritePackageSymbols(symbols));

    std::vector<TResource> resources = LinkedResources(module, compiled);
    std::string info = std::string(module.Directives.DesignOnly ? "Design" : "") +
                       (module.Directives.RunOnly ? "Run" : "") + "Package;Requires=";
    for (const std::string &name : symbols.Requires) {
      info += name + ",";
    }
    info += ";Contains=";
    for (const std::string &name : symbols.Units) {
      info += name + ",";
    }
    resources.push_back({TResourceId::Number(ResourceTypeRcData), TResourceId::Text("PACKAGEINFO"), 0, info});
    std::string packageFolder = options_.PackageOutput.empty() ? folder : options_.PackageOutput;
    std::string file = module.Name + module.Directives.LibSuffix + (dotNet ? ".dll" : ".bpl");
    Write(JoinPath(packageFolder, file), BuildPeImage(TImageKind::Dll, resources));
  }

  void WriteProgram(const TPascalModule &module, const std::string &folder,
                    const std::vector<TCompiledUnit> &compiled) {
    bool library = module.Kind == TModuleKind::Library;
    std::string outputFolder = options_.ExeOutput.empty() ? folder : options_.ExeOutput;
    Write(JoinPath(outputFolder, module.Name + (library ? ".dll" : ".exe")),
          BuildPeImage(library ? TImageKind::Dll : TImageKind::Exe, LinkedResources(module, compiled)));
  }

  TTargetKind target_;
  double version_;
  TCompilerOptions options_;
  TPascalCompiler compiler_;
  std::size_t units_ = 0;
};

void PrintSyntax(TTargetKind target) {
  std::string name = target == TTargetKind::DotNet ? "dccil" : "dcc32";
  std::cout << "Syntax: " << name << " [options] filename [options]\n\n"
            << "  -B = Build all units              -LE<path> = package output directory\n"
            << "  -D<syms> = Define conditionals    -LN<path> = package symbol output directory\n"
            << "  -E<path> = EXE output directory   -LU<package> = Use package\n"
            << "  -I<paths> = Include directories   -N<path> = unit output directory\n"
            << "  -Q = Quiet compile                -R<paths> = Resource directories\n"
            << "  -U<paths> = Unit directories      -$<dir> = Compiler directive\n";
}

} // namespace

int RunCompiler(TTargetKind target, const std::vector<std::string> &arguments) {
  double version = CompilerVersion(target);
  for (const std::string &line : CompilerBanner(target, version)) {
    std::cout << line << "\n";
  }
  PauseIfAsked();
  auto started = std::chrono::steady_clock::now(); // a pause asked for is not compile time
  try {
    std::string configName = target == TTargetKind::DotNet ? "dccil.cfg" : "dcc32.cfg";
    std::vector<std::string> all = ConfigArguments(JoinPath(ProgramFolder(), configName));
    if (!SameText(NativePath(CurrentFolder()), NativePath(ProgramFolder()))) {
      Append(all, ConfigArguments(JoinPath(CurrentFolder(), configName)));
    }
    TCompilerOptions commandLine;
    for (const std::string &argument : arguments) {
      ApplyOption(commandLine, argument, target);
    }
    if (commandLine.Sources.empty()) {
      PrintSyntax(target);
      return 0;
    }
    // The compiler opens its first file name before it looks at another one: a path with a blank
    // that arrives unquoted, in pieces, is a file that is not found.
    std::string source = FindSourceFile(commandLine.Sources.front());
    if (commandLine.Sources.size() > 1) {
      throw EStandInError("Fatal: Too many file names: '" + commandLine.Sources[1] + "'");
    }
    Append(all, ConfigArguments(ChangeExtension(source, ".cfg")));
    Append(all, arguments);
    TCompilerOptions options;
    for (const std::string &argument : all) {
      ApplyOption(options, argument, target);
    }
    options.Sources = {source};

    TCompileRun run(target, version, options);
    run.Compile(source);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char summary[160];
    std::snprintf(summary, sizeof summary, "%ld lines, %.2f seconds, %ld bytes code, %ld bytes data.",
                  run.Lines(), seconds, 2048 + run.Lines() * 19, 512 + static_cast<long>(run.Units()) * 96);
    std::cout << summary << "\n";
    return 0;
  } catch (const EStandInError &error) {
    std::cout << error.Message() << "\n";
    return 1;
  }
}

} // namespace StandIn
