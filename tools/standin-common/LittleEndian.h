// Little-endian fields, as resource files and PE images hold them. Reading does not check bounds:
// callers check first.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace StandIn {

inline std::uint16_t Word(const std::string &bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

inline std::uint32_t DWord(const std::string &bytes, std::size_t at) {
  return static_cast<std::uint32_t>(Word(bytes, at)) | (static_cast<std::uint32_t>(Word(bytes, at + 2)) << 16);
}

inline void PutWord(std::string &out, std::uint16_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

inline void PutDWord(std::string &out, std::uint32_t value) {
  PutWord(out, static_cast<std::uint16_t>(value & 0xFFFF));
  PutWord(out, static_cast<std::uint16_t>(value >> 16));
}

// Overwrites the four bytes at `at`, which must exist.
inline void SetDWord(std::string &out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace StandIn
