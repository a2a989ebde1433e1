// Floating-point values of a component stream, written the way the Delphi 7 runtime's FloatToStr
// writes them: general format, 15 significant digits, a full stop as the decimal separator.
// The stream stores 80-bit x87 extended values, which not every compiler we build with can hold
// (MSVC's long double is a double), so they are kept as their two raw fields and converted exactly.
#pragma once
#include <cstdint>
#include <string>

struct TExtended {
  std::uint64_t Mantissa = 0;     // with the explicit integer bit at the top
  std::uint16_t SignExponent = 0; // sign in bit 15, exponent biased by 16383
};

TExtended ExtendedFromBytes(const unsigned char bytes[10]); // little-endian, as stored
TExtended ExtendedFromSingle(std::uint32_t bits);
TExtended ExtendedFromDouble(std::uint64_t bits);
TExtended ExtendedFromInt64(std::int64_t value);

// "100", "0.708333333333333", "-1.5E-7", "1E20", "INF", "NAN".
std::string FloatToStr(const TExtended &value);
