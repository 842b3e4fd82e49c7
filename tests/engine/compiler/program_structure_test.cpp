// The compiler object, the top level of a script, routine declarations and the registration
// operations a host calls from OnUses.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "compile_helper.h"
#include "engine/compiler/compilation.h"

namespace dravik::engine::testing {
namespace {

TEST(ProgramStructure, FrameOfAProgram) {
  EXPECT_TRUE(Compile("begin end.").ok);
  EXPECT_TRUE(Compile("program P; begin end.").ok);
  EXPECT_EQ(ErrorOf(""), "[Error] (1:1): Unexpected end of file");
  EXPECT_EQ(ErrorOf("program P begin end."), "[Error] (1:11): Semicolon (';') expected");
  EXPECT_EQ(ErrorOf("var x: Integer; uses A;\nbegin end."), "[Error] (1:17): 'BEGIN' expected");
  EXPECT_EQ(ErrorOf("begin end"), "[Error] (1:10): period ('.') expected");
  EXPECT_TRUE(Compile("begin end. anything }{ here is not read ''").ok);
}

TEST(ProgramStructure, UsesClause) {
  EXPECT_EQ(ErrorOf("uses System;\nbegin end."), "[Error] (1:6): Duplicate identifier 'SYSTEM'");
  Compiled other = Compile("uses Other;\nbegin end.");
  EXPECT_FALSE(other.ok);
  EXPECT_TRUE(other.messages.empty());
}

TEST(ProgramStructure, ExceptionsOfTheUsesCallbackBecomeErrors) {
  compiler::TPSPascalCompiler compiler;
  compiler.OnUses = [](compiler::TPSPascalCompiler&, const std::string&) -> bool {
    throw std::runtime_error("no such unit here");
  };
  Compiled c = CompileWith(compiler, "begin end.");
  EXPECT_FALSE(c.ok);
  EXPECT_EQ(c.Only(), "[Error] (1:1): no such unit here");
}

TEST(RoutineDeclarations, ForwardsMustBeSatisfiedWithTheSameSignature) {
  EXPECT_TRUE(Compile("procedure A; forward; procedure A; begin end; begin A; end.").ok);
  EXPECT_EQ(ErrorOf("procedure A; forward;\nbegin end."), "[Error] (1:1): Unsatisfied Forward A");
  EXPECT_EQ(ErrorOf("procedure A(x: Integer); forward; procedure A(y: Byte); begin end;\nbegin end."),
            "[Error] (1:57): Forward Parameter Mismatch");
  EXPECT_TRUE(Compile("procedure A(x: Integer); forward;\nprocedure A(y: LongInt); begin x := 1; end;\n"
                      "begin A(1); end.")
                  .ok);
}

TEST(RoutineDeclarations, HeaderErrors) {
  EXPECT_EQ(ErrorOf("procedure A; external 'x';\nbegin end."), "[Error] (2:1): Semicolon (';') expected");
  EXPECT_EQ(ErrorOf("procedure P(a, a: Integer); begin end;\nbegin end."),
            "[Error] (1:16): Duplicate identifier 'a'");
  EXPECT_EQ(ErrorOf("procedure P(a, A: Integer); begin end;\nbegin end."),
            "[Error] (1:16): Duplicate identifier 'A'");
  EXPECT_EQ(ErrorOf("procedure Result; begin end;\nbegin end."),
            "[Error] (1:11): Duplicate identifier 'RESULT'");
  EXPECT_EQ(ErrorOf("procedure P; const C = 1; begin end;\nbegin end."), "[Error] (1:14): 'BEGIN' expected");
  EXPECT_TRUE(Compile("procedure P; export; begin end;\nbegin P; end.").ok);
  EXPECT_EQ(ErrorOf("procedure P; begin end\nbegin end."), "[Error] (2:1): Semicolon (';') expected");
}

TEST(RoutineDeclarations, ScriptRoutinesAreWrittenWithTheirDeclarations) {
  Compiled c = Compile("function F(var s: string; n: Integer): Byte; begin Result := n; end;\n"
                       "procedure Empty; begin end;\n"
                       "var t: string;\nbegin t := ''; F(t, 1); Empty; end.");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists("R1 script 'F' decl '20 !9 @11'"));
  EXPECT_TRUE(c.Lists("R2 script 'EMPTY' decl '-1'"));
  EXPECT_TRUE(c.Lists("code R2(EMPTY)\n  ; 2:24\n      0 OpReturn\n"));
}

TEST(HostDeclarations, CallDeclarationBytesFollowResultAndModes) {
  compiler::TPSRegProc* mount = nullptr;
  compiler::TPSRegProc* cutExt = nullptr;
  compiler::TPSRegProc* modes = nullptr;
  compiler::TPSPascalCompiler compiler;
  compiler.OnUses = [&](compiler::TPSPascalCompiler& c, const std::string&) {
    mount = c.AddHostRoutine("procedure MountFile(FileName: string; Drive: Integer)");
    cutExt = c.AddHostRoutine("function CutExt(filename: string): String");
    modes = c.AddHostRoutine("procedure X(var s: string; out n: Integer)");
    return true;
  };
  // Inspect the routines while the compilation still owns them.
  std::string seen;
  compiler.OnCompileEnd = [&](compiler::TPSPascalCompiler&) {
    seen = mount->name.upper + ":" + mount->callDeclaration + "|" + cutExt->callDeclaration + "|" +
           modes->callDeclaration;
  };
  ASSERT_TRUE(compiler.Compile("begin end."));
  EXPECT_EQ(seen, std::string("MOUNTFILE:\0\0\0|\1\0|\0\1\1", 20));
}

TEST(HostDeclarations, OpenArraysTakeTheInternalTypeOfTheirElement) {
  std::string seen;
  compiler::TPSPascalCompiler compiler;
  compiler.OnUses = [&](compiler::TPSPascalCompiler& c, const std::string&) {
    compiler::TPSRegProc* proc = c.AddHostRoutine("procedure X(a: array of Word)");
    auto* array = static_cast<compiler::TPSArrayType*>(proc->decl.params[0].type);
    seen = array->name + " of " + array->elementType->name;
    EXPECT_THROW(c.AddHostRoutine("procedure X(a: array of Boolean)"), compiler::EPSCompilerException);
    return true;
  };
  ASSERT_TRUE(compiler.Compile("begin end."));
  EXPECT_EQ(seen, "!OPENARRAYOFU16 of WORD");
}

TEST(Registration, OnlyWhileCompiling) {
  compiler::TPSPascalCompiler compiler;
  try {
    compiler.AddHostRoutine("procedure Wait(ms: longint)");
    FAIL() << "registration outside a compilation must raise";
  } catch (const compiler::EPSCompilerException& e) {
    EXPECT_STREQ(e.what(), "This function can only be called from within the OnUses event");
  }
  EXPECT_THROW(compiler.AddType("T", image::tcU8), compiler::EPSCompilerException);
  EXPECT_EQ(compiler.FindType("Byte"), nullptr);
}

TEST(Registration, FailuresNameWhatFailed) {
  compiler::TPSPascalCompiler compiler;
  std::vector<std::string> texts;
  compiler.OnUses = [&](compiler::TPSPascalCompiler& c, const std::string&) {
    auto expectFailure = [&](auto operation) {
      try {
        operation();
      } catch (const compiler::EPSCompilerException& e) {
        texts.push_back(e.what());
      }
    };
    expectFailure([&] { c.AddHostRoutine("procedure Bad(x: Nothing)"); });
    expectFailure([&] { c.AddBuiltinRoutine("function Bad2(x: Nothing): Byte"); });
    expectFailure([&] { c.AddTypeFromDeclaration("TBad", "array of"); });
    expectFailure([&] { c.AddConstant("KBad", "Nothing"); });
    expectFailure([&] { c.AddTypeAlias("TAlias", "Nothing"); });
    return true;
  };
  ASSERT_TRUE(compiler.Compile("begin end."));
  EXPECT_EQ(texts, (std::vector<std::string>{"Unable to register function procedure Bad(x: Nothing)",
                                             "Unable to register function Bad2",
                                             "Unable to register type TBad",
                                             "Unable to register constant KBad", "Invalid Type"}));
}

TEST(Registration, HostTypesAndConstantsReachTheScript) {
  compiler::TPSPascalCompiler compiler;
  compiler.OnUses = [](compiler::TPSPascalCompiler& c, const std::string&) {
    c.AddTypeFromDeclaration("TPair", "record a, b: Integer; end");
    c.AddConstant("Answer", "Integer")->value.ordinal = 42;
    c.AddHostRoutine("procedure Take(p: TPair)");
    return true;
  };
  Compiled c = CompileWith(compiler, "var p: TPair;\nbegin p.a := Answer; Take(p); end.");
  ASSERT_TRUE(c.ok) << c.Only();
  EXPECT_TRUE(c.Lists("OpAssign G0(p)[0], T11:tcS32(42)"));
}

TEST(CompilerObject, ASecondCompilationStartsClean) {
  compiler::TPSPascalCompiler compiler;
  compiler.OnUses = DeclareWriteln;
  Compiled first = CompileWith(compiler, "begin x := 1; end.");
  EXPECT_FALSE(first.ok);
  EXPECT_EQ(first.Only(), "[Error] (1:7): Unknown identifier 'x'");
  Compiled second = CompileWith(compiler, "var x: Integer;\nbegin x := 1; Writeln('a'); end.");
  EXPECT_TRUE(second.ok);
  EXPECT_TRUE(second.messages.empty());
  Compiled third = CompileWith(compiler, "var x: Integer;\nbegin x := 1; Writeln('a'); end.");
  EXPECT_EQ(third.image, second.image);
  std::string image;
  EXPECT_FALSE((CompileWith(compiler, "begin"), compiler.GetOutput(image)));
}

TEST(CompilerObject, DeepNestingEndsInAnError) {
  const std::string parens = "var x: Integer;\nbegin x := " + std::string(100000, '(') + "1" +
                             std::string(100000, ')') + "; end.";
  std::string begins = "begin ";
  for (int i = 0; i < 100000; ++i) begins += "begin ";
  std::string records = "type T = ";
  for (int i = 0; i < 100000; ++i) records += "record a: ";
  for (const std::string& script : {parens, begins, records}) {
    const std::string error = ErrorOf(script);
    EXPECT_NE(error.find("Nesting too deep"), std::string::npos) << error;
  }
  std::string nested = "var x: Integer;\nbegin x := " + std::string(compiler::kMaxNestingDepth / 2, '(') + "1" +
                       std::string(compiler::kMaxNestingDepth / 2, ')') + "; end.";
  EXPECT_TRUE(Compile(nested).ok);
}

}  // namespace
}  // namespace dravik::engine::testing
