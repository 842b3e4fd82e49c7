// The comparison rules of OpCompare, by the left operand's base type.
#include <compare>
#include <cstring>
#include <string>

#include "engine/values/assignment_conversion.h"
#include "engine/values/integer_kinds.h"
#include "engine/values/operators.h"
#include "engine/values/ordering.h"
#include "engine/values/real_arithmetic.h"
#include "engine/values/script_fault.h"
#include "engine/values/variant.h"

namespace dravik::engine {

namespace {

std::partial_ordering CompareIntegers(ValueRef left, ValueRef right, IntegerKind kind) {
  auto a = static_cast<std::int64_t>(LoadInteger(left.data, kind));
  if (kind.bits == 64) return a <=> ConvertToInt64(right);
  // Narrower kinds compare as 32-bit numbers of their signedness, the right operand cut to
  // 32 bits as an assignment to such a number would cut it.
  auto b = static_cast<std::uint32_t>(ConvertToOrdinal(right));
  if (!kind.isSigned) return static_cast<std::uint32_t>(a) <=> b;
  return static_cast<std::int32_t>(a) <=> static_cast<std::int32_t>(b);
}

bool IsByteString(ValueRef value) {
  return value.type != nullptr && (value.type->baseType == tcString || value.type->baseType == tcPChar);
}

std::partial_ordering CompareCurrency(ValueRef left, ValueRef right) {
  Extended b = ConvertToReal(right) * kCurrencyScale;
  return static_cast<Extended>(Load<std::int64_t>(left.data)) <=> b;
}

// Anything a variant operation throws is a type mismatch of the comparison, except running
// out of memory.
bool CompareVariant(CompareOp op, ValueRef left, ValueRef right) {
  try {
    if (right.data == nullptr) FailWith(ErTypeMismatch);
    if (right.type->baseType == tcVariant) return VariantCompare(op, left.data, right.data);
    ScopedVariant operand;
    ValueToVariant(operand.Data(), right);
    return VariantCompare(op, left.data, operand.Data());
  } catch (const ScriptFault& fault) {
    if (fault.Code() == erOutOfMemory) throw;
  } catch (const HostException&) {
  }
  FailWith(ErTypeMismatch);
}

// Sets: ">=" superset, "<=" subset, "=" and "<>" equality.
bool CompareSets(CompareOp op, ValueRef left, ValueRef right) {
  if (right.type != left.type) FailWith(ErTypeMismatch);
  const auto* a = static_cast<const std::uint8_t*>(left.data);
  const auto* b = static_cast<const std::uint8_t*>(right.data);
  std::uint32_t bytes = static_cast<const TPSTypeRec_Set&>(*left.type).byteSize;
  bool aHasMore = false;
  bool bHasMore = false;
  for (std::uint32_t i = 0; i < bytes; ++i) {
    aHasMore = aHasMore || (a[i] & ~b[i]) != 0;
    bHasMore = bHasMore || (b[i] & ~a[i]) != 0;
  }
  switch (op) {
    case CompareOp::GreaterEqual: return !bHasMore;
    case CompareOp::LessEqual: return !aHasMore;
    case CompareOp::Equal: return !aHasMore && !bHasMore;
    case CompareOp::NotEqual: return aHasMore || bHasMore;
    default: FailWith(ErTypeMismatch);
  }
}

bool IsEqualityOp(CompareOp op) { return op == CompareOp::Equal || op == CompareOp::NotEqual; }

// Class and interface values: the same object.
bool CompareReferences(CompareOp op, ValueRef left, ValueRef right) {
  if (!IsEqualityOp(op) || right.type->baseType != left.type->baseType) FailWith(ErTypeMismatch);
  bool same = Load<const void*>(left.data) == Load<const void*>(right.data);
  return same == (op == CompareOp::Equal);
}

// Procedural values: the same script procedure, or the same method code.
bool CompareProcedures(CompareOp op, ValueRef left, ValueRef right) {
  if (!IsEqualityOp(op) || right.type->baseType != tcProcPtr) FailWith(ErTypeMismatch);
  auto bytes = [](ValueRef v) { return static_cast<const std::uint8_t*>(v.data); };
  auto procA = Load<std::uint32_t>(bytes(left) + ProcPtrLayout::kProcNo);
  auto procB = Load<std::uint32_t>(bytes(right) + ProcPtrLayout::kProcNo);
  auto codeA = Load<const void*>(bytes(left) + ProcPtrLayout::kCode);
  auto codeB = Load<const void*>(bytes(right) + ProcPtrLayout::kCode);
  bool same = procA == procB && (procA != 0 || codeA == codeB);
  return same == (op == CompareOp::Equal);
}

// The ordinal of an "in" left operand; ErTypeMismatch for a value that has none.
std::uint64_t OrdinalOf(ValueRef value) {
  if (const std::optional<IntegerKind> kind = IntegerKindOf(value.type->baseType))
    return LoadInteger(value.data, *kind);
  switch (value.type->baseType) {
    case tcChar: return Load<std::uint8_t>(value.data);
    case tcWideChar: return Load<std::uint16_t>(value.data);
    default: FailWith(ErTypeMismatch);
  }
}

bool InSet(ValueRef left, ValueRef right) {
  if (right.type->baseType != tcSet) FailWith(ErTypeMismatch);
  // A negative ordinal reads as a huge unsigned one and is out of range like any other.
  std::uint64_t ordinal = OrdinalOf(left);
  if (ordinal >= static_cast<const TPSTypeRec_Set&>(*right.type).bitCount) FailWith(erOutofRecordRange);
  std::uint8_t bits = static_cast<const std::uint8_t*>(right.data)[ordinal / 8];
  return (bits >> (ordinal % 8) & 1) != 0;
}

bool IsOfClass(ValueRef left, ValueRef right, const ValueEnvironment& env) {
  if (left.type->baseType != tcClass || right.type->baseType != tcU32) FailWith(ErTypeMismatch);
  const TPSTypeRec* target = env.TypeByNumber(Load<std::uint32_t>(right.data));
  if (target == nullptr || target->baseType != tcClass) FailWith(ErTypeMismatch);
  const void* object = Load<const void*>(left.data);
  return object != nullptr && env.IsObjectOfClass(object, static_cast<const TPSTypeRec_Class&>(*target).className);
}

// The three-way comparison of the ordered types, by the left operand's base type.
std::partial_ordering Order(ValueRef left, ValueRef right) {
  const TPSTypeCode code = left.type->baseType;
  if (code == tcU8 && IsByteString(right))
    return std::string(1, Load<char>(left.data)) <=> ConvertToString(right);
  if (const std::optional<IntegerKind> kind = IntegerKindOf(code)) return CompareIntegers(left, right, *kind);
  switch (code) {
    case tcSingle: case tcDouble: case tcExtended: return ConvertToReal(left) <=> ConvertToReal(right);
    case tcCurrency: return CompareCurrency(left, right);
    case tcChar:
      if (right.type->baseType == tcChar) return Load<std::uint8_t>(left.data) <=> Load<std::uint8_t>(right.data);
      return std::string(1, Load<char>(left.data)) <=> ConvertToString(right);
    case tcString: case tcPChar:
      // Byte strings compare in place; anything else is converted first.
      if (IsByteString(right)) return StringAt(left.data) <=> StringAt(right.data);
      return std::string(StringAt(left.data)) <=> ConvertToString(right);
    case tcWideChar: return std::u16string(1, Load<char16_t>(left.data)) <=> ConvertToWideString(right);
    case tcWideString: return std::u16string(WideStringAt(left.data)) <=> ConvertToWideString(right);
    default: FailWith(ErTypeMismatch);
  }
}

}  // namespace

bool CompareValues(CompareOp op, ValueRef left, ValueRef right, const ValueEnvironment& env) {
  if (static_cast<std::uint8_t>(op) >= kCompareOpCount) FailWith(erInvalidOpcodeParameter);
  if (op == CompareOp::In) return InSet(left, right);
  if (op == CompareOp::Is) return IsOfClass(left, right, env);
  switch (left.type->baseType) {
    case tcSet: return CompareSets(op, left, right);
    case tcClass: case tcInterface: return CompareReferences(op, left, right);
    case tcProcPtr: return CompareProcedures(op, left, right);
    case tcVariant: return CompareVariant(op, left, FollowPointer(right));
    default: return OrderingSatisfies(op, Order(left, FollowPointer(right)));
  }
}

}  // namespace dravik::engine
