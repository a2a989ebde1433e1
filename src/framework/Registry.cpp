#include "Registry.h"

std::string RootKeyName(TRootKey root) {
  switch (root) {
  case TRootKey::ClassesRoot: return "HKEY_CLASSES_ROOT";
  case TRootKey::CurrentUser: return "HKEY_CURRENT_USER";
  case TRootKey::LocalMachine: return "HKEY_LOCAL_MACHINE";
  }
  return {};
}

std::string TRegistry::Resolve(const std::string &key) const {
  std::string path;
  if (!key.empty() && key[0] == '\\')
    path = key.substr(1);
  else if (!currentPath_.empty())
    path = key.empty() ? currentPath_ : currentPath_ + "\\" + key;
  else
    path = key;
  while (!path.empty() && path.back() == '\\')
    path.pop_back();
  return path;
}
