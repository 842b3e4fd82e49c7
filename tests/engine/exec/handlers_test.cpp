// try/except/finally at run time: unwinding across calls, finally parts on errors, exits and
// jumps, errors raised again or replaced, and loops whose bodies leave protected blocks many
// times without the stack or the handler frames drifting.

#include <gtest/gtest.h>

#include <string>

#include "script_run.h"

namespace dravik::engine::testing {
namespace {

struct Outcome {
  bool ok = false;
  std::string out;
  image::TQXException error = image::ErNoError;
};

Outcome RunScript(std::string_view script) {
  ScriptRun run(script);
  EXPECT_EQ(run.Problem(), "");
  Outcome outcome;
  outcome.ok = run.Run();
  outcome.out = run.out;
  outcome.error = run.exec.LastError();
  if (outcome.ok) {
    EXPECT_EQ(run.exec.Status(), exec::ExecStatus::kLoaded);
    EXPECT_EQ(run.exec.MainStack().Count(), 0u);
  }
  return outcome;
}

// Every script below declares z (zero) for divisions that must fail at run time.
constexpr std::string_view kZero = "var z: Integer;\n";

std::string WithZero(std::string_view script) { return std::string(kZero) + std::string(script); }

TEST(Handlers, AnErrorInANestedCallIsCaughtByTheCaller) {
  Outcome o = RunScript(
      WithZero("procedure Inner; var s: string; begin s := 'local'; z := 1 div z; Print('not here'); end;\n"
               "procedure Middle; var t: string; begin t := 'x'; Inner; Print('not here'); end;\n"
               "var d, e: Integer;\n"
               "begin d := StackDepth; try Middle; Print('not here'); except PrintInt(PendingError); end;\n"
               "  e := StackDepth; PrintInt(e - d); Print('after'); end."));
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.out, "15 0 after") << "the unwinding dropped the frames of Inner and Middle";
  EXPECT_EQ(o.error, image::ErNoError) << "the except part handled the error";
}

TEST(Handlers, FinallyRunsOnTheWayOutAndTheErrorGoesOn) {
  Outcome o = RunScript(WithZero(
      "procedure Inner; begin try z := 1 div z; finally Print('inner finally'); end; Print('not here'); end;\n"
      "begin\n"
      "  try try Inner; finally Print('outer finally'); end; except PrintInt(PendingError); end;\n"
      "  try Print('quiet'); finally Print('still runs'); end;\n"
      "end."));
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.out, "inner finally outer finally 15 quiet still runs");
}

TEST(Handlers, EveryLevelOfARecursionRunsItsFinallyPart) {
  Outcome o = RunScript(WithZero(
      "procedure R(n: Integer);\n"
      "begin try if n = 0 then z := 1 div z else R(n - 1); finally PrintInt(n); end; end;\n"
      "procedure E(n: Integer);\n"
      "begin try if n = 0 then z := 1 div z else E(n - 1); except PrintInt(n); end; end;\n"
      "begin try R(3); except Print(PendingText); end; E(3); Print('done'); end."));
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.out, "0 1 2 3 divide by Zero 0 done") << "only the innermost except part runs";
}

TEST(Handlers, AnUnhandledErrorAfterFinallyStopsTheRun) {
  Outcome o =
      RunScript(WithZero("begin try z := 1 div z; finally Print('finally'); end; Print('not here'); end."));
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.out, "finally");
  EXPECT_EQ(o.error, image::ErDivideByZero);
}

TEST(Handlers, AnErrorInAFinallyPartReplacesTheFirst) {
  Outcome o = RunScript(
      WithZero("begin\n"
               "  try try z := 1 div z; finally Fail('second'); end; except Print(PendingText); end;\n"
               "  try try Fail('first'); finally z := z div z; end; except Print(PendingText); end;\n"
               "end."));
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.out, "Exception: second divide by Zero");
}

TEST(Handlers, ErrorsInsideExceptPartsAndExceptThenFinally) {
  Outcome o = RunScript(
      WithZero("begin\n"
               "  try try z := 1 div z; except Fail('from except'); end; except Print(PendingText); end;\n"
               "  try z := 1 div z; except Print('except'); finally Print('finally'); end;\n"
               "  try Print('no error'); except Print('not here'); finally Print('finally'); end;\n"
               "  try z := 1 div z; finally Print('first'); except PrintInt(PendingError); end;\n"
               "  PrintInt(PendingError);\n"
               "  try try z := 1 div z; except Fail('in except'); finally Print('second finally'); end;\n"
               "  except Print(PendingText); end;\n"
               "end."));
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.out,
            "Exception: from except except finally no error finally first 15 0 "
            "second finally Exception: in except");
}

TEST(Handlers, ATryBlockInsideAFinallyPartDoesNotSwallowTheError) {
  Outcome o = RunScript(
      WithZero("begin\n"
               "  try\n"
               "    try z := 1 div z;\n"
               "    finally try Fail('inner'); except Print(PendingText); end; Print('finally done'); end;\n"
               "  except Print(PendingText); end;\n"
               "end."));
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.out, "Exception: inner finally done divide by Zero");
}

TEST(Handlers, AnExceptPartStillSeesItsErrorAfterANestedTryBlock) {
  Outcome o = RunScript(WithZero(
      "begin\n"
      "  try Fail('outer');\n"
      "  except try z := 1 div z; except Print(PendingText); end; Print(PendingText); end;\n"
      "  PrintInt(PendingError);\n"
      "end."));
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.out, "divide by Zero Exception: outer 0");
}

TEST(Handlers, ExitRunsFinallyPartsFirst) {
  Outcome o = RunScript(WithZero(
      "function F: Integer;\n"
      "begin Result := 1; try try Result := 2; exit; Result := 3; finally Print('inner'); end;\n"
      "  finally Print('outer'); end; Result := 4; end;\n"
      "function G: Integer; begin try z := 1 div z; except Result := 5; exit; end; Result := 6; end;\n"
      "procedure P; begin try exit; except Print('not here'); end; end;\n"
      "function H: Integer;\n"
      "begin try try z := 1 div z; except Result := 7; exit; end; finally Print('h finally'); end;\n"
      "  Result := 8; end;\n"
      "procedure Q; begin try z := 1 div z; finally Print('q finally'); exit; end; end;\n"
      "function K: Integer;\n"
      "begin try Result := 1; exit; except Result := 2; finally Print('k finally'); end; Result := 3; end;\n"
      "begin PrintInt(F); PrintInt(G); PrintInt(PendingError); PrintInt(H);\n"
      "  try Q; Print('not here'); except Print(PendingText); end; PrintInt(K);\n"
      "  try P; z := 1 div z; except Print('caught in main'); end;\n"
      "  try exit; finally Print('main finally'); end; Print('not here');\n"
      "end."));
  EXPECT_TRUE(o.ok);
  EXPECT_EQ(o.out, "inner outer 2 5 0 h finally 7 q finally divide by Zero k finally 1 caught in main main finally")
      << "a try/except left by exit must not catch a later error of its caller; an exit from a finally "
         "part that runs for an error lets the error go on";
}

TEST(Handlers, AnErrorInsideTryExceptLetsTheRunSucceed) {
  ScriptRun run(WithZero("begin try z := 1 div z; except end; Print('on'); end."));
  ASSERT_EQ(run.Problem(), "");
  EXPECT_TRUE(run.Run());
  EXPECT_EQ(run.out, "on");
  EXPECT_EQ(run.exec.LastError(), image::ErNoError);
  ASSERT_EQ(run.errors.size(), 1u) << "OnException still saw it";
  EXPECT_EQ(run.errors[0].substr(0, 3), "15@");
}

// The main stack's depth before and after each loop must be the same: a loop that leaks a slot
// or a handler frame per pass shows it after a few thousand passes.
TEST(Handlers, BreakAndContinueLeaveTryBlocksCleanly) {
  Outcome o = RunScript(
      WithZero("var i, n, f, d, e: Integer;\n"
               "begin\n"
               "  d := StackDepth;\n"
               "  for i := 1 to 1000 do begin\n"
               "    try\n"
               "      if i mod 3 = 0 then continue;\n"
               "      if i = 700 then break;\n"
               "      n := n + 1;\n"
               "    finally f := f + 1; end;\n"
               "  end;\n"
               "  PrintInt(i); PrintInt(n); PrintInt(f); e := StackDepth; PrintInt(e - d);\n"
               "  n := 0; i := 0;\n"
               "  while i < 3000 do begin\n"
               "    i := i + 1;\n"
               "    try\n"
               "      if i mod 2 = 0 then continue;\n"
               "      z := 1 div z;\n"
               "    except\n"
               "      n := n + 1;\n"
               "      if i = 2999 then break;\n"
               "      continue;\n"
               "    end;\n"
               "    Print('not here');\n"
               "  end;\n"
               "  PrintInt(i); PrintInt(n); e := StackDepth; PrintInt(e - d);\n"
               "  f := 0;\n"
               "  repeat\n"
               "    f := f + 1;\n"
               "    try try if f mod 2 = 0 then continue; if f = 501 then break; finally n := n + 1; end;\n"
               "    finally n := n + 1; end;\n"
               "  until f > 1000;\n"
               "  PrintInt(f); PrintInt(n); e := StackDepth; PrintInt(e - d);\n"
               "end."));
  EXPECT_TRUE(o.ok) << o.out;
  // for: 700 passes, the last one left by break; 233 of the first 699 continue early.
  // while: 1500 odd passes each fail, the one at 2999 breaks out of the except part.
  // repeat: 501 passes, each through both finally parts.
  EXPECT_EQ(o.out, "700 466 700 0 2999 1500 0 501 2502 0");
}

TEST(Handlers, BreakAndContinueLeaveWithAndCaseCleanly) {
  Outcome o = RunScript(
      "type R = record a: Integer; end;\n"
      "var r: R; i, n, d, e: Integer;\n"
      "begin\n"
      "  d := StackDepth;\n"
      "  for i := 1 to 5000 do begin\n"
      "    with r do begin if i mod 2 = 0 then continue; a := i; end;\n"
      "    case i mod 5 of 1: continue; 3: case i mod 7 of 0: continue; end; end;\n"
      "    n := n + 1;\n"
      "    if i = 4999 then with r do break;\n"
      "  end;\n"
      "  PrintInt(i); PrintInt(n); PrintInt(r.a); e := StackDepth; PrintInt(e - d);\n"
      "end.");
  EXPECT_TRUE(o.ok) << o.out;
  // Odd i from 1 to 4999 (2500), minus those = 1 mod 5 (500), minus odd i = 3 mod 5 and
  // 0 mod 7 (i = 3 mod 5, odd, multiple of 7: i = 63 mod 70, 71 of them up to 4999); the with
  // statement wrote the last odd i into r itself.
  EXPECT_EQ(o.out, "4999 1929 4999 0");
}

TEST(Handlers, NestedLoopsWithTryInsideProceduresReturnCleanly) {
  Outcome o = RunScript(
      WithZero("function Count(n: Integer): Integer; var i, j: Integer;\n"
               "begin Result := 0;\n"
               "  for i := 1 to n do\n"
               "    for j := 1 to n do begin\n"
               "      try\n"
               "        if j > i then break;\n"
               "        if (i + j) mod 4 = 0 then z := 1 div z;\n"
               "        Result := Result + 1;\n"
               "        if i = n then exit;\n"
               "      except Result := Result + 100; end;\n"
               "    end;\n"
               "end;\n"
               "var k, d, e: Integer;\n"
               "begin d := StackDepth; for k := 1 to 200 do if Count(6) <> Count(6) then Print('differs');\n"
               "  PrintInt(Count(6)); e := StackDepth; PrintInt(e - d); end."));
  EXPECT_TRUE(o.ok) << o.out;
  // Pairs j <= i for i = 1..5: 15, of which (i + j) mod 4 = 0 for (2,2),(3,1),(4,4),(5,3): 4
  // fail (+100 each) and 11 count; i = 6 adds one pass (j = 1) and exits.
  EXPECT_EQ(o.out, "412 0");
}

}  // namespace
}  // namespace dravik::engine::testing
