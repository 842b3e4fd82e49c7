// Expressions: operator types, constant folding, warnings and the errors of names, selectors
// and calls.

#include <gtest/gtest.h>

#include "compile_helper.h"

namespace dravik::engine::testing {
namespace {

// The constant an assignment of the folded expression stores, as the listing shows it.
std::string FoldedInto(const std::string& declarations, const std::string& expression) {
  Compiled c = Compile(declarations + "\nbegin x := " + expression + "; end.");
  if (!c.ok) return c.messages.empty() ? "(failed)" : c.messages.back();
  const std::size_t at = c.listing.find("OpAssign G0(x), ");
  if (at == std::string::npos) return "(not folded)";
  const std::size_t start = at + std::string("OpAssign G0(x), ").size();
  return c.listing.substr(start, c.listing.find('\n', start) - start);
}

TEST(ConstantFolding, IntegersFoldInTheLeftOperandsWidth) {
  EXPECT_EQ(FoldedInto("var x: Integer;", "2 + 3 * 4"), "T11:tcS32(14)");
  EXPECT_EQ(FoldedInto("var x: Integer;", "255 + 1"), "T11:tcS32(256)");
  EXPECT_EQ(FoldedInto("var x: Byte;", "Byte(255) + 1"), "T20:tcU8(0)");
  EXPECT_EQ(FoldedInto("var x: Integer;", "7 / 2"), "T11:tcS32(3)");
  EXPECT_EQ(FoldedInto("var x: Integer;", "-7 mod 3"), "T11:tcS32(-1)");
  EXPECT_EQ(FoldedInto("var x: Integer;", "1 shl 33"), "T11:tcS32(2)");
  EXPECT_EQ(FoldedInto("var x: Integer;", "2147483647 + 1"), "T11:tcS32(-2147483648)");
  EXPECT_EQ(FoldedInto("var x: Cardinal;", "3000000000"), "T10:tcU32(3000000000)");
  EXPECT_EQ(FoldedInto("var x: Int64;", "5000000000"), "T8:tcS64(5000000000)");
}

TEST(ConstantFolding, TheMostNegativeValueDividedByMinusOneWraps) {
  EXPECT_EQ(FoldedInto("var x: Integer;", "(-2147483647 - 1) div -1"), "T11:tcS32(-2147483648)");
  EXPECT_EQ(FoldedInto("var x: Integer;", "(-2147483647 - 1) mod -1"), "T11:tcS32(0)");
  EXPECT_EQ(FoldedInto("var x: Int64;", "(-9223372036854775807 - 1) div -1"),
            "T8:tcS64(-9223372036854775808)");
  EXPECT_EQ(FoldedInto("var x: Int64;", "(-9223372036854775807 - 1) * -1"),
            "T8:tcS64(-9223372036854775808)");
}

TEST(ConstantFolding, RealsTextsAndComparisons) {
  EXPECT_EQ(FoldedInto("var x: Extended;", "7 / 2.0"), "T5:tcExtended(3.5)");
  EXPECT_EQ(FoldedInto("var x: Extended;", "-1.5"), "T5:tcExtended(-1.5)");
  EXPECT_EQ(FoldedInto("var x: string;", "'a' + 'b'"), "T9:tcString('ab')");
  EXPECT_EQ(FoldedInto("var x: Boolean;", "3 > 2"), "T19:tcU8(1)");
  EXPECT_EQ(FoldedInto("var x: Boolean;", "'abc' < 'abd'"), "T19:tcU8(1)");
  EXPECT_EQ(FoldedInto("var x: Boolean;", "not True"), "T19:tcU8(0)");
  EXPECT_EQ(FoldedInto("var x: Char;", "chr(65)"), "T17:tcChar('A')");
}

TEST(ConstantFolding, Faults) {
  EXPECT_EQ(FoldedInto("var x: Integer;", "1 div 0"), "[Error] (2:19): Divide by Zero");
  EXPECT_EQ(FoldedInto("var x: Extended;", "1.0 / 0"), "[Error] (2:19): Divide by Zero");
  EXPECT_EQ(FoldedInto("var x: string;", "not 'a'"), "[Error] (2:19): Type mismatch");
}

// Enumeration constants convert like the integers they stand for, as enumeration variables do.
TEST(ConstantFolding, EnumerationCasts) {
  EXPECT_EQ(FoldedInto("type TE = (A, B); var x: TE;", "TE(1)"), "T21:tcU8(1)");
  EXPECT_EQ(FoldedInto("type TE = (A, B); var x: Cardinal;", "Ord(B)"), "T10:tcU32(1)");
  EXPECT_EQ(FoldedInto("var x: Cardinal;", "Ord(True)"), "T10:tcU32(1)");
}

TEST(OperatorTypes, MismatchedOperandsAreRefused) {
  EXPECT_EQ(ErrorOf("var i: Integer; s: string;\nbegin i := i + s; end."), "[Error] (2:17): Type mismatch");
  EXPECT_EQ(ErrorOf("var i: Integer;\nbegin i := 1.5; end."), "[Error] (2:12): Type mismatch");
  EXPECT_TRUE(Compile("var e: Extended;\nbegin e := 1; end.").ok);
  EXPECT_EQ(ErrorOf("var b: Byte;\nbegin if b in [1, 2] then b := 0; end."), "[Error] (2:22): Type mismatch");
  EXPECT_EQ(ErrorOf("var s: string;\nbegin s := s + nil; end."), "[Error] (2:19): Type mismatch");
  EXPECT_TRUE(Compile("var s: string; b: Boolean;\nbegin b := s = nil; end.").ok);
}

TEST(Warnings, ConstantOperandsOfAndAndOr) {
  const char* declarations = "var x, y: Boolean;\nbegin y := ";
  auto warningOf = [&](const std::string& expression) {
    Compiled c = Compile(declarations + expression + "; end.");
    return c.ok ? c.Only() : "(failed)";
  };
  EXPECT_EQ(warningOf("x and False"), "[Warning] (2:12): Calculation always evaluates to False");
  EXPECT_EQ(warningOf("True and x"), "[Warning] (2:12): \"True and\" is not needed");
  EXPECT_EQ(warningOf("x and True"), "[Warning] (2:12): \"and True\" is not needed");
  EXPECT_EQ(warningOf("x or True"), "[Warning] (2:12): Calculation always evaluates to True");
  EXPECT_EQ(warningOf("False or x"), "[Warning] (2:12): \"False or\" is not needed");
  EXPECT_EQ(warningOf("x or False"), "[Warning] (2:12): \"or False\" is not needed");
  EXPECT_EQ(warningOf("x xor True"), "");
}

TEST(Names, ResolutionErrors) {
  EXPECT_EQ(ErrorOf("var x: Integer;\nbegin\n  x := foo;\nend."), "[Error] (3:8): Unknown identifier 'foo'");
  EXPECT_EQ(ErrorOf("var x: Integer;\nbegin x := Result; end."), "[Error] (2:12): Unknown identifier 'RESULT'");
  EXPECT_EQ(ErrorOf("procedure P; begin end;\nvar x: Integer;\nbegin x := @Writeln; end."),
            "[Error] (3:13): Unknown identifier 'Writeln'");
  EXPECT_EQ(ErrorOf("const C = 1;\nbegin C := 2; end."), "[Error] (2:7): Variable Expected");
  EXPECT_EQ(ErrorOf("var x: Integer;\nbegin Integer := 2; end."), "[Error] (2:15): Internal error (20)");
}

TEST(Selectors, RecordsArraysAndStrings) {
  EXPECT_EQ(ErrorOf("var a: array of Integer;\nbegin a[1, 2] := 0; end."),
            "[Error] (2:10): Close block(']') expected");
  EXPECT_EQ(ErrorOf("var r: Integer;\nbegin r.x := 0; end."), "[Error] (2:8): Semicolon (';') expected");
  EXPECT_EQ(ErrorOf("var s: string;\nbegin s[2] := 65; end."), "[Error] (2:17): Type mismatch");
  Compiled c = Compile("var s: string; c: Char;\nbegin s := 'abc'; c := s[2]; s[1] := c; end.");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists("R1 external 'STRGET'"));
  EXPECT_TRUE(c.Lists("R2 external 'STRSET'"));
}

TEST(Calls, ArgumentsMatchTheDeclaration) {
  EXPECT_EQ(ErrorOf("begin Writeln('a', 'b'); end."), "[Error] (1:24): Invalid number of parameters");
  EXPECT_EQ(ErrorOf("begin Writeln; end."), "[Error] (1:14): Invalid number of parameters");
  EXPECT_EQ(ErrorOf("var s: string;\nbegin Delete('abc', 1, 1); end."), "[Error] (2:14): Variable Expected");
  EXPECT_EQ(ErrorOf("begin Writeln(1); end."), "[Error] (1:15): Type mismatch");
  // A procedure has no value to store.
  EXPECT_EQ(ErrorOf("var x: Integer;\nbegin x := Writeln('a'); end."), "[Error] (2:12): Type mismatch");
}

TEST(Calls, ArgumentsArePushedLastFirstAndPoppedFirstFirst) {
  Compiled c = Compile("var s: string;\nbegin s := Copy(s, 2, 3); end.");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists(
      "      0 OpPushType T9:tcString\n"
      "      5 OpPushType T11:tcS32\n"
      "     10 OpAssign L2, T11:tcS32(3)\n"
      "     25 OpPushType T11:tcS32\n"
      "     30 OpAssign L3, T11:tcS32(2)\n"
      "     45 OpPushType T9:tcString\n"
      "     50 OpAssign L4, G0(s)\n"
      "     61 OpPushVar L1\n"
      "     67 OpCall R1(COPY)\n"
      "     72 OpPop\n     73 OpPop\n     74 OpPop\n     75 OpPop\n"
      "     76 OpAssign G0(s), L1\n"
      "     87 OpPop\n"));
}

}  // namespace
}  // namespace dravik::engine::testing
