#include "engine/library/dispatcher.h"

#include <cmath>
#include <string>

#include "engine/library/ansi_case.h"
#include "engine/library/number_routines.h"
#include "engine/library/routine_call.h"
#include "engine/library/string_routines.h"
#include "engine/names/names.h"
#include "engine/values/integer_kinds.h"
#include "engine/values/script_fault.h"
#include "engine/values/value_access.h"

namespace dravik::engine::library {

namespace {

constexpr values::Extended kPi = 3.1415926535897932385L;
constexpr const char* kOutOfStringRange = "Out Of String Range";

[[noreturn]] void FailOutOfStringRange() { throw values::ScriptFault(image::erCustomError, kOutOfStringRange); }

bool AnswerText(const RoutineCall& c, std::string_view text) {
  values::SetString(c.Result(), text);
  return true;
}

bool AnswerInt(const RoutineCall& c, std::int32_t number) {
  values::SetInt32(c.Result(), number);
  return true;
}

bool AnswerInt64(const RoutineCall& c, std::int64_t number) {
  values::SetInt64(c.Result(), number);
  return true;
}

bool AnswerReal(const RoutineCall& c, values::Extended number) {
  values::SetReal(c.Result(), number);
  return true;
}

// The text of a string-like parameter. An 8-bit string is viewed in place, since scripts call
// these routines in loops, per character or per item; any other value is converted once.
class Text {
 public:
  Text(const RoutineCall& c, std::size_t i) : view_(ViewOf(c.Param(i))) {}
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  operator std::string_view() const { return view_; }

 private:
  std::string_view ViewOf(values::ValueRef value) {
    if (value.type->baseType == image::tcString || value.type->baseType == image::tcPChar)
      return values::StringAt(value.data);
    converted_ = values::GetString(value);
    return converted_;
  }

  std::string converted_;
  std::string_view view_;
};

std::int32_t Int(const RoutineCall& c, std::size_t i) { return values::GetInt32(c.Param(i)); }
values::Extended Real(const RoutineCall& c, std::size_t i) { return values::GetReal(c.Param(i)); }

template <class Function>
bool AnswerMath(const RoutineCall& c, Function function) {
  const values::Extended argument = Real(c, 0);
  return AnswerReal(c, CheckedMathResult(argument, function(argument)));
}

// Runs edit on the text of the string variable that parameter i refers to and stores the
// result; false when it is no tcString variable.
template <class Edit>
bool EditStringVariable(const RoutineCall& c, std::size_t i, Edit edit) {
  const values::ValueRef variable = c.Param(i);
  if (variable.type->baseType != image::tcString) return false;
  std::string text(values::StringAt(variable.data));
  edit(text);
  values::SetStringAt(variable.data, text);
  return true;
}

// StrGet(var S, I) and StrGet2(S, I): what STRGET is given by reference must be a string.
bool StrGet(const RoutineCall& c) {
  if (c.ByReference(0) && c.Param(0).type->baseType != image::tcString) return false;
  const std::optional<char> found = CharAt(Text(c, 0), Int(c, 1));
  if (!found) FailOutOfStringRange();
  return AnswerText(c, std::string_view(&*found, 1));
}

// StrSet(c, I, var s)
bool StrSet(const RoutineCall& c) {
  const values::ValueRef variable = c.Param(2);
  if (variable.type->baseType != image::tcString) return false;
  const std::int32_t at = Int(c, 1);
  if (!CharAt(values::StringAt(variable.data), at)) FailOutOfStringRange();
  const auto character = static_cast<char>(Int(c, 0));
  values::UniqueStringAt(variable.data)[at - 1] = character;
  return true;
}

bool Length(const RoutineCall& c) {
  return AnswerInt(c, static_cast<std::int32_t>(std::string_view(Text(c, 0)).size()));
}

std::int64_t IntegerFromText(const RoutineCall& c, IntegerWidth width) {
  const Text text(c, 0);
  const std::optional<std::int64_t> number = ParseIntegerText(text, width);
  if (!number) FailInvalidInteger(text);
  return *number;
}

bool StrToIntDef(const RoutineCall& c) {
  const std::optional<std::int64_t> number = ParseIntegerText(Text(c, 0), IntegerWidth::k32);
  return AnswerInt(c, number ? static_cast<std::int32_t>(*number) : Int(c, 1));
}

// Integers against 0; strings and wide strings non-empty; dynamic arrays, classes and
// interfaces non-null (all held as one reference). Nothing for any other base type.
std::optional<bool> IsAssigned(values::ValueRef value) {
  const image::TPSTypeCode code = value.type->baseType;
  if (const std::optional<values::IntegerKind> kind = values::IntegerKindOf(code))
    return values::LoadInteger(value.data, *kind) != 0;
  switch (code) {
    case image::tcString:
    case image::tcPChar:
    case image::tcWideString:
    case image::tcArray:
    case image::tcClass:
    case image::tcInterface:
      return values::Load<void*>(value.data) != nullptr;
    default:
      return std::nullopt;
  }
}

bool Assigned(const RoutineCall& c) {
  const std::optional<bool> assigned = IsAssigned(c.Slot(0));
  return assigned && AnswerInt(c, *assigned ? 1 : 0);
}

// Reporting moves execution to a handler and may pop this call's slots, so the parameters are
// read first and nothing touches the call afterwards.
bool RaiseException(const RoutineCall& c) {
  const auto code = static_cast<image::TQXException>(static_cast<std::uint8_t>(Int(c, 0)));
  const std::string parameter(Text(c, 1));
  c.exec.ReportError(code, parameter);
  return true;
}

bool RaiseLastException(const RoutineCall& c) {
  c.exec.RaiseLastError();
  return true;
}

bool ExceptionToString(const RoutineCall& c) {
  return AnswerText(c, image::ErrorToText(static_cast<std::uint8_t>(Int(c, 0)), Text(c, 1)));
}

bool Perform(RoutineNo number, const RoutineCall& c) {
  const exec::TPSExec& exec = c.exec;
  switch (number) {
    case RoutineNo::IntToStr: return AnswerText(c, std::to_string(Int(c, 0)));
    case RoutineNo::StrToInt: return AnswerInt(c, static_cast<std::int32_t>(IntegerFromText(c, IntegerWidth::k32)));
    case RoutineNo::StrToIntDef: return StrToIntDef(c);
    case RoutineNo::Pos: return AnswerInt(c, Pos(Text(c, 0), Text(c, 1)));
    case RoutineNo::Copy: return AnswerText(c, Copy(Text(c, 0), Int(c, 1), Int(c, 2)));
    case RoutineNo::Delete: {
      const std::int32_t from = Int(c, 1), count = Int(c, 2);
      return EditStringVariable(c, 0, [&](std::string& s) { Delete(s, from, count); });
    }
    case RoutineNo::Insert: {
      const Text part(c, 0);
      const std::int32_t at = Int(c, 2);
      return EditStringVariable(c, 1, [&](std::string& s) { Insert(part, s, at); });
    }
    case RoutineNo::StrGet: return StrGet(c);
    case RoutineNo::StrSet: return StrSet(c);
    case RoutineNo::UpperCase: return AnswerText(c, names::FastUpperCase(Text(c, 0)));
    case RoutineNo::LowerCase: return AnswerText(c, names::FastLowerCase(Text(c, 0)));
    case RoutineNo::Trim: return AnswerText(c, TrimBlanks(Text(c, 0)));
    case RoutineNo::Length: return Length(c);
    case RoutineNo::SetLength: {
      const std::int32_t length = Int(c, 1);
      return EditStringVariable(c, 0, [&](std::string& s) { ResizeText(s, length); });
    }
    case RoutineNo::Sin: return AnswerMath(c, [](values::Extended x) { return std::sin(x); });
    case RoutineNo::Cos: return AnswerMath(c, [](values::Extended x) { return std::cos(x); });
    case RoutineNo::Sqrt: return AnswerMath(c, [](values::Extended x) { return std::sqrt(x); });
    case RoutineNo::Round: return AnswerInt(c, RoundToInt32(Real(c, 0)));
    case RoutineNo::Trunc: return AnswerInt(c, TruncToInt32(Real(c, 0)));
    case RoutineNo::Int: return AnswerReal(c, std::trunc(Real(c, 0)));
    case RoutineNo::Pi: return AnswerReal(c, kPi);
    case RoutineNo::Abs: return AnswerReal(c, std::fabs(Real(c, 0)));
    case RoutineNo::StrToFloat: return AnswerReal(c, ParseFloatText(Text(c, 0)));
    case RoutineNo::FloatToStr: return AnswerText(c, FormatFixed12(Real(c, 0)));
    case RoutineNo::PadL: return AnswerText(c, PadLeft(Text(c, 0), Int(c, 1), ' '));
    case RoutineNo::PadR: return AnswerText(c, PadRight(Text(c, 0), Int(c, 1), ' '));
    case RoutineNo::PadZ: return AnswerText(c, PadLeft(Text(c, 0), Int(c, 1), '0'));
    case RoutineNo::Replicate: return AnswerText(c, Replicate(static_cast<char>(Int(c, 0)), Int(c, 1)));
    case RoutineNo::Assigned: return Assigned(c);
    case RoutineNo::RaiseLastException: return RaiseLastException(c);
    case RoutineNo::RaiseException: return RaiseException(c);
    case RoutineNo::ExceptionType: return AnswerInt(c, exec.LastError());
    case RoutineNo::ExceptionParam: return AnswerText(c, exec.LastErrorParameter());
    case RoutineNo::ExceptionProc: return AnswerInt(c, exec.LastErrorProcNo());
    case RoutineNo::ExceptionPos: return AnswerInt(c, static_cast<std::int32_t>(exec.LastErrorPosition()));
    case RoutineNo::ExceptionToString: return ExceptionToString(c);
    case RoutineNo::AnsiUpperCase: return AnswerText(c, MapCase(Text(c, 0), kAnsiUpperTable));
    case RoutineNo::AnsiLowerCase: return AnswerText(c, MapCase(Text(c, 0), kAnsiLowerTable));
    case RoutineNo::StrToInt64: return AnswerInt64(c, IntegerFromText(c, IntegerWidth::k64));
    case RoutineNo::Int64ToStr: return AnswerText(c, std::to_string(values::GetInt64(c.Param(0))));
    case RoutineNo::SizeOf: return AnswerInt(c, static_cast<std::int32_t>(c.Slot(0).type->size));
  }
  return false;
}

}  // namespace

bool DispatchLibraryRoutine(exec::TPSExec& exec, exec::TPSExternalProcRec& proc, exec::TPSStack&,
                            exec::TPSStack& stack) {
  if (proc.extra2 >= kRoutineNumberCount || !kShapeByNumber[proc.extra2].exists) return false;
  const std::optional<RoutineCall> call = RoutineCall::Open(exec, proc, stack, kShapeByNumber[proc.extra2].shape);
  return call && Perform(static_cast<RoutineNo>(proc.extra2), *call);
}

}  // namespace dravik::engine::library
