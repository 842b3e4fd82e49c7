#include "engine/names/name_index.h"

#include <gtest/gtest.h>

#include <string>

namespace dravik::engine::names {
namespace {

TEST(NameIndex, KeepsTheFirstAndLastPositionOfEveryNameThroughGrowth) {
  NameIndex index;
  EXPECT_EQ(index.Find(NameKey("ANY")), nullptr);
  // Enough names to make the table grow several times; every third one comes twice.
  constexpr std::size_t kNames = 3000;
  for (std::size_t i = 0; i < kNames; ++i) index.Add(NameKey("N" + std::to_string(i)), i);
  for (std::size_t i = 0; i < kNames; i += 3) index.Add(NameKey("N" + std::to_string(i)), kNames + i);
  for (std::size_t i = 0; i < kNames; ++i) {
    const std::string name = "N" + std::to_string(i);
    const NameIndex::Positions* found = index.Find(NameKey(name));
    ASSERT_NE(found, nullptr) << name;
    EXPECT_EQ(found->first, i) << name;
    EXPECT_EQ(found->last, i % 3 == 0 ? kNames + i : i) << name;
  }
  EXPECT_EQ(index.Find(NameKey("N3000")), nullptr);
  EXPECT_EQ(index.Find(NameKey("")), nullptr);
}

TEST(NameIndex, TellsApartNamesOfTheSameHash) {
  // (0x41 << 7) + 0x42 == (0x40 << 7) + 0xC2
  const std::string ab = "AB";
  const std::string other = "@\xC2";
  ASSERT_EQ(NameHash(ab), NameHash(other));
  NameIndex index;
  index.Add(NameKey(ab), 1);
  EXPECT_EQ(index.Find(NameKey(other)), nullptr);
  index.Add(NameKey(other), 2);
  EXPECT_EQ(index.Find(NameKey(ab))->last, 1u);
  EXPECT_EQ(index.Find(NameKey(other))->last, 2u);
}

TEST(NameIndex, KeepsItsOwnCopyOfTheNames) {
  NameIndex index;
  std::string name = "TOTAL";
  index.Add(NameKey(name), 7);
  name = "XXXXX";
  const NameIndex::Positions* found = index.Find(NameKey("TOTAL"));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->first, 7u);
  EXPECT_EQ(index.Find(NameKey(name)), nullptr);
}

}  // namespace
}  // namespace dravik::engine::names
