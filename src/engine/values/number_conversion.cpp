#include "engine/values/number_conversion.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "engine/values/real_arithmetic.h"

namespace dravik::engine::values {

namespace {

constexpr int kFirstFixedExponent = -5;
constexpr int kFirstScientificExponent = 15;
// 2^63 as a real: the first value above the 64-bit range.
constexpr Extended kInt64Bound = 9223372036854775808.0L;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Skips a run of digits from `at`; answers how many there were.
std::size_t SkipDigits(std::string_view text, std::size_t& at) {
  std::size_t start = at;
  while (at < text.size() && IsDigit(text[at])) ++at;
  return at - start;
}

// Whether the whole text has the shape of a decimal number (sign already removed); sets
// isInteger when it has neither fraction nor exponent.
bool HasNumberShape(std::string_view text, bool& isInteger) {
  std::size_t at = 0;
  std::size_t digits = SkipDigits(text, at);
  isInteger = true;
  if (at < text.size() && text[at] == '.') {
    ++at;
    digits += SkipDigits(text, at);
    isInteger = false;
  }
  if (digits == 0) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (SkipDigits(text, at) == 0) return false;
    isInteger = false;
  }
  return at == text.size();
}

// Digits and decimal exponent of the shortest round-trip form, from to_chars' scientific output
// ("1.2345e+02" gives digits "12345", exponent 2).
struct ShortestDigits {
  std::string digits;
  int exponent = 0;
};

ShortestDigits SplitScientific(std::string_view text) {
  ShortestDigits result;
  std::size_t e = text.find('e');
  for (char c : text.substr(0, e))
    if (IsDigit(c)) result.digits += c;
  std::string_view exponent = text.substr(e + 1);
  if (!exponent.empty() && exponent.front() == '+') exponent.remove_prefix(1);
  std::from_chars(exponent.data(), exponent.data() + exponent.size(), result.exponent);
  while (result.digits.size() > 1 && result.digits.back() == '0') result.digits.pop_back();
  return result;
}

// Text is built by appending: GCC 12 warns falsely (-Wrestrict) on some concatenations of
// temporaries on the 32-bit build.
std::string FixedNotation(const ShortestDigits& d) {
  auto count = static_cast<int>(d.digits.size());
  std::string text;
  if (d.exponent < 0) {
    text.append("0.").append(static_cast<std::size_t>(-d.exponent - 1), '0').append(d.digits);
  } else if (d.exponent + 1 >= count) {
    text.append(d.digits).append(static_cast<std::size_t>(d.exponent + 1 - count), '0');
  } else {
    auto point = static_cast<std::size_t>(d.exponent + 1);
    text.append(d.digits, 0, point).append(1, '.').append(d.digits, point);
  }
  return text;
}

std::string ScientificNotation(const ShortestDigits& d) {
  std::string text(1, d.digits[0]);
  if (d.digits.size() > 1) text.append(1, '.').append(d.digits, 1);
  text.append(d.exponent < 0 ? "E-" : "E+").append(std::to_string(std::abs(d.exponent)));
  return text;
}

template <class Real>
std::string FormatReal(Real value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  // Enough for a sign, 17 digits, a point and a four-digit exponent.
  char buffer[48];
  std::to_chars_result written =
      std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific);
  ShortestDigits d = SplitScientific(std::string_view(buffer, static_cast<std::size_t>(written.ptr - buffer)));
  std::string text = d.exponent >= kFirstFixedExponent && d.exponent < kFirstScientificExponent
                         ? FixedNotation(d)
                         : ScientificNotation(d);
  return value < 0 ? text.insert(0, 1, '-') : text;
}

}  // namespace

std::optional<ParsedNumber> ParseNumber(std::string_view text) {
  text = TrimBlanks(text);
  bool negative = !text.empty() && text.front() == '-';
  std::string_view body = !text.empty() && (text.front() == '-' || text.front() == '+') ? text.substr(1) : text;
  bool isInteger = true;
  if (!HasNumberShape(body, isInteger)) return std::nullopt;
  ParsedNumber number;
  // from_chars takes a leading minus but no plus, so the sign goes back on by hand.
  std::string_view digits = negative ? text : body;
  if (isInteger) {
    std::from_chars_result r = std::from_chars(digits.data(), digits.data() + digits.size(), number.integer);
    if (r.ec == std::errc{}) return number;
  }
  double real = 0;
  std::from_chars_result r = std::from_chars(digits.data(), digits.data() + digits.size(), real);
  if (r.ec != std::errc{}) return std::nullopt;
  number.isInteger = false;
  number.real = real;
  return number;
}

std::optional<std::int64_t> RoundToInt64(Extended value) {
  if (!std::isfinite(value)) return std::nullopt;
  Extended whole = std::floor(value);
  Extended fraction = value - whole;
  if (fraction > 0.5L || (fraction == 0.5L && std::fmod(whole, 2.0L) != 0)) whole += 1;
  if (whole < -kInt64Bound || whole >= kInt64Bound) return std::nullopt;
  return static_cast<std::int64_t>(whole);
}

std::string FormatDouble(double value) { return FormatReal(value); }
std::string FormatSingle(float value) { return FormatReal(value); }

std::string FormatCurrency(std::int64_t scaled) {
  // Magnitude in unsigned arithmetic: the most negative value has no positive counterpart.
  std::uint64_t magnitude = scaled < 0 ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
  std::uint64_t scale = static_cast<std::uint64_t>(kCurrencyScale);
  std::string text = std::to_string(magnitude / scale);
  std::string fraction = std::to_string(magnitude % scale + scale).substr(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) text.append(1, '.').append(fraction);
  return scaled < 0 ? text.insert(0, 1, '-') : text;
}

}  // namespace dravik::engine::values
