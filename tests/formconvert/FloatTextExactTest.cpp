// FloatToStr against a reference that writes out every decimal digit of the value (up to some
// 11,500 for the extremes) and rounds that text the runtime's way: slow, but plainly right. The
// values are those where a digit goes wrong first: both ends of the exponent range, unnormals,
// exact ties at the 18th digit, the neighbours of every few powers of ten, and random ones.
#include "formconvert/FloatText.h"

#include <algorithm>
#include <bit>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int Bias = 16383;
constexpr std::uint64_t Top = std::uint64_t(1) << 63;

TExtended Raw(std::uint64_t mantissa, int biased, bool negative = false) {
  TExtended value;
  value.Mantissa = mantissa;
  value.SignExponent = std::uint16_t((negative ? 0x8000 : 0) | biased);
  return value;
}

// The reference: mantissa * 2^exponent in base 10^9 limbs, every digit written out.
std::string AllDigits(std::uint64_t mantissa, int exponent, int &pointAt) {
  std::vector<std::uint32_t> limbs{std::uint32_t(mantissa % 1000000000),
                                   std::uint32_t(mantissa / 1000000000 % 1000000000),
                                   std::uint32_t(mantissa / 1000000000 / 1000000000)};
  auto multiply = [&](std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (auto &limb : limbs) {
      std::uint64_t product = std::uint64_t(limb) * factor + carry;
      limb = std::uint32_t(product % 1000000000);
      carry = product / 1000000000;
    }
    for (; carry; carry /= 1000000000)
      limbs.push_back(std::uint32_t(carry % 1000000000));
  };
  // m * 2^-k == m * 5^k / 10^k; factors of up to 2^29 and 5^13 keep every product in 64 bits.
  for (int twos = exponent; twos > 0; twos -= 29)
    multiply(std::uint32_t(1) << std::min(twos, 29));
  for (int fives = -exponent; fives > 0; fives -= 13) {
    std::uint32_t factor = 1;
    for (int i = std::min(fives, 13); i > 0; --i)
      factor *= 5;
    multiply(factor);
  }
  std::string text;
  for (auto limb = limbs.rbegin(); limb != limbs.rend(); ++limb) {
    std::string part = std::to_string(*limb);
    text += std::string(9 - part.size(), '0') + part;
  }
  std::size_t first = text.find_first_not_of('0');
  text.erase(0, first);
  pointAt = int(text.size()) + std::min(exponent, 0);
  return text;
}

// Rounds the digit text to `keep` digits; returns whether a carry added a digit in front.
bool RoundDigits(std::string &digits, std::size_t keep, bool up) {
  digits.resize(keep);
  if (!up)
    return false;
  for (std::size_t i = keep; i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return false;
    }
    digits[i] = '0';
  }
  digits = "1" + digits.substr(0, keep - 1);
  return true;
}

std::string ReferenceFloatToStr(const TExtended &value) {
  bool negative = value.SignExponent & 0x8000;
  int biased = value.SignExponent & 0x7FFF;
  if (biased == 0x7FFF)
    return std::string(negative ? "-" : "") + ((value.Mantissa << 1) ? "NAN" : "INF");
  if (biased == 0 || value.Mantissa == 0)
    return "0";
  int pointAt = 0;
  std::string digits = AllDigits(value.Mantissa, biased - Bias - 63, pointAt);
  // The x87 unit's 18 digits, ties to even; then 15 by the 16th digit alone.
  if (digits.size() > 18) {
    bool rest = digits.find_first_not_of('0', 19) != std::string::npos;
    bool up = digits[18] > '5' || (digits[18] == '5' && (rest || (digits[17] - '0') % 2));
    pointAt += RoundDigits(digits, 18, up);
  }
  if (digits.size() > 15)
    pointAt += RoundDigits(digits, 15, digits[15] >= '5');
  digits.erase(digits.find_last_not_of('0') + 1);
  std::string text = negative ? "-" : "";
  if (pointAt > 15 || pointAt < -3) {
    text += digits.substr(0, 1) + (digits.size() > 1 ? "." + digits.substr(1) : "");
    return text + "E" + std::to_string(pointAt - 1);
  }
  if (pointAt <= 0)
    return text + "0." + std::string(std::size_t(-pointAt), '0') + digits;
  if (digits.size() <= std::size_t(pointAt))
    return text + digits + std::string(std::size_t(pointAt) - digits.size(), '0');
  return text + digits.substr(0, std::size_t(pointAt)) + "." + digits.substr(std::size_t(pointAt));
}

// Binary numbers, least significant limb first, for finding the extended values nearest N * 10^p.
using TBits = std::vector<std::uint32_t>;

int BitWidth(const TBits &number) {
  std::size_t size = number.size();
  while (size > 0 && number[size - 1] == 0)
    --size;
  return size ? 32 * int(size - 1) + std::bit_width(number[size - 1]) : 0;
}

bool Bit(const TBits &number, int index) {
  return index >= 0 && std::size_t(index / 32) < number.size() &&
         (number[std::size_t(index / 32)] >> (index % 32)) & 1;
}

std::uint64_t TopBits(const TBits &number) {
  std::uint64_t result = 0;
  for (int i = BitWidth(number) - 1, taken = 0; taken < 64; --i, ++taken)
    result = (result << 1) | (Bit(number, i) ? 1 : 0);
  return result;
}

TBits Times(const TBits &number, std::uint64_t factor) {
  TBits product(number.size() + 2, 0);
  for (std::size_t i = 0; i < number.size(); ++i) {
    std::uint64_t carry = 0;
    for (std::size_t j = 0; j < 2; ++j) {
      std::uint64_t sum =
          std::uint64_t(number[i]) * std::uint32_t(factor >> (32 * j)) + product[i + j] + carry;
      product[i + j] = std::uint32_t(sum);
      carry = sum >> 32;
    }
    for (std::size_t k = i + 2; carry; ++k) {
      std::uint64_t sum = std::uint64_t(product[k]) + carry;
      product[k] = std::uint32_t(sum);
      carry = sum >> 32;
    }
  }
  while (product.back() == 0)
    product.pop_back();
  return product;
}

void ShiftLeft(TBits &number, int bits) {
  for (; bits > 0; --bits) {
    std::uint32_t carry = 0;
    for (auto &limb : number) {
      std::uint32_t next = limb >> 31;
      limb = (limb << 1) | carry;
      carry = next;
    }
    if (carry)
      number.push_back(carry);
  }
}

// a -= b when a >= b; returns whether it was.
bool SubtractIfNotBelow(TBits &a, const TBits &b) {
  for (std::size_t i = std::max(a.size(), b.size()); i-- > 0;) {
    std::uint32_t x = i < a.size() ? a[i] : 0, y = i < b.size() ? b[i] : 0;
    if (x != y) {
      if (x < y)
        return false;
      break;
    }
  }
  std::int64_t borrow = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    std::int64_t difference = std::int64_t(a[i]) - (i < b.size() ? b[i] : 0) - borrow;
    borrow = difference < 0;
    a[i] = std::uint32_t(difference + (borrow << 32));
  }
  return true;
}

// The mantissa one below, at and one above, at an unbiased binary exponent of the top bit; values
// below the normal range become unnormals of the smallest exponent, those above are left out.
void AddAround(std::vector<TExtended> &values, std::uint64_t mantissa, int topExponent) {
  int biased = topExponent + Bias;
  if (biased >= 0x7FFF)
    return;
  if (biased < 1) {
    if (1 - biased >= 64)
      return;
    mantissa >>= 1 - biased;
    biased = 1;
  }
  if (mantissa > 1)
    values.push_back(Raw(mantissa - 1, biased));
  values.push_back(Raw(mantissa, biased));
  if (mantissa < ~std::uint64_t(0))
    values.push_back(Raw(mantissa + 1, biased));
}

std::vector<TExtended> HardValues() {
  std::vector<TExtended> values;
  // Both ends: the smallest unnormal, the smallest normal, the largest value, and unnormals.
  for (std::uint64_t m :
       {std::uint64_t(1), std::uint64_t(3), Top, Top | 1, ~std::uint64_t(0), Top >> 1, Top >> 40}) {
    for (int biased : {1, 2, 3, 0x7FFC, 0x7FFD, 0x7FFE})
      values.push_back(Raw(m, biased, m & 2));
  }
  // Exact ties at the 18th digit, and a unit beside each: 19-digit integers ending in 5 (times 10,
  // which is 5 * 2), and c / 2^j, whose j decimals end in 5 (c * 5^j with 19 digits).
  for (std::uint64_t n : {1234567890123454995ull, 1234567890123454985ull, 9999999999999999995ull,
                          1000000000000000005ull, 1999999999999999995ull, 3602879701896396795ull}) {
    for (std::uint64_t m : {n - 1, n, n + 1}) {
      values.push_back(Raw(m << std::countl_zero(m), 63 - std::countl_zero(m) + Bias));
      if (m <= ~std::uint64_t(0) / 5)
        values.push_back(Raw(5 * m << std::countl_zero(5 * m), 64 - std::countl_zero(5 * m) + Bias));
    }
  }
  std::uint64_t fivePower = 1;
  for (int j = 1; j <= 27; ++j) {
    fivePower *= 5;
    std::uint64_t c = (1000000000000000000ull / fivePower) | 1;
    for (std::uint64_t odd : {c, c + 2, c + 4, 3 * c | 1, 9 * c | 1}) {
      if (odd > ~std::uint64_t(0) / fivePower || odd * fivePower < 1000000000000000000ull ||
          odd * fivePower >= 10000000000000000000ull)
        continue;
      int zeros = std::countl_zero(odd);
      AddAround(values, odd << zeros, 63 - zeros - j);
    }
  }
  // Around N * 10^p over the whole range, for N = 10^18 (a power of ten: the rounding carries into
  // a new digit) and 19-digit N ending in 4995 and 9995, where the 18th digit decides the 15th.
  // N * 10^p = N * 5^p * 2^p, and N * 10^-j = N / 5^j * 2^-j by long division.
  std::mt19937_64 random(4932);
  TBits five{1};
  for (int j = 0; j <= 4970; ++j, five = Times(five, 5)) {
    if (j % 23 != 0 && j > 40)
      continue;
    std::uint64_t x = 100000000000000 + random() % 900000000000000;
    for (std::uint64_t n : {std::uint64_t(1000000000000000000), x * 10000 + 4995, x * 10000 + 9995}) {
      TBits product = Times(five, n);
      AddAround(values, TopBits(product), j + BitWidth(product) - 1);
      // n / 5^j as quotient * 2^-scale, the quotient with 64 bits.
      TBits rest{std::uint32_t(n), std::uint32_t(n >> 32)}, divisor = five;
      int scale = std::max(BitWidth(divisor) - int(std::bit_width(n)) - 1, 0);
      ShiftLeft(rest, scale);
      int widen = std::max(int(std::bit_width(n)) + 1 - BitWidth(divisor), 0);
      ShiftLeft(divisor, widen);
      scale -= widen;
      std::uint64_t quotient = 0;
      while (!(quotient >> 63)) {
        ShiftLeft(rest, 1);
        ++scale;
        quotient = (quotient << 1) | (SubtractIfNotBelow(rest, divisor) ? 1 : 0);
      }
      AddAround(values, quotient, 63 - scale - j);
    }
  }
  // Random mantissas, a tenth of them unnormal, over the whole range and near 10^+-4000.
  for (int i = 0; i < 1000; ++i) {
    std::uint64_t m = random();
    if (i % 10)
      m |= Top;
    int biased = i % 3 ? int(random() % 0x7FFE) + 1 : Bias + (i % 2 ? 1 : -1) * (13188 + int(random() % 200));
    values.push_back(Raw(m, biased, i % 2));
  }
  return values;
}

TEST(FloatToStrExact, EveryDigitAsTheExactExpansionRoundedTwice) {
  int compared = 0, mismatches = 0;
  for (const TExtended &value : HardValues()) {
    std::string expected = ReferenceFloatToStr(value);
    std::string written = FloatToStr(value);
    ++compared;
    if (written != expected && ++mismatches <= 20)
      ADD_FAILURE() << std::hex << "mantissa 0x" << value.Mantissa << ", sign and exponent 0x"
                    << value.SignExponent << ": " << written << " instead of " << expected;
  }
  EXPECT_EQ(mismatches, 0) << "of " << compared << " values";
  EXPECT_GT(compared, 4000);
}

} // namespace
