// The header parts of an Object Pascal module that a compiler needs before it compiles anything:
// the kind and name, the packages a package requires, the units it contains (or a program lists
// with "in"), the units a unit uses, and the attributes that name a strong-name key file.
#pragma once
#include "PascalScanner.h"

#include <string>
#include <vector>

namespace StandIn {

enum class TModuleKind { Package, Program, Library, Unit };

// A name in a requires, contains or uses list, with its optional "in 'file'" and its place.
struct TModuleReference {
  std::string Name;
  std::string InFile;
  int File;
  int Line;
};

struct TPascalModule {
  TModuleKind Kind = TModuleKind::Unit;
  std::string Name;
  std::string Path;
  int File = 0;
  int HeaderLine = 1;
  std::vector<TModuleReference> Requires;
  std::vector<TModuleReference> Contains; // a package's contains, a program's uses with their files
  std::vector<TModuleReference> InterfaceUses;
  std::vector<TModuleReference> ImplementationUses;
  std::vector<TModuleReference> KeyFiles; // [assembly: AssemblyKeyFile('...')]: the file in Name
  TDirectiveResults Directives;
};

// Scans and parses one module. A syntax error in the parts read raises EStandInError with the
// compiler's wording ("Zel77.dpk(3) Fatal: ';' expected but 'contains' found").
TPascalModule ReadPascalModule(TPascalScanner &scanner, const std::string &path, TDefines defines);

std::string ModuleKindName(TModuleKind kind);

} // namespace StandIn
