#pragma once
// Numbers meeting text and each other, the same on every build: no locale, no printf, no
// dependence on the host's floating-point rounding mode.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/values/value_memory.h"

namespace dravik::engine::values {

// A number read from text: an integer when the text has no fraction or exponent and fits in
// 64 bits, else a real.
struct ParsedNumber {
  bool isInteger = true;
  std::int64_t integer = 0;
  Extended real = 0;
  Extended AsReal() const { return isInteger ? static_cast<Extended>(integer) : real; }
};

// Reads a decimal number: optional blanks, an optional sign, digits with an optional '.'
// fraction and an optional exponent, optional blanks. Nothing else is a number.
std::optional<ParsedNumber> ParseNumber(std::string_view text);

// The nearest integer, halves to the even neighbour; nothing when the real is not finite or
// out of the 64-bit range.
std::optional<std::int64_t> RoundToInt64(Extended value);

// The shortest digits that read back as the same value, in fixed notation for exponents from
// -5 to 14 and as "1.5E20" beyond; "NAN", "INF", "-INF" for the non-finite values.
std::string FormatDouble(double value);
std::string FormatSingle(float value);

// A currency value (scaled by 10000) with its fraction trimmed of trailing zeros: "1.5", "-3".
std::string FormatCurrency(std::int64_t scaled);

}  // namespace dravik::engine::values
