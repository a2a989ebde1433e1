#include "ObjectText.h"
#include "FloatText.h"
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace {

const char *const InvalidStreamFormat = "Invalid stream format";
const char *const StreamReadError = "Stream read error";
const char *const InvalidPropertyValue = "Invalid property value";

// The value types of the Delphi 7 stream format, in their stored order.
enum class TValueType : std::uint8_t {
  Null,
  List,
  Int8,
  Int16,
  Int32,
  Extended,
  String,
  Ident,
  False,
  True,
  Binary,
  Set,
  LString,
  Nil,
  Collection,
  Single,
  Currency,
  Date,
  WString,
  Int64,
  Utf8String,
};

// A name read from the stream, fit for an error message. A corrupted stream can put any bytes
// where a name belongs, and a NUL would end the message there: control characters show as #n, as
// in the text form, and a name longer than any real one is cut after 64 characters.
std::string NameForMessage(std::string_view name) {
  constexpr std::size_t MaxShown = 64;
  std::string text;
  for (std::size_t i = 0; i < name.size() && i < MaxShown; ++i) {
    auto byte = static_cast<unsigned char>(name[i]);
    if (byte < ' ')
      text += '#' + std::to_string(byte);
    else
      text += char(byte);
  }
  if (name.size() > MaxShown)
    text += "...";
  return text;
}

// The filer flags of an object header's prefix byte (its high nibble is all ones).
enum : std::uint8_t { FlagInherited = 1, FlagChildPos = 2, FlagInline = 4 };

// Every read checks the bytes left first, so a truncated or corrupted stream ends in an error and
// a stored length can never make us reserve more memory than the stream itself holds.
class TStreamReader {
public:
  explicit TStreamReader(std::string_view bytes) : bytes_(bytes) {}

  std::uint8_t PeekByte() const {
    Require(1);
    return std::uint8_t(bytes_[position_]);
  }

  std::uint8_t ReadByte() {
    std::uint8_t value = PeekByte();
    ++position_;
    return value;
  }

  std::string_view ReadBytes(std::uint64_t count) {
    Require(count);
    std::string_view bytes = bytes_.substr(position_, std::size_t(count));
    position_ += std::size_t(count);
    return bytes;
  }

  // Little-endian, as the x86 IDE stored it, whatever the byte order of the reading machine.
  std::uint64_t ReadUnsigned(int size) {
    std::string_view bytes = ReadBytes(std::uint64_t(size));
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
      value = (value << 8) | std::uint8_t(bytes[std::size_t(i)]);
    return value;
  }

  std::int32_t ReadInt32() { return std::int32_t(std::uint32_t(ReadUnsigned(4))); }

private:
  void Require(std::uint64_t count) const {
    if (count > bytes_.size() - position_)
      throw EReadError(StreamReadError);
  }

  std::string_view bytes_;
  std::size_t position_ = 0;
};

// The IDE's own UTF-8 decoder: one to three bytes per UTF-16 unit, and any malformed sequence
// makes the whole string empty.
std::u16string Utf8Decode(std::string_view bytes) {
  std::u16string units;
  std::size_t count = 0;
  auto next = [&]() { return std::uint8_t(bytes[count++]); };
  while (count < bytes.size()) {
    std::uint32_t unit = next();
    if (unit & 0x80) {
      if (count >= bytes.size())
        return {};
      unit &= 0x3F;
      if (unit & 0x20) {
        std::uint8_t trail = next();
        if ((trail & 0xC0) != 0x80 || count >= bytes.size())
          return {};
        unit = (unit << 6) | (trail & 0x3F);
      }
      std::uint8_t trail = next();
      if ((trail & 0xC0) != 0x80)
        return {};
      unit = (unit << 6) | (trail & 0x3F);
    }
    units.push_back(char16_t(unit));
  }
  return units;
}

class TObjectTextWriter {
public:
  explicit TObjectTextWriter(std::string_view stream)
      : reader_(stream), textLimit_(TextLimit(stream.size())) {
    text_.reserve(stream.size() * 2);
  }

  std::string Convert() {
    if (reader_.ReadBytes(4) != "TPF0")
      throw EReadError(InvalidStreamFormat);
    ConvertObject();
    return std::move(text_);
  }

private:
  static constexpr std::size_t LineLength = 64;
  static constexpr int BytesPerLine = 32;
  // Real forms come to a few times their stream in text; deep nesting lets one byte of a
  // corrupted stream become a line of 2,000 blanks, so the text is capped well above any form.
  static constexpr std::size_t TextLimitFactor = 16;
  static constexpr std::size_t TextLimitBase = 16 * 1024 * 1024;

  static std::size_t TextLimit(std::size_t streamSize) {
    constexpr std::size_t most = std::numeric_limits<std::size_t>::max();
    return streamSize > (most - TextLimitBase) / TextLimitFactor
               ? most
               : TextLimitFactor * streamSize + TextLimitBase;
  }

  TValueType NextValue() const { return TValueType(reader_.PeekByte()); }
  TValueType ReadValue() { return TValueType(reader_.ReadByte()); }
  bool EndOfList() const { return NextValue() == TValueType::Null; }
  void ReadListEnd() { reader_.ReadByte(); }
  std::string_view ReadStr() { return reader_.ReadBytes(reader_.ReadByte()); }

  std::int32_t ReadInteger() {
    switch (ReadValue()) {
    case TValueType::Int8:
      return std::int8_t(reader_.ReadUnsigned(1));
    case TValueType::Int16:
      return std::int16_t(reader_.ReadUnsigned(2));
    case TValueType::Int32:
      return reader_.ReadInt32();
    default:
      throw EReadError(InvalidPropertyValue);
    }
  }

  void Write(std::string_view text) { text_.append(text); }
  // Every line starts here, and no line holds more than a bounded part of the stream after it.
  void WriteIndent() {
    if (text_.size() > textLimit_)
      throw EReadError("Form text too large");
    text_.append(std::size_t(nestingLevel_) * 2, ' ');
  }
  void NewLine() {
    Write("\r\n");
    WriteIndent();
  }

  // Objects, lists and collections nest by recursion: the limit bounds the stack.
  void EnterLevel() {
    if (++nestingLevel_ > MaxNestingLevel)
      throw EReadError("Nesting deeper than " + std::to_string(MaxNestingLevel) + " levels");
  }
  void LeaveLevel() { --nestingLevel_; }

  void ConvertHeader() {
    std::uint8_t flags = 0;
    std::int32_t position = 0;
    if ((reader_.PeekByte() & 0xF0) == 0xF0) {
      flags = reader_.ReadByte() & 0x0F;
      if (flags & FlagChildPos)
        position = ReadInteger();
    }
    std::string_view className = ReadStr();
    objectName_ = ReadStr();
    WriteIndent();
    if (flags & FlagInherited)
      Write("inherited ");
    else if (flags & FlagInline)
      Write("inline ");
    else
      Write("object ");
    if (!objectName_.empty()) {
      Write(objectName_);
      Write(": ");
    }
    Write(className);
    if (flags & FlagChildPos) {
      Write(" [");
      Write(std::to_string(position));
      Write("]");
    }
    Write("\r\n");
  }

  void ConvertObject() {
    ConvertHeader();
    EnterLevel();
    while (!EndOfList())
      ConvertProperty();
    ReadListEnd();
    while (!EndOfList())
      ConvertObject();
    ReadListEnd();
    LeaveLevel();
    WriteIndent();
    Write("end\r\n");
  }

  void ConvertProperty() {
    WriteIndent();
    propertyName_ = ReadStr();
    Write(propertyName_);
    Write(" = ");
    ConvertValue();
    Write("\r\n");
  }

  void ConvertValue() {
    switch (NextValue()) {
    case TValueType::List:
      ConvertList();
      break;
    case TValueType::Int8:
    case TValueType::Int16:
    case TValueType::Int32:
      Write(std::to_string(ReadInteger()));
      break;
    case TValueType::Int64:
      ReadValue();
      Write(std::to_string(std::int64_t(reader_.ReadUnsigned(8))));
      break;
    case TValueType::Extended: {
      ReadValue();
      unsigned char bytes[10];
      std::memcpy(bytes, reader_.ReadBytes(10).data(), 10);
      Write(FloatToStr(ExtendedFromBytes(bytes)));
      break;
    }
    case TValueType::Single:
      ReadValue();
      Write(FloatToStr(ExtendedFromSingle(std::uint32_t(reader_.ReadUnsigned(4)))) + "s");
      break;
    case TValueType::Currency:
      // The text holds the currency's scaled integer (1.5 is "15000c").
      ReadValue();
      Write(FloatToStr(ExtendedFromInt64(std::int64_t(reader_.ReadUnsigned(8)))) + "c");
      break;
    case TValueType::Date:
      ReadValue();
      Write(FloatToStr(ExtendedFromDouble(reader_.ReadUnsigned(8))) + "d");
      break;
    case TValueType::String:
      ReadValue();
      WriteAnsiString(ReadStr());
      break;
    case TValueType::LString:
      ReadValue();
      WriteAnsiString(reader_.ReadBytes(StoredLength(1)));
      break;
    case TValueType::WString: {
      ReadValue();
      std::string_view bytes = reader_.ReadBytes(StoredLength(2));
      std::u16string units(bytes.size() / 2, u'\0');
      for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(std::uint8_t(bytes[2 * i]) | (std::uint8_t(bytes[2 * i + 1]) << 8));
      WriteWideString(units);
      break;
    }
    case TValueType::Utf8String:
      ReadValue();
      WriteWideString(Utf8Decode(reader_.ReadBytes(StoredLength(1))));
      break;
    case TValueType::Ident:
      ReadValue();
      Write(ReadStr());
      break;
    case TValueType::False:
      ReadValue();
      Write("False");
      break;
    case TValueType::True:
      ReadValue();
      Write("True");
      break;
    case TValueType::Nil:
      ReadValue();
      Write("nil");
      break;
    case TValueType::Null:
      ReadValue();
      Write("Null");
      break;
    case TValueType::Binary:
      ConvertBinary();
      break;
    case TValueType::Set:
      ConvertSet();
      break;
    case TValueType::Collection:
      ConvertCollection();
      break;
    default:
      throw EReadError("Error reading " + NameForMessage(objectName_) + "." + NameForMessage(propertyName_) +
                       ": " + InvalidPropertyValue);
    }
  }

  // A 32-bit count of units of the given size; the IDE reads a negative count as nothing.
  std::uint64_t StoredLength(int unitSize) {
    std::int32_t count = reader_.ReadInt32();
    return count < 0 ? 0 : std::uint64_t(count) * std::uint64_t(unitSize);
  }

  void ConvertList() {
    ReadValue();
    Write("(");
    EnterLevel();
    while (!EndOfList()) {
      NewLine();
      ConvertValue();
    }
    ReadListEnd();
    LeaveLevel();
    Write(")");
  }

  void ConvertSet() {
    ReadValue();
    Write("[");
    for (bool first = true;; first = false) {
      std::string_view element = ReadStr();
      if (element.empty())
        break;
      if (!first)
        Write(", ");
      Write(element);
    }
    Write("]");
  }

  void ConvertCollection() {
    ReadValue();
    Write("<");
    EnterLevel();
    while (!EndOfList()) {
      NewLine();
      Write("item");
      TValueType next = NextValue();
      if (next == TValueType::Int8 || next == TValueType::Int16 || next == TValueType::Int32) {
        Write(" [");
        ConvertValue();
        Write("]");
      }
      Write("\r\n");
      if (ReadValue() != TValueType::List)
        throw EReadError(InvalidPropertyValue);
      EnterLevel();
      while (!EndOfList())
        ConvertProperty();
      ReadListEnd();
      LeaveLevel();
      WriteIndent();
      Write("end");
    }
    ReadListEnd();
    LeaveLevel();
    Write(">");
  }

  void ConvertBinary() {
    static const char HexDigits[] = "0123456789ABCDEF";
    ReadValue();
    std::int32_t count = reader_.ReadInt32();
    std::string_view bytes = reader_.ReadBytes(count < 0 ? 0 : std::uint64_t(count));
    bool multiLine = count >= BytesPerLine;
    Write("{");
    ++nestingLevel_;
    for (std::size_t start = 0; start < bytes.size(); start += BytesPerLine) {
      if (multiLine)
        NewLine();
      std::size_t end = std::min(bytes.size(), start + BytesPerLine);
      for (std::size_t i = start; i < end; ++i) {
        std::uint8_t byte = std::uint8_t(bytes[i]);
        text_ += HexDigits[byte >> 4];
        text_ += HexDigits[byte & 15];
      }
    }
    --nestingLevel_;
    Write("}");
  }

  void WriteAnsiString(std::string_view bytes) {
    // Bytes above 127 are printable in the system code page and stay as they are.
    WriteQuoted(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(), 255);
  }

  void WriteWideString(const std::u16string &units) { WriteQuoted(units.data(), units.size(), 127); }

  // Runs of printable characters in quotes; a quote and every other character as #n, so the text
  // never holds a doubled quote. A string longer than a line starts on a line of its own, one level
  // deeper, and is cut into pieces of at most 64 characters (a #n counts as one) joined by " +".
  template <class TUnit> void WriteQuoted(const TUnit *units, std::size_t length, unsigned highestPrintable) {
    if (length == 0) {
      Write("''");
      return;
    }
    auto printable = [&](TUnit unit) {
      return unit >= ' ' && unit != '\'' && unsigned(unit) <= highestPrintable;
    };
    ++nestingLevel_;
    if (length > LineLength)
      NewLine();
    std::size_t i = 0;
    std::size_t lineStart = 0;
    do {
      if (printable(units[i])) {
        std::size_t runStart = i;
        do
          ++i;
        while (i < length && printable(units[i]) && i - lineStart < LineLength);
        text_ += '\'';
        for (std::size_t j = runStart; j < i; ++j)
          text_ += char(units[j]);
        text_ += '\'';
      } else {
        text_ += '#';
        text_ += std::to_string(unsigned(units[i]));
        ++i;
      }
      if (i - lineStart >= LineLength && i < length) {
        Write(" +");
        NewLine();
        lineStart = i;
      }
    } while (i < length);
    --nestingLevel_;
  }

  TStreamReader reader_;
  std::size_t textLimit_;
  std::string text_;
  int nestingLevel_ = 0;
  // Named in the error for a value of an unknown type.
  std::string objectName_;
  std::string propertyName_;
};

} // namespace

std::string ObjectBinaryToText(std::string_view stream) {
  return TObjectTextWriter(stream).Convert();
}

std::string ObjectResourceToText(std::string_view resource) {
  // The IDE looks at no more than the first 79 bytes for the header, reading missing ones as 0, so
  // a name that does not end there is taken as 76 characters long.
  constexpr std::size_t HeaderLimit = 79;
  constexpr std::size_t NameStart = 3;
  unsigned char header[HeaderLimit + 1] = {};
  if (!resource.empty())
    std::memcpy(header, resource.data(), std::min(resource.size(), HeaderLimit));
  if (header[0] != 0xFF || header[1] != 10 || header[2] != 0)
    throw EReadError(InvalidStreamFormat);
  std::size_t nameLength = 0;
  while (header[NameStart + nameLength] != 0)
    ++nameLength;
  std::size_t streamStart = NameStart + nameLength + 1 + 6;
  if (streamStart > resource.size())
    throw EReadError(StreamReadError);
  return ObjectBinaryToText(resource.substr(streamStart));
}
