#pragma once
// Reading little-endian numbers and byte runs from untrusted bytes. Every read checks the bytes
// left first: a read that does not fit answers nothing and leaves the position where it was,
// so a reader can never look past the end.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace dravik::engine::image {

class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes, std::size_t position = 0);

  std::size_t Position() const { return position_; }
  std::size_t Remaining() const { return bytes_.size() - position_; }
  bool AtEnd() const { return position_ == bytes_.size(); }
  std::string_view Bytes() const { return bytes_; }

  std::optional<std::uint8_t> ReadU8();
  std::optional<std::uint16_t> ReadU16();
  std::optional<std::uint32_t> ReadU32();
  std::optional<std::int32_t> ReadI32();
  std::optional<std::uint64_t> ReadU64();
  // The next count bytes, viewed in place.
  std::optional<std::string_view> ReadBytes(std::size_t count);

 private:
  std::string_view bytes_;
  std::size_t position_;
};

// The little-endian uint32 at offset; nothing when fewer than 4 bytes are there.
std::optional<std::uint32_t> PeekU32(std::string_view bytes, std::size_t offset);

}  // namespace dravik::engine::image
