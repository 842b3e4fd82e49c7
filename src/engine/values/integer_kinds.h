#pragma once
// The integer base types as the operators see them: a width and a signedness. Values are
// carried in 64 bits, sign- or zero-extended from their width, and stored back by keeping the
// low bits, which gives the wrap-around the machine promises without signed overflow.

#include <cstdint>
#include <optional>

#include "engine/image/format.h"
#include "engine/values/value_memory.h"

namespace dravik::engine::values {

struct IntegerKind {
  unsigned bits;
  bool isSigned;
};

// These four run for nearly every integer instruction, so they are defined here to be inlined.

// tcU8, tcS8, tcU16, tcS16, tcU32, tcS32 and tcS64; nothing for any other code.
inline std::optional<IntegerKind> IntegerKindOf(image::TPSTypeCode code) {
  switch (code) {
    case image::tcU8: return IntegerKind{8, false};
    case image::tcS8: return IntegerKind{8, true};
    case image::tcU16: return IntegerKind{16, false};
    case image::tcS16: return IntegerKind{16, true};
    case image::tcU32: return IntegerKind{32, false};
    case image::tcS32: return IntegerKind{32, true};
    case image::tcS64: return IntegerKind{64, true};
    default: return std::nullopt;
  }
}

// value cut to the kind's width and extended again, as a store and a load would.
inline std::uint64_t FitInteger(std::uint64_t value, IntegerKind kind) {
  if (kind.bits >= 64) return value;
  const std::uint64_t mask = (std::uint64_t{1} << kind.bits) - 1;
  value &= mask;
  const std::uint64_t signBit = std::uint64_t{1} << (kind.bits - 1);
  if (kind.isSigned && (value & signBit) != 0) value |= ~mask;
  return value;
}

// The value at `at`, extended to 64 bits by its kind.
inline std::uint64_t LoadInteger(const void* at, IntegerKind kind) {
  std::uint64_t raw = 0;
  switch (kind.bits) {
    case 8: raw = Load<std::uint8_t>(at); break;
    case 16: raw = Load<std::uint16_t>(at); break;
    case 32: raw = Load<std::uint32_t>(at); break;
    default: raw = Load<std::uint64_t>(at); break;
  }
  return FitInteger(raw, kind);
}

// Stores the low `kind.bits` bits of value.
inline void StoreInteger(void* at, IntegerKind kind, std::uint64_t value) {
  switch (kind.bits) {
    case 8: Store(at, static_cast<std::uint8_t>(value)); break;
    case 16: Store(at, static_cast<std::uint16_t>(value)); break;
    case 32: Store(at, static_cast<std::uint32_t>(value)); break;
    default: Store(at, value); break;
  }
}

// a op b for the ten integer operators (add to xor) in the kind's width, on values extended as
// LoadInteger gives them; the result is extended the same way. Unsigned kinds divide and shift
// right unsigned, signed kinds signed (an arithmetic shift). Shift counts keep their low 5 bits,
// 6 bits for 64-bit kinds, so that every count names a shift the width can make. A zero divisor
// throws ScriptFault(ErDivideByZero); the most negative value divided by -1 wraps to itself
// (modulo gives 0). Any other operator throws ScriptFault(ErTypeMismatch).
std::uint64_t CalculateInteger(image::CalcOp op, std::uint64_t a, std::uint64_t b, IntegerKind kind);

}  // namespace dravik::engine::values
