// Literal tokens as typed constant values.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "engine/compiler/compilation.h"
#include "engine/tokenizer/integer_literal.h"

namespace dravik::engine {

namespace {

// Character codes beyond 16 bits cannot be held by a wide character.
constexpr std::uint32_t kMaxCharCode = 0xFFFF;

// '#' digits | '#$' hexdigits; nothing for a code that does not convert.
std::optional<std::uint32_t> CharCodeValue(std::string_view token) {
  std::string_view digits = token.substr(1);
  int base = 10;
  if (digits.starts_with('$')) {
    digits.remove_prefix(1);
    base = 16;
  }
  std::uint32_t code = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), code, base);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
      code > kMaxCharCode)
    return std::nullopt;
  return code;
}

// Digits beyond this many are not significant in a 64-bit mantissa.
constexpr int kMantissaDigits = 19;
// Decimal exponents beyond this are infinite or zero in every extended real.
constexpr std::int64_t kExponentLimit = 100000;

long double PowerOfTen(std::int64_t exponent) {
  long double result = 1, power = 10;
  for (;;) {
    if ((exponent & 1) != 0) result *= power;
    exponent >>= 1;
    if (exponent == 0) return result;
    power *= power;
  }
}

// digits ['.' digits] [('E'|'e') ['+'|'-'] digits], as the tokenizer delivers real literals.
// Converted here rather than by the library: some libraries go through double and lose the
// extended range, and the result must be the same bytes on every build.
long double ExtendedOf(std::string_view text) {
  std::uint64_t mantissa = 0;
  int significant = 0;
  std::int64_t exponent = 0;
  bool fraction = false;
  std::size_t i = 0;
  for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
    if (text[i] == '.') {
      fraction = true;
      continue;
    }
    const unsigned digit = static_cast<unsigned>(text[i] - '0');
    if (significant < kMantissaDigits) {
      mantissa = mantissa * 10 + digit;
      if (mantissa != 0) ++significant;
      if (fraction) --exponent;
    } else if (!fraction) {
      ++exponent;
    }
  }
  if (i < text.size()) {
    const bool negative = i + 1 < text.size() && text[i + 1] == '-';
    std::int64_t written = 0;
    for (std::size_t k = i + 1; k < text.size(); ++k)
      if (text[k] >= '0' && text[k] <= '9') written = std::min(kExponentLimit, written * 10 + (text[k] - '0'));
    exponent += negative ? -written : written;
  }
  if (mantissa == 0) return 0;
  const long double scale = PowerOfTen(exponent < 0 ? -exponent : exponent);
  const auto value = static_cast<long double>(mantissa);
  return exponent < 0 ? value / scale : value * scale;
}

// The text between the quotes with each doubled quote reduced to one.
void AppendQuoted(std::u16string& to, std::string_view token) {
  std::string_view inner = token.substr(1, token.size() - 2);
  for (std::size_t i = 0; i < inner.size(); ++i) {
    to.push_back(static_cast<unsigned char>(inner[i]));
    if (inner[i] == '\'') ++i;
  }
}

}  // namespace

TPSTypedValue Compilation::IntegerValue(TPSTypeCode code, std::int64_t value) {
  TPSTypedValue result;
  result.type = FindBaseType(code);
  result.ordinal = static_cast<std::uint64_t>(value);
  if (code != tcS64) result.ordinal &= 0xFFFFFFFFu;
  return result;
}

TPSTypedValue Compilation::BooleanValue(bool value) {
  TPSTypedValue result;
  result.type = boolean_;
  result.ordinal = value ? 1 : 0;
  return result;
}

std::optional<TPSTypedValue> Compilation::ReadIntegerToken(const TPSPascalParser& p) {
  IntegerLiteral literal = ReadIntegerLiteral(p.Token());
  switch (literal.type) {
    case IntegerLiteralType::LongInt: return IntegerValue(tcS32, literal.value);
    case IntegerLiteralType::LongWord: return IntegerValue(tcU32, literal.value);
    default: return IntegerValue(tcS64, literal.value);
  }
}

std::optional<TPSTypedValue> Compilation::ReadRealToken(const TPSPascalParser& p) {
  static_assert(std::numeric_limits<long double>::digits == 64,
                "Extended constants are kept in the 80-bit extended format");
  TPSTypedValue result;
  result.type = FindBaseType(tcExtended);
  result.real = ExtendedOf(p.Token());
  if (!std::isfinite(result.real)) return Fail(p, ecMathError), std::nullopt;
  return result;
}

// string-literal: {string | char-code}, no two strings directly after each other
std::optional<TPSTypedValue> Compilation::ReadStringLiteral(TPSPascalParser& p) {
  std::u16string text;
  bool wide = false;
  TPSTokenKind previous = tokEOF;
  while (p.TokenKind() == tokString || p.TokenKind() == tokCharCode) {
    if (p.TokenKind() == tokString) {
      if (previous == tokString) return Fail(p, ecSyntaxError), std::nullopt;
      AppendQuoted(text, p.Token());
    } else {
      std::optional<std::uint32_t> code = CharCodeValue(p.Token());
      if (!code) return Fail(p, ecSyntaxError), std::nullopt;
      wide = wide || *code > 0xFF;
      text.push_back(static_cast<char16_t>(*code));
    }
    previous = p.TokenKind();
    p.Next();
  }
  TPSTypedValue result;
  if (wide) {
    result.type = FindBaseType(text.size() == 1 ? tcWideChar : tcWideString);
    if (text.size() == 1) result.ordinal = text[0];
    else result.wideText = std::move(text);
    return result;
  }
  // Narrow literals hold only codes up to 255, which are their own 8-bit bytes.
  std::string narrow(text.begin(), text.end());
  result.type = FindBaseType(narrow.size() == 1 ? tcChar : tcString);
  if (narrow.size() == 1) result.ordinal = static_cast<unsigned char>(narrow[0]);
  else result.text = std::move(narrow);
  return result;
}

}  // namespace dravik::engine
