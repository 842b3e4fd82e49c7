#include "engine/names/names.h"

#include <gtest/gtest.h>

namespace dravik::engine::names {
namespace {

TEST(Names, CaseFoldingTouchesAsciiLettersOnly) {
  EXPECT_EQ(FastUpperCase("Begin_1 zZ@[`{"), "BEGIN_1 ZZ@[`{");
  EXPECT_EQ(FastLowerCase("Begin_1 zZ@[`{"), "begin_1 zz@[`{");
  const std::string high = "\xE4\xC4\xFF";
  EXPECT_EQ(FastUpperCase(high), high);
  EXPECT_EQ(FastLowerCase(high), high);
}

TEST(Names, HashRotatesBeforeAdding) {
  EXPECT_EQ(NameHash(""), 0u);
  EXPECT_EQ(NameHash("A"), 65u);
  EXPECT_EQ(NameHash("AB"), (65u << 7) + 66u);
  // Bits rotated out at the top come back at the bottom: 0xFF shifted left by 7, five times.
  const std::string five(5, '\xFF');
  std::uint32_t h = 0;
  for (int i = 0; i < 5; ++i) h = ((h << 7) | (h >> 25)) + 0xFFu;
  EXPECT_EQ(NameHash(five), h);
  EXPECT_NE(NameHash("AB"), NameHash("BA"));
}

}  // namespace
}  // namespace dravik::engine::names
