// The input drives a small generator of well-typed scripts: globals of every whole-number width,
// reals, texts, characters, variants, dynamic and fixed arrays, records and an array of them;
// functions with value, var and const parameters that call earlier ones and themselves; records
// copied whole and fields of elements; every statement form (loops with break and continue,
// case, try with except and finally, raise, exit) over mixed expressions. So nearly every input
// compiles, unlike arbitrary text, and reaches the register form's groups of instructions in the
// shapes the compiler really writes them. Each script runs both ways, in the register form and
// from the bytes, under the same budgets; they must agree (both_ways.h).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "both_ways.h"
#include "dk2/script_compilation.h"

namespace {

// The input read as a stream of choices; past its end every choice is the first.
class Choices {
 public:
  explicit Choices(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  unsigned Pick(unsigned count) { return next_ < bytes_.size() ? bytes_[next_++] % count : 0; }
  bool Chance(unsigned inEight) { return Pick(8) < inEight; }
  bool Exhausted() const { return next_ >= bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t next_ = 0;
};

template <std::size_t N>
std::string_view PickOf(Choices& choices, const std::string_view (&names)[N]) {
  return names[choices.Pick(N)];
}

constexpr int kMaxExpressionDepth = 4;
constexpr int kMaxStatementDepth = 4;
constexpr int kMaxStatements = 160;
constexpr unsigned kMaxFunctions = 4;

constexpr std::string_view kGlobals =
    "type\n"
    "  TRec = record N: Integer; S: string; end;\n"
    "var\n"
    "  GI0, GI1, GI2: Integer; GB: Byte; GW: Word; GC: Cardinal; GS: ShortInt; GM: SmallInt;\n"
    "  GQ: Int64; GR: Extended; GD: Double; GT0, GT1: string; GCh: Char; GBo: Boolean;\n"
    "  GV: Variant; GA: array of Integer; GSA: array of string; GF: array[0..3] of Integer;\n"
    "  GRec, GRec2: TRec; GRA: array of TRec; K0, K1, K2, K3, K4: Integer;\n";

constexpr std::string_view kIntVariables[] = {"GI0", "GI1", "GI2", "GB", "GW", "GC", "GS", "GM", "GRec.N"};
constexpr std::string_view kTextVariables[] = {"GT0", "GT1", "GRec.S"};
// What a var parameter of type string takes.
constexpr std::string_view kTextArguments[] = {"GT0", "GT1", "GRec.S", "GRec2.S"};
constexpr std::string_view kIntLiterals[] = {"0", "1", "2", "3", "-1", "7", "255", "256", "65535", "$7FFFFFFF",
                                             "-2147483647", "100", "31", "32", "-5"};
constexpr std::string_view kTextLiterals[] = {"''", "'a'", "'abc'", "'12'", "'-7'", "' x '", "'$1F'", "'1.5'",
                                              "#0", "'it''s'", "'ISO'"};
constexpr std::string_view kIntOperators[] = {" + ", " - ", " * ", " div ", " mod ", " and ", " or ", " xor ",
                                              " shl ", " shr "};
constexpr std::string_view kComparisons[] = {" = ", " <> ", " < ", " > ", " <= ", " >= "};
constexpr std::string_view kRealOperators[] = {" + ", " - ", " * ", " / "};

enum class Result { kInteger, kText };

class ScriptWriter {
 public:
  explicit ScriptWriter(Choices& choices) : c_(choices) {}

  std::string Script() {
    out_ = kGlobals;
    functions_ = c_.Pick(kMaxFunctions + 1);
    for (unsigned i = 0; i < functions_; ++i) Function(i);
    current_ = kMain;
    out_ += "begin\n";
    Statements(1, 2 + c_.Pick(8));
    out_ += "end.\n";
    return out_;
  }

 private:
  static constexpr unsigned kMain = ~0u;

  Result ResultOf(unsigned function) const { return function % 2 == 0 ? Result::kInteger : Result::kText; }
  bool InFunction() const { return current_ != kMain; }

  // function F<i>(A: Integer; var B: Integer; const S: string; var T: string): Integer or string
  void Function(unsigned index) {
    current_ = index;
    const std::string n = std::to_string(index);
    out_ += "function F" + n + "(A: Integer; var B: Integer; const S: string; var T: string): " +
            (ResultOf(index) == Result::kInteger ? "Integer" : "string") +
            ";\nvar\n  LI: Integer; LT: string; K0, K1, K2, K3, K4: Integer;\nbegin\n";
    Statements(1, 1 + c_.Pick(5));
    out_ += "end;\n\n";
  }

  void Statements(int depth, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
      Statement(depth);
      out_ += ";\n";
    }
  }

  void Indent(int depth) { out_.append(static_cast<std::size_t>(depth) * 2, ' '); }

  void Statement(int depth) {
    Indent(depth);
    if (++statements_ > kMaxStatements || depth > kMaxStatementDepth || c_.Exhausted()) {
      Assignment();
      return;
    }
    switch (c_.Pick(16)) {
      case 0: case 1: case 2: Assignment(); break;
      case 3: out_ += "Writeln(" + Text(0) + ")"; break;
      case 4: out_ += "if " + Condition(0) + " then\n"; Block(depth);
              if (c_.Chance(4)) { out_ += "\n"; Indent(depth); out_ += "else\n"; Block(depth); } break;
      case 5: ForLoop(depth); break;
      case 6: out_ += "while " + Condition(0) + " do\n"; ++loops_; Block(depth); --loops_; break;
      case 7: out_ += "repeat\n"; ++loops_; Statements(depth + 1, 1 + c_.Pick(3)); --loops_;
              Indent(depth); out_ += "until " + Condition(0); break;
      case 8: Case(depth); break;
      case 9: Try(depth); break;
      case 10: if (loops_ > 0) out_ += c_.Chance(4) ? "break" : "continue"; else Assignment(); break;
      case 11:
        if (!c_.Chance(3)) Assignment();
        else out_ += c_.Chance(2) ? "Exit" : "RaiseException(erCustomError, " + Text(1) + ")";
        break;
      case 12: Call(); break;
      case 13: ArrayStatement(); break;
      case 14: TextStatement(); break;
      default: out_ += "begin\n"; Statements(depth + 1, 1 + c_.Pick(3)); Indent(depth); out_ += "end"; break;
    }
  }

  void Block(int depth) {
    Indent(depth);
    out_ += "begin\n";
    Statements(depth + 1, 1 + c_.Pick(3));
    Indent(depth);
    out_ += "end";
  }

  // Each nesting level counts with a variable of its own, so a loop never changes an outer one's.
  void ForLoop(int depth) {
    const std::string counter = "K" + std::to_string(depth);
    out_ += "for " + counter + " := " + Int(1) + (c_.Chance(5) ? " to " : " downto ") + Int(1) + " do\n";
    ++loops_;
    Block(depth);
    --loops_;
  }

  void Case(int depth) {
    out_ += "case " + Int(1) + " of\n";
    const unsigned labels = 1 + c_.Pick(4);
    for (unsigned i = 0; i < labels; ++i) {
      Indent(depth + 1);
      out_ += std::to_string(i * 3) + (c_.Chance(2) ? ", " + std::to_string(i * 3 + 1) : "") + ":\n";
      Statement(depth + 2);
      out_ += ";\n";
    }
    if (c_.Chance(4)) {
      Indent(depth);
      out_ += "else\n";
      Statement(depth + 1);
      out_ += ";\n";
    }
    Indent(depth);
    out_ += "end";
  }

  void Try(int depth) {
    out_ += "try\n";
    Statements(depth + 1, 1 + c_.Pick(3));
    Indent(depth);
    if (c_.Chance(5)) {
      out_ += "except\n";
      Indent(depth + 1);
      switch (c_.Pick(4)) {
        case 0: out_ += "Writeln(ExceptionToString(ExceptionType, ExceptionParam))"; break;
        case 1: out_ += "Writeln(IntToStr(ExceptionProc) + ':' + IntToStr(ExceptionPos))"; break;
        case 2: out_ += "if " + Condition(1) + " then RaiseLastException"; break;
        default: out_ += "begin\n"; Statements(depth + 2, 1 + c_.Pick(2)); Indent(depth + 1); out_ += "end"; break;
      }
      out_ += ";\n";
    } else {
      out_ += "finally\n";
      Statements(depth + 1, 1 + c_.Pick(2));
    }
    Indent(depth);
    out_ += "end";
  }

  void Assignment() {
    switch (c_.Pick(InFunction() ? 10 : 7)) {
      case 0: case 1: out_ += std::string(PickOf(c_, kIntVariables)) + " := " + Int(0); break;
      case 2: out_ += std::string(PickOf(c_, kTextVariables)) + " := " + Text(0); break;
      case 3: out_ += c_.Chance(4) ? "GR := " + Real(0) : "GD := " + Real(0); break;
      case 4: out_ += "GQ := " + (c_.Chance(4) ? "GQ * " + Int(1) + " + " + Int(1) : Int(0)); break;
      case 5: out_ += c_.Chance(4) ? "GBo := " + Condition(0) : "GCh := " + Char(1); break;
      case 6: out_ += "GV := " + (c_.Chance(3) ? Int(1) : c_.Chance(4) ? Text(1) : "GV + " + Int(1)); break;
      case 7: out_ += std::string(c_.Chance(4) ? "LI" : "B") + " := " + Int(0); break;
      case 8: out_ += (c_.Chance(4) ? "LT := " : "T := T + ") + Text(0); break;
      default: out_ += "Result := " + (ResultOf(current_) == Result::kInteger ? Int(0) : Text(0)); break;
    }
  }

  void ArrayStatement() {
    switch (c_.Pick(8)) {
      case 0: out_ += (c_.Chance(4) ? "SetArrayLength(GA, " : "SetArrayLength(GSA, ") + Small() + ")"; break;
      case 5: out_ += "SetArrayLength(GRA, " + Small() + ")"; break;
      case 6: out_ += c_.Chance(4) ? "GRA[" + Int(2) + "].N := " + Int(1) : "GRA[" + Int(2) + "].S := " + Text(1); break;
      case 7: out_ += c_.Chance(4) ? "GRec2 := GRec" : c_.Chance(4) ? "GRA[" + Int(2) + "] := GRec" : "GRec := GRA[" + Int(2) + "]"; break;
      case 1: out_ += "GA[" + Int(2) + "] := " + Int(1); break;
      case 2: out_ += "GSA[" + Int(2) + "] := " + Text(1); break;
      case 3: out_ += "GF[" + Int(2) + "] := " + Int(1); break;
      default: out_ += "GSA := GSA"; break;
    }
  }

  void TextStatement() {
    switch (c_.Pick(5)) {
      case 0: out_ += "Delete(" + std::string(PickOf(c_, kTextVariables)) + ", " + Int(2) + ", " + Int(2) + ")"; break;
      case 1: out_ += "Insert(" + Text(2) + ", " + std::string(PickOf(c_, kTextVariables)) + ", " + Int(2) + ")"; break;
      case 2: out_ += "SetLength(" + std::string(PickOf(c_, kTextVariables)) + ", " + Small() + ")"; break;
      case 3: out_ += "StrSet(" + Char(2) + ", " + Int(2) + ", " + std::string(PickOf(c_, kTextVariables)) + ")"; break;
      default: out_ += std::string(PickOf(c_, kTextVariables)) + " := " + std::string(PickOf(c_, kTextVariables)) + " + " + Char(2); break;
    }
  }

  // A call of a function whose result is dropped.
  void Call() {
    const std::string call = FunctionCall(Result::kInteger, 1);
    out_ += call.empty() ? "Writeln(IntToStr(" + Int(1) + "))" : "GI2 := " + call;
  }

  // Functions may call the earlier ones and themselves; empty when there is none of that result.
  std::string FunctionCall(Result result, int depth) {
    const unsigned callable = InFunction() ? current_ + 1 : functions_;
    if (callable == 0) return {};
    unsigned f = c_.Pick(callable);
    if (ResultOf(f) != result) {
      if (f == 0) return {};
      --f;
    }
    const std::string_view varArgument = InFunction() && c_.Chance(3) ? "LI" : PickOf(c_, kIntVariables);
    // A var parameter takes only Integer variables.
    const std::string var = varArgument.starts_with("GI") || varArgument == "LI" || varArgument == "GRec.N"
                                ? std::string(varArgument)
                                : "GI0";
    const std::string text = InFunction() && c_.Chance(2) ? "LT" : std::string(PickOf(c_, kTextArguments));
    return "F" + std::to_string(f) + "(" + Int(depth + 1) + ", " + var + ", " + Text(depth + 1) + ", " + text + ")";
  }

  std::string Small() { return std::to_string(c_.Pick(6)); }

  std::string IntLeaf() {
    switch (c_.Pick(InFunction() ? 6 : 4)) {
      case 0: case 1: return std::string(PickOf(c_, kIntLiterals));
      case 2: return std::string(PickOf(c_, kIntVariables));
      case 3: return "K" + std::to_string(c_.Pick(5));
      case 4: return c_.Chance(4) ? "A" : "B";
      default: return "LI";
    }
  }

  std::string Int(int depth) {
    if (depth >= kMaxExpressionDepth || c_.Chance(3)) return IntLeaf();
    switch (c_.Pick(14)) {
      case 0: case 1: case 2: return "(" + Int(depth + 1) + std::string(PickOf(c_, kIntOperators)) + Int(depth + 1) + ")";
      case 3: return (c_.Chance(4) ? "-" : "not ") + Int(depth + 1);
      case 4: return "Length(" + Text(depth + 1) + ")";
      case 5: return "Ord(" + Char(depth + 1) + ")";
      case 6: return (c_.Chance(4) ? "Round(" : "Trunc(") + Real(depth + 1) + ")";
      case 7: return "Pos(" + Text(depth + 1) + ", " + Text(depth + 1) + ")";
      case 8: return "StrToIntDef(" + Text(depth + 1) + ", " + Int(depth + 1) + ")";
      case 9: return c_.Chance(4) ? "GetArrayLength(GA)" : "GA[" + Int(depth + 1) + "]";
      case 10: return c_.Chance(4) ? "GF[" + Int(depth + 1) + "]" : "GRA[" + Int(depth + 1) + "].N";
      case 11: {
        const std::string call = FunctionCall(Result::kInteger, depth);
        return call.empty() ? IntLeaf() : call;
      }
      case 12: return c_.Chance(4) ? "StrToInt(" + Text(depth + 1) + ")" : "VarType(GV)";
      default: return "GS";
    }
  }

  std::string Text(int depth) {
    if (depth >= kMaxExpressionDepth || c_.Chance(3))
      return std::string(c_.Chance(4) ? PickOf(c_, kTextLiterals) : PickOf(c_, kTextVariables));
    switch (c_.Pick(12)) {
      case 0: case 1: return "(" + Text(depth + 1) + " + " + Text(depth + 1) + ")";
      case 2: return "IntToStr(" + Int(depth + 1) + ")";
      case 3: return "Copy(" + Text(depth + 1) + ", " + Int(depth + 1) + ", " + Int(depth + 1) + ")";
      case 4: return (c_.Chance(4) ? "Uppercase(" : "Trim(") + Text(depth + 1) + ")";
      case 5: return "FloatToStr(" + Real(depth + 1) + ")";
      case 6: return "GSA[" + Int(depth + 1) + "]";
      case 7: return "Int64ToStr(GQ)";
      case 8: return c_.Chance(4) ? "Padl(" + Text(depth + 1) + ", " + Small() + ")" : "StringOfChar(" + Char(depth + 1) + ", " + Small() + ")";
      case 9: {
        const std::string call = FunctionCall(Result::kText, depth);
        return call.empty() ? "GT0" : call;
      }
      case 10: return InFunction() ? (c_.Chance(3) ? "S" : c_.Chance(4) ? "LT" : "T") : "GRA[" + Int(depth + 1) + "].S";
      default: return "'' + " + Char(depth + 1);
    }
  }

  std::string Char(int depth) {
    switch (c_.Pick(depth >= kMaxExpressionDepth ? 2 : 4)) {
      case 0: return "GCh";
      case 1: return "'z'";
      case 2: return "Chr(" + Int(depth + 1) + ")";
      default: return "StrGet2(" + Text(depth + 1) + ", " + Int(depth + 1) + ")";
    }
  }

  std::string Real(int depth) {
    if (depth >= kMaxExpressionDepth || c_.Chance(3)) {
      switch (c_.Pick(5)) {
        case 0: return "GR";
        case 1: return "GD";
        case 2: return "2.5";
        case 3: return "1e300";
        default: return Int(depth + 1);
      }
    }
    switch (c_.Pick(4)) {
      case 0: case 1: return "(" + Real(depth + 1) + std::string(PickOf(c_, kRealOperators)) + Real(depth + 1) + ")";
      case 2: return "StrToFloat(" + Text(depth + 1) + ")";
      default: return (c_.Chance(4) ? "Sqrt(" : "Abs(") + Real(depth + 1) + ")";
    }
  }

  std::string Condition(int depth) {
    if (depth >= kMaxExpressionDepth) return c_.Chance(4) ? "GBo" : "(" + IntLeaf() + " < " + IntLeaf() + ")";
    switch (c_.Pick(6)) {
      case 0: case 1: return "(" + Int(depth + 1) + std::string(PickOf(c_, kComparisons)) + Int(depth + 1) + ")";
      case 2: return "(" + Text(depth + 1) + std::string(PickOf(c_, kComparisons)) + Text(depth + 1) + ")";
      case 3: return "(" + Condition(depth + 1) + (c_.Chance(4) ? " and " : " or ") + Condition(depth + 1) + ")";
      case 4: return "not " + Condition(depth + 1);
      default:
        if (c_.Chance(3)) return "GBo";
        if (c_.Chance(4)) return "(" + Real(depth + 1) + " < " + Real(depth + 1) + ")";
        return "(GV" + std::string(PickOf(c_, kComparisons)) + (c_.Chance(4) ? Int(depth + 1) : Text(depth + 1)) + ")";
    }
  }

  Choices& c_;
  std::string out_;
  unsigned functions_ = 0;
  unsigned current_ = kMain;
  int loops_ = 0;
  int statements_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Choices choices({data, size});
  const std::string script = ScriptWriter(choices).Script();
  const dravik::engine::CompileResult compilation = dravik::dk2::CompileScript(script);
  if (!compilation.ok) return 0;
  if (dravik::fuzz::RunBothWays(compilation.image, dravik::fuzz::kTicks, script) == dravik::engine::image::ErNoError)
    dravik::fuzz::RunBothWays(compilation.image, dravik::fuzz::SmallTicks({data, size}), script);
  return 0;
}
