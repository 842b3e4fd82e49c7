#include "engine/library/number_routines.h"

#include <cmath>
#include <limits>

#include "engine/values/extended_decimal.h"
#include "engine/values/number_conversion.h"
#include "engine/values/script_fault.h"

namespace dravik::engine::library {

namespace {

constexpr char kBlank = ' ';
constexpr unsigned kFixedDecimals = 12;
constexpr const char* kInvalidFloatMessage = "Invalid float";
constexpr values::Extended kInt32Low = -2147483648.0L;
constexpr values::Extended kInt32High = 2147483647.0L;

// Real text may have spaces and tabs on either side; integer text only leading spaces.
bool IsFloatBlank(char c) { return c == ' ' || c == '\t'; }

struct SignedText {
  bool negative = false;
  std::string_view body;
};

SignedText SplitSign(std::string_view text) {
  while (!text.empty() && text.front() == kBlank) text.remove_prefix(1);
  SignedText result;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    result.negative = text.front() == '-';
    text.remove_prefix(1);
  }
  result.body = text;
  return result;
}

// The digits after a hexadecimal prefix; nothing when there is no prefix.
std::optional<std::string_view> HexDigits(std::string_view body) {
  if (body.starts_with('$') || body.starts_with('x') || body.starts_with('X')) return body.substr(1);
  if (body.starts_with("0x") || body.starts_with("0X")) return body.substr(2);
  return std::nullopt;
}

int DigitValue(char c, int base) {
  int value = base;
  if (c >= '0' && c <= '9') value = c - '0';
  else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < base ? value : -1;
}

// The digits as an unsigned number no greater than limit; nothing for an empty text, a bad
// digit or a greater value.
std::optional<std::uint64_t> ReadMagnitude(std::string_view digits, int base, std::uint64_t limit) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  const auto b = static_cast<std::uint64_t>(base);
  for (char c : digits) {
    const int digit = DigitValue(c, base);
    if (digit < 0 || value > (limit - static_cast<std::uint64_t>(digit)) / b) return std::nullopt;
    value = value * b + static_cast<std::uint64_t>(digit);
  }
  return value;
}

// The bit pattern in the width's low bits, read as a signed number of that width.
std::int64_t SignedInWidth(std::uint64_t bits, IntegerWidth width) {
  if (width == IntegerWidth::k32) return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
  return static_cast<std::int64_t>(bits);
}

}  // namespace

std::optional<std::int64_t> ParseIntegerText(std::string_view text, IntegerWidth width) {
  const SignedText s = SplitSign(text);
  const unsigned bits = static_cast<unsigned>(width);
  if (const std::optional<std::string_view> hex = HexDigits(s.body)) {
    const std::uint64_t all = bits == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1;
    const std::optional<std::uint64_t> pattern = ReadMagnitude(*hex, 16, all);
    if (!pattern) return std::nullopt;
    return SignedInWidth(s.negative ? 0 - *pattern : *pattern, width);
  }
  // The most negative value has one more unit of magnitude than the most positive.
  const std::uint64_t highest = (std::uint64_t{1} << (bits - 1)) - (s.negative ? 0 : 1);
  const std::optional<std::uint64_t> magnitude = ReadMagnitude(s.body, 10, highest);
  if (!magnitude) return std::nullopt;
  return SignedInWidth(s.negative ? 0 - *magnitude : *magnitude, width);
}

// Reported as a fault with its text rather than thrown as a host exception, whose message would
// end at the first zero byte of the text.
void FailInvalidInteger(std::string_view text) {
  throw values::ScriptFault(image::erException, "'" + std::string(text) + "' is not a valid integer value");
}

values::Extended ParseFloatText(std::string_view text) {
  while (!text.empty() && IsFloatBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsFloatBlank(text.back())) text.remove_suffix(1);
  const SignedText s = SplitSign(text);
  const std::optional<values::Extended> magnitude = values::ParseExactDecimal(s.body);
  if (!magnitude) throw values::HostException(kInvalidFloatMessage);
  return s.negative ? -*magnitude : *magnitude;
}

std::string FormatFixed12(values::Extended value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  return values::ExactFixedNotation(value, kFixedDecimals);
}

std::int32_t RoundToInt32(values::Extended value) {
  const std::optional<std::int64_t> rounded = values::RoundToInt64(value);
  if (!rounded || *rounded < std::numeric_limits<std::int32_t>::min() ||
      *rounded > std::numeric_limits<std::int32_t>::max())
    values::FailWith(image::ErMathError);
  return static_cast<std::int32_t>(*rounded);
}

std::int32_t TruncToInt32(values::Extended value) {
  const values::Extended whole = std::trunc(value);
  if (!(whole >= kInt32Low && whole <= kInt32High)) values::FailWith(image::ErMathError);
  return static_cast<std::int32_t>(whole);
}

values::Extended CheckedMathResult(values::Extended argument, values::Extended result) {
  if (!std::isfinite(result) && std::isfinite(argument)) values::FailWith(image::ErMathError);
  return result;
}

}  // namespace dravik::engine::library
