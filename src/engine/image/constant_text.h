#pragma once
// How the disassembler writes constant values. The text is the same on every build: numbers go
// through std::to_chars, never through a locale or long double.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/image/image_tables.h"

namespace dravik::engine::image {

// The value alone: 42, -7, 1.5, 'it''s'#13#10, #65, [0,3,9], R4, 12.3400 (currency).
// The constant's bytes must be a complete encoding of its base type (ReadConstantBytes).
std::string ConstantText(const ImageConstant& constant);

// A table entry's number as listed: T3, R0, G12.
std::string NumberedText(char table, std::uint64_t number);

// Text between quotes, doubling quotes; bytes below 32 and from 127 on as #n outside them.
std::string QuotedText(std::string_view bytes);

}  // namespace dravik::engine::image
