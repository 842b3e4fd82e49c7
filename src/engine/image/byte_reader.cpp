#include "engine/image/byte_reader.h"

namespace dravik::engine::image {

namespace {

// Assembles count bytes from little-endian order; the caller has checked that they exist.
std::uint64_t LittleEndian(std::string_view bytes, std::size_t offset, std::size_t count) {
  std::uint64_t value = 0;
  for (std::size_t i = count; i > 0; --i)
    value = (value << 8) | static_cast<unsigned char>(bytes[offset + i - 1]);
  return value;
}

}  // namespace

ByteReader::ByteReader(std::string_view bytes, std::size_t position)
    : bytes_(bytes), position_(position <= bytes.size() ? position : bytes.size()) {}

std::optional<std::string_view> ByteReader::ReadBytes(std::size_t count) {
  if (count > Remaining()) return std::nullopt;
  std::string_view run = bytes_.substr(position_, count);
  position_ += count;
  return run;
}

std::optional<std::uint8_t> ByteReader::ReadU8() {
  std::optional<std::string_view> run = ReadBytes(1);
  if (!run) return std::nullopt;
  return static_cast<std::uint8_t>((*run)[0]);
}

std::optional<std::uint16_t> ByteReader::ReadU16() {
  std::optional<std::string_view> run = ReadBytes(2);
  if (!run) return std::nullopt;
  return static_cast<std::uint16_t>(LittleEndian(*run, 0, 2));
}

std::optional<std::uint32_t> ByteReader::ReadU32() {
  std::optional<std::string_view> run = ReadBytes(4);
  if (!run) return std::nullopt;
  return static_cast<std::uint32_t>(LittleEndian(*run, 0, 4));
}

std::optional<std::int32_t> ByteReader::ReadI32() {
  std::optional<std::uint32_t> value = ReadU32();
  if (!value) return std::nullopt;
  return static_cast<std::int32_t>(*value);  // two's complement conversion is defined in C++20
}

std::optional<std::uint64_t> ByteReader::ReadU64() {
  std::optional<std::string_view> run = ReadBytes(8);
  if (!run) return std::nullopt;
  return LittleEndian(*run, 0, 8);
}

std::optional<std::uint32_t> PeekU32(std::string_view bytes, std::size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < 4) return std::nullopt;
  return static_cast<std::uint32_t>(LittleEndian(bytes, offset, 4));
}

}  // namespace dravik::engine::image
