// Types, constants and variables: what reaches the image's type table, and the errors of the
// declaration sections with their positions.

#include <gtest/gtest.h>

#include "compile_helper.h"

namespace dravik::engine::testing {
namespace {

TEST(TypeNumbering, StandardTypesComeFirstWithPointerAsZero) {
  Compiled c = Compile("begin end.");
  ASSERT_TRUE(c.ok);
  EXPECT_TRUE(c.Lists("  T0 tcPointer\n  T1 tcU32\n  T2 tcVariant\n"));
  EXPECT_TRUE(c.Lists("  T11 tcS32\n"));
  EXPECT_TRUE(c.Lists("  T19 tcU8 export 'BOOLEAN'\n  T20 tcU8\n"));
  EXPECT_TRUE(c.Lists("  types 21\n"));
}

TEST(TypeNumbering, ComponentsAreNumberedBeforeTheTypesThatHoldThem) {
  Compiled c = Compile(
      "type TColor = (Red, Green, Blue); TR = record a: Integer; c: TColor; end;\n"
      "var d: array of TR;\nbegin d[0].c := Red; end.");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists("  T21 tcU8\n  T22 tcRecord fields T11, T21\n  T23 tcArray of T22\n"));
}

TEST(TypeNumbering, OnlyUsedTypesReachTheImage) {
  Compiled c = Compile("type TUnused = record z: Byte; end; TA = array[1..3] of Word;\n"
                       "var a: TA;\nbegin a[1] := 1; end.");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists("  types 22\n"));
  EXPECT_TRUE(c.Lists("  T21 tcStaticArray of T13 count 3\n"));
  EXPECT_FALSE(c.Lists("tcRecord"));
}

TEST(TypeNumbering, AnonymousDynamicArraysOfAUsedElementAreOneType) {
  Compiled c = Compile("var a: array of Byte; b: array of Byte;\nbegin a := b; end.");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists("  G0(a) T21:tcArray\n  G1(b) T21:tcArray\n"));
}

TEST(TypeDeclarations, SetsAndEnumerationsTakeTheirStoredSizes) {
  Compiled c = Compile(
      "type TE = (e0, e1, e2, e3, e4, e5, e6, e7, e8, e9); TS = set of TE; TC = set of Char;\n"
      "var s: TS; t: TC;\nbegin s := [e1, e9]; t := t; end.");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists("tcSet bits 10"));
  EXPECT_TRUE(c.Lists("tcSet bits 256"));
}

TEST(TypeDeclarations, ErrorsNameTheirTokenPosition) {
  struct Case {
    const char* script;
    const char* error;
  } cases[] = {
      {"type TA = array[3..1] of Byte;\nbegin end.", "[Error] (1:21): Type mismatch"},
      {"type TA = array[0..536870911] of Byte;\nbegin end.", "[Error] (1:29): Type mismatch"},
      {"type TA = array['a'..'z'] of Byte;\nbegin end.", "[Error] (1:20): Type mismatch"},
      {"type TA = array[1..2 of Byte;\nbegin end.", "[Error] (1:22): Close block(']') expected"},
      {"type TA = array[1 2] of Byte;\nbegin end.", "[Error] (1:19): period ('.') expected"},
      {"type TS = set of Integer;\nbegin end.", "[Error] (1:18): Type mismatch"},
      {"type TS = set of LongBool;\nbegin end.", "[Error] (1:18): Type mismatch"},
      {"type R = record a: Integer end;\nbegin end.", "[Error] (1:28): Semicolon (';') expected"},
      {"type R = record end;\nbegin end.", "[Error] (1:17): Identifier expected"},
      {"type R = record a: Byte; A: Word; end;\nbegin end.", "[Error] (1:26): Duplicate identifier 'A'"},
      {"type T = Byte; T = Word;\nbegin end.", "[Error] (1:16): Duplicate identifier 'T'"},
      {"type T = Nothing;\nbegin end.", "[Error] (1:10): Unknown type 'Nothing'"},
      {"type T: Byte;\nbegin end.", "[Error] (1:7): is ('=') expected"},
      {"type TP = procedure(x: Unknown);\nbegin end.", "[Error] (1:24): Unknown identifier 'Unknown'"},
      {"type TE = (A, B;\nbegin end.", "[Error] (1:16): Close round expected"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.script), c.error) << c.script;
}

TEST(TypeDeclarations, EnumerationMembersClashOnlyWithTypes) {
  EXPECT_TRUE(Compile("type TE = (Red, Red);\nbegin end.").ok);
  EXPECT_EQ(ErrorOf("type TE = (Red, Byte);\nbegin end."), "[Error] (1:17): Duplicate identifier 'Byte'");
}

TEST(ConstDeclarations, ValuesAreFoldedWhenDeclared) {
  Compiled c = Compile(
      "const A = 2 + 3 * 4; B = A shl 2; C = 'x' + 'yz'; D = -(7 div 2); E = $FF and not 15;\n"
      "var i: Integer; s: string;\n"
      "begin i := B; i := D; i := E; s := C; end.");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists("OpAssign G0(i), T11:tcS32(56)"));
  EXPECT_TRUE(c.Lists("OpAssign G0(i), T11:tcS32(-3)"));
  EXPECT_TRUE(c.Lists("OpAssign G0(i), T11:tcS32(240)"));
  EXPECT_TRUE(c.Lists("OpAssign G1(s), T9:tcString('xyz')"));
}

TEST(ConstDeclarations, Errors) {
  EXPECT_EQ(ErrorOf("const X: Integer = 1;\nbegin end."), "[Error] (1:8): is ('=') expected");
  EXPECT_EQ(ErrorOf("const X = 1 div 0;\nbegin end."), "[Error] (1:18): Divide by Zero");
  EXPECT_EQ(ErrorOf("const X = -1.5;\nbegin end."), "[Error] (1:15): Type mismatch");
  EXPECT_EQ(ErrorOf("const X = Y;\nbegin end."), "[Error] (1:11): Unknown identifier 'Y'");
  EXPECT_EQ(ErrorOf("const X = 1 + ;\nbegin end."), "[Error] (1:15): Syntax error");
  // A syntax error anywhere in the expression comes before arithmetic faults.
  EXPECT_EQ(ErrorOf("const X = 1 div 0 + (;\nbegin end."), "[Error] (1:22): Syntax error");
}

TEST(VarDeclarations, NameClashes) {
  EXPECT_TRUE(Compile("var Integer: Byte;\nbegin Integer := 1; end.").ok);
  EXPECT_EQ(ErrorOf("var Result: Integer;\nbegin end."), "[Error] (1:5): Duplicate identifier 'Result'");
  EXPECT_EQ(ErrorOf("var a, A: Byte;\nbegin end."), "[Error] (1:8): Duplicate identifier 'A'");
  EXPECT_EQ(ErrorOf("var x: Integer = 1;\nbegin end."), "[Error] (1:16): Semicolon (';') expected");
  EXPECT_EQ(ErrorOf("const C = 1;\nvar c: Byte;\nbegin end."), "[Error] (2:5): Duplicate identifier 'c'");
  EXPECT_EQ(ErrorOf("procedure P; begin end;\nvar p: Byte;\nbegin end."),
            "[Error] (2:5): Duplicate identifier 'p'");
}

// Which earlier global names each kind of declaration may not take again. Types and constants
// do not clash with each other, and a local variable may take a global variable's name.
TEST(GlobalNames, EachDeclarationKindClashesWithItsOwnSetOfNames) {
  struct Case {
    const char* script;
    const char* error;
  };
  const Case cases[] = {
      {"var V: Byte;\ntype V = Word;\nbegin end.", "[Error] (2:6): Duplicate identifier 'V'"},
      {"procedure P; begin end;\ntype P = Word;\nbegin end.", "[Error] (2:6): Duplicate identifier 'P'"},
      {"const C = 1;\ntype C = Word;\nbegin end.", "(compiled)"},
      {"var V: Byte;\nconst V = 1;\nbegin end.", "[Error] (2:7): Duplicate identifier 'V'"},
      {"procedure P; begin end;\nconst P = 1;\nbegin end.", "[Error] (2:7): Duplicate identifier 'P'"},
      {"type T = Byte;\nconst T = 1;\nbegin end.", "(compiled)"},
      {"var g: Byte;\nprocedure P; var g: Word; begin g := 1; end;\nbegin g := 1; end.", "(compiled)"},
      {"procedure P; begin end;\nprocedure Q; var p: Word; begin p := 1; end;\nbegin end.",
       "[Error] (2:18): Duplicate identifier 'p'"},
      {"type T = Byte;\nprocedure T; begin end;\nbegin end.", "[Error] (2:11): Duplicate identifier 'T'"},
      {"const C = 1;\nprocedure C; begin end;\nbegin end.", "[Error] (2:11): Duplicate identifier 'C'"},
      {"var V: Byte;\nfunction V: Byte; begin Result := 1; end;\nbegin V; end.",
       "[Error] (2:10): Duplicate identifier 'V'"},
      {"var L: Byte;\nlabel L;\nbegin L := 1; end.", "[Error] (2:7): Duplicate identifier 'L'"},
      {"const L = 1;\nlabel L;\nbegin end.", "[Error] (2:7): Duplicate identifier 'L'"},
      {"type L = Byte;\nlabel L;\nbegin L: end.", "(compiled)"},
      {"procedure P; label Result; begin end;\nbegin end.", "[Error] (1:20): Duplicate identifier 'RESULT'"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.script), c.error) << c.script;
}

}  // namespace
}  // namespace dravik::engine::testing
