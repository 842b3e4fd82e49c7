#pragma once
// The routines every script may call without the host declaring them, one row each: the
// declaration the compiler gives scripts, the name an image imports the routine under, the call
// shape, and what serves it at run time. Compile-time checks tie each row's name and shape to
// its declaration text, so the compiler's view and the runtime's cannot drift apart.
//
// Most routines share one dispatcher, which switches on a routine number. Two names may share a
// number (REPLICATE and STRINGOFCHAR; STRGET2, which is STRGET on a value parameter); number 9
// is free, and the dispatcher refuses any number without a routine. The others have handlers of
// their own (Handler).

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dravik::engine::library {

enum class RoutineNo : std::uint8_t {
  IntToStr = 0, StrToInt = 1, StrToIntDef = 2, Pos = 3, Copy = 4, Delete = 5, Insert = 6,
  StrGet = 7, StrSet = 8, UpperCase = 10, LowerCase = 11, Trim = 12, Length = 13,
  SetLength = 14, Sin = 15, Cos = 16, Sqrt = 17, Round = 18, Trunc = 19, Int = 20, Pi = 21,
  Abs = 22, StrToFloat = 23, FloatToStr = 24, PadL = 25, PadR = 26, PadZ = 27, Replicate = 28,
  Assigned = 29, RaiseLastException = 30, RaiseException = 31, ExceptionType = 32,
  ExceptionParam = 33, ExceptionProc = 34, ExceptionPos = 35, ExceptionToString = 36,
  AnsiUpperCase = 37, AnsiLowerCase = 38, StrToInt64 = 39, Int64ToStr = 40, SizeOf = 41,
};
inline constexpr std::size_t kRoutineNumberCount = 42;

// What serves a routine at run time.
enum class Handler : std::uint8_t {
  kDispatcher,  // by its routine number
  kGetArrayLength, kSetArrayLength,
  kUnassigned, kVarIsEmpty, kNull, kVarIsNull, kVarType, kIDispatchInvoke,
};

// What a call must look like: its parameter count and whether a result slot lies on top.
struct RoutineShape {
  std::uint8_t paramCount = 0;
  bool hasResult = false;
  friend constexpr bool operator==(RoutineShape, RoutineShape) = default;
};

inline constexpr RoutineShape kFunction0{0, true};
inline constexpr RoutineShape kFunction1{1, true};
inline constexpr RoutineShape kFunction2{2, true};
inline constexpr RoutineShape kFunction3{3, true};
inline constexpr RoutineShape kFunction4{4, true};
inline constexpr RoutineShape kProcedure0{0, false};
inline constexpr RoutineShape kProcedure2{2, false};
inline constexpr RoutineShape kProcedure3{3, false};

// A parameter no declaration text can express (an untyped one, as of SizeOf(Data) or
// SetArrayLength(arr, count)), appended after the declared ones; mode as the compiler's
// TPSParameterMode.
struct BuiltinExtraParam {
  std::string_view name;
  unsigned char mode = 0;
  bool typedS32 = false;  // true: of type LongInt instead of untyped
};

struct BuiltinRoutine {
  // Empty for a routine the compiler calls by name only (!ASSIGNED, for Assigned(x)).
  std::string_view declaration;
  std::string_view name;  // upper case, as an image imports it
  RoutineShape shape;
  Handler handler = Handler::kDispatcher;
  RoutineNo number = RoutineNo::IntToStr;  // kDispatcher's routine
  std::array<BuiltinExtraParam, 2> extra{};
  std::size_t extraCount = 0;
};

namespace builtin_rows {
constexpr BuiltinRoutine Numbered(std::string_view declaration, std::string_view name, RoutineNo number,
                                  RoutineShape shape) {
  return {declaration, name, shape, Handler::kDispatcher, number};
}
constexpr BuiltinRoutine Own(std::string_view declaration, std::string_view name, Handler handler,
                             RoutineShape shape) {
  return {declaration, name, shape, handler};
}
constexpr BuiltinRoutine WithUntyped(BuiltinRoutine row, BuiltinExtraParam first, BuiltinExtraParam second = {}) {
  row.extra = {first, second};
  row.extraCount = second.name.empty() ? 1 : 2;
  return row;
}
}  // namespace builtin_rows

// In the order the compiler declares them.
inline constexpr std::array kBuiltinRoutines = [] {
  using namespace builtin_rows;
  using R = RoutineNo;
  return std::array{
      Numbered("function inttostr(i: Longint): string;", "INTTOSTR", R::IntToStr, kFunction1),
      Numbered("function strtoint(s: string): Longint;", "STRTOINT", R::StrToInt, kFunction1),
      Numbered("function strtointdef(s: string; def: Longint): Longint;", "STRTOINTDEF", R::StrToIntDef, kFunction2),
      Numbered("function pos(substr, s: string): Longint;", "POS", R::Pos, kFunction2),
      Numbered("function copy(s: string; ifrom, icount: Longint): string;", "COPY", R::Copy, kFunction3),
      Numbered("procedure delete(var s: string; ifrom, icount: Longint);", "DELETE", R::Delete, kProcedure3),
      Numbered("procedure insert(s: string; var s2: string; ipos: Longint);", "INSERT", R::Insert, kProcedure3),
      Numbered("Function StrGet(var S : String; I : Integer) : Char;", "STRGET", R::StrGet, kFunction2),
      Numbered("Function StrGet2(S : String; I : Integer) : Char;", "STRGET2", R::StrGet, kFunction2),
      Numbered("procedure StrSet(c : Char; I : Integer; var s : String);", "STRSET", R::StrSet, kProcedure3),
      Numbered("Function Uppercase(s : string) : string;", "UPPERCASE", R::UpperCase, kFunction1),
      Numbered("Function Lowercase(s : string) : string;", "LOWERCASE", R::LowerCase, kFunction1),
      Numbered("Function Trim(s : string) : string;", "TRIM", R::Trim, kFunction1),
      Numbered("Function Length(s : String) : Longint;", "LENGTH", R::Length, kFunction1),
      Numbered("procedure SetLength(var S: String; L: Longint);", "SETLENGTH", R::SetLength, kProcedure2),
      Numbered("Function Sin(e : Extended) : Extended;", "SIN", R::Sin, kFunction1),
      Numbered("Function Cos(e : Extended) : Extended;", "COS", R::Cos, kFunction1),
      Numbered("Function Sqrt(e : Extended) : Extended;", "SQRT", R::Sqrt, kFunction1),
      Numbered("Function Round(e : Extended) : Longint;", "ROUND", R::Round, kFunction1),
      Numbered("Function Trunc(e : Extended) : Longint;", "TRUNC", R::Trunc, kFunction1),
      Numbered("Function Int(e : Extended) : Extended;", "INT", R::Int, kFunction1),
      Numbered("Function Pi : Extended;", "PI", R::Pi, kFunction0),
      Numbered("Function Abs(e : Extended) : Extended;", "ABS", R::Abs, kFunction1),
      Numbered("function StrToFloat(s: string): Extended;", "STRTOFLOAT", R::StrToFloat, kFunction1),
      Numbered("Function FloatToStr(e : Extended) : String;", "FLOATTOSTR", R::FloatToStr, kFunction1),
      Numbered("Function Padl(s : string;I : longInt) : string;", "PADL", R::PadL, kFunction2),
      Numbered("Function Padr(s : string;I : longInt) : string;", "PADR", R::PadR, kFunction2),
      Numbered("Function Padz(s : string;I : longInt) : string;", "PADZ", R::PadZ, kFunction2),
      Numbered("Function Replicate(c : char;I : longInt) : string;", "REPLICATE", R::Replicate, kFunction2),
      Numbered("Function StringOfChar(c : char;I : longInt) : string;", "STRINGOFCHAR", R::Replicate, kFunction2),
      Numbered("procedure RaiseLastException;", "RAISELASTEXCEPTION", R::RaiseLastException, kProcedure0),
      Numbered("procedure RaiseException(Ex: TQXException; Param: string);", "RAISEEXCEPTION", R::RaiseException,
               kProcedure2),
      Numbered("function ExceptionType: TQXException;", "EXCEPTIONTYPE", R::ExceptionType, kFunction0),
      Numbered("function ExceptionParam: string;", "EXCEPTIONPARAM", R::ExceptionParam, kFunction0),
      Numbered("function ExceptionProc: Cardinal;", "EXCEPTIONPROC", R::ExceptionProc, kFunction0),
      Numbered("function ExceptionPos: Cardinal;", "EXCEPTIONPOS", R::ExceptionPos, kFunction0),
      Numbered("function ExceptionToString(er: TQXException; Param: string): string;", "EXCEPTIONTOSTRING",
               R::ExceptionToString, kFunction2),
      Numbered("Function AnsiUppercase(s : string) : string;", "ANSIUPPERCASE", R::AnsiUpperCase, kFunction1),
      Numbered("Function AnsiLowercase(s : string) : string;", "ANSILOWERCASE", R::AnsiLowerCase, kFunction1),
      Numbered("function StrToInt64(s: string): int64;", "STRTOINT64", R::StrToInt64, kFunction1),
      Numbered("function Int64ToStr(i: Int64): string;", "INT64TOSTR", R::Int64ToStr, kFunction1),
      WithUntyped(Numbered("function SizeOf: Longint;", "SIZEOF", R::SizeOf, kFunction1), {"Data", 0}),
      WithUntyped(Own("function getarraylength: integer;", "GETARRAYLENGTH", Handler::kGetArrayLength, kFunction1),
                  {"arr", 2}),
      WithUntyped(Own("procedure setarraylength;", "SETARRAYLENGTH", Handler::kSetArrayLength, kProcedure2),
                  {"arr", 2}, {"count", 0, true}),
      Own("function Unassigned: Variant;", "UNASSIGNED", Handler::kUnassigned, kFunction0),
      Own("function VarIsEmpty(const V: Variant): Boolean;", "VARISEMPTY", Handler::kVarIsEmpty, kFunction1),
      Own("function Null: Variant;", "NULL", Handler::kNull, kFunction0),
      Own("function VarIsNull(const V: Variant): Boolean;", "VARISNULL", Handler::kVarIsNull, kFunction1),
      Own("function VarType(const V: Variant): TVarType;", "VARTYPE", Handler::kVarType, kFunction1),
      Own("function IDispatchInvoke(Self: IDispatch; PropertySet: Boolean; const Name: String; Par: array of "
          "variant): variant;",
          "IDISPATCHINVOKE", Handler::kIDispatchInvoke, kFunction4),
      Numbered("", "!ASSIGNED", R::Assigned, kFunction1),
  };
}();

// The routine the compiler calls for Assigned(x); it has no declaration text.
inline constexpr std::string_view kAssignedRoutineName = "!ASSIGNED";

// ---------------------------------------------------------------------------------------------
// The ties between each row's declaration and its name and shape

namespace builtin_checks {

constexpr char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
constexpr bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

constexpr bool StartsWithWord(std::string_view text, std::string_view upperWord) {
  if (text.size() < upperWord.size()) return false;
  for (std::size_t i = 0; i < upperWord.size(); ++i)
    if (Upper(text[i]) != upperWord[i]) return false;
  return true;
}

// The routine's name in its declaration, compared with an upper-case name.
constexpr bool DeclaresName(std::string_view declaration, std::string_view name) {
  std::size_t at = declaration.find(' ');
  if (at == std::string_view::npos) return false;
  ++at;
  std::size_t end = at;
  while (end < declaration.size() && IsNameChar(declaration[end])) ++end;
  return StartsWithWord(declaration.substr(at, end - at), name) && end - at == name.size();
}

// Parameters in the declaration's list: per group between semicolons, the names before its ':'.
constexpr std::size_t DeclaredParamCount(std::string_view declaration) {
  const std::size_t open = declaration.find('(');
  if (open == std::string_view::npos) return 0;
  const std::size_t close = declaration.find(')', open);
  std::size_t count = 0;
  bool inNames = true;
  for (std::size_t i = open + 1; i < close; ++i) {
    const char c = declaration[i];
    if (c == ';') inNames = true;
    if (c == ':') inNames = false;
    if (inNames && c == ',') ++count;
    if (c == ':') ++count;
  }
  return count;
}

constexpr bool RowAgrees(const BuiltinRoutine& row) {
  if (row.declaration.empty()) return true;
  const bool function = StartsWithWord(row.declaration, "FUNCTION");
  if (!function && !StartsWithWord(row.declaration, "PROCEDURE")) return false;
  return DeclaresName(row.declaration, row.name) && row.shape.hasResult == function &&
         row.shape.paramCount == DeclaredParamCount(row.declaration) + row.extraCount;
}

constexpr bool EveryRowAgrees() {
  for (const BuiltinRoutine& row : kBuiltinRoutines)
    if (!RowAgrees(row)) return false;
  return true;
}

}  // namespace builtin_checks

static_assert(builtin_checks::EveryRowAgrees(), "a built-in routine's name or shape differs from its declaration");

// ---------------------------------------------------------------------------------------------
// The dispatcher's view: the shape of each routine number; a number without a routine has none.

struct NumberedShape {
  bool exists = false;
  RoutineShape shape;
};

inline constexpr std::array<NumberedShape, kRoutineNumberCount> kShapeByNumber = [] {
  std::array<NumberedShape, kRoutineNumberCount> shapes{};
  for (const BuiltinRoutine& routine : kBuiltinRoutines)
    if (routine.handler == Handler::kDispatcher) shapes[static_cast<std::size_t>(routine.number)] = {true, routine.shape};
  return shapes;
}();

// Names that share a number must share the call shape too, or the dispatcher would read one
// name's parameters with the other's layout.
constexpr bool SharedNumbersAgree() {
  for (const BuiltinRoutine& routine : kBuiltinRoutines)
    if (routine.handler == Handler::kDispatcher &&
        kShapeByNumber[static_cast<std::size_t>(routine.number)].shape != routine.shape)
      return false;
  return true;
}
static_assert(SharedNumbersAgree());
static_assert(!kShapeByNumber[9].exists);

}  // namespace dravik::engine::library
