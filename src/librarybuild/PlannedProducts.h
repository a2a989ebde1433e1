// What the compiles of a dry run (changes/Plan.h) would write, taken from what the sources say: a
// Pascal package's units from its "contains" clause and its description from {$DESCRIPTION}, a
// C++Builder package's objects and description from its project. The bytes cannot be known before
// the tools run: each product is planned with its bytes unknown, named by the tool that writes it.
#pragma once
#include <optional>
#include <string>
#include <vector>

// What a package project (.dpk) says of the package it makes.
struct TPackageSource {
  std::string Name;
  std::optional<std::string> Description; // {$DESCRIPTION '...'}
  std::string LibSuffix;                  // {$LIBSUFFIX '...'}
  std::vector<std::string> Units;         // contains
};
TPackageSource ReadPackageSource(const std::string &dpkPath);

// dcc32 or dccil: the units into unitFolder, the symbol file beside them, the package (or assembly)
// into packageFolder.
void PlanPascalPackageProducts(const std::string &dpkPath, const std::string &unitFolder,
                               const std::string &packageFolder, bool dotNet);
// bpr2mak: the makefile beside the project.
void PlanMakefileConversion(const std::string &bpkPath);
// make: the objects, units and headers of the project's Pascal sources, the objects of its C++
// sources, and what the linker leaves (package, import files, debug symbols, link state), all in
// the source folder.
void PlanCBuilderPackageProducts(const std::string &bpkPath);
