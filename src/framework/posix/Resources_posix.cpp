// A reader of the resource directory of a PE file, for the native build: what LoadLibraryEx with
// LOAD_LIBRARY_AS_DATAFILE and FindResource give on Windows. Every offset is checked against the
// file, so a damaged package is an error, never a crash.
#include "framework/Files.h"
#include "framework/Resources.h"

#include <cstring>

namespace {

class TImage {
public:
  explicit TImage(const std::string &bytes) : bytes_(bytes) {}

  bool Read16(std::size_t offset, std::uint32_t &value) const {
    if (offset + 2 > bytes_.size())
      return false;
    value = Byte(offset) | Byte(offset + 1) << 8;
    return true;
  }
  bool Read32(std::size_t offset, std::uint32_t &value) const {
    if (offset + 4 > bytes_.size())
      return false;
    value = Byte(offset) | Byte(offset + 1) << 8 | Byte(offset + 2) << 16 | std::uint32_t(Byte(offset + 3)) << 24;
    return true;
  }
  bool Slice(std::size_t offset, std::size_t size, std::string &out) const {
    if (offset > bytes_.size() || size > bytes_.size() - offset)
      return false;
    out = bytes_.substr(offset, size);
    return true;
  }

private:
  std::uint32_t Byte(std::size_t offset) const { return static_cast<unsigned char>(bytes_[offset]); }
  const std::string &bytes_;
};

struct TSection {
  std::uint32_t VirtualAddress, VirtualSize, RawSize, RawOffset;
};

class TPeResources {
public:
  explicit TPeResources(const std::string &bytes) : image_(bytes) {}

  // Finds the sections and the resource directory; false when this is no PE module.
  bool Open() {
    std::uint32_t peOffset, signature, sectionCount, optionalSize, magic;
    if (!image_.Read16(0, signature) || signature != 0x5A4D || !image_.Read32(0x3C, peOffset) ||
        !image_.Read32(peOffset, signature) || signature != 0x00004550 ||
        !image_.Read16(peOffset + 6, sectionCount) || !image_.Read16(peOffset + 20, optionalSize))
      return false;
    std::size_t optional = peOffset + 24;
    if (!image_.Read16(optional, magic) || (magic != 0x10B && magic != 0x20B))
      return false;
    std::size_t directories = optional + (magic == 0x10B ? 96 : 112);
    std::uint32_t directoryCount;
    if (!image_.Read32(directories - 4, directoryCount))
      return false;
    if (directoryCount > 2 && !image_.Read32(directories + 2 * 8, resourceRva_))
      return false;
    std::size_t table = optional + optionalSize;
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
      TSection s;
      std::size_t at = table + i * 40;
      if (!image_.Read32(at + 8, s.VirtualSize) || !image_.Read32(at + 12, s.VirtualAddress) ||
          !image_.Read32(at + 16, s.RawSize) || !image_.Read32(at + 20, s.RawOffset))
        return false;
      sections_[i < 96 ? i : 95] = s;
      sectionCount_ = i < 96 ? i + 1 : 96;
    }
    return true;
  }

  // The data of resource type/name (first language), or nothing.
  std::optional<std::string> Find(std::uint32_t type, const std::string &name) const {
    std::size_t root;
    if (!resourceRva_ || !FileOffset(resourceRva_, root))
      return std::nullopt;
    std::uint32_t typeEntry, nameEntry, languageEntry;
    if (!FindEntry(root, root, &type, nullptr, typeEntry) || !(typeEntry & 0x80000000u))
      return std::nullopt;
    if (!FindEntry(root, root + (typeEntry & 0x7FFFFFFFu), nullptr, &name, nameEntry) ||
        !(nameEntry & 0x80000000u))
      return std::nullopt;
    if (!FirstEntry(root + (nameEntry & 0x7FFFFFFFu), languageEntry) || (languageEntry & 0x80000000u))
      return std::nullopt;
    std::uint32_t dataRva, size;
    std::size_t dataOffset, entry = root + languageEntry;
    std::string data;
    if (!image_.Read32(entry, dataRva) || !image_.Read32(entry + 4, size) || !FileOffset(dataRva, dataOffset) ||
        !image_.Slice(dataOffset, size, data))
      return std::nullopt;
    return data;
  }

private:
  bool FileOffset(std::uint32_t rva, std::size_t &offset) const {
    for (std::size_t i = 0; i < sectionCount_; ++i) {
      const TSection &s = sections_[i];
      std::uint32_t extent = s.VirtualSize ? s.VirtualSize : s.RawSize;
      if (rva >= s.VirtualAddress && rva - s.VirtualAddress < extent && rva - s.VirtualAddress < s.RawSize) {
        offset = s.RawOffset + (rva - s.VirtualAddress);
        return true;
      }
    }
    return false;
  }

  static char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }

  bool NameMatches(std::size_t root, std::uint32_t nameOffset, const std::string &wanted) const {
    std::uint32_t length, unit;
    std::size_t at = root + nameOffset;
    if (!image_.Read16(at, length) || length != wanted.size())
      return false;
    for (std::size_t i = 0; i < length; ++i)
      if (!image_.Read16(at + 2 + 2 * i, unit) || unit > 127 || Upper(char(unit)) != Upper(wanted[i]))
        return false;
    return true;
  }

  bool FindEntry(std::size_t root, std::size_t directory, const std::uint32_t *id, const std::string *name,
                 std::uint32_t &target) const {
    std::uint32_t named, ids;
    if (!image_.Read16(directory + 12, named) || !image_.Read16(directory + 14, ids))
      return false;
    for (std::uint32_t i = 0; i < named + ids; ++i) {
      std::uint32_t entryName, entryTarget;
      std::size_t entry = directory + 16 + 8 * std::size_t(i);
      if (!image_.Read32(entry, entryName) || !image_.Read32(entry + 4, entryTarget))
        return false;
      bool isNamed = entryName & 0x80000000u;
      if ((id && !isNamed && entryName == *id) ||
          (name && isNamed && NameMatches(root, entryName & 0x7FFFFFFFu, *name))) {
        target = entryTarget;
        return true;
      }
    }
    return false;
  }

  bool FirstEntry(std::size_t directory, std::uint32_t &target) const {
    std::uint32_t named, ids;
    if (!image_.Read16(directory + 12, named) || !image_.Read16(directory + 14, ids) || named + ids == 0)
      return false;
    return image_.Read32(directory + 16 + 4, target);
  }

  TImage image_;
  TSection sections_[96] = {};
  std::size_t sectionCount_ = 0;
  std::uint32_t resourceRva_ = 0;
};

} // namespace

bool LoadDataResource(const std::string &modulePath, const std::string &name, std::optional<std::string> &bytes,
                      std::uint32_t &errorCode) {
  bytes.reset();
  auto file = Fs::ReadWholeFile(modulePath);
  if (!file) {
    errorCode = Fs::LastErrorCode();
    return false;
  }
  TPeResources resources(*file);
  if (!resources.Open()) {
    errorCode = Fs::ErrorBadExeFormat;
    return false;
  }
  bytes = resources.Find(10, name); // RT_RCDATA
  return true;
}

std::string AnsiFromUtf16(const std::string &utf16Bytes) {
  std::string text;
  for (std::size_t i = 0; i + 1 < utf16Bytes.size(); i += 2) {
    unsigned unit = static_cast<unsigned char>(utf16Bytes[i]) | static_cast<unsigned char>(utf16Bytes[i + 1]) << 8;
    text += unit < 256 ? char(unit) : '?'; // the Western code page for what the packages hold
  }
  return text;
}
