#include "engine/image/byte_writer.h"

namespace dravik::engine {

namespace {

void AppendLittleEndian(std::string& out, std::uint64_t value, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

void AppendU8(std::string& out, std::uint8_t value) { AppendLittleEndian(out, value, 1); }
void AppendU16(std::string& out, std::uint16_t value) { AppendLittleEndian(out, value, 2); }
void AppendU32(std::string& out, std::uint32_t value) { AppendLittleEndian(out, value, 4); }
void AppendI32(std::string& out, std::int32_t value) {
  AppendLittleEndian(out, static_cast<std::uint32_t>(value), 4);
}
void AppendU64(std::string& out, std::uint64_t value) { AppendLittleEndian(out, value, 8); }
void AppendBytes(std::string& out, std::string_view bytes) { out.append(bytes); }

void AppendLengthPrefixed(std::string& out, std::string_view bytes) {
  AppendU32(out, static_cast<std::uint32_t>(bytes.size()));
  out.append(bytes);
}

bool PatchU32(std::string& out, std::size_t offset, std::uint32_t value) {
  if (offset > out.size() || out.size() - offset < 4) return false;
  for (std::size_t i = 0; i < 4; ++i) out[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return true;
}

}  // namespace dravik::engine
