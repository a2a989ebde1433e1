#include "PeImage.h"

#include "LittleEndian.h"
#include "StandInError.h"
#include "StandInFiles.h"

#include <algorithm>
#include <cstdint>
#include <map>

namespace StandIn {

namespace {

constexpr std::uint32_t FileAlignment = 0x200;
constexpr std::uint32_t SectionAlignment = 0x1000;
constexpr std::uint32_t PeHeaderOffset = 0x80;
constexpr std::uint32_t ImageBase = 0x00400000;
// The date the Borland linkers have always stamped into their images.
constexpr std::uint32_t BorlandTimeStamp = 0x2A425E19;
constexpr std::uint32_t SectionCount = 3;

std::uint32_t AlignUp(std::uint32_t value, std::uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

// Resource directories order named entries before numbered ones, names by their upper-case text,
// numbers ascending, as the loader's binary search expects.
struct TIdOrder {
  bool operator()(const TResourceId &a, const TResourceId &b) const {
    if (a.IsName != b.IsName) {
      return a.IsName;
    }
    return a.IsName ? UpperCase(a.Name) < UpperCase(b.Name) : a.Id < b.Id;
  }
};

using TLanguages = std::map<std::uint16_t, const std::string *>;
using TNames = std::map<TResourceId, TLanguages, TIdOrder>;
using TTypes = std::map<TResourceId, TNames, TIdOrder>;

// The resource section: directory tables, then the name texts, then the data entries, then the
// data, with offsets relative to the section and data addresses relative to the image.
std::string BuildResourceSection(const std::vector<TResource> &resources, std::uint32_t sectionRva) {
  TTypes types;
  for (const TResource &resource : resources) {
    // The first resource of a type, name and language wins, as with the linker's duplicates.
    types[resource.Type][resource.Name].emplace(resource.Language, &resource.Data);
  }
  auto tableSize = [](std::size_t entries) { return static_cast<std::uint32_t>(16 + 8 * entries); };

  std::uint32_t offset = tableSize(types.size());
  std::map<const TNames *, std::uint32_t> nameTables;
  for (const auto &[type, names] : types) {
    nameTables[&names] = offset;
    offset += tableSize(names.size());
  }
  std::map<const TLanguages *, std::uint32_t> languageTables;
  std::size_t dataCount = 0;
  for (const auto &[type, names] : types) {
    for (const auto &[name, languages] : names) {
      languageTables[&languages] = offset;
      offset += tableSize(languages.size());
      dataCount += languages.size();
    }
  }
  std::map<std::string, std::uint32_t> stringOffsets;
  std::string strings;
  auto addString = [&](const TResourceId &id) {
    if (id.IsName && !stringOffsets.count(id.Name)) {
      stringOffsets[id.Name] = offset + static_cast<std::uint32_t>(strings.size());
      PutWord(strings, static_cast<std::uint16_t>(id.Name.size()));
      strings += Utf16FromAnsi(id.Name);
    }
  };
  for (const auto &[type, names] : types) {
    addString(type);
    for (const auto &[name, languages] : names) {
      addString(name);
    }
  }
  offset = AlignUp(offset + static_cast<std::uint32_t>(strings.size()), 4);
  std::uint32_t dataEntries = offset;
  offset += static_cast<std::uint32_t>(16 * dataCount);

  std::string section;
  auto putTable = [&](std::size_t named, std::size_t numbered) {
    PutDWord(section, 0);
    PutDWord(section, 0);
    PutWord(section, 4);
    PutWord(section, 0);
    PutWord(section, static_cast<std::uint16_t>(named));
    PutWord(section, static_cast<std::uint16_t>(numbered));
  };
  auto putEntry = [&](const TResourceId &id, std::uint32_t target, bool isTable) {
    PutDWord(section, id.IsName ? (0x80000000u | stringOffsets[id.Name]) : id.Id);
    PutDWord(section, isTable ? (0x80000000u | target) : target);
  };
  auto countNamed = [](const auto &map) {
    return static_cast<std::size_t>(
        std::count_if(map.begin(), map.end(), [](const auto &entry) { return entry.first.IsName; }));
  };

  putTable(countNamed(types), types.size() - countNamed(types));
  for (const auto &[type, names] : types) {
    putEntry(type, nameTables[&names], true);
  }
  for (const auto &[type, names] : types) {
    putTable(countNamed(names), names.size() - countNamed(names));
    for (const auto &[name, languages] : names) {
      putEntry(name, languageTables[&languages], true);
    }
  }
  std::uint32_t nextDataEntry = dataEntries;
  std::vector<const std::string *> dataOrder;
  for (const auto &[type, names] : types) {
    for (const auto &[name, languages] : names) {
      putTable(0, languages.size());
      for (const auto &[language, data] : languages) {
        putEntry(TResourceId::Number(language), nextDataEntry, false);
        nextDataEntry += 16;
        dataOrder.push_back(data);
      }
    }
  }
  section += strings;
  section.resize(dataEntries, '\0');
  std::uint32_t dataOffset = AlignUp(offset, 8);
  for (const std::string *data : dataOrder) {
    PutDWord(section, sectionRva + dataOffset);
    PutDWord(section, static_cast<std::uint32_t>(data->size()));
    PutDWord(section, 0); // code page
    PutDWord(section, 0);
    dataOffset = AlignUp(dataOffset + static_cast<std::uint32_t>(data->size()), 8);
  }
  for (const std::string *data : dataOrder) {
    section.resize(AlignUp(static_cast<std::uint32_t>(section.size()), 8), '\0');
    section += *data;
  }
  return section;
}

struct TSection {
  const char *Name;
  std::string Data;
  std::uint32_t Characteristics;
  std::uint32_t Rva = 0;
  std::uint32_t FileOffset = 0;
};

} // namespace

std::string BuildPeImage(TImageKind kind, const std::vector<TResource> &resources) {
  bool isDll = kind == TImageKind::Dll;
  // DllMain returns TRUE (mov eax, 1; ret 12); a program's entry returns exit code 0.
  std::string code =
      isDll ? std::string("\xB8\x01\x00\x00\x00\xC2\x0C\x00", 8) : std::string("\x33\xC0\xC3", 3);
  std::uint32_t headersSize = AlignUp(PeHeaderOffset + 4 + 20 + 224 + 40 * SectionCount, FileAlignment);

  TSection sections[SectionCount] = {{".text", code, 0x60000020},
                                     {".rsrc", std::string(), 0x40000040},
                                     {".reloc", std::string(), 0x42000040}};
  std::uint32_t rva = SectionAlignment;
  std::uint32_t fileOffset = headersSize;
  for (TSection &section : sections) {
    section.Rva = rva;
    if (std::string(section.Name) == ".rsrc") {
      section.Data = BuildResourceSection(resources, rva);
    } else if (std::string(section.Name) == ".reloc") {
      // One block for the code page with two padding entries: the image carries a relocation
      // directory, so the loader may place it anywhere, and nothing in it needs fixing.
      PutDWord(section.Data, sections[0].Rva);
      PutDWord(section.Data, 12);
      PutWord(section.Data, 0);
      PutWord(section.Data, 0);
    }
    section.FileOffset = fileOffset;
    std::uint32_t size = std::max<std::uint32_t>(static_cast<std::uint32_t>(section.Data.size()), 1);
    rva += AlignUp(size, SectionAlignment);
    fileOffset += AlignUp(size, FileAlignment);
  }
  std::uint32_t imageSize = rva;

  std::string image(headersSize, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  SetDWord(image, 0x3C, PeHeaderOffset);
  std::string headers = "PE";
  headers += std::string(2, '\0');
  PutWord(headers, 0x014C); // i386
  PutWord(headers, SectionCount);
  PutDWord(headers, BorlandTimeStamp);
  PutDWord(headers, 0);
  PutDWord(headers, 0);
  PutWord(headers, 224);
  // Executable, line numbers and local symbols stripped, 32-bit; and a DLL when it is one.
  PutWord(headers, static_cast<std::uint16_t>(0x010E | (isDll ? 0x2000 : 0)));

  const TSection &text = sections[0];
  const TSection &rsrc = sections[1];
  const TSection &reloc = sections[2];
  PutWord(headers, 0x010B); // PE32
  headers += '\x02';        // linker version 2.25
  headers += '\x19';
  PutDWord(headers, AlignUp(static_cast<std::uint32_t>(text.Data.size()), FileAlignment));
  PutDWord(headers, AlignUp(static_cast<std::uint32_t>(rsrc.Data.size() + reloc.Data.size()), FileAlignment));
  PutDWord(headers, 0);
  PutDWord(headers, text.Rva); // entry point
  PutDWord(headers, text.Rva); // base of code
  PutDWord(headers, rsrc.Rva); // base of data
  PutDWord(headers, ImageBase);
  PutDWord(headers, SectionAlignment);
  PutDWord(headers, FileAlignment);
  PutWord(headers, 4); // operating system 4.0
  PutWord(headers, 0);
  PutWord(headers, 0); // image version
  PutWord(headers, 0);
  PutWord(headers, 4); // subsystem 4.0
  PutWord(headers, 0);
  PutDWord(headers, 0);
  PutDWord(headers, imageSize);
  PutDWord(headers, headersSize);
  PutDWord(headers, 0);                                        // checksum
  PutWord(headers, static_cast<std::uint16_t>(isDll ? 2 : 3)); // GUI for packages, console for programs
  PutWord(headers, 0);
  PutDWord(headers, 0x100000); // stack reserve and commit
  PutDWord(headers, 0x4000);
  PutDWord(headers, 0x100000); // heap reserve and commit
  PutDWord(headers, 0x1000);
  PutDWord(headers, 0);
  PutDWord(headers, 16);
  for (int directory = 0; directory < 16; ++directory) {
    if (directory == 2) {
      PutDWord(headers, rsrc.Rva);
      PutDWord(headers, static_cast<std::uint32_t>(rsrc.Data.size()));
    } else if (directory == 5) {
      PutDWord(headers, reloc.Rva);
      PutDWord(headers, static_cast<std::uint32_t>(reloc.Data.size()));
    } else {
      PutDWord(headers, 0);
      PutDWord(headers, 0);
    }
  }
  for (const TSection &section : sections) {
    std::string name(section.Name);
    name.resize(8, '\0');
    headers += name;
    PutDWord(headers, std::max<std::uint32_t>(static_cast<std::uint32_t>(section.Data.size()), 1));
    PutDWord(headers, section.Rva);
    PutDWord(headers, AlignUp(std::max<std::uint32_t>(static_cast<std::uint32_t>(section.Data.size()), 1),
                              FileAlignment));
    PutDWord(headers, section.FileOffset);
    PutDWord(headers, 0);
    PutDWord(headers, 0);
    PutWord(headers, 0);
    PutWord(headers, 0);
    PutDWord(headers, section.Characteristics);
  }
  image.replace(PeHeaderOffset, headers.size(), headers);
  for (const TSection &section : sections) {
    image.resize(section.FileOffset, '\0');
    image += section.Data;
    image.resize(AlignUp(static_cast<std::uint32_t>(image.size()), FileAlignment), '\0');
  }
  return image;
}

namespace {

// Bounds-checked reading of an image that may be damaged or not an image at all.
class TImageReader {
public:
  explicit TImageReader(const std::string &image) : image_(image) {}

  bool Has(std::size_t at, std::size_t count) const {
    return at <= image_.size() && count <= image_.size() - at;
  }
  std::uint16_t Word(std::size_t at) const {
    Require(at, 2);
    return StandIn::Word(image_, at);
  }
  std::uint32_t DWord(std::size_t at) const {
    Require(at, 4);
    return StandIn::DWord(image_, at);
  }
  std::string Bytes(std::size_t at, std::size_t count) const {
    Require(at, count);
    return image_.substr(at, count);
  }
  void Require(std::size_t at, std::size_t count) const {
    if (!Has(at, count)) {
      throw EStandInError("Fatal: Damaged image: data beyond the end of the file");
    }
  }

private:
  const std::string &image_;
};

struct TSectionMap {
  std::uint32_t Rva;
  std::uint32_t Size;
  std::uint32_t FileOffset;
};

struct TLoadedImage {
  std::vector<TSectionMap> Sections;
  std::uint32_t ResourceRva = 0;
  std::uint32_t ResourceSize = 0;
};

std::optional<TLoadedImage> LoadHeaders(const TImageReader &reader) {
  if (!reader.Has(0, 0x40) || reader.Word(0) != 0x5A4D) {
    return std::nullopt;
  }
  std::uint32_t pe = reader.DWord(0x3C);
  if (!reader.Has(pe, 24) || reader.DWord(pe) != 0x00004550 || reader.Word(pe + 4) != 0x014C) {
    return std::nullopt;
  }
  std::uint16_t sectionCount = reader.Word(pe + 6);
  std::uint16_t optionalSize = reader.Word(pe + 20);
  std::size_t optional = pe + 24;
  if (optionalSize < 96 + 8 * 3 || !reader.Has(optional, optionalSize) || reader.Word(optional) != 0x010B) {
    return std::nullopt;
  }
  TLoadedImage loaded;
  if (reader.DWord(optional + 92) > 2) {
    loaded.ResourceRva = reader.DWord(optional + 96 + 16);
    loaded.ResourceSize = reader.DWord(optional + 96 + 20);
  }
  std::size_t table = optional + optionalSize;
  if (!reader.Has(table, 40 * static_cast<std::size_t>(sectionCount))) {
    return std::nullopt;
  }
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    std::size_t at = table + 40 * i;
    std::uint32_t virtualSize = reader.DWord(at + 8);
    std::uint32_t rawSize = reader.DWord(at + 16);
    loaded.Sections.push_back({reader.DWord(at + 12), std::min(virtualSize ? virtualSize : rawSize, rawSize),
                               reader.DWord(at + 20)});
  }
  return loaded;
}

std::size_t FileOffsetOf(const TLoadedImage &loaded, std::uint32_t rva, std::uint32_t size) {
  for (const TSectionMap &section : loaded.Sections) {
    if (rva >= section.Rva && rva - section.Rva <= section.Size &&
        size <= section.Size - (rva - section.Rva)) {
      return section.FileOffset + (rva - section.Rva);
    }
  }
  throw EStandInError("Fatal: Damaged image: resource data outside every section");
}

class TResourceWalker {
public:
  TResourceWalker(const TImageReader &reader, const TLoadedImage &loaded)
      : reader_(reader), loaded_(loaded), base_(FileOffsetOf(loaded, loaded.ResourceRva, 16)) {}

  void Walk(std::vector<TResource> &resources) {
    ForEachEntry(0, [&](const TResourceId &type, std::uint32_t typeTarget) {
      ForEachEntry(Table(typeTarget), [&](const TResourceId &name, std::uint32_t nameTarget) {
        ForEachEntry(Table(nameTarget), [&](const TResourceId &language, std::uint32_t dataEntry) {
          if (dataEntry & 0x80000000u) {
            throw EStandInError("Fatal: Damaged image: resource directory nested too deep");
          }
          std::size_t entry = base_ + dataEntry;
          std::uint32_t rva = reader_.DWord(entry);
          std::uint32_t size = reader_.DWord(entry + 4);
          resources.push_back(
              {type, name, language.Id, reader_.Bytes(FileOffsetOf(loaded_, rva, size), size)});
        });
      });
    });
  }

private:
  std::uint32_t Table(std::uint32_t target) const {
    if (!(target & 0x80000000u)) {
      throw EStandInError("Fatal: Damaged image: resource data where a directory belongs");
    }
    return target & 0x7FFFFFFFu;
  }

  template <typename TVisit> void ForEachEntry(std::uint32_t tableOffset, TVisit visit) {
    if (tableOffset >= loaded_.ResourceSize || ++tablesVisited_ > 4096) {
      throw EStandInError("Fatal: Damaged image: resource directory out of bounds");
    }
    std::size_t table = base_ + tableOffset;
    std::size_t count = static_cast<std::size_t>(reader_.Word(table + 12)) + reader_.Word(table + 14);
    for (std::size_t i = 0; i < count; ++i) {
      std::size_t entry = table + 16 + 8 * i;
      std::uint32_t id = reader_.DWord(entry);
      std::uint32_t target = reader_.DWord(entry + 4);
      visit(IdOf(id), target);
    }
  }

  TResourceId IdOf(std::uint32_t id) const {
    if (!(id & 0x80000000u)) {
      return TResourceId::Number(static_cast<std::uint16_t>(id));
    }
    std::size_t at = base_ + (id & 0x7FFFFFFFu);
    std::uint16_t length = reader_.Word(at);
    return TResourceId::Text(AnsiFromUtf16(reader_.Bytes(at + 2, 2 * static_cast<std::size_t>(length))));
  }

  const TImageReader &reader_;
  const TLoadedImage &loaded_;
  std::size_t base_;
  int tablesVisited_ = 0;
};

} // namespace

bool IsPeImage(const std::string &image) {
  TImageReader reader(image);
  try {
    return LoadHeaders(reader).has_value();
  } catch (const EStandInError &) {
    return false;
  }
}

std::vector<TResource> ReadPeResources(const std::string &image) {
  TImageReader reader(image);
  auto loaded = LoadHeaders(reader);
  if (!loaded) {
    throw EStandInError("Fatal: Not a Win32 image");
  }
  std::vector<TResource> resources;
  if (loaded->ResourceRva == 0 || loaded->ResourceSize == 0) {
    return resources;
  }
  TResourceWalker(reader, *loaded).Walk(resources);
  return resources;
}

std::optional<std::string> FindPeResource(const std::string &image, const TResourceId &type,
                                          const TResourceId &name) {
  for (const TResource &resource : ReadPeResources(image)) {
    if (resource.Type == type && resource.Name == name) {
      return resource.Data;
    }
  }
  return std::nullopt;
}

} // namespace StandIn
