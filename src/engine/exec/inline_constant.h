#pragma once
// Inline constants of the byte code (operand kind 1), turned into values.

#include <cstdint>

#include "engine/values/type_records.h"

namespace dravik::engine::exec {

// Writes an inline constant's value into value (default-initialised, of the constant's type):
// bytes are the encoding after any length prefix; count is their number, or the number of
// characters of a wide string.
void WriteInlineConstant(void* value, const values::TPSTypeRec& type, const std::uint8_t* bytes, std::uint32_t count);

}  // namespace dravik::engine::exec
