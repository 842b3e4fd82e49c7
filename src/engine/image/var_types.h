#pragma once
// The variant type codes (TVarType). One table for both sides: the compiler declares each row as
// a TVarType constant for scripts, and the runtime tags its variants with the same numbers, so a
// script comparing VarType(v) with varString sees the code the machine stored.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dravik::engine::image {

// X(name, code), names as scripts spell them.
#define DRAVIK_VAR_TYPES(X)                                                                        \
  X(varEmpty, 0) X(varNull, 1) X(varSmallInt, 2) X(varInteger, 3) X(varSingle, 4) X(varDouble, 5) \
  X(varCurrency, 6) X(varDate, 7) X(varOleStr, 8) X(varDispatch, 9) X(varError, 10)               \
  X(varBoolean, 11) X(varVariant, 12) X(varUnknown, 13) X(varShortInt, 16) X(varByte, 17)         \
  X(varWord, 18) X(varLongWord, 19) X(varInt64, 20) X(varStrArg, 72) X(varString, 256)            \
  X(varAny, 257) X(varTypeMask, 4095) X(varArray, 8192) X(varByRef, 16384)

enum VarTypeCode : std::uint16_t {
#define DRAVIK_VAR_TYPE_ENUM(name, code) name = code,
  DRAVIK_VAR_TYPES(DRAVIK_VAR_TYPE_ENUM)
#undef DRAVIK_VAR_TYPE_ENUM
};

struct VarTypeConstant {
  std::string_view name;
  std::uint16_t code;
};

inline constexpr std::array kVarTypeCodes = {
#define DRAVIK_VAR_TYPE_ENTRY(name, code) VarTypeConstant{#name, code},
    DRAVIK_VAR_TYPES(DRAVIK_VAR_TYPE_ENTRY)
#undef DRAVIK_VAR_TYPE_ENTRY
};
inline constexpr std::size_t kVarTypeCount = 25;
static_assert(kVarTypeCodes.size() == kVarTypeCount);

}  // namespace dravik::engine::image
