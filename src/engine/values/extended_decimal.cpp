#include "engine/values/extended_decimal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace dravik::engine::values {

namespace {

constexpr std::uint64_t kLimbBase = std::uint64_t{1} << 32;
constexpr std::uint32_t kDecimalChunk = 1000000000;  // nine digits per division
constexpr int kDecimalChunkDigits = 9;
constexpr std::uint32_t kTen = 10;
constexpr int kMantissaBits = 64;
// Quotient bits kept beyond the mantissa when dividing, so that rounding sees a guard bit.
constexpr int kGuardBits = 2;
// The extended range in decimal exponents: its largest value is below 10^4933, its smallest
// above 10^-4952. An exponent written beyond kExponentCap cannot matter and is not read further.
constexpr int kMaxDecimalExponent = 4933;
constexpr int kMinDecimalExponent = -4952;
constexpr int kExponentCap = 100000;

// A non-negative whole number of any size: 32-bit limbs from the least significant, without
// high zero limbs (zero has none).
class Natural {
 public:
  explicit Natural(std::uint64_t value = 0) {
    limbs_ = {static_cast<std::uint32_t>(value), static_cast<std::uint32_t>(value >> 32)};
    Trim();
  }

  bool IsZero() const { return limbs_.empty(); }
  std::size_t BitLength() const {
    if (limbs_.empty()) return 0;
    return (limbs_.size() - 1) * 32 + static_cast<std::size_t>(32 - __builtin_clz(limbs_.back()));
  }
  // The value; only for numbers of at most 64 bits.
  std::uint64_t Low64() const {
    std::uint64_t value = 0;
    for (std::size_t i = std::min<std::size_t>(limbs_.size(), 2); i-- > 0;) value = (value << 32) | limbs_[i];
    return value;
  }

  // this := this * factor + addend
  void MultiplyAdd(std::uint32_t factor, std::uint32_t addend) {
    std::uint64_t carry = addend;
    for (std::uint32_t& limb : limbs_) {
      const std::uint64_t product = std::uint64_t{limb} * factor + carry;
      limb = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) limbs_.push_back(static_cast<std::uint32_t>(carry));
    Trim();
  }

  void ShiftLeft(std::size_t bits) {
    if (IsZero()) return;
    limbs_.insert(limbs_.begin(), bits / 32, 0);
    const unsigned rest = bits % 32;
    if (rest == 0) return;
    std::uint32_t carry = 0;
    for (std::uint32_t& limb : limbs_) {
      const std::uint32_t next = limb >> (32 - rest);
      limb = (limb << rest) | carry;
      carry = next;
    }
    if (carry != 0) limbs_.push_back(carry);
  }

  // Divides by 2^bits, rounding to the nearest, halves to even; `inexact` tells that the number
  // itself was already rounded down from something slightly larger.
  void ShiftRightRounded(std::size_t bits, bool inexact = false) {
    if (bits == 0) return;
    const bool half = Bit(bits - 1);
    bool below = inexact;
    for (std::size_t i = 0; i + 1 < bits && !below; ++i) below = Bit(i);
    ShiftRight(bits);
    if (half && (below || Bit(0))) AddOne();
  }

  // this := this - other (other <= this).
  void Subtract(const Natural& other) {
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
      std::int64_t difference = std::int64_t{limbs_[i]} - borrow - (i < other.limbs_.size() ? other.limbs_[i] : 0);
      borrow = difference < 0 ? 1 : 0;
      limbs_[i] = static_cast<std::uint32_t>(difference + (borrow != 0 ? static_cast<std::int64_t>(kLimbBase) : 0));
    }
    Trim();
  }

  friend bool operator<(const Natural& a, const Natural& b) {
    if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() < b.limbs_.size();
    return std::lexicographical_compare(a.limbs_.rbegin(), a.limbs_.rend(), b.limbs_.rbegin(), b.limbs_.rend());
  }

  std::string ToDecimal() const {
    std::vector<std::uint32_t> rest = limbs_;
    std::string digits;
    while (!rest.empty()) {
      std::uint32_t chunk = DivideInPlace(rest, kDecimalChunk);
      for (int i = 0; i < kDecimalChunkDigits; ++i, chunk /= kTen) digits += static_cast<char>('0' + chunk % kTen);
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    if (digits.empty()) digits.push_back('0');
    std::reverse(digits.begin(), digits.end());
    return digits;
  }

 private:
  void Trim() {
    while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
  }

  bool Bit(std::size_t i) const {
    return i / 32 < limbs_.size() && ((limbs_[i / 32] >> (i % 32)) & 1u) != 0;
  }

  void ShiftRight(std::size_t bits) {
    const std::size_t whole = std::min(bits / 32, limbs_.size());
    limbs_.erase(limbs_.begin(), limbs_.begin() + static_cast<std::ptrdiff_t>(whole));
    const unsigned rest = bits % 32;
    if (rest != 0) {
      for (std::size_t i = 0; i < limbs_.size(); ++i) {
        const std::uint32_t high = i + 1 < limbs_.size() ? limbs_[i + 1] << (32 - rest) : 0;
        limbs_[i] = (limbs_[i] >> rest) | high;
      }
    }
    Trim();
  }

  void AddOne() { MultiplyAdd(1, 1); }

  // rest := rest / divisor, trimmed; answers the remainder.
  static std::uint32_t DivideInPlace(std::vector<std::uint32_t>& rest, std::uint32_t divisor) {
    std::uint64_t remainder = 0;
    for (auto it = rest.rbegin(); it != rest.rend(); ++it) {
      const std::uint64_t current = remainder * kLimbBase + *it;
      *it = static_cast<std::uint32_t>(current / divisor);
      remainder = current % divisor;
    }
    while (!rest.empty() && rest.back() == 0) rest.pop_back();
    return static_cast<std::uint32_t>(remainder);
  }

  std::vector<std::uint32_t> limbs_;
};

Natural PowerOfTen(int exponent) {
  Natural power(1);
  for (int i = 0; i < exponent; ++i) power.MultiplyAdd(kTen, 0);
  return power;
}

// numerator / denominator as a whole quotient, numerator left holding the remainder; for
// quotients of a few dozen bits (restoring division, one bit per step).
Natural DivideLeavingRemainder(Natural& numerator, const Natural& denominator) {
  Natural quotient;
  if (numerator < denominator) return quotient;
  for (std::size_t i = numerator.BitLength() - denominator.BitLength() + 1; i-- > 0;) {
    Natural step = denominator;
    step.ShiftLeft(i);
    quotient.ShiftLeft(1);
    if (!(numerator < step)) {
      numerator.Subtract(step);
      quotient.MultiplyAdd(1, 1);
    }
  }
  return quotient;
}

// mantissa * 2^binaryExponent, the mantissa first rounded to the extended format's 64 bits.
Extended ScaledMantissa(Natural mantissa, int binaryExponent, bool inexact) {
  if (mantissa.BitLength() > kMantissaBits) {
    const std::size_t extra = mantissa.BitLength() - kMantissaBits;
    mantissa.ShiftRightRounded(extra, inexact);
    binaryExponent += static_cast<int>(extra);
  }
  // Rounding up may carry into a 65th bit; the mantissa is then 2^64, which halves exactly.
  if (mantissa.BitLength() > kMantissaBits) {
    mantissa.ShiftRightRounded(1);
    ++binaryExponent;
  }
  return std::ldexp(static_cast<Extended>(mantissa.Low64()), binaryExponent);
}

// digits * 10^exponent to the nearest extended.
Extended DecimalToExtended(const Natural& digits, int exponent, bool inexact) {
  if (exponent >= 0) {
    Natural whole = digits;
    for (int i = 0; i < exponent; ++i) whole.MultiplyAdd(kTen, 0);
    return ScaledMantissa(whole, 0, inexact);
  }
  const Natural divisor = PowerOfTen(-exponent);
  const int shift = std::max(0, kMantissaBits + kGuardBits + static_cast<int>(divisor.BitLength()) -
                                    static_cast<int>(digits.BitLength()));
  Natural numerator = digits;
  numerator.ShiftLeft(static_cast<std::size_t>(shift));
  const Natural quotient = DivideLeavingRemainder(numerator, divisor);
  return ScaledMantissa(quotient, -shift, inexact || !numerator.IsZero());
}

struct DecimalText {
  Natural digits;
  int exponent = 0;
  std::size_t significant = 0;  // digits kept in `digits`
  bool dropped = false;         // a non-zero digit beyond kSignificantDigits
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads digits from `at`; those after the point lower the exponent. Answers how many.
std::size_t ReadDigits(std::string_view text, std::size_t& at, DecimalText& number, bool afterPoint) {
  const std::size_t start = at;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    const auto digit = static_cast<std::uint32_t>(text[at] - '0');
    if (number.significant < kSignificantDigits) {
      if (number.significant > 0 || digit != 0) ++number.significant;
      number.digits.MultiplyAdd(kTen, digit);
      if (afterPoint) --number.exponent;
    } else {
      number.dropped = number.dropped || digit != 0;
      if (!afterPoint) ++number.exponent;
    }
  }
  return at - start;
}

// e or E, an optional sign, digits; added to the number's exponent, capped.
bool ReadExponent(std::string_view text, std::size_t& at, DecimalText& number) {
  if (at == text.size()) return true;
  if (text[at] != 'e' && text[at] != 'E') return false;
  ++at;
  const bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  if (at == text.size()) return false;
  int value = 0;
  for (; at < text.size(); ++at) {
    if (!IsDigit(text[at])) return false;
    value = std::min(value * 10 + (text[at] - '0'), kExponentCap);
  }
  number.exponent += negative ? -value : value;
  return true;
}

}  // namespace

std::string ExactFixedNotation(Extended value, unsigned decimals) {
  // |value| = mantissa * 2^exponent, the mantissa a whole number of at most 64 bits (the
  // extended format's own width, so the split is exact).
  int binaryExponent = 0;
  const Extended fraction = std::frexp(std::fabs(value), &binaryExponent);
  Natural scaled(static_cast<std::uint64_t>(std::ldexp(fraction, kMantissaBits)));
  const int exponent = binaryExponent - kMantissaBits;
  for (unsigned i = 0; i < decimals; ++i) scaled.MultiplyAdd(kTen, 0);
  if (exponent >= 0) scaled.ShiftLeft(static_cast<std::size_t>(exponent));
  else scaled.ShiftRightRounded(static_cast<std::size_t>(-exponent));
  std::string digits = scaled.ToDecimal();
  if (digits.size() <= decimals) digits.insert(0, decimals + 1 - digits.size(), '0');
  if (decimals > 0) digits.insert(digits.size() - decimals, 1, '.');
  const bool isZero = digits.find_first_not_of("0.") == std::string::npos;
  return std::signbit(value) && !isZero ? "-" + digits : digits;
}

std::optional<Extended> ParseExactDecimal(std::string_view text) {
  DecimalText number;
  std::size_t at = 0;
  std::size_t digitCount = ReadDigits(text, at, number, false);
  if (at < text.size() && text[at] == '.') {
    ++at;
    digitCount += ReadDigits(text, at, number, true);
  }
  if (digitCount == 0 || !ReadExponent(text, at, number)) return std::nullopt;
  if (number.digits.IsZero()) return Extended{0};
  // The magnitude is below 10^(exponent + significant digits) and at least 10^exponent.
  const int magnitude = number.exponent + static_cast<int>(number.significant);
  if (magnitude > kMaxDecimalExponent) return std::nullopt;
  if (magnitude < kMinDecimalExponent) return Extended{0};
  const Extended value = DecimalToExtended(number.digits, number.exponent, number.dropped);
  if (std::isinf(value)) return std::nullopt;
  return value;
}

}  // namespace dravik::engine::values
