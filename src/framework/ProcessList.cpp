// The platform-free part of the process list.
#include "ProcessList.h"

namespace {
constexpr std::size_t FirstIdCount = 1024;
} // namespace

bool EnumerateAllProcessIds(const TProcessIdEnumerator &enumerate, std::vector<std::uint32_t> &ids) {
  for (std::size_t room = FirstIdCount;; room *= 2) {
    ids.assign(room, 0);
    std::uint32_t bytes = std::uint32_t(room * sizeof(std::uint32_t)), filled = 0;
    if (!enumerate(ids.data(), bytes, filled)) {
      ids.clear();
      return false;
    }
    if (filled < bytes) {
      ids.resize(filled / sizeof(std::uint32_t));
      return true;
    }
  }
}
