#include "formconvert/FloatText.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

TExtended FromDouble(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, 8);
  return ExtendedFromDouble(bits);
}

TExtended FromSingle(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, 4);
  return ExtendedFromSingle(bits);
}

TExtended Raw(std::uint64_t mantissa, std::uint16_t signExponent) {
  TExtended value;
  value.Mantissa = mantissa;
  value.SignExponent = signExponent;
  return value;
}

struct TFloatCase {
  const char *Name;
  TExtended Value;
  const char *Expected;
};

void PrintTo(const TFloatCase &c, std::ostream *os) {
  *os << c.Name;
}

class FloatToStrTest : public ::testing::TestWithParam<TFloatCase> {};

TEST_P(FloatToStrTest, WritesLikeTheIde) {
  EXPECT_EQ(FloatToStr(GetParam().Value), GetParam().Expected);
}

constexpr std::uint64_t Top = std::uint64_t(1) << 63;

INSTANTIATE_TEST_SUITE_P(
    Values, FloatToStrTest,
    ::testing::Values(
        TFloatCase{"Zero", FromDouble(0.0), "0"}, TFloatCase{"NegativeZero", FromDouble(-0.0), "0"},
        TFloatCase{"Integer", FromDouble(100), "100"}, TFloatCase{"Fraction", FromDouble(1.5), "1.5"},
        TFloatCase{"Negative", FromDouble(-0.5), "-0.5"}, TFloatCase{"OneTenth", FromDouble(0.1), "0.1"},
        TFloatCase{"Third", FromDouble(1.0 / 3), "0.333333333333333"},
        TFloatCase{"TwoThirdsRoundsUp", FromDouble(2.0 / 3), "0.666666666666667"},
        // 0.708333333333333 as the IDE reads it from text: the nearest extended, not double.
        TFloatCase{"ExtendedFraction", Raw(0xB555555555553D50ull, 0x3FFE), "0.708333333333333"},
        TFloatCase{"FifteenIntegerDigits", FromDouble(123456789012345.0), "123456789012345"},
        TFloatCase{"SixteenIntegerDigits", FromDouble(1234567890123456.0), "1.23456789012346E15"},
        TFloatCase{"PowerOfTenAtPrecision", FromDouble(1e15), "1E15"},
        TFloatCase{"BelowPowerOfTenAtPrecision", FromDouble(999999999999999.0), "999999999999999"},
        TFloatCase{"TenDigitsAndFraction", FromDouble(1234567890.123456789), "1234567890.12346"},
        TFloatCase{"SmallestFixed", FromDouble(0.0001), "0.0001"},
        TFloatCase{"LargestScientific", FromDouble(0.00001), "1E-5"},
        TFloatCase{"FixedSmallFraction", FromDouble(0.000442615029219009), "0.000442615029219009"},
        TFloatCase{"ScientificFraction", FromDouble(0.0000442615029219009), "4.42615029219009E-5"},
        TFloatCase{"NegativeScientific", FromDouble(-1.5e-7), "-1.5E-7"},
        TFloatCase{"LargeScientific", FromDouble(1e100), "1E100"},
        TFloatCase{"RoundingCarriesIntoNewDigit", FromDouble(0.9999999999999999), "1"},
        TFloatCase{"CarryChangesExponent", FromDouble(9.9999999999999999e22), "1E23"},
        TFloatCase{"LargestDouble", FromDouble(1.7976931348623157e308), "1.79769313486232E308"},
        TFloatCase{"SmallestDoubleDenormal", FromDouble(4.9406564584124654e-324), "4.94065645841247E-324"},
        TFloatCase{"LargestExtended", Raw(~std::uint64_t(0), 0x7FFE), "1.18973149535723E4932"},
        TFloatCase{"SmallestNormalExtended", Raw(Top, 0x0001), "3.36210314311209E-4932"},
        // The runtime takes an exponent field of zero for zero: denormals print as 0.
        TFloatCase{"ExtendedDenormal", Raw(1, 0x0000), "0"}, TFloatCase{"Infinity", Raw(Top, 0x7FFF), "INF"},
        TFloatCase{"NegativeInfinity", Raw(Top, 0xFFFF), "-INF"},
        TFloatCase{"NotANumber", Raw(Top | (Top >> 1), 0x7FFF), "NAN"},
        TFloatCase{"SingleOneTenth", FromSingle(0.1f), "0.100000001490116"},
        TFloatCase{"SingleDenormal", FromSingle(1e-45f), "1.40129846432482E-45"},
        TFloatCase{"SingleInfinity", ExtendedFromSingle(0x7F800000), "INF"},
        TFloatCase{"DoubleNotANumber", ExtendedFromDouble(0x7FF8000000000000ull), "NAN"},
        TFloatCase{"Int64Smallest", ExtendedFromInt64(INT64_MIN), "-9.22337203685478E18"},
        TFloatCase{"Int64Zero", ExtendedFromInt64(0), "0"},
        // Two roundings, as the runtime does them: to 18 digits (ties to even), then to 15 by the
        // 16th digit alone. Rounding the exact value once would give ...345 for the first and third.
        TFloatCase{"NinesRoundUpTwice", ExtendedFromInt64(1234567890123454999), "1.23456789012346E18"},
        TFloatCase{"TieAfterOddDigitRoundsUp", ExtendedFromInt64(1234567890123454995), "1.23456789012346E18"},
        TFloatCase{"TieAfterEvenDigitStays", ExtendedFromInt64(1234567890123454985), "1.23456789012345E18"}),
    [](const ::testing::TestParamInfo<TFloatCase> &info) { return std::string(info.param.Name); });

TEST(ExtendedFromBytes, ReadsLittleEndianFields) {
  const unsigned char bytes[10] = {0, 0, 0, 0, 0, 0, 0, 0xC8, 0x05, 0x40}; // 100
  TExtended value = ExtendedFromBytes(bytes);
  EXPECT_EQ(value.Mantissa, 0xC800000000000000ull);
  EXPECT_EQ(value.SignExponent, 0x4005);
  EXPECT_EQ(FloatToStr(value), "100");
}

} // namespace
