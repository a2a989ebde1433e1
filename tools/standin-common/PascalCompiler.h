// The checking heart of the stand-in compilers (dcc32, dccil, and the Pascal step of make): finds
// the symbol files of required packages, then compiles the units of a package or program in the
// order the real compiler does (each after the units its interface uses), finding every used unit
// where the real compiler would: in the package itself, in a required package, as source or
// compiled unit on the search path, or in the environment's own library. Whatever it cannot find
// ends the compile with the compiler's message, so a wrong compile order or a missing search
// folder fails here as it fails with the real tools.
#pragma once
#include "EnvironmentUnits.h"
#include "PascalModule.h"
#include "Resources.h"
#include "SymbolFiles.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace StandIn {

struct TCompileSettings {
  TTargetKind Target = TTargetKind::Win32;
  TDefines Defines;
  TScanSettings Scan;
  std::vector<std::string> UnitPath;     // sources and compiled units of used units
  std::vector<std::string> ResourcePath; // files named by {$R}, after the source's own folder
  std::vector<std::string> PackagePath;  // symbol files of required packages
  std::vector<std::string> Namespaces;   // .NET: prefixes tried before a plain unit name fails
  std::string UnitOutput;                // where compiled units go (also searched for them)
  std::string UnitExtension = ".dcu";
  std::vector<std::string> PackageExtensions = {".dcp"};
  bool ShowImplicitImportWarning = true;
};

struct TRequiredPackage {
  std::string Name;
  std::string Path;
  std::optional<TPackageSymbols> Symbols; // nullopt: a package of the environment itself
};

struct TCompiledUnit {
  std::string Name;
  std::string SourcePath;
  bool Implicit = false; // not listed by the package: found on the search path
  std::vector<std::string> Uses;
  std::vector<TResource> Resources;
};

// Who the units are compiled for: the folder that "in" files are relative to, and the package
// name for the implicit-import warning (empty for a program or a lone unit).
struct TUnitOwner {
  std::string Folder;
  std::string PackageName;
  std::string Location; // where the warning points: "Zel77.dpk(1)"
};

class TPascalCompiler {
public:
  TPascalCompiler(TCompileSettings settings, TPrinter print);

  TPascalModule ReadModule(const std::string &path);
  // Each name's symbol file (.dcp, or the .NET forms); a missing one raises "Required package
  // 'X' not found" at the reference.
  std::vector<TRequiredPackage> FindPackages(const std::vector<TModuleReference> &names,
                                             const std::string &ownerFolder);
  std::vector<TCompiledUnit> CompileUnits(const TUnitOwner &owner, const std::vector<TModuleReference> &units,
                                          const std::vector<TRequiredPackage> &packages);
  // The resources that the module's own {$R} directives name.
  std::vector<TResource> ModuleResources(const TPascalModule &module);

  // "file(line) " for a reference from a source file, "" for one from a command line or makefile.
  std::string Location(const TModuleReference &reference) const;
  const TCompileSettings &Settings() const { return settings_; }
  long Lines() const { return scanner_.Lines(); }

private:
  enum class TState { Interface, Implementation, Done };

  void CompileUnit(const TModuleReference &reference, const std::string &path, bool implicit);
  void ResolveUse(const TModuleReference &reference, bool fromInterface);
  bool TryUse(const std::string &name, const TModuleReference &reference, bool fromInterface);
  std::optional<std::string> FindSource(const std::string &name) const;
  std::optional<std::string> FindCompiledUnit(const std::string &name) const;
  std::vector<TResource> LoadResources(const TDirectiveResults &directives, const std::string &moduleFile);
  [[noreturn]] void Fatal(const TModuleReference &reference, const std::string &text) const;

  TCompileSettings settings_;
  TPrinter print_;
  TPascalScanner scanner_;

  // State of one CompileUnits call.
  const TUnitOwner *owner_ = nullptr;
  std::map<std::string, TModuleReference> contained_; // upper-case name
  std::map<std::string, std::string> packageUnits_;   // upper-case unit name to package name
  std::map<std::string, TState> states_;
  std::vector<TCompiledUnit> compiled_;
};

} // namespace StandIn
