#include "engine/tokenizer/integer_literal.h"

#include <gtest/gtest.h>

namespace dravik::engine::tokenizer {
namespace {

using T = IntegerLiteralType;

TEST(IntegerLiteral, TypeFollowsTheRange) {
  EXPECT_EQ(ReadIntegerLiteral("0"), (IntegerLiteral{0, T::LongInt}));
  EXPECT_EQ(ReadIntegerLiteral("2147483647"), (IntegerLiteral{2147483647, T::LongInt}));
  EXPECT_EQ(ReadIntegerLiteral("2147483648"), (IntegerLiteral{2147483648, T::LongWord}));
  EXPECT_EQ(ReadIntegerLiteral("4294967295"), (IntegerLiteral{4294967295, T::LongWord}));
  EXPECT_EQ(ReadIntegerLiteral("4294967296"), (IntegerLiteral{4294967296, T::Int64}));
  EXPECT_EQ(ReadIntegerLiteral("9223372036854775807"),
            (IntegerLiteral{9223372036854775807, T::Int64}));
  EXPECT_EQ(ReadIntegerLiteral("000042"), (IntegerLiteral{42, T::LongInt}));
}

TEST(IntegerLiteral, HexadecimalKeepsItsBits) {
  EXPECT_EQ(ReadIntegerLiteral("$FFFFFFFF"), (IntegerLiteral{4294967295, T::LongWord}));
  EXPECT_EQ(ReadIntegerLiteral("$7fffffff"), (IntegerLiteral{2147483647, T::LongInt}));
  EXPECT_EQ(ReadIntegerLiteral("$100000000"), (IntegerLiteral{4294967296, T::Int64}));
  EXPECT_EQ(ReadIntegerLiteral("$FFFFFFFFFFFFFFFF"), (IntegerLiteral{-1, T::LongInt}));
  EXPECT_EQ(ReadIntegerLiteral("$8000000000000000"),
            (IntegerLiteral{INT64_MIN, T::Int64}));
  EXPECT_EQ(ReadIntegerLiteral("$00000000000000000001"), (IntegerLiteral{1, T::LongInt}));
}

TEST(IntegerLiteral, TextsWithoutDigitsGiveZeroAndValuesBeyond64BitsNothing) {
  const IntegerLiteral zero{0, T::LongInt};
  EXPECT_EQ(ReadIntegerLiteral("$"), zero);
  EXPECT_EQ(ReadIntegerLiteral(""), zero);
  EXPECT_EQ(ReadIntegerLiteral("12a"), zero);
  EXPECT_EQ(ReadIntegerLiteral("9223372036854775808"), std::nullopt);
  EXPECT_EQ(ReadIntegerLiteral("99999999999999999999999"), std::nullopt);
  EXPECT_EQ(ReadIntegerLiteral("$10000000000000000"), std::nullopt);
}

}  // namespace
}  // namespace dravik::engine::tokenizer
