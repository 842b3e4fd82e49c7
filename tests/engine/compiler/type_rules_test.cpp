// Which values may be stored where, and which operands each operator takes.

#include <gtest/gtest.h>

#include "compile_helper.h"

namespace dravik::engine::testing {
namespace {

constexpr const char* kVariables =
    "type TE = (Red, Green); TF = (Up, Down); TS = set of Char; TT = set of Byte;\n"
    "  R1 = record a: Integer; end; R2 = record b: Byte; end; TP = procedure(n: Integer);\n"
    "var i: Integer; b: Byte; i64: Int64; e: Extended; d: Double; cur: Currency; s: string;\n"
    "  pc: PChar; c: Char; wc: WideChar; ws: WideString; en: TE; fn: TF; bo: Boolean;\n"
    "  ts: TS; tt: TT; r1: R1; r2: R2; da: array of Integer; sa: array[1..2] of Byte;\n"
    "  v: Variant; ptr: Pointer; p: TP;\n";

// "ok" when the statement compiles, else the text of its error.
std::string Outcome(const std::string& statement) {
  Compiled c = Compile(std::string(kVariables) + "begin " + statement + "; end.");
  if (c.ok) return "ok";
  const std::string& last = c.messages.empty() ? std::string("(silent)") : c.messages.back();
  return last.substr(last.find("): ") + 3);
}

TEST(TypeRules, Assignments) {
  struct Case {
    const char* statement;
    const char* outcome;
  } cases[] = {
      {"i := b", "ok"},           {"b := i64", "ok"},         {"e := i", "ok"},
      {"cur := d", "ok"},         {"i := e", "Type mismatch"}, {"s := c", "ok"},
      {"s := ws", "ok"},          {"pc := s", "ok"},          {"c := s", "Type mismatch"},
      {"wc := c", "ok"},          {"c := wc", "Type mismatch"}, {"ws := pc", "ok"},
      {"en := fn", "ok"},         {"bo := en", "ok"},         {"i := en", "Type mismatch"},
      {"i := Integer(en)", "ok"}, {"en := TE(i)", "ok"},      {"ts := tt", "ok"},
      {"r1 := r2", "ok"},         {"da := sa", "ok"},         {"v := s", "ok"},
      {"i := v", "ok"},           {"ptr := r1", "ok"},        {"s := i", "Type mismatch"},
      {"p := nil", "ok"},         {"s := nil", "Type mismatch"}, {"ts := ['a']", "ok"},
      {"da := [1, 2]", "ok"},     {"c := Char(65)", "Type mismatch"},
  };
  for (const Case& c : cases) EXPECT_EQ(Outcome(c.statement), c.outcome) << c.statement;
}

TEST(TypeRules, Operators) {
  struct Case {
    const char* statement;
    const char* outcome;
  } cases[] = {
      {"e := i + e", "ok"},            {"e := e / i", "ok"},
      {"i := i / b", "ok"},            {"i := i mod e", "Type mismatch"},
      {"s := s + c", "ok"},            {"ws := s + wc", "ok"},
      {"bo := s < c", "ok"},           {"bo := pc < pc", "Type mismatch"},
      {"bo := en = Red", "ok"},        {"bo := en = Up", "Type mismatch"},
      {"bo := en < Green", "Type mismatch"}, {"bo := bo and bo", "ok"},
      {"bo := bo and i", "Type mismatch"},   {"i := i and b", "ok"},
      {"bo := c in ts", "ok"},         {"bo := b in ts", "Type mismatch"},
      {"ts := ts + ts", "ok"},         {"ts := ts + tt", "Type mismatch"},
      {"ts := ts - ['a']", "ok"},      {"bo := ts <= ts", "ok"},
      {"bo := ts < ts", "Type mismatch"}, {"v := v + s", "ok"},
      {"bo := p = nil", "ok"},         {"bo := i = nil", "Type mismatch"},
      {"i := -s", "Type mismatch"},               {"i := Succ(en)", "Type mismatch"},
      {"en := Succ(en)", "ok"},        {"bo := r1 = r1", "Type mismatch"},
  };
  for (const Case& c : cases) EXPECT_EQ(Outcome(c.statement), c.outcome) << c.statement;
}

}  // namespace
}  // namespace dravik::engine::testing
