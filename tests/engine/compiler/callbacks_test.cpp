// The host's callbacks and options, and the debug records written beside the image.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compile_helper.h"

namespace dravik::engine::testing {
namespace {

TEST(Callbacks, CheckRoutineSeesEverySignatureAndMayRefuse) {
  compiler::TPSPascalCompiler compiler;
  std::vector<std::string> signatures;
  compiler.OnCheckRoutine = [&](compiler::TPSPascalCompiler&, const compiler::TPSInternalProcedure& routine,
                                const std::string& signature) {
    signatures.push_back(routine.name.upper + "=" + signature);
    return routine.name.upper != "REFUSED";
  };
  Compiled ok = CompileWith(compiler, "function F(var s: string; n: Byte): Integer; begin Result := n; end;\n"
                                      "var s: string;\nbegin s := ''; F(s, 1); end.");
  EXPECT_TRUE(ok.ok);
  EXPECT_EQ(signatures, (std::vector<std::string>{"!MAIN=0", "F=LONGINT !STRING @BYTE"}));
  Compiled refused = CompileWith(compiler, "procedure Refused; begin end;\nbegin Refused; end.");
  EXPECT_FALSE(refused.ok);
  EXPECT_TRUE(refused.messages.empty());
}

TEST(Callbacks, BeforeWriteMayRefuseAndCompileEndAlwaysRuns) {
  compiler::TPSPascalCompiler compiler;
  int ends = 0;
  compiler.OnBeforeWrite = [](compiler::TPSPascalCompiler&) { return false; };
  compiler.OnCompileEnd = [&](compiler::TPSPascalCompiler&) { ++ends; };
  Compiled refused = CompileWith(compiler, "begin end.");
  EXPECT_FALSE(refused.ok);
  EXPECT_TRUE(refused.image.empty());
  CompileWith(compiler, "begin x; end.");
  EXPECT_EQ(ends, 2);
}

TEST(Callbacks, VariablesAreReportedAsDeclaredAndAsFound) {
  compiler::TPSPascalCompiler compiler;
  std::vector<std::string> seen;
  compiler.OnVariableDeclared = [&](compiler::TPSPascalCompiler&, int kind, std::uint32_t index, std::uint32_t,
                                    std::int32_t routine) {
    seen.push_back(std::to_string(kind) + ":" + std::to_string(index) + "@" + std::to_string(routine));
  };
  ASSERT_TRUE(CompileWith(compiler, "var g: Integer;\nprocedure P(a: Byte); var l: Byte; begin l := a; end;\n"
                                    "begin g := 1; P(g); end.")
                  .ok);
  EXPECT_EQ(seen, (std::vector<std::string>{"0:0@-1", "2:0@1", "2:0@1", "1:0@1", "0:0@0", "0:0@0"}));
}

TEST(Callbacks, ExternalDeclarationsBecomeCallableRoutines) {
  compiler::TPSPascalCompiler compiler;
  compiler::TPSRegProc made;
  std::string asked;
  compiler.OnExternalDeclaration = [&](compiler::TPSPascalCompiler&, const compiler::TPSParametersDecl& decl,
                                       const std::string& name, const std::string& text) {
    asked = name + " from " + text;
    made.name = compiler::TPSName(name);
    made.decl = decl;
    made.callDeclaration = compiler::CallDeclaration(decl);
    return &made;
  };
  Compiled c = CompileWith(compiler, "procedure Beep(n: Integer); external 'sound.dll';\nbegin Beep(3); end.");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_EQ(asked, "BEEP from sound.dll");
  EXPECT_TRUE(c.Lists("R1 external 'BEEP' call procedure(val)"));
}

TEST(Callbacks, StatementRecordsFollowOnStatementAndOnWritePosition) {
  compiler::TPSPascalCompiler compiler;
  compiler.OnStatement = [](compiler::TPSPascalCompiler&, std::uint32_t offset) { return offset != 22; };
  compiler.OnWritePosition = [](compiler::TPSPascalCompiler&, std::uint32_t&, std::uint32_t& row, std::string&,
                                std::uint32_t&) { row += 100; };
  Compiled c = CompileWith(compiler, "var x: Integer;\nbegin x := 1; x := 2; end.");
  ASSERT_TRUE(c.ok);
  EXPECT_TRUE(c.Lists("; 102:15"));
  EXPECT_FALSE(c.Lists("; 102:7"));
}

TEST(Options, UnitsAndBlocksWithoutBegin) {
  compiler::TPSPascalCompiler compiler;
  compiler.AllowUnit = true;
  EXPECT_TRUE(CompileWith(compiler, "unit U; interface procedure P; implementation procedure P; begin end; end.").ok);
  EXPECT_EQ(CompileWith(compiler, "unit U; interface procedure P; implementation end.").Only(),
            "[Error] (1:19): Unsatisfied Forward P");
  compiler::TPSPascalCompiler plain;
  EXPECT_EQ(CompileWith(plain, "unit U; begin end.").Only(), "[Error] (1:1): 'BEGIN' expected");
  plain.AllowNoBegin = true;
  EXPECT_TRUE(CompileWith(plain, "var x: Integer; end.").ok);
  plain.AllowNoEnd = true;
  EXPECT_TRUE(CompileWith(plain, "var x: Integer;").ok);
}

TEST(DebugOutput, RecordsRoutinesStatementsAndNames) {
  compiler::TPSPascalCompiler compiler;
  ASSERT_TRUE(compiler.Compile("var g: Byte;\nfunction F(a: Byte): Byte; var l: Byte; begin l := a; Result := l; end;\n"
                               "begin g := F(1); end."));
  const std::string& debug = compiler.DebugOutput();
  const std::string routine("\x02\x01\x00\x00\x00\x01Result\x01" "a\x00\x03\x01\x00\x00\x00\x01l\x00", 23);
  EXPECT_EQ(debug.substr(0, routine.size()), routine);
  const std::string names("\x00\x01\x01" "F\x00\x01\x01g\x00", 9);
  EXPECT_EQ(debug.substr(debug.size() - names.size()), names);
  // The first statement record: kind 4, no file name, routine 1 at code offset 5 (after the
  // local's OpPushType), line 2, column 48.
  const std::size_t statement = routine.size();
  EXPECT_EQ(debug[statement], '\x04');
  EXPECT_EQ(debug[statement + 1], '\x01');
  EXPECT_EQ(debug.substr(statement + 2, 8), std::string("\x01\x00\x00\x00\x05\x00\x00\x00", 8));
}

}  // namespace
}  // namespace dravik::engine::testing
