#include "Change.h"

#include "framework/Files.h"
#include "framework/Text.h"

#include <cctype>

std::uint64_t ContentHash(const std::string &bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

TFileState FileStateOf(const std::string &bytes) {
  return TFileState{true, bytes.size(), ContentHash(bytes)};
}

TFileState CurrentFileState(const std::string &path) {
  if (!Fs::FileExists(path))
    return {};
  auto bytes = Fs::ReadWholeFile(path);
  return bytes ? FileStateOf(*bytes) : TFileState{};
}

TValueState CurrentValueState(TRootKey root, const std::string &key, const std::string &name) {
  TRegistry registry(root);
  if (!registry.OpenKeyReadOnly("\\" + key))
    return {};
  auto value = registry.ReadValue(name);
  return value ? TValueState{true, value->Type, value->Data} : TValueState{};
}

bool KeyExistsNow(TRootKey root, const std::string &key) {
  TRegistry registry(root);
  return registry.KeyExists("\\" + key);
}

std::string ComparableName(std::string path) {
  for (char &c : path)
    if (c == '/')
      c = '\\';
  while (!path.empty() && path.back() == '\\')
    path.pop_back();
  return UpperCase(path);
}

std::string FolderOf(const std::string &path) {
  auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool RefuseChange(std::uint32_t code) {
  Fs::SetLastErrorCode(code);
  return false;
}

bool IsPathListFile(const std::string &path) {
  std::size_t slash = path.find_last_of("\\/");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  for (char &c : name)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  return name == "defproj.dof";
}

std::string ChangeSubject(const TChange &change) {
  switch (change.Kind) {
  case TChangeKind::Key:
    return RootKeyName(change.Root) + "\\" + change.Key;
  case TChangeKind::Value:
    return RootKeyName(change.Root) + "\\" + change.Key + "\\" + change.Name;
  default:
    return change.Path;
  }
}

namespace {
const struct {
  std::uint32_t Type;
  const char *Name;
} registryTypes[] = {{rdNone, "REG_NONE"},     {rdString, "REG_SZ"},     {rdExpandString, "REG_EXPAND_SZ"},
                     {rdBinary, "REG_BINARY"}, {rdInteger, "REG_DWORD"}, {rdMultiString, "REG_MULTI_SZ"}};
} // namespace

std::string RegistryTypeName(std::uint32_t type) {
  for (const auto &known : registryTypes)
    if (known.Type == type)
      return known.Name;
  return "REG_" + std::to_string(type);
}

std::uint32_t RegistryTypeFromName(const std::string &name) {
  for (const auto &known : registryTypes)
    if (name == known.Name)
      return known.Type;
  if (name.rfind("REG_", 0) == 0 && name.size() > 4 &&
      name.find_first_not_of("0123456789", 4) == std::string::npos)
    return std::uint32_t(std::stoul(name.substr(4)));
  return rdNone;
}
