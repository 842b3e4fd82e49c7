// Statements: the code of control flow, jumps and labels, temporaries, and the never-used
// hints made after bodies.

#include <gtest/gtest.h>

#include <sstream>

#include "compile_helper.h"

namespace dravik::engine::testing {
namespace {

int CountOf(const std::string& listing, const std::string& opcode) {
  int count = 0;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);)
    if (line.find(" " + opcode + " ") != std::string::npos || line.ends_with(" " + opcode)) ++count;
  return count;
}

TEST(Statements, IfElseJumpsOverTheOtherBranch) {
  Compiled c = Compile("var a: Boolean; x: Integer;\nbegin if a then x := 1 else x := 2; end.");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists("      0 OpPushType T19:tcU8\n"
                      "      5 OpAssign L1, G0(a)\n"
                      "     16 OpSetFlag L1, not\n"
                      "     23 OpPop\n"
                      "     24 OpJumpIfFlag @49\n"));
  EXPECT_TRUE(c.Lists("     44 OpGoto @64\n"));
}

TEST(Statements, BranchesAndEmptyStatements) {
  EXPECT_TRUE(Compile("var a: Boolean; x: Integer;\nbegin if a then ; else x := 1; end.").ok);
  EXPECT_EQ(ErrorOf("var x: Integer;\nbegin if x then x := 1; end."), "[Error] (2:10): Type mismatch");
  EXPECT_EQ(ErrorOf("var a: Boolean;\nbegin if a a := False; end."), "[Error] (2:12): 'THEN' expected");
  EXPECT_EQ(ErrorOf("begin break; end."), "[Error] (1:7): Not in a loop");
  EXPECT_EQ(ErrorOf("begin\n  else\nend."), "[Error] (2:3): Identifier expected");
  EXPECT_EQ(ErrorOf("begin try Writeln('a'); end; end."), "[Error] (1:25): Identifier expected");
}

TEST(Statements, ForLoopsCompareBeforeEachPass) {
  Compiled c = Compile("var i: Integer;\nbegin for i := 5 to 1 do Writeln('x'); end.");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists("OpAssign G0(i), T11:tcS32(5)\n     15 OpPushType T19:tcU8\n"
                      "     20 OpCompare <=, L1, G0(i), T11:tcS32(1)\n"));
  EXPECT_TRUE(c.Lists("OpIncrement G0(i)"));
  EXPECT_EQ(ErrorOf("var i: Int64;\nbegin for i := 1 to 2 do ; end."), "[Error] (2:13): Type mismatch");
  EXPECT_EQ(ErrorOf("var c: Char;\nbegin for c := 'a' to 'b' do ; end."), "[Error] (2:13): Type mismatch");
}

TEST(Statements, BreakInsideCaseInsideLoopPopsTheCaseTemporaries) {
  Compiled c = Compile("var i: Integer;\nbegin while i < 3 do case i of 1: break; end; end.");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_EQ(CountOf(c.listing, "OpPop2Jump"), 1);
  // Two cases deep the outer case's temporaries are popped before the jump.
  Compiled nested = Compile(
      "var i: Integer;\nbegin while i < 3 do case i of 1: case i of 1: break; end; end; end.");
  ASSERT_TRUE(nested.ok) << nested.Only();
  EXPECT_TRUE(nested.Lists("OpPop\n") && nested.Lists("OpPop2Jump"));
}

TEST(Statements, EveryTemporaryIsPoppedAgain) {
  Compiled c = Compile(
      "type R = record a: Integer; s: string; end;\n"
      "var r: R; a: array of R; i: Integer; s: string; b: Boolean;\n"
      "function F(x: Integer): string; begin Result := IntToStr(x); end;\n"
      "begin\n"
      "  SetArrayLength(a, 2); a[i + 1].s := F(i * 2) + s; b := (s = nil) or (i > 2);\n"
      "  if (i mod 2 = 0) and b then i := Length(a[i].s) else i := -i;\n"
      "  for i := 1 to Length(s) do s[i] := Chr(Ord(s[i]) + 1);\n"
      "  case i of 1, 2: repeat i := i + 1 until i > 9; else while b do b := not b; end;\n"
      "  with r do begin a := 1; s := 'x'; end;\n"
      "  try i := i div 0; except Writeln(ExceptionParam); finally i := 0; end;\n"
      "end.");
  ASSERT_TRUE(c.ok) << c.Only();
  const std::size_t mainCode = c.listing.find("code R0");
  const std::string main = c.listing.substr(mainCode, c.listing.find("code R", mainCode + 1) - mainCode);
  EXPECT_EQ(CountOf(main, "OpPushType") + CountOf(main, "OpPushVar"), CountOf(main, "OpPop"));
}

// A record variable is reached through a pointer, so that the statement's writes stay; the
// result of a call has no place of its own and is copied.
TEST(Statements, WithWorksOnTheRecordItself) {
  Compiled c = Compile("type R = record f: Integer; end;\nvar r: R;\nbegin with r do f := 1; end.");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists("      0 OpPushType T0:tcPointer\n"
                      "      5 OpSetPointer L1, G0(r)\n"
                      "  ; 3:17\n"
                      "     16 OpAssign L1[0], T11:tcS32(1)\n"
                      "     35 OpPop\n"));
  Compiled call = Compile("type R = record f: Integer; end;\nfunction F: R; begin Result.f := 2; end;\n"
                          "var i: Integer;\nbegin with F do i := f; end.");
  ASSERT_TRUE(call.ok) << call.Only();
  EXPECT_TRUE(call.Lists("OpPushType T21:tcRecord"));
  EXPECT_EQ(ErrorOf("var i: Integer;\nbegin with i do ; end."), "[Error] (2:14): Class type expected");
}

TEST(Statements, TryRecordsWhereItsPartsStart) {
  Compiled c = Compile("var i: Integer;\nbegin try i := 1; finally i := 2; end; end.");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists("OpPushHandler @34, none, none, @51"));
  EXPECT_TRUE(c.Lists("OpPopHandler try") && c.Lists("OpPopHandler finally"));
}

TEST(Labels, GotosStayInsideTheirLoop) {
  EXPECT_TRUE(Compile("label A, B;\nvar i: Integer;\n"
                      "begin while i < 2 do begin A: i := i + 1; goto B; B: end; goto A2; end.")
                  .ok == false);
  EXPECT_TRUE(Compile("label A, B;\nvar i: Integer;\n"
                      "begin while i < 2 do begin A: i := i + 1; goto B; B: end; end.")
                  .ok);
  EXPECT_EQ(ErrorOf("label Done;\nvar i: Integer;\nbegin\n  while i < 2 do goto Done;\n  Done:\nend."),
            "[Error] (4:27): Invalid jump");
  // A goto written after the loop into it is found when the body ends.
  EXPECT_EQ(ErrorOf("label Inside;\nvar i: Integer;\nbegin\n  while i < 2 do begin Inside: i := 1; end;\n"
                    "  goto Inside;\nend."),
            "[Error] (6:5): Invalid jump");
  EXPECT_EQ(ErrorOf("label Never;\nbegin\nend.\n"), "[Error] (4:1): Label 'NEVER' not set");
  EXPECT_EQ(ErrorOf("begin goto Nowhere; end."), "[Error] (1:12): Unknown identifier 'Nowhere'");
}

TEST(Hints, NeverUsedVariablesAndResults) {
  Compiled c = Compile("var g: Integer;\nfunction F: Integer;\nvar i, j: Byte;\nbegin j := 1; end;\n"
                       "begin F; end.");
  ASSERT_TRUE(c.ok);
  EXPECT_EQ(c.messages, (std::vector<std::string>{"[Hint] (3:15): Variable 'I' never used",
                                                  "[Hint] (2:1): Variable 'Result' never used",
                                                  "[Hint] (1:15): Variable 'G' never used"}));
}

TEST(Hints, AreKeptWhenALaterErrorFails) {
  Compiled c = Compile("procedure P;\nvar i: Byte;\nbegin end;\nbegin x; end.");
  EXPECT_FALSE(c.ok);
  EXPECT_EQ(c.messages, (std::vector<std::string>{"[Hint] (2:12): Variable 'I' never used",
                                                  "[Error] (4:7): Unknown identifier 'x'"}));
}

}  // namespace
}  // namespace dravik::engine::testing
