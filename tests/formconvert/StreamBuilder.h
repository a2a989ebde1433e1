// Builds binary component streams byte by byte, for the value types and corner cases that no text
// form converter on this machine writes (single, currency and date values, UTF-8 strings, ordered
// collection items, corrupted lengths).
#pragma once
#include <cstdint>
#include <cstring>
#include <string>

class TStreamBuilder {
public:
  enum : std::uint8_t {
    vaNull,
    vaList,
    vaInt8,
    vaInt16,
    vaInt32,
    vaExtended,
    vaString,
    vaIdent,
    vaFalse,
    vaTrue,
    vaBinary,
    vaSet,
    vaLString,
    vaNil,
    vaCollection,
    vaSingle,
    vaCurrency,
    vaDate,
    vaWString,
    vaInt64,
    vaUTF8String,
  };
  enum : std::uint8_t { FlagInherited = 1, FlagChildPos = 2, FlagInline = 4 };

  TStreamBuilder &Signature() { return Raw("TPF0"); }
  TStreamBuilder &Raw(const std::string &bytes) {
    bytes_ += bytes;
    return *this;
  }
  TStreamBuilder &Byte(std::uint8_t value) {
    bytes_ += char(value);
    return *this;
  }
  TStreamBuilder &Little(std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
      Byte(std::uint8_t(value >> (8 * i)));
    return *this;
  }
  // A length byte and the characters, as names and identifiers are stored.
  TStreamBuilder &ShortString(const std::string &text) { return Byte(std::uint8_t(text.size())).Raw(text); }
  TStreamBuilder &End() { return Byte(vaNull); }

  TStreamBuilder &Object(const std::string &className, const std::string &name) {
    return ShortString(className).ShortString(name);
  }
  TStreamBuilder &Object(const std::string &className, const std::string &name, std::uint8_t flags,
                         std::int32_t position = 0) {
    Byte(std::uint8_t(0xF0 | flags));
    if (flags & FlagChildPos)
      Int(position);
    return Object(className, name);
  }
  TStreamBuilder &Property(const std::string &name) { return ShortString(name); }

  // The smallest integer type that holds the value, as the IDE writes it.
  TStreamBuilder &Int(std::int64_t value) {
    if (value >= -128 && value <= 127)
      return Byte(vaInt8).Little(std::uint64_t(value), 1);
    if (value >= -32768 && value <= 32767)
      return Byte(vaInt16).Little(std::uint64_t(value), 2);
    if (value >= INT32_MIN && value <= INT32_MAX)
      return Byte(vaInt32).Little(std::uint64_t(value), 4);
    return Byte(vaInt64).Little(std::uint64_t(value), 8);
  }
  TStreamBuilder &Extended(std::uint64_t mantissa, std::uint16_t signExponent) {
    return Byte(vaExtended).Little(mantissa, 8).Little(signExponent, 2);
  }
  // Every double is exact as an extended.
  TStreamBuilder &Extended(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, 8);
    std::uint16_t sign = std::uint16_t((bits >> 63) << 15);
    int exponent = int((bits >> 52) & 0x7FF);
    std::uint64_t fraction = bits & 0xFFFFFFFFFFFFFull;
    if (exponent == 0 && fraction == 0)
      return Extended(0, sign);
    return Extended((std::uint64_t(1) << 63) | (fraction << 11),
                    std::uint16_t(sign | (exponent - 1023 + 16383)));
  }
  TStreamBuilder &Single(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return Byte(vaSingle).Little(bits, 4);
  }
  TStreamBuilder &Currency(std::int64_t scaled) { return Byte(vaCurrency).Little(std::uint64_t(scaled), 8); }
  TStreamBuilder &Date(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, 8);
    return Byte(vaDate).Little(bits, 8);
  }
  TStreamBuilder &String(const std::string &text) {
    if (text.size() <= 255)
      return Byte(vaString).ShortString(text);
    return Byte(vaLString).Little(text.size(), 4).Raw(text);
  }
  TStreamBuilder &WString(const std::u16string &text) {
    Byte(vaWString).Little(text.size(), 4);
    for (char16_t unit : text)
      Little(unit, 2);
    return *this;
  }
  TStreamBuilder &Utf8String(const std::string &bytes) {
    return Byte(vaUTF8String).Little(bytes.size(), 4).Raw(bytes);
  }
  TStreamBuilder &Ident(const std::string &name) { return Byte(vaIdent).ShortString(name); }
  TStreamBuilder &Binary(const std::string &bytes) {
    return Byte(vaBinary).Little(bytes.size(), 4).Raw(bytes);
  }

  const std::string &Bytes() const { return bytes_; }

  // The stream behind a resource header, as the IDE stores a form file.
  std::string Resource(const std::string &name = "TFORM1") const {
    std::string header = "\xFF\x0A";
    header += '\0';
    header += name;
    header += '\0';
    header += "\x30\x10";
    for (int i = 0; i < 4; ++i)
      header += char((bytes_.size() >> (8 * i)) & 0xFF);
    return header + bytes_;
  }

private:
  std::string bytes_;
};
