#include "FloatText.h"
#include <algorithm>
#include <array>
#include <bit>
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

// A finite value as 0.Digits * 10^Exponent; no digits for zero.
struct TDecimal {
  std::string Digits;
  int Exponent = 0;
};

// The exact arithmetic below works on limbs of 64 bits where the compiler has a 128-bit product
// (x86-64), of 32 bits elsewhere (the i686 program).
#ifdef __SIZEOF_INT128__
using TLimb = std::uint64_t;
__extension__ typedef unsigned __int128 TWide;
#else
using TLimb = std::uint32_t;
using TWide = std::uint64_t;
#endif
constexpr int LimbBits = 8 * sizeof(TLimb);

// The value is scaled by 10^-k so that 18 or 19 digits stay before the point. The smallest
// extended, 2^-16445, needs 5^4968; the largest, below 2^16384, a divisor of 5^4915 and a dividend
// of some 11,500 bits. The numbers below hold 11,712 bits and a limb to spare.
constexpr int MaxFivePower = 4968;
constexpr std::size_t MaxLimbs = 11712 / LimbBits + 1;

// An unsigned integer, least significant limb first, in a buffer of fixed size: the conversion
// allocates nothing.
struct TBig {
  std::array<TLimb, MaxLimbs> Limbs;
  std::size_t Size = 0;

  void Trim() {
    while (Size > 0 && Limbs[Size - 1] == 0)
      --Size;
  }
};

void SetUInt64(TBig &number, std::uint64_t value) {
  number.Size = 0;
  for (; value; value = value >> (LimbBits / 2) >> (LimbBits / 2))
    number.Limbs[number.Size++] = TLimb(value);
}

void MultiplyByLimb(TBig &number, TLimb factor) {
  TLimb carry = 0;
  for (std::size_t i = 0; i < number.Size; ++i) {
    TWide product = TWide(number.Limbs[i]) * factor + carry;
    number.Limbs[i] = TLimb(product);
    carry = TLimb(product >> LimbBits);
  }
  if (carry)
    number.Limbs[number.Size++] = carry;
}

// product = a * b, b of a few limbs.
void Multiply(const TLimb *a, std::size_t aSize, const TBig &b, TBig &product) {
  std::fill_n(product.Limbs.begin(), aSize + b.Size, TLimb(0));
  for (std::size_t i = 0; i < b.Size; ++i) {
    TLimb carry = 0;
    for (std::size_t j = 0; j < aSize; ++j) {
      TWide sum = TWide(a[j]) * b.Limbs[i] + product.Limbs[i + j] + carry;
      product.Limbs[i + j] = TLimb(sum);
      carry = TLimb(sum >> LimbBits);
    }
    product.Limbs[i + aSize] = carry;
  }
  product.Size = aSize + b.Size;
  product.Trim();
}

void ShiftLeft(TBig &number, int bits) {
  if (number.Size == 0 || bits == 0)
    return;
  std::size_t limbs = std::size_t(bits / LimbBits);
  int rest = bits % LimbBits;
  std::size_t size = number.Size + limbs + 1;
  number.Limbs[size - 1] = 0;
  for (std::size_t i = number.Size; i-- > 0;) {
    TLimb limb = number.Limbs[i];
    if (rest) {
      number.Limbs[i + limbs + 1] |= limb >> (LimbBits - rest);
      limb <<= rest;
    }
    number.Limbs[i + limbs] = limb;
  }
  std::fill_n(number.Limbs.begin(), limbs, TLimb(0));
  number.Size = size;
  number.Trim();
}

// The 64 bits of the number from bit `first` up.
std::uint64_t BitsFrom(const TBig &number, int first) {
  std::uint64_t result = 0;
  for (int taken = 0; taken < 64;) {
    std::size_t limb = std::size_t((first + taken) / LimbBits);
    int bit = (first + taken) % LimbBits;
    if (limb >= number.Size)
      break;
    result |= std::uint64_t(number.Limbs[limb] >> bit) << taken;
    taken += LimbBits - bit;
  }
  return result;
}

bool AnyBitBelow(const TBig &number, int end) {
  std::size_t limbs = std::min(std::size_t(end / LimbBits), number.Size);
  for (std::size_t i = 0; i < limbs; ++i) {
    if (number.Limbs[i])
      return true;
  }
  int rest = end % LimbBits;
  return rest && limbs < number.Size && (number.Limbs[limbs] << (LimbBits - rest)) != 0;
}

// 5^n as the product of every Step-th power, kept in a table made on first use (130 KB of 64-bit
// limbs, 275 KB of 32-bit ones), and the power of n's remainder, which fits a limb.
class TPowersOfFive {
public:
  static constexpr int Step = LimbBits == 64 ? 27 : 13;

  TPowersOfFive() {
    TBig power;
    SetUInt64(power, 1);
    for (int n = 0; n <= MaxFivePower; n += Step) {
      start_.push_back(limbs_.size());
      limbs_.insert(limbs_.end(), power.Limbs.begin(), power.Limbs.begin() + std::ptrdiff_t(power.Size));
      MultiplyByLimb(power, Small(Step));
    }
    start_.push_back(limbs_.size());
  }

  // product = 5^n * factor, n up to MaxFivePower.
  void Multiply(int n, std::uint64_t factor, TBig &product) const {
    TBig small;
    SetUInt64(small, factor);
    MultiplyByLimb(small, Small(n % Step));
    std::size_t index = std::size_t(n / Step);
    ::Multiply(limbs_.data() + start_[index], start_[index + 1] - start_[index], small, product);
  }

private:
  static TLimb Small(int n) {
    TLimb power = 1;
    for (; n > 0; --n)
      power *= 5;
    return power;
  }

  std::vector<TLimb> limbs_;
  std::vector<std::size_t> start_;
};

const TPowersOfFive &PowersOfFive() {
  static const TPowersOfFive powers;
  return powers;
}

// What a division left beside its quotient, against half the divisor.
enum class TRest { Zero, BelowHalf, Half, AboveHalf };

struct TQuotient {
  std::uint64_t Value = 0;
  TRest Rest = TRest::Zero;
};

// The quotient of numerator and divisor, below 2^64, by Knuth's long division (The Art of Computer
// Programming, 4.3.1, algorithm D). The divisor is normalized: two limbs at least, its top bit set.
// The numerator becomes the remainder.
TQuotient DivideNormalized(TBig &numerator, const TBig &divisor) {
  const std::size_t n = divisor.Size;
  const TLimb *v = divisor.Limbs.data();
  TLimb *u = numerator.Limbs.data();
  const TWide base = TWide(1) << LimbBits;
  TQuotient quotient;
  if (numerator.Size >= n) {
    u[numerator.Size] = 0;
    for (std::size_t j = numerator.Size - n + 1; j-- > 0;) {
      TWide top = (TWide(u[j + n]) << LimbBits) | u[j + n - 1];
      TWide digit = top / v[n - 1];
      TWide rest = top % v[n - 1];
      while (digit >= base || digit * v[n - 2] > ((rest << LimbBits) | u[j + n - 2])) {
        --digit;
        rest += v[n - 1];
        if (rest >= base)
          break;
      }
      quotient.Value = (quotient.Value << (LimbBits / 2) << (LimbBits / 2)) | std::uint64_t(digit);
      if (digit == 0)
        continue; // the quotient's leading limb, in most cases
      // u[j .. j+n] -= digit * v
      TLimb carry = 0, borrow = 0;
      for (std::size_t i = 0; i < n; ++i) {
        TWide product = TWide(TLimb(digit)) * v[i] + carry;
        carry = TLimb(product >> LimbBits);
        TLimb low = TLimb(product), before = u[i + j];
        TLimb after = before - low - borrow;
        borrow = TLimb(before < low || (before == low && borrow));
        u[i + j] = after;
      }
      TLimb before = u[j + n];
      u[j + n] = before - carry - borrow;
      if (before < carry || (before == carry && borrow)) {
        // The estimate was one too large: add the divisor back.
        --quotient.Value;
        TLimb addCarry = 0;
        for (std::size_t i = 0; i < n; ++i) {
          TWide sum = TWide(u[i + j]) + v[i] + addCarry;
          u[i + j] = TLimb(sum);
          addCarry = TLimb(sum >> LimbBits);
        }
        u[j + n] += addCarry;
      }
    }
  }
  // The remainder, u[0 .. n-1], against half the divisor: twice the remainder against the divisor.
  const std::size_t size = std::min(numerator.Size, n);
  auto remainder = [&](std::size_t i) { return i < size ? u[i] : TLimb(0); };
  if (std::all_of(u, u + size, [](TLimb limb) { return limb == 0; }))
    return quotient;
  if (remainder(n - 1) >> (LimbBits - 1)) {
    quotient.Rest = TRest::AboveHalf;
    return quotient;
  }
  for (std::size_t i = n; i-- > 0;) {
    TLimb doubled = TLimb(remainder(i) << 1) | (i > 0 ? remainder(i - 1) >> (LimbBits - 1) : 0);
    if (doubled != v[i]) {
      quotient.Rest = doubled < v[i] ? TRest::BelowHalf : TRest::AboveHalf;
      return quotient;
    }
  }
  quotient.Rest = TRest::Half;
  return quotient;
}

// floor(mantissa * 2^exponent / 10^scale), exactly, for a quotient below 2^64.
TQuotient DivideByPowerOfTen(std::uint64_t mantissa, int exponent, int scale) {
  // mantissa * 2^exponent / 10^scale = mantissa * 2^(exponent - scale) / 5^scale
  int twos = exponent - scale;
  TBig numerator;
  if (scale <= 0) {
    // A power of two below the line: the quotient and the rest are bits of the numerator.
    PowersOfFive().Multiply(-scale, mantissa, numerator);
    TQuotient quotient;
    if (twos >= 0) {
      quotient.Value = BitsFrom(numerator, 0) << twos;
      return quotient;
    }
    quotient.Value = BitsFrom(numerator, -twos);
    bool half = BitsFrom(numerator, -twos - 1) & 1, below = AnyBitBelow(numerator, -twos - 1);
    quotient.Rest =
        half ? (below ? TRest::AboveHalf : TRest::Half) : (below ? TRest::BelowHalf : TRest::Zero);
    return quotient;
  }
  TBig divisor;
  PowersOfFive().Multiply(scale, 1, divisor);
  ShiftLeft(divisor, std::max(-twos, 0));
  // Both shifted alike until the divisor's top bit is set, with a second limb where it has one.
  int normalize = std::countl_zero(divisor.Limbs[divisor.Size - 1]) + (divisor.Size == 1 ? LimbBits : 0);
  ShiftLeft(divisor, normalize);
  SetUInt64(numerator, mantissa);
  ShiftLeft(numerator, std::max(twos, 0) + normalize);
  return DivideNormalized(numerator, divisor);
}

// floor(log10(2^power)), exact for |power| up to 200,000.
int FloorLog10Pow2(int power) {
  return int((std::int64_t(power) * 661971961083) >> 41);
}

// The value rounded to 18 significant digits (ties to even), as the x87 unit stores it. A value of
// fewer digits gets trailing zeros, which the rounding to 15 digits takes off again.
TDecimal StoredDecimal(std::uint64_t mantissa, int exponent) {
  constexpr std::uint64_t Limit = 1000000000000000000; // 10^StoredDigits
  // The value lies in [2^top, 2^(top+1)), so the quotient has 18 or 19 digits.
  int top = HighestBit(mantissa) + exponent;
  int scale = FloorLog10Pow2(top) - int(StoredDigits - 1);
  TQuotient quotient = DivideByPowerOfTen(mantissa, exponent, scale);
  std::uint64_t digits = quotient.Value;
  TRest rest = quotient.Rest;
  if (digits >= Limit) {
    int dropped = int(digits % 10);
    digits /= 10;
    ++scale;
    if (dropped != 5)
      rest = dropped > 5 ? TRest::AboveHalf
                         : (dropped > 0 || rest != TRest::Zero ? TRest::BelowHalf : TRest::Zero);
    else
      rest = rest == TRest::Zero ? TRest::Half : TRest::AboveHalf;
  }
  if (rest == TRest::AboveHalf || (rest == TRest::Half && digits % 2 == 1))
    ++digits;
  if (digits == Limit) {
    digits /= 10;
    ++scale;
  }
  TDecimal result;
  result.Digits = std::to_string(digits);
  result.Exponent = scale + int(StoredDigits);
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
  TDecimal decimal = StoredDecimal(value.Mantissa, biased - ExponentBias - 63);
  RoundToPrecision(decimal);
  return sign + GeneralFormat(decimal);
}
