#include "Resources.h"

#include "LittleEndian.h"
#include "StandInError.h"
#include "StandInFiles.h"

#include <array>

namespace StandIn {

namespace {

// Windows-1252 characters 0x80 to 0x9F; the five it leaves undefined map to themselves.
constexpr std::array<std::uint16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void Align(std::string &out, std::size_t alignment) {
  while (out.size() % alignment != 0) {
    out += '\0';
  }
}

// A type or name field of a resource entry header: 0xFFFF and a number, or a zero-ended UTF-16
// text. Advances at past the field.
TResourceId ReadId(const std::string &bytes, std::size_t &at, std::size_t end, const std::string &fileName) {
  if (at + 2 > end) {
    throw EStandInError("Fatal: Corrupt resource file '" + fileName + "'");
  }
  if (Word(bytes, at) == 0xFFFF) {
    if (at + 4 > end) {
      throw EStandInError("Fatal: Corrupt resource file '" + fileName + "'");
    }
    TResourceId id = TResourceId::Number(Word(bytes, at + 2));
    at += 4;
    return id;
  }
  std::string utf16;
  while (true) {
    if (at + 2 > end) {
      throw EStandInError("Fatal: Corrupt resource file '" + fileName + "'");
    }
    std::uint16_t c = Word(bytes, at);
    at += 2;
    if (c == 0) {
      break;
    }
    PutWord(utf16, c);
  }
  return TResourceId::Text(AnsiFromUtf16(utf16));
}

// The empty entry that opens every 32-bit resource file and tells it apart from the 16-bit format.
std::string EmptyEntry() {
  std::string entry(32, '\0');
  entry[4] = 0x20;
  entry[8] = entry[9] = entry[12] = entry[13] = static_cast<char>(0xFF);
  return entry;
}

void WriteId(std::string &out, const TResourceId &id) {
  if (!id.IsName) {
    PutWord(out, 0xFFFF);
    PutWord(out, id.Id);
    return;
  }
  out += Utf16FromAnsi(id.Name);
  PutWord(out, 0);
}

} // namespace

TResourceId TResourceId::Text(const std::string &name) {
  return TResourceId{true, 0, UpperCase(name)};
}

bool TResourceId::operator==(const TResourceId &other) const {
  return IsName == other.IsName && (IsName ? SameText(Name, other.Name) : Id == other.Id);
}

std::vector<TResource> ReadResFile(const std::string &bytes, const std::string &fileName) {
  if (bytes.size() < 32 || bytes.compare(0, 16, EmptyEntry(), 0, 16) != 0) {
    throw EStandInError("Fatal: '" + fileName + "' is not a 32-bit resource file");
  }
  std::vector<TResource> resources;
  std::size_t at = 0;
  while (at + 8 <= bytes.size()) {
    std::uint32_t dataSize = DWord(bytes, at);
    std::uint32_t headerSize = DWord(bytes, at + 4);
    std::size_t headerEnd = at + headerSize;
    if (headerSize < 16 || headerEnd > bytes.size() || dataSize > bytes.size() - headerEnd) {
      throw EStandInError("Fatal: Corrupt resource file '" + fileName + "'");
    }
    std::size_t field = at + 8;
    TResource resource;
    resource.Type = ReadId(bytes, field, headerEnd, fileName);
    resource.Name = ReadId(bytes, field, headerEnd, fileName);
    field = (field + 3) & ~std::size_t(3);
    if (field + 16 > headerEnd) {
      throw EStandInError("Fatal: Corrupt resource file '" + fileName + "'");
    }
    resource.Language = Word(bytes, field + 6);
    resource.Data = bytes.substr(headerEnd, dataSize);
    bool isEmptyEntry = !resource.Type.IsName && resource.Type.Id == 0;
    if (!isEmptyEntry) {
      resources.push_back(std::move(resource));
    }
    at = (headerEnd + dataSize + 3) & ~std::size_t(3);
  }
  return resources;
}

std::string WriteResFile(const std::vector<TResource> &resources) {
  std::string out = EmptyEntry();
  for (const TResource &resource : resources) {
    std::string header;
    WriteId(header, resource.Type);
    WriteId(header, resource.Name);
    Align(header, 4);
    PutDWord(header, 0);                // data version
    PutWord(header, 0x1030);            // memory flags: moveable, pure, discardable
    PutWord(header, resource.Language); // language
    PutDWord(header, 0);                // version
    PutDWord(header, 0);                // characteristics
    PutDWord(out, static_cast<std::uint32_t>(resource.Data.size()));
    PutDWord(out, static_cast<std::uint32_t>(8 + header.size()));
    out += header;
    out += resource.Data;
    Align(out, 4);
  }
  return out;
}

std::string Utf16FromAnsi(const std::string &text) {
  std::string out;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    std::uint16_t code = byte >= 0x80 && byte <= 0x9F ? Cp1252High[byte - 0x80] : byte;
    PutWord(out, code);
  }
  return out;
}

std::string AnsiFromUtf16(const std::string &bytes) {
  std::string out;
  for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
    std::uint16_t code = Word(bytes, at);
    if (code == 0) {
      break;
    }
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
      out += static_cast<char>(code);
      continue;
    }
    char mapped = '?';
    for (std::size_t i = 0; i < Cp1252High.size(); ++i) {
      if (Cp1252High[i] == code) {
        mapped = static_cast<char>(0x80 + i);
        break;
      }
    }
    out += mapped;
  }
  return out;
}

} // namespace StandIn
