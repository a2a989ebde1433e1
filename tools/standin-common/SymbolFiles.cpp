#include "SymbolFiles.h"

#include "StandInFiles.h"

#include <sstream>

namespace StandIn {

namespace {

constexpr const char *PackageSignature = "ZELSTANDIN PACKAGE 1";
constexpr const char *UnitSignature = "ZELSTANDIN UNIT 1";

std::string JoinList(const std::vector<std::string> &items) {
  std::string text;
  for (const std::string &item : items) {
    text += (text.empty() ? "" : ";") + item;
  }
  return text;
}

// The key=value lines after the signature line; nullopt when the signature differs.
std::optional<std::vector<std::pair<std::string, std::string>>> ReadRecord(const std::string &bytes,
                                                                           const std::string &signature) {
  auto firstLineEnd = bytes.find('\n');
  std::string firstLine = bytes.substr(0, firstLineEnd);
  if (Trim(firstLine) != signature) {
    return std::nullopt;
  }
  return KeyValueLines(firstLineEnd == std::string::npos ? std::string() : bytes.substr(firstLineEnd + 1));
}

} // namespace

std::string WritePackageSymbols(const TPackageSymbols &symbols) {
  std::ostringstream out;
  out << PackageSignature << "\r\n"
      << "Name=" << symbols.Name << "\r\n"
      << "Compiler=" << symbols.Compiler << "\r\n"
      << "Requires=" << JoinList(symbols.Requires) << "\r\n"
      << "Units=" << JoinList(symbols.Units) << "\r\n";
  return out.str();
}

std::optional<TPackageSymbols> ReadPackageSymbols(const std::string &bytes) {
  auto fields = ReadRecord(bytes, PackageSignature);
  if (!fields) {
    return std::nullopt;
  }
  TPackageSymbols symbols;
  for (const auto &[key, value] : *fields) {
    if (key == "Name") {
      symbols.Name = value;
    } else if (key == "Compiler") {
      symbols.Compiler = value;
    } else if (key == "Requires") {
      symbols.Requires = SplitList(value, ';');
    } else if (key == "Units") {
      symbols.Units = SplitList(value, ';');
    }
  }
  return symbols;
}

std::string WriteUnitSymbols(const TUnitSymbols &symbols, const std::string &kind) {
  std::ostringstream out;
  out << UnitSignature << "\r\n"
      << "Kind=" << kind << "\r\n"
      << "Name=" << symbols.Name << "\r\n"
      << "Source=" << symbols.Source << "\r\n"
      << "Compiler=" << symbols.Compiler << "\r\n"
      << "Package=" << symbols.Package << "\r\n"
      << "Uses=" << JoinList(symbols.Uses) << "\r\n";
  return out.str();
}

std::optional<TUnitSymbols> ReadUnitSymbols(const std::string &bytes) {
  auto fields = ReadRecord(bytes, UnitSignature);
  if (!fields) {
    return std::nullopt;
  }
  TUnitSymbols symbols;
  for (const auto &[key, value] : *fields) {
    if (key == "Name") {
      symbols.Name = value;
    } else if (key == "Source") {
      symbols.Source = value;
    } else if (key == "Compiler") {
      symbols.Compiler = value;
    } else if (key == "Package") {
      symbols.Package = value;
    } else if (key == "Uses") {
      symbols.Uses = SplitList(value, ';');
    }
  }
  return symbols;
}

} // namespace StandIn
