#include <gtest/gtest.h>

#include <string>

#include "engine/image/byte_reader.h"
#include "engine/image/byte_writer.h"

namespace dravik::engine::image {
namespace {

TEST(ByteReader, ReadsLittleEndianAndStopsExactlyAtTheEnd) {
  const std::string bytes("\x01\x02\x03\x04\xFE\xFF\xFF\xFF\x80", 9);
  ByteReader reader(bytes);
  EXPECT_EQ(reader.ReadU32(), 0x04030201u);
  EXPECT_EQ(reader.ReadI32(), -2);
  EXPECT_EQ(reader.Remaining(), 1u);
  EXPECT_FALSE(reader.ReadU16());
  EXPECT_FALSE(reader.ReadU32());
  EXPECT_EQ(reader.Position(), 8u) << "a failed read must not move";
  EXPECT_EQ(reader.ReadU8(), 0x80);
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_FALSE(reader.ReadU8());
  EXPECT_EQ(reader.ReadBytes(0), std::string_view());
}

TEST(ByteReader, HugeCountsAndOutOfRangeStartsAreRefused) {
  const std::string bytes = "abc";
  ByteReader reader(bytes, 1);
  EXPECT_FALSE(reader.ReadBytes(static_cast<std::size_t>(-1)));
  EXPECT_FALSE(reader.ReadBytes(3));
  EXPECT_EQ(reader.ReadBytes(2), "bc");
  ByteReader beyond(bytes, 100);
  EXPECT_TRUE(beyond.AtEnd());
  EXPECT_FALSE(beyond.ReadU8());
  EXPECT_FALSE(ByteReader(std::string_view()).ReadU64());
}

TEST(ByteReader, PeekU32AtTheEdges) {
  const std::string bytes("\x11\x22\x33\x44\x55", 5);
  EXPECT_EQ(PeekU32(bytes, 1), 0x55443322u);
  EXPECT_FALSE(PeekU32(bytes, 2));
  EXPECT_FALSE(PeekU32(bytes, 5));
  EXPECT_FALSE(PeekU32(bytes, static_cast<std::size_t>(-2)));
}

TEST(ByteWriter, RoundTripsThroughTheReader) {
  std::string out;
  AppendU8(out, 0xAB);
  AppendU16(out, 0xBEEF);
  AppendI32(out, -123456);
  AppendU64(out, 0x0102030405060708ull);
  AppendLengthPrefixed(out, "hi");
  ASSERT_EQ(out.size(), 1u + 2 + 4 + 8 + 4 + 2);
  ByteReader reader(out);
  EXPECT_EQ(reader.ReadU8(), 0xAB);
  EXPECT_EQ(reader.ReadU16(), 0xBEEF);
  EXPECT_EQ(reader.ReadI32(), -123456);
  EXPECT_EQ(reader.ReadU64(), 0x0102030405060708ull);
  EXPECT_EQ(reader.ReadU32(), 2u);
  EXPECT_EQ(reader.ReadBytes(2), "hi");
}

TEST(ByteWriter, PatchStaysInside) {
  std::string out(6, '\0');
  EXPECT_TRUE(PatchU32(out, 2, 0x01020304));
  EXPECT_EQ(out, std::string("\0\0\x04\x03\x02\x01", 6));
  EXPECT_FALSE(PatchU32(out, 3, 7));
  EXPECT_FALSE(PatchU32(out, static_cast<std::size_t>(-1), 7));
  EXPECT_EQ(out, std::string("\0\0\x04\x03\x02\x01", 6));
}

}  // namespace
}  // namespace dravik::engine::image
