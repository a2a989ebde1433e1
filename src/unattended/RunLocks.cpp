#include "unattended/RunLocks.h"

#include "framework/Files.h"
#include "framework/Text.h"

#include <cstdint>
#include <cstdio>

namespace {

// A mutex name takes no "\" and at most MAX_PATH characters: a hash stands for the text.
std::string LockName(const char *kind, const std::string &text) {
  std::uint64_t hash = 14695981039346656037ull; // FNV-1a
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  char name[64];
  std::snprintf(name, sizeof name, "ZelRecompile.%s.%016llx", kind, static_cast<unsigned long long>(hash));
  return name;
}

} // namespace

std::string DestinationLockName(const std::string &destination) {
  return LockName("Destination", Fs::ComparablePath(destination));
}

std::string InstallLockName(const std::string &environmentKey, const std::string &rootFolder) {
  std::string key = UpperCase(environmentKey);
  while (!key.empty() && key.front() == '\\')
    key.erase(0, 1);
  return LockName("Install", key + "|" + Fs::ComparablePath(rootFolder));
}
