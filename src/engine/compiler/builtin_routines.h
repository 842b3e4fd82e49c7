#pragma once
// The routines every script may call without the host declaring them: their declaration texts
// as the compiler registers them, and the parameters no declaration text can express.

#include <array>
#include <string_view>

namespace dravik::engine {

// An untyped parameter appended after registration (mode as TPSParameterMode).
struct BuiltinExtraParam {
  std::string_view name;
  unsigned char mode = 0;
  bool typedS32 = false;  // true: of type LongInt instead of untyped
};

struct BuiltinRoutine {
  std::string_view declaration;
  std::array<BuiltinExtraParam, 2> extra{};
  std::size_t extraCount = 0;
};

inline constexpr std::array kBuiltinRoutines = {
    BuiltinRoutine{"function inttostr(i: Longint): string;"},
    BuiltinRoutine{"function strtoint(s: string): Longint;"},
    BuiltinRoutine{"function strtointdef(s: string; def: Longint): Longint;"},
    BuiltinRoutine{"function pos(substr, s: string): Longint;"},
    BuiltinRoutine{"function copy(s: string; ifrom, icount: Longint): string;"},
    BuiltinRoutine{"procedure delete(var s: string; ifrom, icount: Longint);"},
    BuiltinRoutine{"procedure insert(s: string; var s2: string; ipos: Longint);"},
    BuiltinRoutine{"Function StrGet(var S : String; I : Integer) : Char;"},
    BuiltinRoutine{"Function StrGet2(S : String; I : Integer) : Char;"},
    BuiltinRoutine{"procedure StrSet(c : Char; I : Integer; var s : String);"},
    BuiltinRoutine{"Function Uppercase(s : string) : string;"},
    BuiltinRoutine{"Function Lowercase(s : string) : string;"},
    BuiltinRoutine{"Function Trim(s : string) : string;"},
    BuiltinRoutine{"Function Length(s : String) : Longint;"},
    BuiltinRoutine{"procedure SetLength(var S: String; L: Longint);"},
    BuiltinRoutine{"Function Sin(e : Extended) : Extended;"},
    BuiltinRoutine{"Function Cos(e : Extended) : Extended;"},
    BuiltinRoutine{"Function Sqrt(e : Extended) : Extended;"},
    BuiltinRoutine{"Function Round(e : Extended) : Longint;"},
    BuiltinRoutine{"Function Trunc(e : Extended) : Longint;"},
    BuiltinRoutine{"Function Int(e : Extended) : Extended;"},
    BuiltinRoutine{"Function Pi : Extended;"},
    BuiltinRoutine{"Function Abs(e : Extended) : Extended;"},
    BuiltinRoutine{"function StrToFloat(s: string): Extended;"},
    BuiltinRoutine{"Function FloatToStr(e : Extended) : String;"},
    BuiltinRoutine{"Function Padl(s : string;I : longInt) : string;"},
    BuiltinRoutine{"Function Padr(s : string;I : longInt) : string;"},
    BuiltinRoutine{"Function Padz(s : string;I : longInt) : string;"},
    BuiltinRoutine{"Function Replicate(c : char;I : longInt) : string;"},
    BuiltinRoutine{"Function StringOfChar(c : char;I : longInt) : string;"},
    BuiltinRoutine{"procedure RaiseLastException;"},
    BuiltinRoutine{"procedure RaiseException(Ex: TQXException; Param: string);"},
    BuiltinRoutine{"function ExceptionType: TQXException;"},
    BuiltinRoutine{"function ExceptionParam: string;"},
    BuiltinRoutine{"function ExceptionProc: Cardinal;"},
    BuiltinRoutine{"function ExceptionPos: Cardinal;"},
    BuiltinRoutine{"function ExceptionToString(er: TQXException; Param: string): string;"},
    BuiltinRoutine{"Function AnsiUppercase(s : string) : string;"},
    BuiltinRoutine{"Function AnsiLowercase(s : string) : string;"},
    BuiltinRoutine{"function StrToInt64(s: string): int64;"},
    BuiltinRoutine{"function Int64ToStr(i: Int64): string;"},
    BuiltinRoutine{"function SizeOf: Longint;", {BuiltinExtraParam{"Data", 0}}, 1},
    BuiltinRoutine{"function getarraylength: integer;", {BuiltinExtraParam{"arr", 2}}, 1},
    BuiltinRoutine{"procedure setarraylength;",
                   {BuiltinExtraParam{"arr", 2}, BuiltinExtraParam{"count", 0, true}}, 2},
    BuiltinRoutine{"function Unassigned: Variant;"},
    BuiltinRoutine{"function VarIsEmpty(const V: Variant): Boolean;"},
    BuiltinRoutine{"function Null: Variant;"},
    BuiltinRoutine{"function VarIsNull(const V: Variant): Boolean;"},
    BuiltinRoutine{"function VarType(const V: Variant): TVarType;"},
    BuiltinRoutine{"function IDispatchInvoke(Self: IDispatch; PropertySet: Boolean; const Name: "
                   "String; Par: array of variant): variant;"},
};

// The routine the compiler calls for Assigned(x); it has no declaration text.
inline constexpr std::string_view kAssignedRoutineName = "!ASSIGNED";

}  // namespace dravik::engine
