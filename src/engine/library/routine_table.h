#pragma once
// The built-in routines that share one dispatcher: the name an image imports each under, the
// routine number the dispatcher switches on, and the call shape the routine expects. Two names
// may share a number (REPLICATE and STRINGOFCHAR; STRGET2, which is STRGET on a value
// parameter); number 9 is free, and the dispatcher refuses any number without a routine.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/exec/proc_records.h"

namespace dravik::engine {

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

// What a call must look like: its parameter count and whether a result slot lies on top.
struct RoutineShape {
  std::uint8_t paramCount = 0;
  bool hasResult = false;
  friend constexpr bool operator==(RoutineShape, RoutineShape) = default;
};

struct LibraryRoutine {
  std::string_view name;  // upper case, as the image imports it
  RoutineNo number;
  RoutineShape shape;
  InlineRoutine inlineAs = InlineRoutine::kNone;  // what the register form may run in its place
};

inline constexpr RoutineShape kFunction0{0, true};
inline constexpr RoutineShape kFunction1{1, true};
inline constexpr RoutineShape kFunction2{2, true};
inline constexpr RoutineShape kFunction3{3, true};
inline constexpr RoutineShape kProcedure0{0, false};
inline constexpr RoutineShape kProcedure2{2, false};
inline constexpr RoutineShape kProcedure3{3, false};

inline constexpr std::array kLibraryRoutines = {
    LibraryRoutine{"INTTOSTR", RoutineNo::IntToStr, kFunction1},
    LibraryRoutine{"STRTOINT", RoutineNo::StrToInt, kFunction1},
    LibraryRoutine{"STRTOINTDEF", RoutineNo::StrToIntDef, kFunction2},
    LibraryRoutine{"POS", RoutineNo::Pos, kFunction2},
    LibraryRoutine{"COPY", RoutineNo::Copy, kFunction3},
    LibraryRoutine{"DELETE", RoutineNo::Delete, kProcedure3},
    LibraryRoutine{"INSERT", RoutineNo::Insert, kProcedure3},
    LibraryRoutine{"STRGET", RoutineNo::StrGet, kFunction2, InlineRoutine::kStrGet},
    LibraryRoutine{"STRGET2", RoutineNo::StrGet, kFunction2},
    LibraryRoutine{"STRSET", RoutineNo::StrSet, kProcedure3},
    LibraryRoutine{"UPPERCASE", RoutineNo::UpperCase, kFunction1},
    LibraryRoutine{"LOWERCASE", RoutineNo::LowerCase, kFunction1},
    LibraryRoutine{"TRIM", RoutineNo::Trim, kFunction1},
    LibraryRoutine{"LENGTH", RoutineNo::Length, kFunction1, InlineRoutine::kLength},
    LibraryRoutine{"SETLENGTH", RoutineNo::SetLength, kProcedure2},
    LibraryRoutine{"SIN", RoutineNo::Sin, kFunction1},
    LibraryRoutine{"COS", RoutineNo::Cos, kFunction1},
    LibraryRoutine{"SQRT", RoutineNo::Sqrt, kFunction1},
    LibraryRoutine{"ROUND", RoutineNo::Round, kFunction1},
    LibraryRoutine{"TRUNC", RoutineNo::Trunc, kFunction1},
    LibraryRoutine{"INT", RoutineNo::Int, kFunction1},
    LibraryRoutine{"PI", RoutineNo::Pi, kFunction0},
    LibraryRoutine{"ABS", RoutineNo::Abs, kFunction1},
    LibraryRoutine{"STRTOFLOAT", RoutineNo::StrToFloat, kFunction1},
    LibraryRoutine{"FLOATTOSTR", RoutineNo::FloatToStr, kFunction1},
    LibraryRoutine{"PADL", RoutineNo::PadL, kFunction2},
    LibraryRoutine{"PADR", RoutineNo::PadR, kFunction2},
    LibraryRoutine{"PADZ", RoutineNo::PadZ, kFunction2},
    LibraryRoutine{"REPLICATE", RoutineNo::Replicate, kFunction2},
    LibraryRoutine{"STRINGOFCHAR", RoutineNo::Replicate, kFunction2},
    LibraryRoutine{"!ASSIGNED", RoutineNo::Assigned, kFunction1},
    LibraryRoutine{"RAISELASTEXCEPTION", RoutineNo::RaiseLastException, kProcedure0},
    LibraryRoutine{"RAISEEXCEPTION", RoutineNo::RaiseException, kProcedure2},
    LibraryRoutine{"EXCEPTIONTYPE", RoutineNo::ExceptionType, kFunction0},
    LibraryRoutine{"EXCEPTIONPARAM", RoutineNo::ExceptionParam, kFunction0},
    LibraryRoutine{"EXCEPTIONPROC", RoutineNo::ExceptionProc, kFunction0},
    LibraryRoutine{"EXCEPTIONPOS", RoutineNo::ExceptionPos, kFunction0},
    LibraryRoutine{"EXCEPTIONTOSTRING", RoutineNo::ExceptionToString, kFunction2},
    LibraryRoutine{"ANSIUPPERCASE", RoutineNo::AnsiUpperCase, kFunction1},
    LibraryRoutine{"ANSILOWERCASE", RoutineNo::AnsiLowerCase, kFunction1},
    LibraryRoutine{"STRTOINT64", RoutineNo::StrToInt64, kFunction1},
    LibraryRoutine{"INT64TOSTR", RoutineNo::Int64ToStr, kFunction1},
    LibraryRoutine{"SIZEOF", RoutineNo::SizeOf, kFunction1},
};
inline constexpr std::size_t kLibraryRoutineCount = 43;
static_assert(kLibraryRoutines.size() == kLibraryRoutineCount);

// The shape of each routine number; a number without a routine has none.
struct NumberedShape {
  bool exists = false;
  RoutineShape shape;
};

inline constexpr std::array<NumberedShape, kRoutineNumberCount> kShapeByNumber = [] {
  std::array<NumberedShape, kRoutineNumberCount> shapes{};
  for (const LibraryRoutine& routine : kLibraryRoutines)
    shapes[static_cast<std::size_t>(routine.number)] = {true, routine.shape};
  return shapes;
}();

// Names that share a number must share the call shape too, or the dispatcher would read one
// name's parameters with the other's layout.
constexpr bool SharedNumbersAgree() {
  for (const LibraryRoutine& routine : kLibraryRoutines)
    if (kShapeByNumber[static_cast<std::size_t>(routine.number)].shape != routine.shape) return false;
  return true;
}
static_assert(SharedNumbersAgree());
static_assert(!kShapeByNumber[9].exists);

}  // namespace dravik::engine
