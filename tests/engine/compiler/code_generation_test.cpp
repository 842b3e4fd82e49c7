// The instructions made for values: temporaries, calls, procedural values, bracket lists, and
// the literals they carry.

#include <gtest/gtest.h>

#include "compile_helper.h"

namespace dravik::engine::testing {
namespace {

constexpr const char* kDeclarations =
    "type TS = set of Char;\n"
    "var s: string; w: WideString; c: Char; x: Integer; p: procedure(n: Integer);\n"
    "    a: array of Integer; t: TS;\n"
    "procedure Q(n: Integer); begin x := n; end;\n";

Compiled CompileMain(const std::string& statements) {
  return Compile(std::string(kDeclarations) + "begin\n" + statements + "\nend.");
}

TEST(CodeGeneration, LiteralsKeepTheirTypesAndBytes) {
  Compiled c = CompileMain("s := 'A'#13#10'B'; w := #$263A'x'; c := #65; s := '';");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists("OpAssign G0(s), T9:tcString('A'#13#10'B')"));
  EXPECT_TRUE(c.Lists("OpAssign G1(w), T15:tcWideString(#9786'x')"));
  EXPECT_TRUE(c.Lists("OpAssign G2(c), T17:tcChar('A')"));
  EXPECT_TRUE(c.Lists("OpAssign G0(s), T9:tcString('')"));
  EXPECT_EQ(ErrorOf("var s: string;\nbegin s := 'a' 'b'; end."), "[Error] (2:16): Syntax error");
}

TEST(CodeGeneration, ADestinationReadOnTheRightIsComputedInATemporary) {
  Compiled c = CompileMain("x := 1 - x; x := x + 1;");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Emits("OpPushType T11:tcS32\n"
                      "OpAssign L1, T11:tcS32(1)\n"
                      "OpCalculate sub, L1, G3(x)\n"
                      "OpAssign G3(x), L1\n"
                      "OpPop\n"
                      "OpCalculate add, G3(x), T11:tcS32(1)\n"));
}

TEST(CodeGeneration, ProceduralValuesHoldRoutineNumbers) {
  Compiled c = CompileMain("p := @Q; p(2);");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists("OpAssign G4(p), T21:tcProcPtr(R1)"));
  EXPECT_TRUE(c.Lists("OpCallVar G4(p)"));
  EXPECT_EQ(ErrorOf(std::string(kDeclarations) + "procedure Two(a, b: Integer); begin end;\n"
                                                 "begin p := @Two; end."),
            "[Error] (6:12): Type mismatch");
}

TEST(CodeGeneration, BracketListsBecomeSetConstantsOrFreshArrays) {
  Compiled c = CompileMain("t := ['a', 'c']; a := [1, 2];");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists("(SETARRAYLENGTH)"));
  EXPECT_TRUE(c.Lists("OpAssign L1[0], T11:tcS32(1)"));
  EXPECT_TRUE(c.Lists("OpAssign L1[1], T11:tcS32(2)"));
  EXPECT_EQ(ErrorOf(std::string(kDeclarations) + "begin t := ['a', c]; end."), "[Error] (5:18): Type mismatch");
}

TEST(CodeGeneration, VarArgumentsArePassedAsPointers) {
  Compiled c = CompileMain("Delete(s, 1, 1);");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists("OpPushType T0:tcPointer\n"));
  EXPECT_TRUE(c.Lists("OpSetPointer L3, G0(s)\n"));
}

// A variable of the script receives a result once the call has returned, whatever its type; a
// temporary of the result's type (an argument here) takes it straight from the call.
TEST(CodeGeneration, AFunctionResultReachesAVariableWhenTheCallHasReturned) {
  for (const char* variable : {"s", "w"}) {
    Compiled c = CompileMain(std::string(variable) + " := Copy(s, 1, 2);");
    ASSERT_TRUE(c.ok) << c.Only();
    EXPECT_TRUE(c.Emits(std::string("OpPushVar L1\nOpCall R2(COPY)\nOpPop\nOpPop\nOpPop\nOpPop\nOpAssign ") +
                        (variable[0] == 's' ? "G0(s)" : "G1(w)") + ", L1\nOpPop\n"))
        << c.listing;
  }
  Compiled argument = CompileMain("Q(Length(s));");
  ASSERT_TRUE(argument.ok) << argument.Only();
  EXPECT_TRUE(argument.Emits("OpPushType T11:tcS32\nOpPushType T9:tcString\nOpAssign L2, G0(s)\n"
                             "OpPushVar L1\nOpCall R2(LENGTH)\nOpPop\nOpPop\nOpCall R1(Q)\nOpPop\n"))
      << argument.listing;
}

TEST(CodeGeneration, FieldsAndElementsOfCallResults) {
  Compiled c = Compile(
      "type TPair = record a, b: Integer; end;\n"
      "function MakePair(x: Integer): TPair; begin Result.a := x; end;\n"
      "var n: Integer;\nbegin n := MakePair(3).b; end.");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Emits("OpCall R1(MAKEPAIR)\nOpPop\nOpPop\nOpAssign G0(n), L1[1]\nOpPop\n"));
}

TEST(CodeGeneration, EmptyRoutinesAreOneReturn) {
  Compiled c = Compile("procedure Nothing; begin end;\nbegin Nothing; end.");
  ASSERT_TRUE(c.ok);
  EXPECT_TRUE(c.Lists("R1 script 'NOTHING' decl '-1'"));
  EXPECT_TRUE(c.Lists("code R1(NOTHING)\n  ; 1:26\n      0 OpReturn\n"));
}

TEST(CodeGeneration, RoutinesCalledAreListedInFirstUseOrder) {
  Compiled c = Compile("var s: string;\nbegin s := UpperCase(Trim(s)); Writeln(s); s := Trim(s); end.");
  ASSERT_TRUE(c.ok);
  EXPECT_TRUE(c.Lists("  routines 4\n"));
  EXPECT_TRUE(c.Lists("  R1 external 'UPPERCASE' call function(val)\n"
                      "  R2 external 'TRIM' call function(val)\n"
                      "  R3 external 'WRITELN' call procedure(val)\n"));
}

}  // namespace
}  // namespace dravik::engine::testing
