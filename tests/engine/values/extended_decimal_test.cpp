// Exact decimal text of extended reals and back, checked against values the C++ compiler
// rounds itself (its long double literals are correctly rounded).

#include "engine/values/extended_decimal.h"

#include <gtest/gtest.h>

#include <limits>

namespace dravik::engine::values {
namespace {

constexpr unsigned kDecimals = 12;

TEST(ExtendedDecimal, FixedNotationIsExactAndRoundsHalvesToEven) {
  const struct {
    Extended value;
    std::string_view expected;
  } cases[] = {
      {0.5L, "0.500000000000"},
      {0.0001220703125L, "0.000122070312"},  // 2^-13: a tie, kept even
      {0.0003662109375L, "0.000366210938"},  // 3 * 2^-13: a tie, rounded up to even
      {18446744073709551615.0L, "18446744073709551615.000000000000"},
      {9007199254740993.0L, "9007199254740993.000000000000"},
      {-0.0L, "0.000000000000"},
      {-1e-13L, "0.000000000000"},
      {-2.5L, "-2.500000000000"},
      {std::numeric_limits<Extended>::denorm_min(), "0.000000000000"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExactFixedNotation(c.value, kDecimals), c.expected);
  const std::string largest = ExactFixedNotation(std::numeric_limits<Extended>::max(), kDecimals);
  EXPECT_EQ(largest.size(), 4933u + 13u);
  EXPECT_EQ(largest.substr(0, 20), "11897314953572317650");
}

TEST(ExtendedDecimal, TextGivesTheNearestExtended) {
  const struct {
    std::string_view text;
    Extended expected;
  } cases[] = {
      {"0.1", 0.1L},
      {"9007199254740993", 9007199254740993.0L},
      {"1e4932", 1e4932L},
      {"1.18973149535723176502e4932", std::numeric_limits<Extended>::max()},
      {"3.6451995318824746025e-4951", std::numeric_limits<Extended>::denorm_min()},
      {"1e-5000", 0.0L},
      {"000.000", 0.0L},
      {".5", 0.5L},
      {"2.", 2.0L},
      {"123456789012345678901234567890123456789012345678901234567890123456789E-2",
       1234567890123456789012345678901234567890123456789012345678901234567.89L},
      {"0.000000000000000000000000000000000000000000000000000000000000000000012345", 1.2345e-68L},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseExactDecimal(c.text), c.expected) << c.text;
  for (std::string_view bad : {"", ".", "1e", "1e+", "e5", "1.2.3", "inf", "0x10", " 1", "-1", "1,5", "1.2e4932"})
    EXPECT_FALSE(ParseExactDecimal(bad)) << bad;
}

}  // namespace
}  // namespace dravik::engine::values
