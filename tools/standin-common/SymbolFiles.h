// The compiled files the stand-ins write for units (.dcu, .dcuil, .obj) and packages (.dcp, .dcpil,
// .bpi). The real formats are Borland's own; ours are short text records that carry what a later
// compile needs: which units a required package holds, so that a unit of it is found where the real
// compiler finds it, in the package's symbol file.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace StandIn {

struct TPackageSymbols {
  std::string Name;
  std::string Compiler; // the version of the compiler that wrote it ("15.0")
  std::vector<std::string> Requires;
  std::vector<std::string> Units;
};

struct TUnitSymbols {
  std::string Name;
  // The source file's name without its folder, as a compile without debug information records it:
  // the same sources compiled in another folder give the same unit.
  std::string Source;
  std::string Compiler;
  std::string Package; // empty for a unit compiled on its own
  std::vector<std::string> Uses;
};

std::string WritePackageSymbols(const TPackageSymbols &symbols);
// nullopt for a symbol file that no stand-in wrote: one the environment brought along, whose units
// the stand-ins cannot know.
std::optional<TPackageSymbols> ReadPackageSymbols(const std::string &bytes);

std::string WriteUnitSymbols(const TUnitSymbols &symbols, const std::string &kind);
std::optional<TUnitSymbols> ReadUnitSymbols(const std::string &bytes);

} // namespace StandIn
