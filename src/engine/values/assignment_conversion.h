#pragma once
// The conversions of the assignment rules (operators.h): a source value read as the kind a
// destination of a numeric, character or string type takes. Sources are already followed
// (FollowPointer); a null reference, or a source the rules do not accept for that kind, throws
// HostException("Type Mismatch").

#include <cstdint>
#include <string>

#include "engine/values/operators.h"
#include "engine/values/value_memory.h"

namespace dravik::engine::values {

// What tcU8 ... tcS32, tcChar and tcWideChar take: the integer kinds (extended by their own
// signedness), tcS64, the characters and variants. Destinations keep the low bits.
std::int64_t ConvertToOrdinal(ValueRef source);
// What tcS64 takes: the integer kinds, tcS64 and variants.
std::int64_t ConvertToInt64(ValueRef source);
// What the reals take: the integer kinds, tcS64, reals, currency and variants.
Extended ConvertToReal(ValueRef source);
// What tcCurrency takes, as the scaled value: integers and reals times 10000, currency as is.
std::int64_t ConvertToCurrency(ValueRef source);
// What tcString and tcPChar take: characters, strings, PChar, wide strings and variants.
std::string ConvertToString(ValueRef source);
// What tcWideString takes: tcChar, tcU16, tcWideChar, strings, PChar, wide strings and variants.
std::u16string ConvertToWideString(ValueRef source);

// A number as a currency (scaled by 10000). The scaled real is rounded to the nearest integer,
// halves to the even neighbour as currency arithmetic rounds; a result outside the 64-bit range
// throws ScriptFault(ErMathError).
std::int64_t IntegerToCurrency(std::int64_t number);
std::int64_t RealToCurrency(Extended number);

// Stores a real into a tcSingle, tcDouble or tcExtended value; a real too large for a narrower
// format becomes an infinity of its sign.
void StoreReal(void* at, image::TPSTypeCode code, Extended number);

// Replaces the variant at `at` by the value turned into a variant (ValueToVariant); the old
// variant is released only once the new one is made.
void StoreAsVariant(void* at, ValueRef value);

}  // namespace dravik::engine::values
