#include "framework/Files.h"

#include <atomic>
#include <cstdio>
#include <random>

namespace Fs {

std::string TemporaryNameBeside(const std::string &path) {
  // A token drawn once per process and a counter: two programs, or two threads, editing the same
  // file never share a temporary, so neither can rename the other's half-written copy into place.
  static const unsigned long long processToken = [] {
    std::random_device device;
    return (static_cast<unsigned long long>(device()) << 32) ^ device();
  }();
  static std::atomic<unsigned> counter{0};
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, ".%012llx%04x.zeltmp", processToken & 0xFFFFFFFFFFFFull,
                counter.fetch_add(1) & 0xFFFFu);
  return path + suffix;
}

} // namespace Fs
