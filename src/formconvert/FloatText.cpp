#include "FloatText.h"
#include <cstddef>
#include <vector>

namespace {

constexpr int ExponentBias = 16383;
constexpr std::uint16_t SpecialExponent = 0x7FFF;
constexpr std::uint64_t IntegerBit = std::uint64_t(1) << 63;

// The runtime rounds in two steps: the x87 unit stores 18 decimal digits (rounding to nearest,
// ties to even), and FloatToStr then rounds those to 15 digits by looking at the 16th alone.
constexpr std::size_t StoredDigits = 18;
constexpr int Precision = 15;

int HighestBit(std::uint64_t value) {
  int bit = 63;
  while (!(value >> bit))
    --bit;
  return bit;
}

// value = magnitude * 2^exponent, as an extended with its integer bit set.
TExtended Normalized(bool negative, std::uint64_t magnitude, int exponent) {
  TExtended result;
  result.SignExponent = negative ? 0x8000 : 0;
  if (magnitude == 0)
    return result;
  int top = HighestBit(magnitude);
  result.Mantissa = magnitude << (63 - top);
  result.SignExponent = std::uint16_t(result.SignExponent | (exponent + top + ExponentBias));
  return result;
}

TExtended Special(bool negative, bool isNan) {
  TExtended result;
  result.SignExponent = std::uint16_t((negative ? 0x8000 : 0) | SpecialExponent);
  result.Mantissa = isNan ? IntegerBit | (IntegerBit >> 1) : IntegerBit;
  return result;
}

// An unsigned integer of any size, in base 10^9 limbs, least significant first: the exact decimal
// expansion of an extended value runs to some 11,500 digits.
class TBigDecimal {
public:
  explicit TBigDecimal(std::uint64_t value) {
    do {
      limbs_.push_back(std::uint32_t(value % LimbBase));
      value /= LimbBase;
    } while (value);
  }

  void Multiply(std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (auto &limb : limbs_) {
      std::uint64_t product = std::uint64_t(limb) * factor + carry;
      limb = std::uint32_t(product % LimbBase);
      carry = product / LimbBase;
    }
    while (carry) {
      limbs_.push_back(std::uint32_t(carry % LimbBase));
      carry /= LimbBase;
    }
  }

  void MultiplyByPowerOf2(int power) {
    for (; power >= 31; power -= 31)
      Multiply(std::uint32_t(1) << 31);
    if (power > 0)
      Multiply(std::uint32_t(1) << power);
  }

  void MultiplyByPowerOf5(int power) {
    constexpr std::uint32_t FivePow13 = 1220703125;
    for (; power >= 13; power -= 13)
      Multiply(FivePow13);
    std::uint32_t factor = 1;
    for (; power > 0; --power)
      factor *= 5;
    Multiply(factor);
  }

  std::string Digits() const {
    std::string text = std::to_string(limbs_.back());
    for (std::size_t i = limbs_.size() - 1; i-- > 0;) {
      std::string limb = std::to_string(limbs_[i]);
      text.append(9 - limb.size(), '0');
      text += limb;
    }
    return text;
  }

private:
  static constexpr std::uint32_t LimbBase = 1000000000;
  std::vector<std::uint32_t> limbs_;
};

// A finite value as 0.Digits * 10^Exponent; no digits for zero.
struct TDecimal {
  std::string Digits;
  int Exponent = 0;
};

// All digits of mantissa * 2^exponent, which a binary fraction always has finitely many of.
TDecimal ExactDecimal(std::uint64_t mantissa, int exponent) {
  while (exponent < 0 && !(mantissa & 1)) {
    mantissa >>= 1;
    ++exponent;
  }
  TBigDecimal number(mantissa);
  int fractionDigits = 0;
  if (exponent >= 0) {
    number.MultiplyByPowerOf2(exponent);
  } else {
    // m / 2^k == m * 5^k / 10^k
    number.MultiplyByPowerOf5(-exponent);
    fractionDigits = -exponent;
  }
  TDecimal result;
  result.Digits = number.Digits();
  result.Exponent = int(result.Digits.size()) - fractionDigits;
  return result;
}

// Adds one unit in the last digit; a carry out of the first digit gives "1" one place higher.
void IncrementLastDigit(TDecimal &decimal) {
  std::size_t i = decimal.Digits.size();
  while (i > 0 && decimal.Digits[i - 1] == '9')
    decimal.Digits[--i] = '0';
  if (i > 0) {
    ++decimal.Digits[i - 1];
  } else {
    decimal.Digits.insert(decimal.Digits.begin(), '1');
    decimal.Digits.pop_back();
    ++decimal.Exponent;
  }
}

void RoundToStoredDigits(TDecimal &decimal) {
  std::string &digits = decimal.Digits;
  if (digits.size() <= StoredDigits)
    return;
  char first = digits[StoredDigits];
  bool restNonZero = digits.find_first_not_of('0', StoredDigits + 1) != std::string::npos;
  bool lastOdd = (digits[StoredDigits - 1] - '0') % 2 == 1;
  bool up = first > '5' || (first == '5' && (restNonZero || lastOdd));
  digits.resize(StoredDigits);
  if (up)
    IncrementLastDigit(decimal);
}

void RoundToPrecision(TDecimal &decimal) {
  std::string &digits = decimal.Digits;
  if (digits.size() > std::size_t(Precision)) {
    bool up = digits[Precision] >= '5';
    digits.resize(Precision);
    if (up)
      IncrementLastDigit(decimal);
  }
  while (!digits.empty() && digits.back() == '0')
    digits.pop_back();
}

std::string GeneralFormat(const TDecimal &decimal) {
  const std::string &digits = decimal.Digits;
  int exponent = decimal.Exponent;
  std::string text;
  if (exponent > Precision || exponent < -3) {
    text += digits[0];
    if (digits.size() > 1)
      text.append(".").append(digits, 1);
    return text.append("E").append(std::to_string(exponent - 1));
  }
  if (exponent <= 0)
    return text.append("0.").append(std::size_t(-exponent), '0').append(digits);
  if (digits.size() <= std::size_t(exponent))
    return text.append(digits).append(std::size_t(exponent) - digits.size(), '0');
  return text.append(digits, 0, std::size_t(exponent)).append(".").append(digits, std::size_t(exponent));
}

} // namespace

TExtended ExtendedFromBytes(const unsigned char bytes[10]) {
  TExtended result;
  for (int i = 7; i >= 0; --i)
    result.Mantissa = (result.Mantissa << 8) | bytes[i];
  result.SignExponent = std::uint16_t(bytes[8] | (bytes[9] << 8));
  return result;
}

TExtended ExtendedFromSingle(std::uint32_t bits) {
  bool negative = (bits >> 31) != 0;
  int exponent = int((bits >> 23) & 0xFF);
  std::uint64_t fraction = bits & 0x7FFFFF;
  if (exponent == 0xFF)
    return Special(negative, fraction != 0);
  if (exponent == 0)
    return Normalized(negative, fraction, -149);
  return Normalized(negative, fraction | 0x800000, exponent - 150);
}

TExtended ExtendedFromDouble(std::uint64_t bits) {
  bool negative = (bits >> 63) != 0;
  int exponent = int((bits >> 52) & 0x7FF);
  std::uint64_t fraction = bits & 0xFFFFFFFFFFFFF;
  if (exponent == 0x7FF)
    return Special(negative, fraction != 0);
  if (exponent == 0)
    return Normalized(negative, fraction, -1074);
  return Normalized(negative, fraction | (std::uint64_t(1) << 52), exponent - 1075);
}

TExtended ExtendedFromInt64(std::int64_t value) {
  std::uint64_t magnitude = value < 0 ? 0 - std::uint64_t(value) : std::uint64_t(value);
  return Normalized(value < 0, magnitude, 0);
}

std::string FloatToStr(const TExtended &value) {
  bool negative = (value.SignExponent >> 15) != 0;
  int biased = value.SignExponent & SpecialExponent;
  std::string sign = negative ? "-" : "";
  if (biased == SpecialExponent)
    return sign + ((value.Mantissa << 1) == 0 ? "INF" : "NAN");
  // The runtime takes a zero exponent field for zero, denormals included, and writes no sign.
  if (biased == 0 || value.Mantissa == 0)
    return "0";
  TDecimal decimal = ExactDecimal(value.Mantissa, biased - ExponentBias - 63);
  RoundToStoredDigits(decimal);
  RoundToPrecision(decimal);
  return sign + GeneralFormat(decimal);
}
