// The arithmetic rules of OpCalculate: dest := dest op source, by the destination's base type,
// the source converted as an assignment to that type would convert it.
#include <cmath>
#include <cstring>
#include <string>

#include "engine/values/assignment_conversion.h"
#include "engine/values/integer_kinds.h"
#include "engine/values/operators.h"
#include "engine/values/real_arithmetic.h"
#include "engine/values/script_fault.h"
#include "engine/values/variant.h"

namespace dravik::engine::values {

namespace {

constexpr IntegerKind kCharKind{8, false};
constexpr IntegerKind kWideCharKind{16, false};

// The operators of reals and currency; any other is refused before the source is converted.
bool IsFourOperator(image::CalcOp op) {
  return op == image::CalcOp::Add || op == image::CalcOp::Subtract || op == image::CalcOp::Multiply ||
         op == image::CalcOp::Divide;
}

void CalculateIntegerValue(image::CalcOp op, ValueRef dest, ValueRef source, IntegerKind kind) {
  std::int64_t converted = kind.bits == 64 ? ConvertToInt64(source) : ConvertToOrdinal(source);
  std::uint64_t a = LoadInteger(dest.data, kind);
  std::uint64_t b = FitInteger(static_cast<std::uint64_t>(converted), kind);
  StoreInteger(dest.data, kind, CalculateInteger(op, a, b, kind));
}

// Computed in the extended format and then narrowed, so that single and double values come out
// the same on every build; a result the destination's format cannot hold is ErMathError and
// leaves the destination as it was.
void CalculateRealValue(image::CalcOp op, ValueRef dest, ValueRef source) {
  if (!IsFourOperator(op)) FailWith(image::ErTypeMismatch);
  Extended b = ConvertToReal(source);
  Extended a = ConvertToReal(dest);
  Extended result = CalculateReal(op, a, b);
  std::uint8_t narrowed[kExtendedMemSize] = {};
  StoreReal(narrowed, dest.type->baseType, result);
  if (!std::isfinite(ConvertToReal({narrowed, dest.type})) && std::isfinite(a) && std::isfinite(b))
    FailWith(image::ErMathError);
  std::memcpy(dest.data, narrowed, dest.type->memSize);
}

void CalculateCurrencyValue(image::CalcOp op, ValueRef dest, ValueRef source) {
  if (!IsFourOperator(op)) FailWith(image::ErTypeMismatch);
  std::int64_t b = ConvertToCurrency(source);
  Store(dest.data, CalculateCurrency(op, Load<std::int64_t>(dest.data), b));
}

void AppendString(image::CalcOp op, ValueRef dest, ValueRef source) {
  if (op != image::CalcOp::Add) FailWith(image::ErTypeMismatch);
  const std::string text = ConvertToString(source);
  AppendStringAt(dest.data, dest.type->baseType == image::tcPChar ? PCharText(text) : text);
}

void AppendWideString(image::CalcOp op, ValueRef dest, ValueRef source) {
  if (op != image::CalcOp::Add) FailWith(image::ErTypeMismatch);
  AppendWideStringAt(dest.data, ConvertToWideString(source));
}

void CalculateCharacter(image::CalcOp op, ValueRef dest, ValueRef source, IntegerKind kind) {
  if (op != image::CalcOp::Add && op != image::CalcOp::Subtract) FailWith(image::ErTypeMismatch);
  auto b = static_cast<std::uint64_t>(ConvertToOrdinal(source));
  StoreInteger(dest.data, kind, CalculateInteger(op, LoadInteger(dest.data, kind), FitInteger(b, kind), kind));
}

// A variant that cannot take part (text that is no number, an array, null against an operator
// it cannot meet) makes the operation a type mismatch; the arithmetic's own faults (division by
// zero, overflow) keep their codes.
void CalculateVariantValue(image::CalcOp op, ValueRef dest, ValueRef source) {
  try {
    if (source.data == nullptr) FailTypeMismatchConversion();
    if (source.type->baseType == image::tcVariant) {
      VariantCalculate(op, dest.data, source.data);
      return;
    }
    ScopedVariant operand;
    ValueToVariant(operand.Data(), source);
    VariantCalculate(op, dest.data, operand.Data());
  } catch (const HostException&) {
    FailWith(image::ErTypeMismatch);
  }
}

// Union, difference and intersection, bit byte by bit byte.
void CalculateSet(image::CalcOp op, ValueRef dest, ValueRef source) {
  if (source.type != dest.type) FailWith(image::ErTypeMismatch);
  if (!IsFourOperator(op) || op == image::CalcOp::Divide) FailWith(image::ErTypeMismatch);
  auto* a = static_cast<std::uint8_t*>(dest.data);
  const auto* b = static_cast<const std::uint8_t*>(source.data);
  std::uint32_t bytes = static_cast<const TPSTypeRec_Set&>(*dest.type).byteSize;
  for (std::uint32_t i = 0; i < bytes; ++i) {
    if (op == image::CalcOp::Add) a[i] |= b[i];
    else if (op == image::CalcOp::Subtract) a[i] &= static_cast<std::uint8_t>(~b[i]);
    else a[i] &= b[i];
  }
}

// "as": the object must be of the class that the source's type number names; the value stays.
void CheckClassCast(ValueRef dest, ValueRef source, const ValueEnvironment& env) {
  if (dest.type->baseType != image::tcClass || source.type->baseType != image::tcU32) FailWith(image::ErTypeMismatch);
  const TPSTypeRec* target = env.TypeByNumber(Load<std::uint32_t>(source.data));
  if (target == nullptr || target->baseType != image::tcClass) FailWith(image::ErTypeMismatch);
  const void* object = Load<const void*>(dest.data);
  const auto& className = static_cast<const TPSTypeRec_Class&>(*target).className;
  if (object == nullptr || !env.IsObjectOfClass(object, className)) FailWith(image::ErTypeMismatch);
}

}  // namespace

void CalculateValue(image::CalcOp op, ValueRef dest, ValueRef source, const ValueEnvironment& env) {
  if (op == image::CalcOp::As) {
    CheckClassCast(dest, source, env);
    return;
  }
  if (static_cast<std::uint8_t>(op) >= image::kCalcOpCount) FailWith(image::erInvalidOpcodeParameter);
  const image::TPSTypeCode code = dest.type->baseType;
  if (const std::optional<IntegerKind> kind = IntegerKindOf(code)) {
    CalculateIntegerValue(op, dest, FollowPointer(source), *kind);
    return;
  }
  switch (code) {
    case image::tcSingle:
    case image::tcDouble:
    case image::tcExtended:
      CalculateRealValue(op, dest, FollowPointer(source));
      return;
    case image::tcCurrency: CalculateCurrencyValue(op, dest, FollowPointer(source)); return;
    case image::tcString: case image::tcPChar: AppendString(op, dest, FollowPointer(source)); return;
    case image::tcWideString: AppendWideString(op, dest, FollowPointer(source)); return;
    case image::tcChar: CalculateCharacter(op, dest, FollowPointer(source), kCharKind); return;
    case image::tcWideChar: CalculateCharacter(op, dest, FollowPointer(source), kWideCharKind); return;
    case image::tcVariant: CalculateVariantValue(op, dest, FollowPointer(source)); return;
    case image::tcSet: CalculateSet(op, dest, source); return;
    default: FailWith(image::ErTypeMismatch);
  }
}

}  // namespace dravik::engine::values
