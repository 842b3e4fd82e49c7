// CutExt: the extension rules, including the answers for names whose only dot ends them.

#include "core/script_host/cut_ext.h"

#include <gtest/gtest.h>

namespace dravik::core {
namespace {

TEST(CutExt, AnswersTheUpperCasedTextAfterTheLastDot) {
  EXPECT_EQ(CutExt("a.iso"), "ISO");
  EXPECT_EQ(CutExt("D:\\Images\\x.Dk2"), "DK2");
  EXPECT_EQ(CutExt("a.b.c"), "C");
  EXPECT_EQ(CutExt(".x"), "X");
  EXPECT_EQ(CutExt("D:\\Set 1.2\\image"), "2\\IMAGE");
}

TEST(CutExt, NamesWithoutAUsableDot) {
  EXPECT_EQ(CutExt("abc"), "");
  EXPECT_EQ(CutExt(""), "");
  EXPECT_EQ(CutExt("."), "");
  // The last character is never taken for the dot: everything from the second character.
  EXPECT_EQ(CutExt("abc."), "BC.");
  EXPECT_EQ(CutExt("a."), ".");
  EXPECT_EQ(CutExt("x.."), ".");
}

TEST(CutExt, OnlyAsciiLettersChangeCase) {
  EXPECT_EQ(CutExt("a.\xe4z1_"), "\xe4Z1_");
}

}  // namespace
}  // namespace dravik::core
