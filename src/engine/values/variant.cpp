// The script variant and its operator table.
//
// Operands. A variant operand is one of: unassigned, null, a boolean, an integer (varShortInt,
// varByte, varSmallInt, varWord, varInteger, varLongWord, varInt64), a real (varSingle,
// varDouble), a date (a double counting days), currency (a 64-bit integer scaled by 10000) or
// text (varString, varOleStr). Arrays and every other code fail the operators with
// "Type Mismatch".
//
// Numbers. For arithmetic and comparison each operand becomes a number: unassigned is the
// integer 0, a boolean is 0 or 1 (so that a variant boolean stored back into a script Boolean,
// a byte, gives 0 or 1), text must read as a decimal number (else "Type Mismatch"). An integer
// is "wide" when its kind is varLongWord or varInt64 (or, read from text, it needs more than 32
// bits); results of wide or non-integer operands are 64-bit, others 32-bit, both wrapping.
//
// OpCalculate (dest := dest op source):
//  - "as": always "Type Mismatch".
//  - null on either side: the result is null.
//  - add with text on a side: text and text (or text and unassigned) concatenate, as a wide
//    string when either side is varOleStr; text and a number add numerically when the text reads
//    as a number, else the number's text is concatenated.
//  - and, or, xor of two booleans: a boolean (logical operation).
//  - mod, shl, shr, and, or, xor, and add, sub, mul, div of two integers: integer arithmetic as
//    the machine's signed integers do it (integer_kinds.h): "div" divides integers, truncating;
//    shift counts keep 5 bits (6 for 64-bit results); shr is arithmetic. Real and currency
//    operands of these are rounded to integers first (halves to even) and give 64-bit results.
//  - add, sub, mul, div with a real or a date on a side: double arithmetic; the result is a date
//    for add and sub with exactly one date operand, else varDouble.
//  - add, sub, mul, div with currency (and integers): on the scaled values; products and
//    quotients rounded to the nearest, halves to even; overflow is ErMathError.
//  - division or modulo by zero: ErDivideByZero; a real result that overflows from finite
//    operands: ErMathError.
//
// OpCompare: "in" and "is" are "Type Mismatch". Null is below every other value and equal to
// null; unassigned equals unassigned and otherwise counts as 0 against numbers and as the empty
// text against text. Two texts compare by byte (wide: by code unit), case-sensitively; a text
// and a number compare numerically when the text reads as a number, else as texts; two numbers
// compare numerically (exactly when both are integers or both currency, else as reals).
//
// Unary: not of a boolean is the boolean not; not of a number is the bitwise complement of its
// integer; negation keeps varSingle, dates and currency and turns booleans and integers into
// integers; null stays null. Boolean not (OpBooleanNot) is true exactly when the variant equals
// the integer 0.
#include "engine/values/variant.h"

#include <cmath>
#include <compare>
#include <cstring>
#include <limits>
#include <optional>

#include "engine/values/integer_kinds.h"
#include "engine/values/number_conversion.h"
#include "engine/values/ordering.h"
#include "engine/values/real_arithmetic.h"
#include "engine/values/assignment_conversion.h"
#include "engine/values/script_fault.h"

namespace dravik::engine::values {

namespace {

constexpr std::uint16_t kVariantArray = image::varArray | image::varVariant;
constexpr std::int16_t kVariantTrue = -1;
constexpr IntegerKind kNarrowKind{32, true};
constexpr IntegerKind kWideKind{64, true};

using VariantImage = std::array<std::uint8_t, kVariantMemSize>;

template <class T>
T PayloadOf(const void* at) {
  return Load<T>(static_cast<const std::uint8_t*>(at) + kVariantPayloadOffset);
}

template <class T>
VariantImage MakeImage(std::uint16_t type, T payload) {
  static_assert(sizeof(T) <= kVariantMemSize - kVariantPayloadOffset);
  VariantImage image{};
  Store(image.data() + kVariantTypeOffset, type);
  Store(image.data() + kVariantPayloadOffset, payload);
  return image;
}

VariantImage NullImage() { return MakeImage<std::uint64_t>(image::varNull, 0); }
VariantImage BooleanImage(bool value) { return MakeImage<std::int16_t>(image::varBoolean, value ? kVariantTrue : 0); }
VariantImage StringImage(std::string_view text) { return MakeImage(image::varString, NewString(text)); }
VariantImage WideStringImage(std::u16string_view text) { return MakeImage(image::varOleStr, NewWideString(text)); }

// The image goes in only after the old contents are gone, and it was built before, so a
// result computed from the variant it replaces stays sound.
void Replace(void* at, const VariantImage& image) {
  FinalizeVariant(at);
  std::memcpy(at, image.data(), image.size());
}

bool IsIntegerType(std::uint16_t type) {
  switch (type) {
    case image::varShortInt: case image::varByte: case image::varSmallInt: case image::varWord: case image::varInteger:
    case image::varLongWord: case image::varInt64:
      return true;
    default:
      return false;
  }
}

bool IsTextType(std::uint16_t type) { return type == image::varString || type == image::varOleStr; }

// The codes the operators accept.
bool IsOperandType(std::uint16_t type) {
  switch (type) {
    case image::varEmpty:
    case image::varNull:
    case image::varBoolean:
    case image::varSingle:
    case image::varDouble:
    case image::varDate:
    case image::varCurrency:
      return true;
    default:
      return IsIntegerType(type) || IsTextType(type);
  }
}

std::int64_t IntegerPayload(const void* at) {
  switch (VariantTypeAt(at)) {
    case image::varShortInt: return PayloadOf<std::int8_t>(at);
    case image::varByte: return PayloadOf<std::uint8_t>(at);
    case image::varSmallInt: return PayloadOf<std::int16_t>(at);
    case image::varWord: return PayloadOf<std::uint16_t>(at);
    case image::varInteger: return PayloadOf<std::int32_t>(at);
    case image::varLongWord: return PayloadOf<std::uint32_t>(at);
    default: return PayloadOf<std::int64_t>(at);
  }
}

bool BooleanPayload(const void* at) { return PayloadOf<std::int16_t>(at) != 0; }

VariantImage IntegerImage(image::VarTypeCode type, std::int64_t value) {
  switch (type) {
    case image::varShortInt: return MakeImage(type, static_cast<std::int8_t>(value));
    case image::varByte: return MakeImage(type, static_cast<std::uint8_t>(value));
    case image::varSmallInt: return MakeImage(type, static_cast<std::int16_t>(value));
    case image::varWord: return MakeImage(type, static_cast<std::uint16_t>(value));
    case image::varInteger: return MakeImage(type, static_cast<std::int32_t>(value));
    case image::varLongWord: return MakeImage(type, static_cast<std::uint32_t>(value));
    case image::varInt64: return MakeImage(type, value);
    default: FailWith(image::ErInternalError);
  }
}

// ---------------------------------------------------------------------------------------------
// Numbers

enum class NumberKind : std::uint8_t { kInteger, kCurrency, kReal, kDate };

struct Number {
  NumberKind kind = NumberKind::kInteger;
  bool wide = false;       // kInteger: needs 64 bits
  std::int64_t value = 0;  // kInteger; kCurrency scaled
  Extended real = 0;       // kReal, kDate
};

bool FitsInt32(std::int64_t value) {
  return value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max();
}

Number IntegerNumber(std::int64_t value, bool wide) { return Number{NumberKind::kInteger, wide, value, 0}; }

Number TextNumber(const void* at) {
  std::optional<ParsedNumber> parsed = ParseNumber(VariantToString(at));
  if (!parsed) FailTypeMismatchConversion();
  if (parsed->isInteger) return IntegerNumber(parsed->integer, !FitsInt32(parsed->integer));
  return Number{NumberKind::kReal, false, 0, parsed->real};
}

Number NumberOf(const void* at) {
  std::uint16_t type = VariantTypeAt(at);
  switch (type) {
    case image::varEmpty: return IntegerNumber(0, false);
    case image::varBoolean: return IntegerNumber(BooleanPayload(at) ? 1 : 0, false);
    case image::varSingle: return Number{NumberKind::kReal, false, 0, PayloadOf<float>(at)};
    case image::varDouble: return Number{NumberKind::kReal, false, 0, PayloadOf<double>(at)};
    case image::varDate: return Number{NumberKind::kDate, false, 0, PayloadOf<double>(at)};
    case image::varCurrency: return Number{NumberKind::kCurrency, false, PayloadOf<std::int64_t>(at), 0};
    default: break;
  }
  if (IsIntegerType(type))
    return IntegerNumber(IntegerPayload(at), type == image::varLongWord || type == image::varInt64);
  if (IsTextType(type)) return TextNumber(at);
  FailTypeMismatchConversion();
}

Extended RealOf(const Number& n) {
  switch (n.kind) {
    case NumberKind::kInteger: return static_cast<Extended>(n.value);
    case NumberKind::kCurrency: return static_cast<Extended>(n.value) / kCurrencyScale;
    default: return n.real;
  }
}

std::int64_t IntegerOf(const Number& n) {
  if (n.kind == NumberKind::kInteger) return n.value;
  std::optional<std::int64_t> rounded = RoundToInt64(RealOf(n));
  if (!rounded) FailTypeMismatchConversion();
  return *rounded;
}

IntegerKind NumberWidth(const Number& n) {
  return n.kind == NumberKind::kInteger && !n.wide ? kNarrowKind : kWideKind;
}

IntegerKind WiderKind(IntegerKind a, IntegerKind b) { return a.bits >= b.bits ? a : b; }

VariantImage NumberImage(const Number& n) {
  switch (n.kind) {
    case NumberKind::kInteger:
      return n.wide ? IntegerImage(image::varInt64, n.value) : IntegerImage(image::varInteger, n.value);
    case NumberKind::kCurrency: return MakeImage(image::varCurrency, n.value);
    case NumberKind::kReal: return MakeImage(image::varDouble, static_cast<double>(n.real));
    default: return MakeImage(image::varDate, static_cast<double>(n.real));
  }
}

Number IntegerResult(std::uint64_t value, IntegerKind kind) {
  return IntegerNumber(static_cast<std::int64_t>(value), kind.bits == 64);
}

// ---------------------------------------------------------------------------------------------
// OpCalculate

bool IsRealKind(const Number& n) { return n.kind == NumberKind::kReal || n.kind == NumberKind::kDate; }

bool IsIntegerOnlyOp(image::CalcOp op) {
  return op != image::CalcOp::Add && op != image::CalcOp::Subtract && op != image::CalcOp::Multiply &&
         op != image::CalcOp::Divide;
}

bool IsLogicalOp(image::CalcOp op) {
  return op == image::CalcOp::And || op == image::CalcOp::Or || op == image::CalcOp::Xor;
}

Number IntegerCalculation(image::CalcOp op, const Number& x, const Number& y) {
  IntegerKind kind = WiderKind(NumberWidth(x), NumberWidth(y));
  auto a = static_cast<std::uint64_t>(IntegerOf(x));
  auto b = static_cast<std::uint64_t>(IntegerOf(y));
  return IntegerResult(CalculateInteger(op, a, b, kind), kind);
}

// Computed in the extended format and then narrowed, like the machine's own reals, so that the
// result is the same on builds whose double arithmetic differs.
Number RealCalculation(image::CalcOp op, const Number& x, const Number& y) {
  Extended a = RealOf(x);
  Extended b = RealOf(y);
  Extended wide = CalculateReal(op, a, b);
  constexpr Extended kLargest = std::numeric_limits<double>::max();
  if ((wide > kLargest || wide < -kLargest) && std::isfinite(a) && std::isfinite(b)) FailWith(image::ErMathError);
  auto result = static_cast<double>(wide);
  bool oneDate = (x.kind == NumberKind::kDate) != (y.kind == NumberKind::kDate);
  bool keepsDate = oneDate && (op == image::CalcOp::Add || op == image::CalcOp::Subtract);
  return Number{keepsDate ? NumberKind::kDate : NumberKind::kReal, false, 0, result};
}

Number CurrencyCalculation(image::CalcOp op, const Number& x, const Number& y) {
  auto scaled = [](const Number& n) { return n.kind == NumberKind::kCurrency ? n.value : IntegerToCurrency(n.value); };
  return Number{NumberKind::kCurrency, false, CalculateCurrency(op, scaled(x), scaled(y)), 0};
}

bool AddsAsText(const void* a, const void* b) {
  std::uint16_t ta = VariantTypeAt(a);
  std::uint16_t tb = VariantTypeAt(b);
  if (!IsTextType(ta) && !IsTextType(tb)) return false;
  if ((IsTextType(ta) || ta == image::varEmpty) && (IsTextType(tb) || tb == image::varEmpty)) return true;
  const void* text = IsTextType(ta) ? a : b;
  return !ParseNumber(VariantToString(text)).has_value();
}

VariantImage Concatenation(const void* a, const void* b) {
  if (VariantTypeAt(a) == image::varOleStr || VariantTypeAt(b) == image::varOleStr)
    return WideStringImage(VariantToWideString(a) + VariantToWideString(b));
  return StringImage(VariantToString(a) + VariantToString(b));
}

VariantImage LogicalResult(image::CalcOp op, bool a, bool b) {
  switch (op) {
    case image::CalcOp::And: return BooleanImage(a && b);
    case image::CalcOp::Or: return BooleanImage(a || b);
    default: return BooleanImage(a != b);
  }
}

VariantImage Calculation(image::CalcOp op, const void* a, const void* b) {
  std::uint16_t ta = VariantTypeAt(a);
  std::uint16_t tb = VariantTypeAt(b);
  if (op == image::CalcOp::As || !IsOperandType(ta) || !IsOperandType(tb)) FailTypeMismatchConversion();
  if (ta == image::varNull || tb == image::varNull) return NullImage();
  if (op == image::CalcOp::Add && AddsAsText(a, b)) return Concatenation(a, b);
  if (IsLogicalOp(op) && ta == image::varBoolean && tb == image::varBoolean)
    return LogicalResult(op, BooleanPayload(a), BooleanPayload(b));
  Number x = NumberOf(a);
  Number y = NumberOf(b);
  if (IsIntegerOnlyOp(op) || (x.kind == NumberKind::kInteger && y.kind == NumberKind::kInteger))
    return NumberImage(IntegerCalculation(op, x, y));
  if (IsRealKind(x) || IsRealKind(y)) return NumberImage(RealCalculation(op, x, y));
  return NumberImage(CurrencyCalculation(op, x, y));
}

// ---------------------------------------------------------------------------------------------
// OpCompare

std::partial_ordering CompareTexts(const void* a, const void* b) {
  if (VariantTypeAt(a) == image::varOleStr || VariantTypeAt(b) == image::varOleStr)
    return VariantToWideString(a) <=> VariantToWideString(b);
  return VariantToString(a) <=> VariantToString(b);
}

std::partial_ordering CompareNumbers(const Number& x, const Number& y) {
  if (x.kind == y.kind && (x.kind == NumberKind::kInteger || x.kind == NumberKind::kCurrency))
    return x.value <=> y.value;
  return RealOf(x) <=> RealOf(y);
}

// Whether the operand takes part as text: text itself, or unassigned against text.
bool ComparesAsText(std::uint16_t type, std::uint16_t otherType) {
  return IsTextType(type) || (type == image::varEmpty && IsTextType(otherType));
}

std::partial_ordering Comparison(const void* a, const void* b) {
  std::uint16_t ta = VariantTypeAt(a);
  std::uint16_t tb = VariantTypeAt(b);
  if (!IsOperandType(ta) || !IsOperandType(tb)) FailTypeMismatchConversion();
  if (ta == image::varNull || tb == image::varNull)
    return (ta == image::varNull ? 0 : 1) <=> (tb == image::varNull ? 0 : 1);
  bool textA = ComparesAsText(ta, tb);
  bool textB = ComparesAsText(tb, ta);
  if (textA && textB) return CompareTexts(a, b);
  if (textA != textB && !ParseNumber(VariantToString(textA ? a : b))) return CompareTexts(a, b);
  return CompareNumbers(NumberOf(a), NumberOf(b));
}

// ---------------------------------------------------------------------------------------------
// Unary

VariantImage Negation(const void* at) {
  std::uint16_t type = VariantTypeAt(at);
  if (type == image::varNull) return NullImage();
  if (type == image::varSingle) return MakeImage(image::varSingle, -PayloadOf<float>(at));
  Number n = NumberOf(at);
  switch (n.kind) {
    case NumberKind::kInteger: {
      IntegerKind kind = NumberWidth(n);
      return NumberImage(
          IntegerResult(CalculateInteger(image::CalcOp::Subtract, 0, static_cast<std::uint64_t>(n.value), kind), kind));
    }
    case NumberKind::kCurrency:
      if (n.value == std::numeric_limits<std::int64_t>::min()) FailWith(image::ErMathError);
      n.value = -n.value;
      return NumberImage(n);
    default:
      n.real = -n.real;
      return NumberImage(n);
  }
}

VariantImage Complement(const void* at) {
  std::uint16_t type = VariantTypeAt(at);
  if (type == image::varNull) return NullImage();
  if (type == image::varBoolean) return BooleanImage(!BooleanPayload(at));
  Number n = NumberOf(at);
  IntegerKind kind = NumberWidth(n);
  return NumberImage(IntegerResult(FitInteger(~static_cast<std::uint64_t>(IntegerOf(n)), kind), kind));
}

// ---------------------------------------------------------------------------------------------
// Copies

VariantImage SharedCopy(const void* source) {
  VariantImage image{};
  std::memcpy(image.data(), source, image.size());
  switch (VariantTypeAt(source)) {
    case image::varString: RetainString(PayloadOf<StringBlock*>(source)); break;
    case image::varOleStr: RetainWideString(PayloadOf<WideStringBlock*>(source)); break;
    case kVariantArray: RetainArray(PayloadOf<ArrayBlock*>(source)); break;
    default: break;
  }
  return image;
}

}  // namespace

const TPSTypeRec& VariantElementRecord() {
  static const TPSTypeRec record(image::tcVariant);
  return record;
}

void FinalizeVariant(void* at) {
  switch (VariantTypeAt(at)) {
    case image::varString: ReleaseString(PayloadOf<StringBlock*>(at)); break;
    case image::varOleStr: ReleaseWideString(PayloadOf<WideStringBlock*>(at)); break;
    case kVariantArray: ReleaseArray(PayloadOf<ArrayBlock*>(at), VariantElementRecord()); break;
    default: break;
  }
  std::memset(at, 0, kVariantMemSize);
}

void CopyVariant(void* dest, const void* source) {
  if (dest == source) return;
  Replace(dest, SharedCopy(source));
}

void SetVariantNull(void* at) { Replace(at, NullImage()); }
void SetVariantInteger(void* at, image::VarTypeCode type, std::int64_t value) {
  Replace(at, IntegerImage(type, value));
}
void SetVariantReal(void* at, image::VarTypeCode type, double value) {
  Replace(at, type == image::varSingle ? MakeImage(type, static_cast<float>(value)) : MakeImage(type, value));
}
void SetVariantCurrency(void* at, std::int64_t scaled) { Replace(at, MakeImage(image::varCurrency, scaled)); }
void SetVariantBoolean(void* at, bool value) { Replace(at, BooleanImage(value)); }
void SetVariantString(void* at, std::string_view text) { Replace(at, StringImage(text)); }
void SetVariantWideString(void* at, std::u16string_view text) { Replace(at, WideStringImage(text)); }
void SetVariantArray(void* at, ArrayBlock* block) { Replace(at, MakeImage(kVariantArray, block)); }

std::int64_t VariantToInt64(const void* at) { return IntegerOf(NumberOf(at)); }

std::int64_t VariantToOrdinal(const void* at) {
  std::uint16_t type = VariantTypeAt(at);
  if (type == image::varString && StringAt(static_cast<const std::uint8_t*>(at) + kVariantPayloadOffset).size() == 1)
    return static_cast<std::uint8_t>(VariantToString(at)[0]);
  if (type == image::varOleStr &&
      WideStringAt(static_cast<const std::uint8_t*>(at) + kVariantPayloadOffset).size() == 1)
    return VariantToWideString(at)[0];
  return VariantToInt64(at);
}

Extended VariantToReal(const void* at) { return RealOf(NumberOf(at)); }

std::string VariantToString(const void* at) {
  const void* payload = static_cast<const std::uint8_t*>(at) + kVariantPayloadOffset;
  std::uint16_t type = VariantTypeAt(at);
  switch (type) {
    case image::varEmpty: return {};
    case image::varBoolean: return BooleanPayload(at) ? "True" : "False";
    case image::varSingle: return FormatSingle(PayloadOf<float>(at));
    case image::varDouble: case image::varDate: return FormatDouble(PayloadOf<double>(at));
    case image::varCurrency: return FormatCurrency(PayloadOf<std::int64_t>(at));
    case image::varString: return std::string(StringAt(payload));
    case image::varOleStr: return NarrowText(WideStringAt(payload));
    default: break;
  }
  if (IsIntegerType(type)) return std::to_string(IntegerPayload(at));
  FailTypeMismatchConversion();
}

std::u16string VariantToWideString(const void* at) {
  if (VariantTypeAt(at) == image::varOleStr)
    return std::u16string(WideStringAt(static_cast<const std::uint8_t*>(at) + kVariantPayloadOffset));
  return WidenText(VariantToString(at));
}

void VariantCalculate(image::CalcOp op, void* dest, const void* source) {
  Replace(dest, Calculation(op, dest, source));
}

bool VariantCompare(image::CompareOp op, const void* left, const void* right) {
  if (op == image::CompareOp::In || op == image::CompareOp::Is) FailTypeMismatchConversion();
  return OrderingSatisfies(op, Comparison(left, right));
}

void VariantBooleanNot(void* at) {
  VariantImage zero = IntegerImage(image::varInteger, 0);
  Replace(at, BooleanImage(Comparison(at, zero.data()) == 0));
}

void VariantNegate(void* at) { Replace(at, Negation(at)); }
void VariantIntegerNot(void* at) { Replace(at, Complement(at)); }

}  // namespace dravik::engine::values
