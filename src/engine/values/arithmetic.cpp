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

namespace dravik::engine {

namespace {

constexpr IntegerKind kCharKind{8, false};
constexpr IntegerKind kWideCharKind{16, false};

// The operators of reals and currency; any other is refused before the source is converted.
bool IsFourOperator(CalcOp op) {
  return op == CalcOp::Add || op == CalcOp::Subtract || op == CalcOp::Multiply || op == CalcOp::Divide;
}

void CalculateIntegerValue(CalcOp op, ValueRef dest, ValueRef source, IntegerKind kind) {
  std::int64_t converted = kind.bits == 64 ? ConvertToInt64(source) : ConvertToOrdinal(source);
  std::uint64_t a = LoadInteger(dest.data, kind);
  std::uint64_t b = FitInteger(static_cast<std::uint64_t>(converted), kind);
  StoreInteger(dest.data, kind, CalculateInteger(op, a, b, kind));
}

// Computed in the extended format and then narrowed, so that single and double values come out
// the same on every build; a result the destination's format cannot hold is ErMathError and
// leaves the destination as it was.
void CalculateRealValue(CalcOp op, ValueRef dest, ValueRef source) {
  if (!IsFourOperator(op)) FailWith(ErTypeMismatch);
  Extended b = ConvertToReal(source);
  Extended a = ConvertToReal(dest);
  Extended result = CalculateReal(op, a, b);
  std::uint8_t narrowed[kExtendedMemSize] = {};
  StoreReal(narrowed, dest.type->baseType, result);
  if (!std::isfinite(ConvertToReal({narrowed, dest.type})) && std::isfinite(a) && std::isfinite(b))
    FailWith(ErMathError);
  std::memcpy(dest.data, narrowed, dest.type->memSize);
}

void CalculateCurrencyValue(CalcOp op, ValueRef dest, ValueRef source) {
  if (!IsFourOperator(op)) FailWith(ErTypeMismatch);
  std::int64_t b = ConvertToCurrency(source);
  Store(dest.data, CalculateCurrency(op, Load<std::int64_t>(dest.data), b));
}

void AppendString(CalcOp op, ValueRef dest, ValueRef source) {
  if (op != CalcOp::Add) FailWith(ErTypeMismatch);
  const std::string text = ConvertToString(source);
  AppendStringAt(dest.data, dest.type->baseType == tcPChar ? PCharText(text) : text);
}

void AppendWideString(CalcOp op, ValueRef dest, ValueRef source) {
  if (op != CalcOp::Add) FailWith(ErTypeMismatch);
  AppendWideStringAt(dest.data, ConvertToWideString(source));
}

void CalculateCharacter(CalcOp op, ValueRef dest, ValueRef source, IntegerKind kind) {
  if (op != CalcOp::Add && op != CalcOp::Subtract) FailWith(ErTypeMismatch);
  auto b = static_cast<std::uint64_t>(ConvertToOrdinal(source));
  StoreInteger(dest.data, kind, CalculateInteger(op, LoadInteger(dest.data, kind), FitInteger(b, kind), kind));
}

// A variant that cannot take part (text that is no number, an array, null against an operator
// it cannot meet) makes the operation a type mismatch; the arithmetic's own faults (division by
// zero, overflow) keep their codes.
void CalculateVariantValue(CalcOp op, ValueRef dest, ValueRef source) {
  try {
    if (source.data == nullptr) FailTypeMismatchConversion();
    if (source.type->baseType == tcVariant) {
      VariantCalculate(op, dest.data, source.data);
      return;
    }
    ScopedVariant operand;
    ValueToVariant(operand.Data(), source);
    VariantCalculate(op, dest.data, operand.Data());
  } catch (const HostException&) {
    FailWith(ErTypeMismatch);
  }
}

// Union, difference and intersection, bit byte by bit byte.
void CalculateSet(CalcOp op, ValueRef dest, ValueRef source) {
  if (source.type != dest.type) FailWith(ErTypeMismatch);
  if (!IsFourOperator(op) || op == CalcOp::Divide) FailWith(ErTypeMismatch);
  auto* a = static_cast<std::uint8_t*>(dest.data);
  const auto* b = static_cast<const std::uint8_t*>(source.data);
  std::uint32_t bytes = static_cast<const TPSTypeRec_Set&>(*dest.type).byteSize;
  for (std::uint32_t i = 0; i < bytes; ++i) {
    if (op == CalcOp::Add) a[i] |= b[i];
    else if (op == CalcOp::Subtract) a[i] &= static_cast<std::uint8_t>(~b[i]);
    else a[i] &= b[i];
  }
}

// "as": the object must be of the class that the source's type number names; the value stays.
void CheckClassCast(ValueRef dest, ValueRef source, const ValueEnvironment& env) {
  if (dest.type->baseType != tcClass || source.type->baseType != tcU32) FailWith(ErTypeMismatch);
  const TPSTypeRec* target = env.TypeByNumber(Load<std::uint32_t>(source.data));
  if (target == nullptr || target->baseType != tcClass) FailWith(ErTypeMismatch);
  const void* object = Load<const void*>(dest.data);
  const auto& className = static_cast<const TPSTypeRec_Class&>(*target).className;
  if (object == nullptr || !env.IsObjectOfClass(object, className)) FailWith(ErTypeMismatch);
}

}  // namespace

void CalculateValue(CalcOp op, ValueRef dest, ValueRef source, const ValueEnvironment& env) {
  if (op == CalcOp::As) {
    CheckClassCast(dest, source, env);
    return;
  }
  if (static_cast<std::uint8_t>(op) >= kCalcOpCount) FailWith(erInvalidOpcodeParameter);
  const TPSTypeCode code = dest.type->baseType;
  if (const std::optional<IntegerKind> kind = IntegerKindOf(code)) {
    CalculateIntegerValue(op, dest, FollowPointer(source), *kind);
    return;
  }
  switch (code) {
    case tcSingle: case tcDouble: case tcExtended: CalculateRealValue(op, dest, FollowPointer(source)); return;
    case tcCurrency: CalculateCurrencyValue(op, dest, FollowPointer(source)); return;
    case tcString: case tcPChar: AppendString(op, dest, FollowPointer(source)); return;
    case tcWideString: AppendWideString(op, dest, FollowPointer(source)); return;
    case tcChar: CalculateCharacter(op, dest, FollowPointer(source), kCharKind); return;
    case tcWideChar: CalculateCharacter(op, dest, FollowPointer(source), kWideCharKind); return;
    case tcVariant: CalculateVariantValue(op, dest, FollowPointer(source)); return;
    case tcSet: CalculateSet(op, dest, source); return;
    default: FailWith(ErTypeMismatch);
  }
}

}  // namespace dravik::engine
