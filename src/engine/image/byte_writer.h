#pragma once
// Appending little-endian numbers to a byte string (the image and the debug output), and
// patching a uint32 already written (code offsets, jump displacements filled in later).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dravik::engine {

void AppendU8(std::string& out, std::uint8_t value);
void AppendU16(std::string& out, std::uint16_t value);
void AppendU32(std::string& out, std::uint32_t value);
void AppendI32(std::string& out, std::int32_t value);
void AppendU64(std::string& out, std::uint64_t value);
void AppendBytes(std::string& out, std::string_view bytes);
// uint32 length, then the bytes.
void AppendLengthPrefixed(std::string& out, std::string_view bytes);

// Overwrites the 4 bytes at offset. Answers false, changing nothing, when they are not all
// inside out.
bool PatchU32(std::string& out, std::size_t offset, std::uint32_t value);

}  // namespace dravik::engine
