// The registry of the native build: one in-memory store for the process, shared by every accessor,
// with the Win32 registry's rules (names without regard to case, parents made on creation, a
// read-only key refusing writes).
#include "framework/Exception.h"
#include "framework/Registry.h"
#include "framework/Text.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace {


struct TStoredKey {
  std::string Name; // the last component as created
  std::vector<TRegValue> Values;
};

class TRegistryStore {
public:
  std::mutex Mutex;
  // Full upper-case path ("HKEY_LOCAL_MACHINE\SOFTWARE\BORLAND") to key.
  std::map<std::string, TStoredKey> Keys;

  static std::string FullPath(TRootKey root, const std::string &path) {
    return path.empty() ? RootKeyName(root) : RootKeyName(root) + "\\" + UpperCase(path);
  }
  bool Exists(TRootKey root, const std::string &path) {
    return path.empty() || Keys.count(FullPath(root, path));
  }
  TStoredKey *Find(TRootKey root, const std::string &path) {
    auto it = Keys.find(FullPath(root, path));
    return it == Keys.end() ? nullptr : &it->second;
  }
  void Create(TRootKey root, const std::string &path) {
    std::size_t pos = 0;
    while (pos <= path.size()) {
      std::size_t end = path.find('\\', pos);
      if (end == std::string::npos)
        end = path.size();
      std::string prefix = path.substr(0, end);
      auto &key = Keys[FullPath(root, prefix)];
      if (key.Name.empty())
        key.Name = path.substr(pos, end - pos);
      pos = end + 1;
    }
  }
};

TRegistryStore &Store() {
  static TRegistryStore store;
  return store;
}

TRegValue *FindValue(TStoredKey &key, const std::string &name) {
  std::string wanted = UpperCase(name);
  for (auto &value : key.Values)
    if (UpperCase(value.Name) == wanted)
      return &value;
  return nullptr;
}

} // namespace

void ResetRegistryStore() {
  std::lock_guard lock(Store().Mutex);
  Store().Keys.clear();
}

struct TRegistry::TImpl {
  bool readOnly = false;
};

TRegistry::TRegistry(TRootKey root) : root_(root), impl_(std::make_unique<TImpl>()) {}
TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(TRootKey root) {
  CloseKey();
  root_ = root;
}

bool TRegistry::KeyExists(const std::string &key) {
  std::lock_guard lock(Store().Mutex);
  std::string path = Resolve(key);
  return !path.empty() && Store().Exists(root_, path);
}

bool TRegistry::OpenKey(const std::string &key, bool canCreate) {
  std::string path = Resolve(key);
  std::lock_guard lock(Store().Mutex);
  if (!Store().Exists(root_, path)) {
    if (!canCreate)
      return false;
    Store().Create(root_, path);
  }
  currentPath_ = path;
  keyOpen_ = true;
  impl_->readOnly = false;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string &key) {
  std::string path = Resolve(key);
  std::lock_guard lock(Store().Mutex);
  if (!Store().Exists(root_, path))
    return false;
  currentPath_ = path;
  keyOpen_ = true;
  impl_->readOnly = true;
  return true;
}

void TRegistry::CloseKey() {
  currentPath_.clear();
  keyOpen_ = false;
}

std::optional<TRegValue> TRegistry::ReadValue(const std::string &name) {
  std::lock_guard lock(Store().Mutex);
  TStoredKey *key = keyOpen_ ? Store().Find(root_, currentPath_) : nullptr;
  TRegValue *value = key ? FindValue(*key, name) : nullptr;
  if (!value)
    return std::nullopt;
  return *value;
}

bool TRegistry::ValueExists(const std::string &name) { return ReadValue(name).has_value(); }

std::string TRegistry::ReadString(const std::string &name) {
  auto value = ReadValue(name);
  if (!value)
    return {};
  if (value->Type != rdString && value->Type != rdExpandString)
    throw ERegistryException("Invalid data type for '" + name + "'");
  return value->Data;
}

void TRegistry::WriteValue(const TRegValue &value) {
  std::lock_guard lock(Store().Mutex);
  TStoredKey *key = keyOpen_ && !impl_->readOnly ? Store().Find(root_, currentPath_) : nullptr;
  if (!key)
    throw ERegistryException("Failed to set data for '" + value.Name + "'");
  if (TRegValue *existing = FindValue(*key, value.Name)) {
    existing->Type = value.Type;
    existing->Data = value.Data;
  } else {
    key->Values.push_back(value);
  }
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
  std::lock_guard lock(Store().Mutex);
  TStoredKey *key = keyOpen_ && !impl_->readOnly ? Store().Find(root_, currentPath_) : nullptr;
  if (!key)
    return false;
  std::string wanted = UpperCase(name);
  auto it = std::find_if(key->Values.begin(), key->Values.end(),
                         [&](const TRegValue &v) { return UpperCase(v.Name) == wanted; });
  if (it == key->Values.end())
    return false;
  key->Values.erase(it);
  return true;
}

std::vector<std::string> TRegistry::GetValueNames(std::vector<std::string> *) {
  std::lock_guard lock(Store().Mutex);
  std::vector<std::string> names;
  if (TStoredKey *key = keyOpen_ ? Store().Find(root_, currentPath_) : nullptr)
    for (const auto &value : key->Values)
      names.push_back(value.Name);
  return names;
}

std::vector<std::string> TRegistry::GetKeyNames() {
  std::lock_guard lock(Store().Mutex);
  std::vector<std::string> names;
  std::string prefix = TRegistryStore::FullPath(root_, currentPath_) + "\\";
  for (auto it = Store().Keys.lower_bound(prefix); it != Store().Keys.end(); ++it) {
    if (it->first.compare(0, prefix.size(), prefix) != 0)
      break;
    if (it->first.find('\\', prefix.size()) == std::string::npos)
      names.push_back(it->second.Name);
  }
  return names;
}

bool TRegistry::DeleteKey(const std::string &key) {
  std::string path = Resolve(key);
  if (path.empty())
    return false;
  std::lock_guard lock(Store().Mutex);
  std::string full = TRegistryStore::FullPath(root_, path);
  auto &keys = Store().Keys;
  if (!keys.count(full))
    return false;
  auto first = keys.find(full);
  auto last = keys.lower_bound(full + "\\");
  while (last != keys.end() && last->first.compare(0, full.size() + 1, full + "\\") == 0)
    ++last;
  // Entries between full and full + "\" sort below other keys starting with full (as "FULL 2"),
  // so erase exactly the key and its descendants.
  for (auto it = first; it != last;) {
    if (it->first == full || it->first.compare(0, full.size() + 1, full + "\\") == 0)
      it = keys.erase(it);
    else
      ++it;
  }
  return true;
}
