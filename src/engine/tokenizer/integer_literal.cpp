#include "engine/tokenizer/integer_literal.h"

#include <limits>
#include <optional>

namespace dravik::engine::tokenizer {

namespace {

std::optional<unsigned> DigitValue(char c, unsigned base) {
  unsigned v;
  if (c >= '0' && c <= '9') v = static_cast<unsigned>(c - '0');
  else if (c >= 'A' && c <= 'F') v = static_cast<unsigned>(c - 'A' + 10);
  else if (c >= 'a' && c <= 'f') v = static_cast<unsigned>(c - 'a' + 10);
  else return std::nullopt;
  if (v >= base) return std::nullopt;
  return v;
}

bool AllDigits(std::string_view digits, unsigned base) {
  if (digits.empty()) return false;
  for (char c : digits)
    if (!DigitValue(c, base)) return false;
  return true;
}

// Accumulates digits without ever overflowing; nothing when the value passes the limit.
std::optional<std::uint64_t> Accumulate(std::string_view digits, unsigned base, std::uint64_t limit) {
  std::uint64_t value = 0;
  for (char c : digits) {
    const unsigned digit = *DigitValue(c, base);
    if (value > (limit - digit) / base) return std::nullopt;
    value = value * base + digit;
  }
  return value;
}

IntegerLiteralType TypeOf(std::int64_t value) {
  if (value >= std::numeric_limits<std::int32_t>::min() &&
      value <= std::numeric_limits<std::int32_t>::max())
    return IntegerLiteralType::LongInt;
  if (value > 0 && value <= std::numeric_limits<std::uint32_t>::max())
    return IntegerLiteralType::LongWord;
  return IntegerLiteralType::Int64;
}

}  // namespace

std::optional<IntegerLiteral> ReadIntegerLiteral(std::string_view text) {
  const bool hex = text.starts_with('$');
  const std::string_view digits = hex ? text.substr(1) : text;
  const unsigned base = hex ? 16 : 10;
  if (!AllDigits(digits, base)) return IntegerLiteral{};
  std::optional<std::uint64_t> bits =
      Accumulate(digits, base, hex ? std::numeric_limits<std::uint64_t>::max()
                                   : static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()));
  if (!bits) return std::nullopt;
  // Conversion to a signed type is modular in C++20: the top bit gives a negative value.
  const auto value = static_cast<std::int64_t>(*bits);
  return IntegerLiteral{value, TypeOf(value)};
}

}  // namespace dravik::engine::tokenizer
