#include "framework/CodePage.h"

#include <cstdint>

namespace {

// The characters of bytes 0x80 to 0x9F in Windows-1252; above them the bytes are Latin-1.
const std::uint16_t Windows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string &utf8, std::uint32_t c) {
  if (c < 0x80) {
    utf8 += char(c);
  } else if (c < 0x800) {
    utf8 += char(0xC0 | (c >> 6));
    utf8 += char(0x80 | (c & 0x3F));
  } else {
    utf8 += char(0xE0 | (c >> 12));
    utf8 += char(0x80 | ((c >> 6) & 0x3F));
    utf8 += char(0x80 | (c & 0x3F));
  }
}

} // namespace

std::string Utf8FromSystemCodePage(const std::string &text) {
  std::string utf8;
  utf8.reserve(text.size());
  for (char byte : text) {
    auto c = static_cast<unsigned char>(byte);
    AppendUtf8(utf8, c >= 0x80 && c < 0xA0 ? Windows1252High[c - 0x80] : c);
  }
  return utf8;
}

std::string UpperCaseSystemCodePage(const std::string &text) {
  std::string upper = text;
  for (char &byte : upper) {
    auto c = static_cast<unsigned char>(byte);
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) // not the division sign
      byte = char(c - 0x20);
    else if (c == 0x9A || c == 0x9C || c == 0x9E) // s, oe and z with their marks
      byte = char(c - 0x10);
    else if (c == 0xFF) // y with diaeresis
      byte = char(0x9F);
  }
  return upper;
}
