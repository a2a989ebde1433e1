#include "RegFile.h"
#include "Exception.h"
#include "Files.h"
#include "Text.h"
#include "TextLines.h"

#include <cctype>
#include <cstdio>

namespace {


// UTF-16LE with byte order mark (what "Version 5.00" files usually are) to the program's 8-bit text;
// the fixtures only use the ASCII range.
std::string NarrowFromUtf16(const std::string &bytes, std::size_t start) {
  std::string text;
  for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
    unsigned code = unsigned(static_cast<unsigned char>(bytes[i])) | unsigned(static_cast<unsigned char>(bytes[i + 1])) << 8;
    text += code < 256 ? char(code) : '?';
  }
  return text;
}

TRootKey ParseRoot(const std::string &name, int lineNumber) {
  std::string root = UpperCase(name);
  if (root == "HKEY_LOCAL_MACHINE" || root == "HKLM")
    return TRootKey::LocalMachine;
  if (root == "HKEY_CURRENT_USER" || root == "HKCU")
    return TRootKey::CurrentUser;
  if (root == "HKEY_CLASSES_ROOT" || root == "HKCR")
    return TRootKey::ClassesRoot;
  throw Exception("Registry file line " + std::to_string(lineNumber) + ": unknown root key " + name);
}

// A quoted text starting at text[pos] == '"'; pos ends after the closing quote.
std::string ParseQuoted(const std::string &text, std::size_t &pos, int lineNumber) {
  std::string result;
  for (++pos; pos < text.size(); ++pos) {
    char c = text[pos];
    if (c == '"') {
      ++pos;
      return result;
    }
    if (c == '\\' && pos + 1 < text.size())
      c = text[++pos];
    result += c;
  }
  throw Exception("Registry file line " + std::to_string(lineNumber) + ": unterminated text");
}

std::string ParseHexBytes(const std::string &text, int lineNumber) {
  std::string bytes;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && (text[pos] == ',' || text[pos] == ' ' || text[pos] == '\t'))
      ++pos;
    if (pos >= text.size())
      break;
    std::size_t end = pos;
    while (end < text.size() && std::isxdigit(static_cast<unsigned char>(text[end])))
      ++end;
    if (end == pos || end - pos > 2)
      throw Exception("Registry file line " + std::to_string(lineNumber) + ": bad hex data");
    bytes += char(std::stoul(text.substr(pos, end - pos), nullptr, 16));
    pos = end;
  }
  return bytes;
}

TRegValue ParseData(std::string name, const std::string &data, bool unicodeFile, int lineNumber) {
  TRegValue value{std::move(name), rdString, {}};
  if (!data.empty() && data[0] == '"') {
    std::size_t pos = 0;
    value.Data = ParseQuoted(data, pos, lineNumber);
    return value;
  }
  std::string lower = data;
  for (auto &c : lower)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  if (lower.rfind("dword:", 0) == 0) {
    std::uint32_t number = std::uint32_t(std::stoul(data.substr(6), nullptr, 16));
    value.Type = rdInteger;
    value.Data.assign(4, '\0');
    for (int i = 0; i < 4; ++i)
      value.Data[i] = char((number >> (8 * i)) & 0xFF);
    return value;
  }
  std::size_t colon = lower.find(':');
  if (lower.rfind("hex", 0) != 0 || colon == std::string::npos)
    throw Exception("Registry file line " + std::to_string(lineNumber) + ": unknown value data " + data);
  value.Type = rdBinary;
  if (lower.size() > 4 && lower[3] == '(')
    value.Type = std::uint32_t(std::stoul(lower.substr(4, colon - 5), nullptr, 16));
  value.Data = ParseHexBytes(data.substr(colon + 1), lineNumber);
  if (value.Type == rdString || value.Type == rdExpandString || value.Type == rdMultiString) {
    if (unicodeFile)
      value.Data = NarrowFromUtf16(value.Data, 0);
    while (!value.Data.empty() && value.Data.back() == '\0' && value.Type != rdMultiString)
      value.Data.pop_back();
  }
  return value;
}

std::string Escape(const std::string &text) {
  std::string result;
  for (char c : text) {
    if (c == '\\' || c == '"')
      result += '\\';
    result += c;
  }
  return result;
}

std::string HexBytes(const std::string &bytes) {
  std::string text;
  char piece[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(piece, sizeof piece, "%02x", static_cast<unsigned char>(bytes[i]));
    if (i)
      text += ',';
    text += piece;
  }
  return text;
}

std::string FormatValue(const TRegValue &value) {
  std::string line = value.Name.empty() ? "@=" : "\"" + Escape(value.Name) + "\"=";
  if (value.Type == rdString)
    return line + "\"" + Escape(value.Data) + "\"";
  if (value.Type == rdInteger && value.Data.size() == 4) {
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
      number = number << 8 | static_cast<unsigned char>(value.Data[i]);
    char text[16];
    std::snprintf(text, sizeof text, "dword:%08x", number);
    return line + text;
  }
  std::string data = value.Data;
  if (value.Type == rdExpandString)
    data.push_back('\0');
  if (value.Type == rdBinary)
    return line + "hex:" + HexBytes(data);
  char type[16];
  std::snprintf(type, sizeof type, "hex(%x):", value.Type);
  return line + type + HexBytes(data);
}

void ExportInto(TRootKey root, const std::string &path, std::vector<TRegKeyBlock> &blocks) {
  TRegistry registry(root);
  if (!registry.OpenKeyReadOnly("\\" + path))
    return;
  TRegKeyBlock block;
  block.Root = root;
  block.Path = path;
  for (const auto &name : registry.GetValueNames())
    if (auto value = registry.ReadValue(name))
      block.Values.push_back(*value);
  blocks.push_back(std::move(block));
  for (const auto &child : registry.GetKeyNames())
    ExportInto(root, path + "\\" + child, blocks);
}

} // namespace

std::vector<TRegKeyBlock> ParseRegText(const std::string &rawText) {
  bool unicodeFile = rawText.size() >= 2 && static_cast<unsigned char>(rawText[0]) == 0xFF &&
                     static_cast<unsigned char>(rawText[1]) == 0xFE;
  std::string text = unicodeFile ? NarrowFromUtf16(rawText, 2) : rawText;
  if (text.rfind("\xEF\xBB\xBF", 0) == 0)
    text.erase(0, 3);
  TStringList lines = SplitLines(text);
  std::vector<TRegKeyBlock> blocks;
  bool headerSeen = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    int lineNumber = int(i + 1);
    std::string line = lines[i];
    while (!line.empty() && line.back() == '\\' && i + 1 < lines.size()) { // continued hex data
      line.pop_back();
      std::string next = lines[++i];
      line += next.substr(next.find_first_not_of(" \t") == std::string::npos ? next.size()
                                                                               : next.find_first_not_of(" \t"));
    }
    std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == ';')
      continue;
    line = line.substr(first);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    if (!headerSeen) {
      if (line != "REGEDIT4" && line != "Windows Registry Editor Version 5.00")
        throw Exception("Registry file line " + std::to_string(lineNumber) + ": not a registry file");
      headerSeen = true;
      continue;
    }
    if (line[0] == '[') {
      if (line.back() != ']')
        throw Exception("Registry file line " + std::to_string(lineNumber) + ": bad key line");
      TRegKeyBlock block;
      std::string key = line.substr(1, line.size() - 2);
      if (!key.empty() && key[0] == '-') {
        block.DeleteKey = true;
        key.erase(0, 1);
      }
      std::size_t slash = key.find('\\');
      block.Root = ParseRoot(key.substr(0, slash), lineNumber);
      block.Path = slash == std::string::npos ? std::string() : key.substr(slash + 1);
      blocks.push_back(std::move(block));
      continue;
    }
    if (blocks.empty())
      throw Exception("Registry file line " + std::to_string(lineNumber) + ": value outside a key");
    std::string name;
    std::size_t pos = 0;
    if (line[0] == '@')
      pos = 1;
    else if (line[0] == '"')
      name = ParseQuoted(line, pos, lineNumber);
    else
      throw Exception("Registry file line " + std::to_string(lineNumber) + ": bad value line");
    if (pos >= line.size() || line[pos] != '=')
      throw Exception("Registry file line " + std::to_string(lineNumber) + ": missing '='");
    std::string data = line.substr(pos + 1);
    if (data == "-")
      blocks.back().DeletedValues.push_back(name);
    else
      blocks.back().Values.push_back(ParseData(name, data, unicodeFile, lineNumber));
  }
  if (!headerSeen)
    throw Exception("Registry file line 1: not a registry file");
  return blocks;
}

std::string FormatRegText(const std::vector<TRegKeyBlock> &blocks) {
  std::string text = "REGEDIT4\r\n";
  for (const auto &block : blocks) {
    std::string key = RootKeyName(block.Root) + (block.Path.empty() ? "" : "\\" + block.Path);
    text += "\r\n[" + std::string(block.DeleteKey ? "-" : "") + key + "]\r\n";
    for (const auto &value : block.Values)
      text += FormatValue(value) + "\r\n";
    for (const auto &name : block.DeletedValues)
      text += "\"" + Escape(name) + "\"=-\r\n";
  }
  return text + "\r\n";
}

void ImportRegText(const std::string &text) {
  for (const auto &block : ParseRegText(text)) {
    TRegistry registry(block.Root);
    if (block.DeleteKey) {
      registry.DeleteKey("\\" + block.Path);
      continue;
    }
    if (!registry.OpenKey("\\" + block.Path, true))
      throw Exception("Cannot create registry key: " + RootKeyName(block.Root) + "\\" + block.Path);
    for (const auto &value : block.Values)
      registry.WriteValue(value);
    for (const auto &name : block.DeletedValues)
      registry.DeleteValue(name);
  }
}

void ImportRegFile(const std::string &path) {
  auto text = Fs::ReadWholeFile(path);
  if (!text)
    throw EFileError("Cannot open file \"" + path + "\". " + SystemErrorMessage(Fs::LastErrorCode()));
  ImportRegText(*text);
}

std::vector<TRegKeyBlock> ExportRegistryKey(TRootKey root, const std::string &path) {
  std::vector<TRegKeyBlock> blocks;
  ExportInto(root, path, blocks);
  return blocks;
}

void SaveRegFile(const std::string &path, TRootKey root, const std::string &keyPath) {
  if (!Fs::WriteWholeFile(path, FormatRegText(ExportRegistryKey(root, keyPath))))
    throw EFileError("Cannot create file \"" + path + "\". " + SystemErrorMessage(Fs::LastErrorCode()));
}
