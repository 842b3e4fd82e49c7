// Literal tokens as typed constant values.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "engine/compiler/compilation.h"
#include "engine/tokenizer/integer_literal.h"
#include "engine/values/extended_decimal.h"

namespace dravik::engine::compiler {

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

// digits ['.' digits] [('E'|'e') ['+'|'-'] digits], as the tokenizer delivers real literals:
// the nearest extended real, worked out exactly so that it is the same bytes on every build;
// infinite beyond the extended range.
long double ExtendedOf(std::string_view text) {
  return values::ParseExactDecimal(text).value_or(std::numeric_limits<long double>::infinity());
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

TPSTypedValue Compilation::IntegerValue(image::TPSTypeCode code, std::int64_t value) {
  TPSTypedValue result;
  result.type = FindBaseType(code);
  result.ordinal = static_cast<std::uint64_t>(value);
  if (code != image::tcS64) result.ordinal &= 0xFFFFFFFFu;
  return result;
}

TPSTypedValue Compilation::BooleanValue(bool value) {
  TPSTypedValue result;
  result.type = boolean_;
  result.ordinal = value ? 1 : 0;
  return result;
}

std::optional<TPSTypedValue> Compilation::ReadIntegerToken(const tokenizer::TPSPascalParser& p) {
  const std::optional<tokenizer::IntegerLiteral> literal = tokenizer::ReadIntegerLiteral(p.Token());
  if (!literal) {
    Fail(p, ecIntegerOutOfRange);
    return std::nullopt;
  }
  switch (literal->type) {
    case tokenizer::IntegerLiteralType::LongInt: return IntegerValue(image::tcS32, literal->value);
    case tokenizer::IntegerLiteralType::LongWord: return IntegerValue(image::tcU32, literal->value);
    default: return IntegerValue(image::tcS64, literal->value);
  }
}

std::optional<TPSTypedValue> Compilation::ReadRealToken(const tokenizer::TPSPascalParser& p) {
  static_assert(std::numeric_limits<long double>::digits == 64,
                "Extended constants are kept in the 80-bit extended format");
  TPSTypedValue result;
  result.type = FindBaseType(image::tcExtended);
  result.real = ExtendedOf(p.Token());
  if (!std::isfinite(result.real)) {
    Fail(p, ecMathError);
    return std::nullopt;
  }
  return result;
}

// string-literal: {string | char-code}, no two strings directly after each other
std::optional<TPSTypedValue> Compilation::ReadStringLiteral(tokenizer::TPSPascalParser& p) {
  std::u16string text;
  bool wide = false;
  tokenizer::TPSTokenKind previous = tokenizer::tokEOF;
  while (p.TokenKind() == tokenizer::tokString || p.TokenKind() == tokenizer::tokCharCode) {
    if (p.TokenKind() == tokenizer::tokString) {
      if (previous == tokenizer::tokString) {
        Fail(p, ecSyntaxError);
        return std::nullopt;
      }
      AppendQuoted(text, p.Token());
    } else {
      std::optional<std::uint32_t> code = CharCodeValue(p.Token());
      if (!code) {
        Fail(p, ecSyntaxError);
        return std::nullopt;
      }
      wide = wide || *code > 0xFF;
      text.push_back(static_cast<char16_t>(*code));
    }
    previous = p.TokenKind();
    p.Next();
  }
  TPSTypedValue result;
  if (wide) {
    result.type = FindBaseType(text.size() == 1 ? image::tcWideChar : image::tcWideString);
    if (text.size() == 1) result.ordinal = text[0];
    else result.wideText = std::move(text);
    return result;
  }
  // Narrow literals hold only codes up to 255, which are their own 8-bit bytes.
  std::string narrow(text.begin(), text.end());
  result.type = FindBaseType(narrow.size() == 1 ? image::tcChar : image::tcString);
  if (narrow.size() == 1) result.ordinal = static_cast<unsigned char>(narrow[0]);
  else result.text = std::move(narrow);
  return result;
}

}  // namespace dravik::engine::compiler
