#pragma once
// Numbers meeting text and the rounding routines of the built-in library, the same on every
// build (no locale, no printf).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/values/value_memory.h"

namespace dravik::engine::library {

enum class IntegerWidth : unsigned { k32 = 32, k64 = 64 };

// Integer text as StrToInt reads it: blanks (byte 32), an optional sign, then either decimal
// digits or hexadecimal digits after "$", "x" or "0x" (either case), and nothing after. A sign
// may precede a hexadecimal prefix. Decimal text must lie in the signed range of the width;
// hexadecimal text is a bit pattern of at most `width` bits (so $FFFFFFFF is -1 on 32 bits),
// negated with wrap-around after a minus. Anything else gives nothing.
std::optional<std::int64_t> ParseIntegerText(std::string_view text, IntegerWidth width);

// The failure of StrToInt and StrToInt64, reported as erException with the message
// "'<text>' is not a valid integer value" (the whole text, zero bytes included).
[[noreturn]] void FailInvalidInteger(std::string_view text);

// Decimal text with "." as the separator (optional blanks, sign, fraction, exponent) to the
// nearest extended real; anything else, and a number beyond the extended range, throws
// HostException("Invalid float").
values::Extended ParseFloatText(std::string_view text);

// Fixed notation with exactly 12 digits after the point, from the value's exact digits (no
// detour through a narrower real): 1.5 gives "1.500000000000". Zero never carries a minus; the
// non-finite values give "NAN", "INF" and "-INF".
std::string FormatFixed12(values::Extended value);

// The nearest 32-bit integer, halves to the even neighbour (RoundToInt32), or the integer part
// toward zero (TruncToInt32); a value that is not finite or lies outside the 32-bit range throws
// ScriptFault(ErMathError).
std::int32_t RoundToInt32(values::Extended value);
std::int32_t TruncToInt32(values::Extended value);

// result, unless an operation turned the finite argument into a non-finite result (the square
// root of a negative number): that throws ScriptFault(ErMathError), as the machine's own real
// operators do.
values::Extended CheckedMathResult(values::Extended argument, values::Extended result);

}  // namespace dravik::engine::library
