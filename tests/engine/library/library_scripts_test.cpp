// The built-in routines as scripts call them: compiled, bound by name at load and run, so that
// each case goes through the compiler's declaration, the calling layout and the dispatcher.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "../exec/script_run.h"

namespace dravik::engine::testing {
namespace {

struct Case {
  std::string_view expression;  // a string expression, printed between brackets
  std::string_view expected;
};

// Runs the script; answers what it printed, or why it did not end normally.
std::string Output(std::string_view script) {
  ScriptRun run(script);
  if (!run.Problem().empty()) return run.Problem();
  if (!run.Run()) return run.out + " <" + image::ErrorToText(run.exec.LastError(), run.exec.LastErrorParameter()) + ">";
  return run.out;
}

// Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on concatenated temporaries.
std::string Bracketed(std::string_view text) { return std::string("[").append(text).append("]"); }

void ExpectEach(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    std::string script("begin Print('[' + ");
    script.append(c.expression).append(" + ']'); end.");
    EXPECT_EQ(Output(script), Bracketed(c.expected)) << c.expression;
  }
}

TEST(LibraryStrings, PositionsCountAndEdges) {
  ExpectEach({
      {"Copy('abc', 4, 1)", ""}, {"Copy('abc', 2, 10)", "bc"}, {"Copy('abc', 0, 2)", "ab"},
      {"Copy('abc', 2, -1)", ""}, {"Copy('abc', 3, 2147483647)", "c"},
      {"IntToStr(Pos('ca', 'abcabc'))", "3"}, {"IntToStr(Pos('x', 'abc'))", "0"},
      {"IntToStr(Pos('', 'abc'))", "0"},
      {"Trim('  a b  ')", "a b"}, {"Trim(#9'a'#13#10)", "\ta\r\n"}, {"Trim('   ')", ""},
      {"Uppercase('azAZ1' + #233)", "AZAZ1\xE9"}, {"Lowercase('AZaz' + #201)", "azaz\xC9"},
      {"AnsiUppercase('a' + #233 + #255 + #154 + #223 + #247)", "A\xC9\x9F\x8A\xDF\xF7"},
      {"AnsiLowercase('A' + #201 + #159 + #138 + #215)", "a\xE9\xFF\x9A\xD7"},
      {"IntToStr(Length('abc')) + IntToStr(Length(''))", "30"},
      {"Padl('abcdef', 3)", "abcdef"}, {"Padl('ab', 4)", "  ab"}, {"Padr('ab', 4)", "ab  "},
      {"Padz('7', 3)", "007"}, {"Padl('x', -5)", "x"},
      {"Replicate('x', 3)", "xxx"}, {"Replicate('x', 0)", ""}, {"StringOfChar('-', 2)", "--"},
      {"StrGet2('abc', 2)", "b"},
  });
}

TEST(LibraryStrings, VarParametersChangeTheVariable) {
  EXPECT_EQ(Output("var s, t: string;\n"
                   "begin\n"
                   "  s := 'abcdef'; Delete(s, 2, 3); Print(s);\n"
                   "  s := 'abc'; Delete(s, 0, 1); Delete(s, 4, 1); Delete(s, 3, 99); Print(s);\n"
                   "  s := 'ad'; Insert('bc', s, 2); Print(s); Insert('<', s, -3); Insert('>', s, 99); Print(s);\n"
                   "  s := 'abc'; SetLength(s, 2); Print(s); SetLength(s, 4); PrintInt(Length(s));\n"
                   "  SetLength(s, -1); PrintInt(Length(s));\n"
                   "  s := 'abc'; t := s; s[1] := 'X'; StrSet('Y', 3, s); Print(s + ' ' + t + ' ' + s[2]);\n"
                   "end."),
            "aef ab abcd <abcd> ab 4 0 XbY abc b");
}

TEST(LibraryNumbers, TextToIntegerRules) {
  ExpectEach({
      {"IntToStr(StrToInt('  42'))", "42"}, {"IntToStr(StrToInt('+7'))", "7"},
      {"IntToStr(StrToInt('-$10'))", "-16"}, {"IntToStr(StrToInt('0x1F'))", "31"},
      {"IntToStr(StrToInt('X1f'))", "31"}, {"IntToStr(StrToInt('$FFFFFFFF'))", "-1"},
      {"IntToStr(StrToInt('2147483647'))", "2147483647"}, {"IntToStr(StrToInt('-2147483648'))", "-2147483648"},
      {"IntToStr(StrToIntDef('$1F', 0))", "31"},
      {"Int64ToStr(StrToInt64('-9223372036854775808'))", "-9223372036854775808"},
      {"Int64ToStr(StrToInt64('$FFFFFFFFFFFFFFFF'))", "-1"},
      {"Int64ToStr(StrToInt64('4294967296'))", "4294967296"},
  });
  for (std::string_view bad : {"12a", "", " ", "42 ", "- 5", "+-5", "$", "0x", "2147483648", "-2147483649",
                               "$100000000", "1.0", "1e3"})
    EXPECT_EQ(Output("begin PrintInt(StrToIntDef('" + std::string(bad) + "', -99)); end."), "-99") << bad;
  EXPECT_EQ(Output("begin Print(Int64ToStr(StrToInt64('9223372036854775808'))); end."),
            " <Exception: '9223372036854775808' is not a valid integer value>");
}

TEST(LibraryNumbers, RealsAndTheirText) {
  ExpectEach({
      {"FloatToStr(0)", "0.000000000000"}, {"FloatToStr(-2.5)", "-2.500000000000"},
      {"FloatToStr(1.5)", "1.500000000000"}, {"FloatToStr(Pi)", "3.141592653590"},
      {"FloatToStr(-0.0000000000001)", "0.000000000000"}, {"FloatToStr(1.0 / 3)", "0.333333333333"},
      {"FloatToStr(StrToFloat(' -2.5e1'))", "-25.000000000000"}, {"FloatToStr(StrToFloat('.5'))", "0.500000000000"},
      {"IntToStr(Round(2.5)) + IntToStr(Round(3.5)) + IntToStr(Round(-2.5))", "24-2"},
      {"IntToStr(Trunc(-2.7)) + IntToStr(Trunc(2.7))", "-22"},
      {"IntToStr(Round(2147483647.4)) + ' ' + IntToStr(Trunc(-2147483648.9))", "2147483647 -2147483648"},
      {"FloatToStr(Int(-2.7))", "-2.000000000000"}, {"FloatToStr(Abs(-3))", "3.000000000000"},
      {"FloatToStr(Sqrt(16)) + FloatToStr(Sin(0)) + FloatToStr(Cos(0))", "4.0000000000000.0000000000001.000000000000"},
  });
}

struct ErrorCase {
  std::string_view statements;
  image::TQXException code;
  std::string_view text;
};

TEST(LibraryErrors, CodesAndTexts) {
  const std::vector<ErrorCase> cases = {
      {"PrintInt(StrToInt('12a'))", image::erException, "Exception: '12a' is not a valid integer value"},
      {"PrintInt(StrToInt(' 2147483648'))", image::erException,
       "Exception: ' 2147483648' is not a valid integer value"},
      {"Print(FloatToStr(StrToFloat('1,5')))", image::erException, "Exception: Invalid float"},
      {"s := 'abc'; Print(s[0])", image::erCustomError, "Out Of String Range"},
      {"s := 'abc'; s[4] := 'x'", image::erCustomError, "Out Of String Range"},
      {"Print(StrGet2('', 1))", image::erCustomError, "Out Of String Range"},
      {"PrintInt(Round(3000000000.0))", image::ErMathError, "Math error"},
      {"PrintInt(Trunc(-2147483649.0))", image::ErMathError, "Math error"},
      {"PrintInt(Round(Sqrt(-1)))", image::ErMathError, "Math error"},
      {"SetArrayLength(a, -1)", image::ErOutOfRange, "Out Of Range"},
      {"RaiseException(erCustomError, 'mine')", image::erCustomError, "mine"},
  };
  for (const ErrorCase& c : cases) {
    ScriptRun run("var s: string; a: array of Integer;\nbegin " + std::string(c.statements) + "; end.");
    ASSERT_EQ(run.Problem(), "") << c.statements;
    EXPECT_FALSE(run.Run()) << c.statements;
    EXPECT_EQ(run.exec.LastError(), c.code) << c.statements;
    EXPECT_EQ(image::ErrorToText(run.exec.LastError(), run.exec.LastErrorParameter()), c.text) << c.statements;
  }
}

TEST(LibraryErrors, ExceptPartsReadAndRaiseThePendingError) {
  EXPECT_EQ(Output("var s: string;\n"
                   "begin\n"
                   "  try PrintInt(StrToInt('12a')); except Print(ExceptionToString(ExceptionType, ExceptionParam)); end;\n"
                   "  s := 'ab';\n"
                   "  try Print(s[3]); except PrintInt(Ord(ExceptionType)); Print(ExceptionParam); end;\n"
                   "  try RaiseException(ErMathError, 'x'); except PrintInt(Ord(ExceptionType)); end;\n"
                   "  try try RaiseException(erCustomError, 'again'); except RaiseLastException; end;\n"
                   "  except Print(ExceptionParam); end;\n"
                   "  PrintInt(Ord(ExceptionType));\n"
                   "end."),
            "Exception: '12a' is not a valid integer value 24 Out Of String Range 16 again 0");
}

TEST(LibraryArrays, LengthAndCopyOnShared) {
  EXPECT_EQ(Output("var a, b: array of Integer;\n"
                   "begin\n"
                   "  PrintInt(GetArrayLength(a)); SetArrayLength(a, 3); a[2] := 7; PrintInt(GetArrayLength(a));\n"
                   "  SetArrayLength(a, 5); PrintInt(a[2]); PrintInt(a[4]); SetArrayLength(a, 2); PrintInt(GetArrayLength(a));\n"
                   "  a[0] := 5; b := a; SetArrayLength(b, 2); b[0] := 9; PrintInt(a[0]); PrintInt(b[0]);\n"
                   "  SetArrayLength(a, 0); PrintInt(GetArrayLength(a)); PrintInt(GetArrayLength(b));\n"
                   "end."),
            "0 3 7 0 2 5 9 0 2");
}

TEST(LibraryValues, SizeOfEachBaseType) {
  EXPECT_EQ(Output("type TRec = record a: Byte; b: string; c: Double; end; TProc = procedure;\n"
                   "  TEnum = (x0, x1, x2, x3, x4, x5, x6, x7, x8); TSet = set of TEnum;\n"
                   "var u8: Byte; s8: ShortInt; u16: Word; s16: SmallInt; u32: Cardinal; s32: Longint;\n"
                   "  sg: Single; db: Double; ex: Extended; st: string; r: TRec; da: array of Byte;\n"
                   "  pc: PChar; v: Variant; i64: Int64; ch: Char; ws: WideString; wc: WideChar; pp: TProc;\n"
                   "  sa: array[1..3] of Word; se: TSet; cu: Currency;\n"
                   "begin\n"
                   "  PrintInt(SizeOf(u8)); PrintInt(SizeOf(s8)); PrintInt(SizeOf(u16)); PrintInt(SizeOf(s16));\n"
                   "  PrintInt(SizeOf(u32)); PrintInt(SizeOf(s32)); PrintInt(SizeOf(sg)); PrintInt(SizeOf(db));\n"
                   "  PrintInt(SizeOf(ex)); PrintInt(SizeOf(st)); PrintInt(SizeOf(r)); PrintInt(SizeOf(da));\n"
                   "  PrintInt(SizeOf(pc)); PrintInt(SizeOf(v)); PrintInt(SizeOf(i64)); PrintInt(SizeOf(ch));\n"
                   "  PrintInt(SizeOf(ws)); PrintInt(SizeOf(wc)); PrintInt(SizeOf(pp)); PrintInt(SizeOf(sa));\n"
                   "  PrintInt(SizeOf(se)); PrintInt(SizeOf(cu));\n"
                   "end."),
            "1 1 2 2 4 4 4 8 10 4 13 4 4 16 8 1 4 2 12 6 2 8");
}

TEST(LibraryValues, AssignedAndVariants) {
  EXPECT_EQ(Output("var s: string; v: Variant;\n"
                   "begin\n"
                   "  if Assigned(s) then Print('set') else Print('empty'); s := 'x';\n"
                   "  if Assigned(s) then Print('set') else Print('empty');\n"
                   "  v := Unassigned; if VarIsEmpty(v) then Print('empty'); v := Null; if VarIsNull(v) then Print('null');\n"
                   "  v := 5; PrintInt(VarType(v)); v := 'a'; PrintInt(VarType(v)); PrintInt(VarType(Null));\n"
                   "end."),
            "empty set empty null 3 256 1");
}

TEST(LibraryValues, LateBoundCallsFailWithARuntimeError) {
  ScriptRun run("var d: IDispatch; v: Variant;\nbegin v := IDispatchInvoke(d, False, 'Name', []); end.");
  ASSERT_EQ(run.Problem(), "");
  EXPECT_FALSE(run.Run());
  EXPECT_EQ(image::ErrorToText(run.exec.LastError(), run.exec.LastErrorParameter()),
            "Exception: IDispatchInvoke: late-bound calls are not available on this system");
}

TEST(LibraryBinding, HostRoutinesOfTheSameNameWin) {
  ScriptRun run("begin Print(Copy('abc', 1, 1)); end.");
  ASSERT_EQ(run.Problem(), "");
  run.exec.RegisterHostFunction(
      [](exec::TPSExec&, std::span<const exec::ScriptValueRef>, const exec::ScriptValueRef* result) {
        values::SetString(result->value, "host");
        return true;
      },
      "copy", exec::kRegisterConvention);
  ASSERT_TRUE(run.exec.Load(run.compiled.image));
  EXPECT_TRUE(run.Run());
  EXPECT_EQ(run.out, "host");
}

}  // namespace
}  // namespace dravik::engine::testing
