#pragma once
// The script variant: a 16-byte tagged value that can hold nothing (unassigned), null, any of
// the integer kinds, single and double reals, currency, a date, a boolean, an 8-bit or wide
// string, a 64-bit integer, or an array of variants.
//
// Layout in value memory (16 bytes): the VarType code as uint16 at offset 0, six unused bytes,
// then an 8-byte payload at offset 8: the integer or real in place (little-endian), or a native
// pointer to a StringBlock (varString), a WideStringBlock (varOleStr) or an ArrayBlock of
// variants (varArray | varVariant). All zero is the unassigned variant.
//
// VarType codes are the TVarType constants scripts see (kVarTypeCodes, var_types.h).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/image/format.h"
#include "engine/image/var_types.h"
#include "engine/values/value_memory.h"

namespace dravik::engine::values {

inline constexpr std::size_t kVariantTypeOffset = 0;
inline constexpr std::size_t kVariantPayloadOffset = 8;

inline std::uint16_t VariantTypeAt(const void* at) { return Load<std::uint16_t>(at); }

// The tcVariant record of the elements of variant arrays (varArray | varVariant). Variant arrays
// are made where no executor is at hand (a variant copied or converted), so the record is one
// immutable process-wide value, laid out like every executor's own variant record.
const TPSTypeRec& VariantElementRecord();

// Releases what the variant holds and leaves it unassigned.
void FinalizeVariant(void* at);
// dest := source; strings and arrays are shared.
void CopyVariant(void* dest, const void* source);

// Writers: each releases what the variant held and stores the new value. A variant boolean is
// stored as the 16-bit 0 or -1 of the platform variant and read as true when non-zero.
void SetVariantNull(void* at);
// type: one of the integer kinds varSmallInt ... varInt64; the value is cut to its width.
void SetVariantInteger(void* at, image::VarTypeCode type, std::int64_t value);
// type: varSingle, varDouble or varDate.
void SetVariantReal(void* at, image::VarTypeCode type, double value);
void SetVariantCurrency(void* at, std::int64_t scaled);
void SetVariantBoolean(void* at, bool value);
void SetVariantString(void* at, std::string_view text);
void SetVariantWideString(void* at, std::u16string_view text);
// Takes over one reference on a block of variants (VariantElementRecord); null is the empty
// array.
void SetVariantArray(void* at, ArrayBlock* block);

// Conversions out of a variant, for the assignment rules. An unassigned variant converts to 0 or
// the empty string; null, and anything that cannot convert, throws HostException("Type Mismatch")
// (erNullVariantError is left to the variant routines). Text converts as a number, except that
// a 32-bit ordinal or character destination (VariantToOrdinal) takes a one-character string as
// that character's code.
std::int64_t VariantToInt64(const void* at);
std::int64_t VariantToOrdinal(const void* at);
Extended VariantToReal(const void* at);
std::string VariantToString(const void* at);
std::u16string VariantToWideString(const void* at);

// A variant of the C++ stack (an operand turned into a variant for one operation), released
// when it goes out of scope.
class ScopedVariant {
 public:
  ScopedVariant() = default;
  ~ScopedVariant() { FinalizeVariant(bytes_.data()); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  void* Data() { return bytes_.data(); }

 private:
  std::array<std::uint8_t, kVariantMemSize> bytes_{};
};

// The variant operator table (OpCalculate, OpCompare and the unary operators on variants).
// Failures throw; the machine reports them as the operators.h rules say.
void VariantCalculate(image::CalcOp op, void* dest, const void* source);
bool VariantCompare(image::CompareOp op, const void* left, const void* right);
void VariantBooleanNot(void* at);
void VariantNegate(void* at);
void VariantIntegerNot(void* at);

}  // namespace dravik::engine::values
