// What the fuzz targets share: the check of a rule, the parts of an input, and a folder of their
// own for the targets that edit real files. Each target is also built into its subsystem's tests
// (ZEL_FUZZ_REPLAY, with its entry point renamed), which replay the kept inputs of fuzz/corpus.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A broken rule. The fuzzer stops at once (libFuzzer keeps the input as crash-*); a replaying test
// gets an exception whose text names the rule.
[[noreturn]] inline void FuzzRuleBroken(const char *rule, const char *file, int line) {
  std::string message = std::string(file) + ":" + std::to_string(line) + ": rule broken: " + rule;
#ifdef ZEL_FUZZ_REPLAY
  throw std::logic_error(message);
#else
  std::fprintf(stderr, "%s\n", message.c_str());
  std::abort();
#endif
}
#define FUZZ_CHECK(rule) ((rule) ? void() : FuzzRuleBroken(#rule, __FILE__, __LINE__))

// An input cut into parts at each byte 0x1E (the ASCII record separator, which none of the texts
// fuzzed here gives a meaning), so that the seeds stay readable text. Parts past the end are empty.
class TFuzzParts {
public:
  static constexpr char Separator = '\x1e';
  TFuzzParts(const std::uint8_t *data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char *>(data), size);
    for (std::size_t start = 0;;) {
      std::size_t end = bytes.find(Separator, start);
      parts_.emplace_back(
          bytes.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
      if (end == std::string_view::npos)
        break;
      start = end + 1;
    }
  }
  std::size_t Count() const { return parts_.size(); }
  const std::string &operator[](std::size_t index) const {
    static const std::string none;
    return index < parts_.size() ? parts_[index] : none;
  }

private:
  std::vector<std::string> parts_;
};

// The ASCII upper case of one byte, written apart from the product's UpperCase on purpose.
inline char FuzzUpper(char c) {
  return c >= 'a' && c <= 'z' ? char(c - 32) : c;
}

// Whether text holds part, ignoring the case of ASCII letters.
inline bool FuzzContainsIgnoringCase(std::string_view text, std::string_view part) {
  if (part.size() > text.size())
    return false;
  for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
    std::size_t i = 0;
    while (i < part.size() && FuzzUpper(text[at + i]) == FuzzUpper(part[i]))
      ++i;
    if (i == part.size())
      return true;
  }
  return false;
}

inline bool FuzzSameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && FuzzContainsIgnoringCase(a, b);
}

// A fresh folder below the system's temporary folder, removed with what it holds when it goes
// (a target keeps one for its whole run).
class TFuzzFolder {
public:
  TFuzzFolder() {
    std::random_device random;
    do
      path_ = std::filesystem::temp_directory_path() / ("zelfuzz-" + std::to_string(random()));
    while (!std::filesystem::create_directory(path_));
  }
  ~TFuzzFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TFuzzFolder(const TFuzzFolder &) = delete;
  TFuzzFolder &operator=(const TFuzzFolder &) = delete;
  std::string Path() const { return path_.string(); }

private:
  std::filesystem::path path_;
};
