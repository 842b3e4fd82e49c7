#pragma once
// Appending little-endian numbers to a byte string (the image and the debug output), and
// patching a uint32 already written (code offsets, jump displacements filled in later). The
// appends are inline: the code generator makes one for nearly every operand it writes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dravik::engine::image {

// Writes the low Count bytes of value at `at`, lowest first; answers the position after them.
// Several fields put into one buffer go out in one append.
template <std::size_t Count>
char* PutLittleEndian(char* at, std::uint64_t value) {
  for (std::size_t i = 0; i < Count; ++i) at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return at + Count;
}
inline char* PutU32(char* at, std::uint32_t value) { return PutLittleEndian<4>(at, value); }

// The low Count bytes of value, lowest first, appended in one step.
template <std::size_t Count>
void AppendLittleEndian(std::string& out, std::uint64_t value) {
  std::array<char, Count> bytes;
  PutLittleEndian<Count>(bytes.data(), value);
  out.append(bytes.data(), Count);
}

inline void AppendU8(std::string& out, std::uint8_t value) { out.push_back(static_cast<char>(value)); }
inline void AppendU16(std::string& out, std::uint16_t value) { AppendLittleEndian<2>(out, value); }
inline void AppendU32(std::string& out, std::uint32_t value) { AppendLittleEndian<4>(out, value); }
inline void AppendI32(std::string& out, std::int32_t value) {
  AppendLittleEndian<4>(out, static_cast<std::uint32_t>(value));
}
inline void AppendU64(std::string& out, std::uint64_t value) { AppendLittleEndian<8>(out, value); }
inline void AppendBytes(std::string& out, std::string_view bytes) { out.append(bytes); }
// uint32 length, then the bytes.
inline void AppendLengthPrefixed(std::string& out, std::string_view bytes) {
  AppendU32(out, static_cast<std::uint32_t>(bytes.size()));
  out.append(bytes);
}

// Overwrites the 4 bytes at offset. Answers false, changing nothing, when they are not all
// inside out.
bool PatchU32(std::string& out, std::size_t offset, std::uint32_t value);

}  // namespace dravik::engine::image
