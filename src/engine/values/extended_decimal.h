#pragma once
// Exact conversions between decimal text and extended reals. Every finite binary real is a whole
// number times a power of two, so its decimal expansion is finite, and every decimal number lies
// between two extended reals; both directions are computed with whole-number arithmetic, so the
// answers do not depend on the C library's printf or strtold, nor on how a build's long double
// rounds beyond the extended format.

#include <optional>
#include <string>
#include <string_view>

#include "engine/values/value_memory.h"

namespace dravik::engine::values {

// The finite value in fixed notation with exactly `decimals` digits after the point, rounded to
// the nearest, halves to the even neighbour; "-" only when the rounded value is not zero.
std::string ExactFixedNotation(Extended value, unsigned decimals);

// The extended real nearest to an unsigned decimal number: digits with an optional '.' and
// fraction (at least one digit in all), then an optional exponent (e or E, an optional sign,
// digits). Nothing for any other text and for a number beyond the extended range; a number
// below the smallest extended real gives 0. Digits beyond kSignificantDigits count only as
// "something more", which decides every rounding but the rarest near-ties.
inline constexpr std::size_t kSignificantDigits = 60;
std::optional<Extended> ParseExactDecimal(std::string_view text);

}  // namespace dravik::engine::values
