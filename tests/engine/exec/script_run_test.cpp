// Compiled scripts on the executor: calls and parameter passing, value semantics of records,
// strings and arrays, procedural values, and the host's control of a run (Halt, Suspend,
// CallProc, ResetGlobals, OnException).

#include "script_run.h"

#include "engine/engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace dravik::engine::testing {
namespace {

// Runs a script that must load and end normally; answers what it printed.
std::string Output(std::string_view script) {
  ScriptRun run(script);
  if (!run.Problem().empty()) return run.Problem();
  const bool ok = run.Run();
  if (!ok)
    return run.out + " <stopped: " + image::ErrorToText(run.exec.LastError(), run.exec.LastErrorParameter()) + ">";
  EXPECT_EQ(run.exec.Status(), exec::ExecStatus::kLoaded);
  EXPECT_EQ(run.exec.MainStack().Count(), 0u);
  return run.out;
}

TEST(ScriptCalls, ValueVarAndOutParameters) {
  EXPECT_EQ(Output("procedure ByValue(n: Integer; s: string); begin n := n + 1; s := s + '!'; end;\n"
                   "procedure ByVar(var n: Integer; var s: string); begin n := n + 1; s := s + '!'; end;\n"
                   "procedure ByOut(out n: Integer); begin n := 42; end;\n"
                   "var i: Integer; s: string;\n"
                   "begin\n"
                   "  i := 1; s := 'a';\n"
                   "  ByValue(i, s); PrintInt(i); Print(s);\n"
                   "  ByVar(i, s); PrintInt(i); Print(s);\n"
                   "  ByOut(i); PrintInt(i);\n"
                   "end."),
            "1 a 2 a! 42");
}

TEST(ScriptCalls, ParametersArriveInDeclarationOrder) {
  EXPECT_EQ(
      Output(
          "procedure Three(a: Integer; b: string; c: Integer); begin PrintInt(a); Print(b); PrintInt(c); end;\n"
          "function Diff(a, b: Integer): Integer; begin Result := a - b; end;\n"
          "begin Three(1, 'two', 3); PrintInt(Diff(10, 3)); end."),
      "1 two 3 7");
}

TEST(ScriptCalls, FunctionResultsAndRecursion) {
  EXPECT_EQ(Output("function Fact(n: Integer): Integer;\n"
                   "begin if n <= 1 then Result := 1 else Result := n * Fact(n - 1); end;\n"
                   "function Fib(n: Integer): Integer;\n"
                   "begin if n < 2 then Result := n else Result := Fib(n - 1) + Fib(n - 2); end;\n"
                   "function Greeting(name: string): string; begin Result := 'hello ' + name; end;\n"
                   "function Twice(var x: Integer): Integer; begin x := x * 2; Result := x + 1; end;\n"
                   "var g: Integer;\n"
                   "begin PrintInt(Fact(10)); PrintInt(Fib(20)); Print(Greeting('you'));\n"
                   "  g := 5; g := Twice(g); PrintInt(g); end."),
            "3628800 6765 hello you 11");
}

TEST(ScriptCalls, ProceduralValues) {
  EXPECT_EQ(Output("type TProc = procedure(n: Integer); TFunc = function(a, b: Integer): Integer;\n"
                   "var p: TProc; f: TFunc;\n"
                   "procedure Show(n: Integer); begin PrintInt(n); end;\n"
                   "procedure Twice(n: Integer); begin PrintInt(n * 2); end;\n"
                   "function Sub(a, b: Integer): Integer; begin Result := a - b; end;\n"
                   "procedure Apply(q: TProc; n: Integer); begin q(n); end;\n"
                   "begin\n"
                   "  p := @Show; p(3); p := @Twice; p(3);\n"
                   "  Apply(@Show, 4); Apply(p, 4);\n"
                   "  f := @Sub; PrintInt(f(9, 2));\n"
                   "end."),
            "3 6 4 8 7");
}

TEST(ScriptCalls, CallingAnUnsetProceduralValueIsAnError) {
  ScriptRun run(
      "type TProc = procedure(n: Integer);\nvar p: TProc;\nbegin Print('a'); p(1); Print('b'); end.");
  ASSERT_EQ(run.Problem(), "");
  EXPECT_FALSE(run.Run());
  EXPECT_EQ(run.exec.LastError(), image::erOutOfProcRange) << "procedure 0 is the main procedure";
  EXPECT_EQ(run.out, "a");
  EXPECT_EQ(run.exec.Status(), exec::ExecStatus::kSuspended);
}

TEST(ScriptValues, RecordsAndStringsAreCopiedDynamicArraysShared) {
  EXPECT_EQ(Output("type R = record a: Integer; s: string; end;\n"
                   "var r, q: R; s, t: string; x, y: array of Integer; sa, sb: array[0..1] of string;\n"
                   "begin\n"
                   "  r.a := 1; r.s := 'r';\n"
                   "  q := r; q.a := 2; q.s := q.s + 'q';\n"
                   "  PrintInt(r.a); Print(r.s); PrintInt(q.a); Print(q.s);\n"
                   "  s := 'abc'; t := s; t := t + 'd'; Print(s); Print(t);\n"
                   "  SetArrayLength(x, 2); x[0] := 1; y := x; y[0] := 9; PrintInt(x[0]);\n"
                   "  sa[0] := 'one'; sb := sa; sb[0] := 'two'; Print(sa[0]); Print(sb[0]);\n"
                   "end."),
            "1 r 2 rq abc abcd 9 one two");
}

TEST(ScriptValues, WithWorksOnTheRecordAndBracketListsFillArrays) {
  EXPECT_EQ(Output("type R = record a: Integer; end;\nvar r: R; v: array of R; i: Integer;\n"
                   "begin r.a := 1; with r do a := 5; PrintInt(r.a);\n"
                   "  SetArrayLength(v, 3); i := 2; with v[i] do a := 7; PrintInt(v[2].a);\n"
                   "end."),
            "5 7");
  EXPECT_EQ(Output("var v: array of Integer;\n"
                   "begin v := [4, 5, 6]; PrintInt(GetArrayLength(v)); PrintInt(v[2]); end."),
            "3 6");
}

TEST(ScriptValues, RecordsAsParametersAndResults) {
  EXPECT_EQ(
      Output("type R = record a: Integer; s: string; end;\n"
             "function Make(a: Integer; s: string): R; begin Result.a := a; Result.s := s; end;\n"
             "procedure Change(r: R); begin r.a := 0; r.s := 'changed'; end;\n"
             "procedure ChangeVar(var r: R); begin r.a := r.a + 1; r.s := r.s + '+'; end;\n"
             "var x: R; list: array of R;\n"
             "begin x := Make(1, 'one'); Change(x); PrintInt(x.a); Print(x.s);\n"
             "  ChangeVar(x); PrintInt(x.a); Print(x.s);\n"
             "  SetArrayLength(list, 2); list[1] := x; ChangeVar(list[1]); Print(list[1].s); Print(x.s);\n"
             "end."),
      "1 one 2 one+ one++ one+");
}

TEST(ScriptValues, AVarParameterKeepsAnArrayElementAliveWhileTheArrayIsResized) {
  ScriptRun run("var a: array of Integer;\n"
                "procedure Grow(var x: Integer); begin SetArrayLength(a, 100000); x := 5; a[0] := 7; end;\n"
                "procedure Drop(var x: Integer); begin SetArrayLength(a, 0); x := 6; end;\n"
                "begin SetArrayLength(a, 1); Grow(a[0]); PrintInt(a[0]); Drop(a[0]); PrintInt(GetArrayLength(a)); end.");
  ASSERT_EQ(run.Problem(), "");
  EXPECT_TRUE(run.Run());
  // The writes through x go to the element's old block, which the parameter kept alive.
  EXPECT_EQ(run.out, "7 0");
}

// The reference count of the string block held by global i.
std::int32_t StringRefCount(ScriptRun& run, std::size_t i) {
  const auto* block = values::Load<const values::StringBlock*>(run.exec.Globals().ValueAt(i));
  return block == nullptr ? 0 : block->refCount;
}

TEST(ScriptValues, StringsShareOneCountedBlock) {
  ScriptRun run(
      "type R = record s: string; end;\nvar s, t, u: string; r: R; a: array of string;\n"
      "procedure Keep(x: string); var l: string; begin l := x; end;\n"
      "begin s := 'ab'; s := s + 'c'; t := s; u := t; r.s := s; SetArrayLength(a, 1); a[0] := s;\n"
      "  Keep(s); u := 'other'; end.");
  ASSERT_EQ(run.Problem(), "");
  ASSERT_TRUE(run.Run());
  EXPECT_EQ(run.GlobalString(0), "abc");
  EXPECT_EQ(StringRefCount(run, 0), 4) << "s, t, the record field and the array element";
  run.exec.ResetGlobals();
  EXPECT_EQ(run.GlobalString(0), "");
  EXPECT_EQ(run.GlobalString(2), "");
}

// The code offsets of the listed instruction of procedure procNo that starts with `text`, and of
// the instruction after it.
std::pair<std::uint32_t, std::uint32_t> InstructionAt(const Compiled& compiled, std::int32_t procNo,
                                                      std::string_view text) {
  const std::string& listing = compiled.listing;
  std::size_t at = listing.find("code R" + std::to_string(procNo) + "(");
  bool found = false;
  std::uint32_t start = 0;
  while (at != std::string::npos && (at = listing.find('\n', at)) != std::string::npos) {
    ++at;
    const std::string line = listing.substr(at, listing.find('\n', at) - at);
    if (line.starts_with("code ")) break;
    const std::size_t op = line.find(" Op");
    if (op == std::string::npos || line.find_first_not_of(' ') == op) continue;
    const auto offset = static_cast<std::uint32_t>(std::stoul(line));
    if (found) return {start, offset};
    found = line.compare(op + 1, text.size(), text) == 0;
    start = offset;
  }
  return {0, 0};
}

// A run of operators as generated scripts write them (a sum of many terms, a long join of texts)
// is not nesting: it compiles and runs at any length, in statements and in declarations alike,
// without native recursion in proportion to its length.
TEST(ScriptValues, LongRunsOfOperatorsCompileAndRun) {
  constexpr int kTerms = 100000;
  auto run = [&](std::string_view term, std::string_view op) {
    std::string text(term);
    for (int i = 1; i < kTerms; ++i) text.append(op).append(term);
    return text;
  };
  auto Output = [](const std::string& script) {
    ScriptRun run(script, Listing::kNone);
    if (!run.Problem().empty()) return run.Problem();
    return run.Run() ? run.out : "<stopped>";
  };
  EXPECT_EQ(Output("var x, n: Integer;\nbegin x := 1; n := " + run("x", " + ") + "; PrintInt(n); end."), "100000");
  EXPECT_EQ(Output("var s, c: string;\nbegin c := 'ab'; s := " + run("c", " + ") + "; PrintInt(Length(s)); end."),
            "200000");
  EXPECT_EQ(Output("const S = " + run("'xy'", " + ") + ";\nbegin PrintInt(Length(S)); end."), "200000");
  EXPECT_EQ(Output("var n: Integer;\nbegin n := 2; if " + run("n", " * ") + " = 0 then Print('wrapped'); end."),
            "wrapped");
}

TEST(ScriptCalls, ErrorsNameTheProcedureAndTheInstruction) {
  ScriptRun run("var z: Integer;\nprocedure Fault; begin z := z + 1; z := 1 div (z - 1); end;\nbegin Fault; end.");
  ASSERT_EQ(run.Problem(), "");
  EXPECT_FALSE(run.Run());
  EXPECT_EQ(run.exec.LastError(), image::ErDivideByZero);
  const std::int32_t fault = run.ProcNo("FAULT");
  ASSERT_EQ(run.exec.LastErrorProcNo(), fault);
  const auto [division, next] = InstructionAt(run.compiled, fault, "OpCalculate div");
  ASSERT_LT(division, next) << run.compiled.listing;
  EXPECT_GT(run.exec.LastErrorPosition(), division);
  EXPECT_LE(run.exec.LastErrorPosition(), next);
}

TEST(ScriptCalls, RecursionWithoutEndStopsWithAStackError) {
  ScriptRun run(
      "procedure Down(n: Integer); var s: string; begin s := 'x'; Down(n + 1); end;\n"
      "begin Down(0); Print('never'); end.");
  ASSERT_EQ(run.Problem(), "");
  EXPECT_FALSE(run.Run());
  EXPECT_EQ(run.exec.LastError(), image::erOutOfStackRange);
  EXPECT_EQ(run.exec.Status(), exec::ExecStatus::kSuspended);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.exec.LastErrorProcNo(), run.ProcNo("DOWN"));
  // The executor is still usable: a halt empties the stack and the script runs again.
  run.exec.Halt();
  EXPECT_EQ(run.exec.MainStack().Count(), 0u);
  run.exec.MainStack().SetSlotLimit(1000);
  EXPECT_FALSE(run.Run());
  EXPECT_EQ(run.exec.LastError(), image::erOutOfStackRange);
  EXPECT_EQ(run.exec.MainStack().Count(), 1000u);
}

TEST(ScriptCalls, AnAllocationBeyondTheLimitsIsOutOfMemory) {
  ScriptRun run(
      "var a: array of Integer;\n"
      "begin try SetArrayLength(a, 2000000000); except PrintInt(PendingError); end;\n"
      "  SetArrayLength(a, 2147483647); Print('never'); end.");
  ASSERT_EQ(run.Problem(), "");
  EXPECT_FALSE(run.Run());
  EXPECT_EQ(run.out, std::to_string(image::erOutOfMemory));
  EXPECT_EQ(run.exec.LastError(), image::erOutOfMemory);
}

// Every value block is counted against one limit, and a block freed gives its bytes back: a
// script that keeps 1 MiB blocks alive fails at the limit, and one that makes and drops many
// more than the limit in all (appends, resizes, copies, variants) runs to its end.
TEST(ScriptCalls, ValuesTogetherStayWithinTheMemoryLimit) {
  const MemoryLimitScope limit(8u << 20);
  const std::uint64_t before = MemoryInUse();
  {
    ScriptRun run(
        "type TRow = array of Byte;\n"
        "var kept: array of TRow; s: string; v: Variant; i, j: Integer;\n"
        "begin\n"
        "  for i := 1 to 64 do begin\n"
        "    s := ''; for j := 1 to 1024 do s := s + StringOfChar('x', 1000);\n"
        "    SetArrayLength(kept, 1); SetArrayLength(kept[0], 1000000); SetArrayLength(kept[0], 10);\n"
        "    v := s; v := Copy(v, 1, 500000); v := 0;\n"
        "  end;\n"
        "  PrintInt(Length(s)); s := '';\n"
        "  try\n"
        "    for i := 1 to 64 do begin SetArrayLength(kept, i); SetArrayLength(kept[i - 1], 1 shl 20); end;\n"
        "  except PrintInt(PendingError); PrintInt(i); end;\n"
        "  SetArrayLength(kept, 0);\n"
        "  SetArrayLength(kept, 4); SetArrayLength(kept[3], 1 shl 20); Print('again');\n"
        "end.");
    ASSERT_EQ(run.Problem(), "");
    EXPECT_TRUE(run.Run()) << run.exec.LastError();
    EXPECT_EQ(run.out, "1024000 " + std::to_string(image::erOutOfMemory) + " 8 again");
  }
  EXPECT_EQ(MemoryInUse(), before);
}

TEST(HostCalls, FailuresOfHostRoutinesBecomeErrorCodes) {
  EXPECT_EQ(Output("begin\n"
                   "  try Fail('disk full'); except PrintInt(PendingError); Print(PendingText); end;\n"
                   "  try Refuse; except Print(PendingText); end;\n"
                   "end."),
            "20 Exception: disk full Could not call proc");
}

TEST(HostCalls, HostRoutinesWriteThroughVarParameters) {
  EXPECT_EQ(Output("var n: Integer; s, c: string;\n"
                   "begin n := 21; s := 'ab'; c := 'same'; HostDouble(n, s, c); PrintInt(n); Print(s); Print(c); end."),
            "refrefval 42 abab same");
}

TEST(HostCalls, WhatHostRoutinesThrowBecomesErrorCodes) {
  ScriptRun run(
      "procedure Catch(kind: Integer);\n"
      "begin try Throw(kind); except PrintInt(PendingError); Print(PendingText); end; end;\n"
      "begin Catch(0); Catch(2); Catch(3); Catch(4); Throw(1); end.");
  ASSERT_EQ(run.Problem(), "");
  EXPECT_FALSE(run.Run());
  EXPECT_EQ(run.out, "20 Exception: host 16 Math error 19 Out Of Memory 20 Exception: ");
  EXPECT_EQ(run.exec.LastError(), image::erCustomError);
  EXPECT_EQ(image::ErrorToText(run.exec.LastError(), run.exec.LastErrorParameter()), "custom");
  EXPECT_EQ(run.exec.LastErrorProcNo(), 7) << "the engine's own exception names where it arose";
  EXPECT_EQ(run.exec.LastErrorPosition(), 99u);
  EXPECT_NE(run.exec.LastErrorObject(), nullptr);
}

TEST(HostCalls, HaltStopsTheRunAfterTheCall) {
  ScriptRun run(
      "var g: Integer;\nprocedure Deep; begin Print('deep'); HostHalt; Print('no'); end;\n"
      "begin g := g + 1; PrintInt(g); Deep; Print('no'); end.");
  ASSERT_EQ(run.Problem(), "");
  EXPECT_TRUE(run.Run());
  EXPECT_EQ(run.out, "1 deep");
  EXPECT_EQ(run.exec.Status(), exec::ExecStatus::kLoaded);
  EXPECT_EQ(run.exec.MainStack().Count(), 0u) << "a halted run leaves nothing on the stack";
  EXPECT_TRUE(run.Run()) << "a halted script runs again from its start";
  EXPECT_EQ(run.out, "1 deep 2 deep");

  // A run halted inside a try block leaves its frame behind; the next run must not use it.
  ScriptRun stale(
      "var g, z: Integer;\n"
      "begin g := g + 1; if g = 1 then try HostHalt; except Print('stale'); end; z := 1 div z; end.");
  ASSERT_EQ(stale.Problem(), "");
  EXPECT_TRUE(stale.Run());
  EXPECT_FALSE(stale.Run());
  EXPECT_EQ(stale.exec.LastError(), image::ErDivideByZero);
  EXPECT_EQ(stale.out, "");
}

TEST(HostCalls, SuspendPausesAndRunResumes) {
  ScriptRun run(
      "procedure Step(n: Integer); begin PrintInt(n); HostSuspend; PrintInt(n + 1); end;\n"
      "begin Step(1); Step(10); Print('end'); end.");
  ASSERT_EQ(run.Problem(), "");
  EXPECT_TRUE(run.Run());
  EXPECT_EQ(run.exec.Status(), exec::ExecStatus::kSuspended);
  EXPECT_EQ(run.out, "1");
  const std::size_t depth = run.exec.MainStack().Count();
  run.exec.ResetGlobals();
  EXPECT_EQ(run.exec.MainStack().Count(), depth) << "only a loaded executor resets its globals";
  EXPECT_TRUE(run.Run());
  EXPECT_EQ(run.out, "1 2 10");
  EXPECT_TRUE(run.Run());
  EXPECT_EQ(run.out, "1 2 10 11 end");
  EXPECT_EQ(run.exec.Status(), exec::ExecStatus::kLoaded);

  // Halting a suspended run empties the stack; the next run starts over.
  ScriptRun halted(
      "procedure Step(n: Integer); begin PrintInt(n); HostSuspend; PrintInt(n + 1); end;\n"
      "begin Step(1); end.");
  ASSERT_TRUE(halted.Run());
  EXPECT_GT(halted.exec.MainStack().Count(), 0u);
  halted.exec.Halt();
  EXPECT_EQ(halted.exec.Status(), exec::ExecStatus::kLoaded);
  EXPECT_EQ(halted.exec.MainStack().Count(), 0u);
  EXPECT_TRUE(halted.Run());
  EXPECT_EQ(halted.out, "1 1");
}

TEST(HostCalls, UnloadFromAHostRoutineEndsTheRunSafely) {
  ScriptRun run("var s: string;\nprocedure Deep(t: string); begin try HostUnload; finally Print(t); end; end;\n"
                "begin s := 'x'; Deep(s + 'y'); Print('never'); end.");
  ASSERT_EQ(run.Problem(), "");
  run.Run();
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.exec.Status(), exec::ExecStatus::kNotLoaded);
  EXPECT_EQ(run.exec.MainStack().Count(), 0u);
  EXPECT_FALSE(run.Run());
  ASSERT_TRUE(run.exec.Load(run.compiled.image)) << "the executor can load again";
}

TEST(HostCalls, ResetGlobalsAfterARun) {
  const char* script =
      "var g: Integer; s: string;\nbegin g := g + 1; s := s + 'x'; PrintInt(g); Print(s); end.";
  ScriptRun run(script);
  ASSERT_EQ(run.Problem(), "");
  ASSERT_TRUE(run.Run());
  ASSERT_TRUE(run.Run());
  EXPECT_EQ(run.out, "1 x 2 xx") << "globals keep their values between runs";
  run.exec.ResetGlobals();
  ASSERT_TRUE(run.Run());
  EXPECT_EQ(run.out, "1 x 2 xx 1 x");
  run.exec.resetGlobalsAfterRun = true;
  ASSERT_TRUE(run.Run());
  EXPECT_EQ(run.GlobalInt(0), 0);
  EXPECT_EQ(run.GlobalString(1), "");

  exec::TPSExec empty;
  empty.ResetGlobals();  // nothing loaded: nothing to do
  EXPECT_EQ(empty.Status(), exec::ExecStatus::kNotLoaded);
}

TEST(HostCalls, CallProcRunsScriptProcedures) {
  ScriptRun run(
      "var total: Integer;\n"
      "procedure Add(n: Integer); begin total := total + n; PrintInt(total); end;\n"
      "function Sub(a, b: Integer): Integer; begin Result := a - b; end;\n"
      "procedure Bad(n: Integer); var z: Integer; begin z := 0; n := n div z; end;\n"
      "begin end.");
  ASSERT_EQ(run.Problem(), "");
  const values::TPSTypeRec* s32 = run.exec.Globals().At(0).type;
  std::int32_t n = 5;
  const values::ValueRef one[] = {{&n, s32}};
  // Before any run, and again afterwards.
  EXPECT_TRUE(run.exec.CallProc(one, static_cast<std::uint32_t>(run.ProcNo("ADD"))));
  EXPECT_EQ(run.exec.Status(), exec::ExecStatus::kLoaded);
  ASSERT_TRUE(run.Run());
  EXPECT_TRUE(run.exec.CallProc(one, static_cast<std::uint32_t>(run.ProcNo("ADD"))));
  EXPECT_EQ(run.out, "5 10");

  // A function: the parameters last-first, then the result.
  std::int32_t a = 10, b = 3, result = 0;
  const values::ValueRef subParams[] = {{&b, s32}, {&a, s32}, {&result, s32}};
  EXPECT_TRUE(run.exec.CallProc(subParams, static_cast<std::uint32_t>(run.ProcNo("SUB"))));
  EXPECT_EQ(result, 7);

  EXPECT_FALSE(run.exec.CallProc(one, static_cast<std::uint32_t>(run.ProcNo("BAD"))));
  EXPECT_EQ(run.exec.LastError(), image::ErDivideByZero);
  EXPECT_EQ(run.exec.LastErrorProcNo(), run.ProcNo("BAD"));
  EXPECT_EQ(run.exec.Status(), exec::ExecStatus::kLoaded) << "the status before the call comes back";
  EXPECT_EQ(run.exec.MainStack().Count(), 0u);
  EXPECT_TRUE(run.exec.CallProc(one, static_cast<std::uint32_t>(run.ProcNo("ADD"))));
  EXPECT_EQ(run.exec.LastError(), image::ErNoError);

  EXPECT_FALSE(run.exec.CallProc(one, 1000));
  EXPECT_EQ(run.exec.LastError(), image::erOutOfProcRange);
  exec::TPSExec empty;
  EXPECT_FALSE(empty.CallProc(one, 0));
}

TEST(HostCalls, CallProcWhileTheRunIsSuspended) {
  ScriptRun run("var total: Integer;\n"
                "procedure Add(n: Integer); begin total := total + n; end;\n"
                "procedure Step; var z: Integer; begin\n"
                "  try PrintInt(total); HostSuspend; PrintInt(total); z := z div z; except Print('handled'); end;\n"
                "end;\n"
                "begin Step; PrintInt(total); end.");
  ASSERT_EQ(run.Problem(), "");
  ASSERT_TRUE(run.Run());
  ASSERT_EQ(run.exec.Status(), exec::ExecStatus::kSuspended);
  std::int32_t n = 5;
  const values::ValueRef param[] = {{&n, run.exec.Globals().At(0).type}};
  EXPECT_TRUE(run.exec.CallProc(param, static_cast<std::uint32_t>(run.ProcNo("ADD"))));
  EXPECT_EQ(run.exec.Status(), exec::ExecStatus::kSuspended);
  EXPECT_TRUE(run.Run()) << "the suspended run goes on where it stopped, its try block intact";
  EXPECT_EQ(run.out, "0 5 handled 5");
  EXPECT_EQ(run.exec.Status(), exec::ExecStatus::kLoaded);
}

TEST(HostCalls, CallProcFromAHostRoutineInsideARun) {
  EXPECT_EQ(
      Output(
          "var depth: Integer;\n"
          "procedure Visit(n: Integer); begin PrintInt(n); end;\n"
          "procedure Nest(n: Integer); begin depth := depth + 1; if n > 0 then CallBack('NEST', n - 1); end;\n"
          "begin CallBack('VISIT', 7); Print('back'); CallBack('NEST', 3); PrintInt(depth); end."),
      "7 true back true true true true 4");

  // An error the called-back procedure does not handle stops at the host: the caller's handlers
  // do not see it, and the script goes on after the host routine.
  ScriptRun run(
      "procedure Bad(n: Integer); var z: Integer; begin z := 0; n := n div z; end;\n"
      "begin try CallBack('BAD', 1); Print('on'); except Print('not here'); end; end.");
  ASSERT_EQ(run.Problem(), "");
  run.Run();
  EXPECT_EQ(run.out, "false on");
  EXPECT_EQ(run.exec.Status(), exec::ExecStatus::kLoaded);
  EXPECT_EQ(run.exec.MainStack().Count(), 0u);
}

TEST(HostCalls, CallBacksNestOnlySoDeep) {
  ScriptRun run("var depth: Integer;\n"
                "procedure Nest(n: Integer); begin depth := depth + 1; CallBack('NEST', n + 1); end;\n"
                "begin Nest(0); end.");
  ASSERT_EQ(run.Problem(), "");
  EXPECT_FALSE(run.Run());
  EXPECT_LT(run.GlobalInt(0), 1000) << "the nesting of host calls into the script is limited";
  EXPECT_EQ(run.errors.size(), 1u);
  EXPECT_EQ(run.exec.LastError(), image::erOutOfStackRange);
  EXPECT_EQ(run.out.find("true"), std::string::npos) << "every nested call reports its failure";
  EXPECT_EQ(run.exec.Status(), exec::ExecStatus::kLoaded);
}

// A stop request ends loops at their backward jump and recursion at its call, past every
// handler of the script; another thread may make it.
TEST(HostCalls, AStopRequestEndsTheRunPastTheScriptsHandlers) {
  const auto expectStopped = [](ScriptRun& run) {
    EXPECT_FALSE(run.Run());
    EXPECT_TRUE(run.exec.StopRequested());
    EXPECT_EQ(run.exec.LastError(), image::erCustomError);
    EXPECT_EQ(run.exec.LastErrorParameter(), exec::TPSExec::kStopMessage);
    EXPECT_EQ(run.out, "");
  };
  ScriptRun loop("var i: Integer;\n"
                 "begin try while true do begin i := i + 1; if i = 3 then RequestStop; end;\n"
                 "except Print('caught'); end; Print('after'); end.");
  ASSERT_EQ(loop.Problem(), "");
  expectStopped(loop);
  EXPECT_EQ(loop.GlobalInt(0), 3);
  ASSERT_TRUE(loop.exec.Load(loop.compiled.image));
  EXPECT_FALSE(loop.exec.StopRequested()) << "a new load starts without the request";

  ScriptRun recursion("procedure R; begin try RequestStop; R; finally Print('finally'); end; end;\n"
                      "begin R; end.");
  ASSERT_EQ(recursion.Problem(), "");
  expectStopped(recursion);

  ScriptRun busy("var i: Integer; begin while true do i := i + 1; end.");
  ASSERT_EQ(busy.Problem(), "");
  std::thread stopper([&busy] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    busy.exec.RequestStop();
  });
  expectStopped(busy);
  stopper.join();
}

TEST(HostCalls, OnExceptionSeesEveryError) {
  ScriptRun run(
      "var z: Integer;\n"
      "procedure Inner; begin z := 1 div z; end;\n"
      "begin\n"
      "  try Inner; except end;\n"
      "  try Fail('x'); finally end;\n"
      "end.");
  ASSERT_EQ(run.Problem(), "");
  EXPECT_FALSE(run.Run());
  ASSERT_EQ(run.errors.size(), 2u);
  EXPECT_EQ(run.errors[0].substr(0, run.errors[0].find(':')), "15@" + std::to_string(run.ProcNo("INNER")));
  EXPECT_EQ(run.errors[1].substr(0, run.errors[1].find(':')), "20@" + std::to_string(run.exec.MainProcNo()));
  EXPECT_EQ(run.exec.LastError(), image::erException) << "the finally part lets the second error through";
  EXPECT_EQ(run.exec.LastErrorParameter(), "x");
  EXPECT_EQ(run.exec.LastErrorProcNo(), run.exec.MainProcNo());
}

TEST(HostCalls, AHostRoutineTakesTheNameOfABuiltInRoutine) {
  ScriptRun copy("begin Print(Copy('abc', 2, 1)); end.");
  copy.exec.RegisterHostFunction(
      [](exec::TPSExec&, std::span<const exec::ScriptValueRef>, const exec::ScriptValueRef* result) {
        values::SetString(result->value, "host copy");
        return true;
      },
      "Copy", exec::kRegisterConvention);
  ASSERT_TRUE(copy.exec.Load(copy.compiled.image));
  ASSERT_TRUE(copy.Run());
  EXPECT_EQ(copy.out, "host copy");
}

}  // namespace
}  // namespace dravik::engine::testing
