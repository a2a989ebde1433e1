#include "framework/Exception.h"
#include "framework/Handles.h"
#include "framework/Registry.h"

#include <array>

namespace {
// The Borland environments are 32-bit programs: their machine-wide keys live in the registry's
// 32-bit view. A 32-bit program sees that view anyway (32-bit Windows ignores the flag); the 64-bit
// build asks for it, so that it reads and writes what the environments see.
constexpr REGSAM EnvironmentView = KEY_WOW64_32KEY;
// The shell's application associations below HKEY_CLASSES_ROOT are shared by both views: asked
// without a view, they are read where every program finds them (and where a test's own root key,
// set with RegOverridePredefKey, is honoured, which Wine skips for a view request on this root).
REGSAM ViewOf(TRootKey root) {
  return root == TRootKey::ClassesRoot ? 0 : EnvironmentView;
}

HKEY RootHandle(TRootKey root) {
  switch (root) {
  case TRootKey::ClassesRoot:
    return HKEY_CLASSES_ROOT;
  case TRootKey::CurrentUser:
    return HKEY_CURRENT_USER;
  case TRootKey::LocalMachine:
    return HKEY_LOCAL_MACHINE;
  }
  return HKEY_CURRENT_USER;
}
} // namespace

struct TRegistry::TImpl {
  UniqueRegistryKey key;
};

TRegistry::TRegistry(TRootKey root) : root_(root), impl_(std::make_unique<TImpl>()) {}
TRegistry::~TRegistry() {
  CloseKey();
}

void TRegistry::SetRootKey(TRootKey root) {
  CloseKey();
  root_ = root;
}

bool TRegistry::KeyExists(const std::string &key) {
  std::string path = Resolve(key);
  if (path.empty())
    return false;
  HKEY handle = nullptr;
  if (::RegOpenKeyExA(RootHandle(root_), path.c_str(), 0,
                      STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | ViewOf(root_), &handle) != ERROR_SUCCESS)
    return false;
  ::RegCloseKey(handle);
  return true;
}

bool TRegistry::OpenKey(const std::string &key, bool canCreate) {
  std::string path = Resolve(key);
  HKEY handle = nullptr;
  LONG result =
      canCreate
          ? ::RegCreateKeyExA(RootHandle(root_), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS | ViewOf(root_), nullptr, &handle, nullptr)
          : ::RegOpenKeyExA(RootHandle(root_), path.c_str(), 0, KEY_ALL_ACCESS | ViewOf(root_), &handle);
  if (result != ERROR_SUCCESS)
    return false;
  impl_->key.Reset(handle);
  currentPath_ = path;
  keyOpen_ = true;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string &key) {
  std::string path = Resolve(key);
  HKEY handle = nullptr;
  if (::RegOpenKeyExA(RootHandle(root_), path.c_str(), 0, KEY_READ | ViewOf(root_), &handle) != ERROR_SUCCESS)
    return false;
  impl_->key.Reset(handle);
  currentPath_ = path;
  keyOpen_ = true;
  return true;
}

void TRegistry::CloseKey() {
  if (impl_)
    impl_->key.Close();
  currentPath_.clear();
  keyOpen_ = false;
}

std::optional<TRegValue> TRegistry::ReadValue(const std::string &name) {
  if (!impl_->key)
    return std::nullopt;
  DWORD type = 0, size = 0;
  LONG result = ::RegQueryValueExA(impl_->key.Get(), name.c_str(), nullptr, &type, nullptr, &size);
  if (result == ERROR_FILE_NOT_FOUND)
    return std::nullopt;
  std::string data;
  // The value may grow between asking its size and reading it (another program writes it): ask
  // again with the larger size. Any other failure is an error, never an empty value, which the
  // caller would write back over the user's data.
  for (int attempt = 0; result == ERROR_SUCCESS || result == ERROR_MORE_DATA; ++attempt) {
    data.assign(std::size_t(size) + 2, '\0');
    DWORD room = size;
    result = ::RegQueryValueExA(impl_->key.Get(), name.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE *>(data.data()), &room);
    if (result == ERROR_SUCCESS) {
      data.resize(room);
      if (type == REG_SZ || type == REG_EXPAND_SZ)
        while (!data.empty() && data.back() == '\0')
          data.pop_back();
      return TRegValue{name, type, data};
    }
    if (result == ERROR_FILE_NOT_FOUND)
      return std::nullopt; // deleted in between
    if (result != ERROR_MORE_DATA || attempt == 8)
      break;
    size = room > size ? room : size * 2;
  }
  throw ERegistryException("Failed to get data for '" + name + "'");
}

bool TRegistry::ValueExists(const std::string &name) {
  return impl_->key && ::RegQueryValueExA(impl_->key.Get(), name.c_str(), nullptr, nullptr, nullptr,
                                          nullptr) == ERROR_SUCCESS;
}

std::string TRegistry::ReadString(const std::string &name) {
  auto value = ReadValue(name);
  if (!value)
    return {};
  if (value->Type != rdString && value->Type != rdExpandString)
    throw ERegistryException("Invalid data type for '" + name + "'");
  return value->Data;
}

void TRegistry::WriteValue(const TRegValue &value) {
  std::string data = value.Data;
  if (value.Type == rdString || value.Type == rdExpandString)
    data.push_back('\0');
  if (!impl_->key ||
      ::RegSetValueExA(impl_->key.Get(), value.Name.c_str(), 0, value.Type,
                       reinterpret_cast<const BYTE *>(data.data()), DWORD(data.size())) != ERROR_SUCCESS)
    throw ERegistryException("Failed to set data for '" + value.Name + "'");
}

void TRegistry::WriteString(const std::string &name, const std::string &value) {
  WriteValue(TRegValue{name, rdString, value});
}

void TRegistry::WriteInteger(const std::string &name, std::int32_t value) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i)
    data[i] = char((std::uint32_t(value) >> (8 * i)) & 0xFF);
  WriteValue(TRegValue{name, rdInteger, data});
}

bool TRegistry::DeleteValue(const std::string &name) {
  return impl_->key && ::RegDeleteValueA(impl_->key.Get(), name.c_str()) == ERROR_SUCCESS;
}

std::vector<std::string> TRegistry::GetValueNames(std::vector<std::string> *unrepresentable) {
  std::vector<std::string> names;
  if (!impl_->key)
    return names;
  // Enumerated by the wide API: the ANSI one turns characters outside the code page into "?", and
  // a name so changed can be neither read nor deleted. Such names are left out and reported.
  std::array<wchar_t, 16384> name;
  for (DWORD index = 0;; ++index) {
    DWORD length = DWORD(name.size());
    if (::RegEnumValueW(impl_->key.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    BOOL lossy = FALSE;
    std::string ansi;
    if (length > 0) {
      int bytes = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(), int(length), nullptr, 0,
                                        nullptr, &lossy);
      ansi.assign(std::size_t(bytes), '\0');
      ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.data(), int(length), ansi.data(), bytes,
                            nullptr, &lossy);
    }
    if (!lossy)
      names.push_back(std::move(ansi));
    else if (unrepresentable)
      unrepresentable->push_back(std::move(ansi));
  }
  return names;
}

std::vector<std::string> TRegistry::GetKeyNames() {
  std::vector<std::string> names;
  if (!impl_->key)
    return names;
  std::array<char, 256> name;
  for (DWORD index = 0;; ++index) {
    DWORD length = DWORD(name.size());
    if (::RegEnumKeyExA(impl_->key.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.emplace_back(name.data(), length);
  }
  return names;
}

namespace {
LONG DeleteKeyInView(HKEY parent, const std::string &path, REGSAM view) {
#if defined(_WIN64)
  return ::RegDeleteKeyExA(parent, path.c_str(), view, 0);
#else
  // The 32-bit program is in the 32-bit view already; RegDeleteKeyEx is missing before Vista.
  return ::RegDeleteKeyA(parent, path.c_str());
#endif
}

bool DeleteTree(HKEY parent, const std::string &path, REGSAM view) {
  HKEY handle = nullptr;
  if (::RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS | view, &handle) != ERROR_SUCCESS)
    return false;
  UniqueRegistryKey key(handle);
  std::array<char, 256> name;
  for (;;) { // delete the first subkey until none is left: indexes shift as keys go
    DWORD length = DWORD(name.size());
    if (::RegEnumKeyExA(key.Get(), 0, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    if (!DeleteTree(key.Get(), std::string(name.data(), length), view))
      return false;
  }
  key.Close();
  return DeleteKeyInView(parent, path, view) == ERROR_SUCCESS;
}
} // namespace

bool TRegistry::DeleteKey(const std::string &key) {
  std::string path = Resolve(key);
  return !path.empty() && DeleteTree(RootHandle(root_), path, ViewOf(root_));
}
