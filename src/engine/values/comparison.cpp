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

namespace dravik::engine::values {

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
  return value.type != nullptr && (value.type->baseType == image::tcString || value.type->baseType == image::tcPChar);
}

std::partial_ordering CompareCurrency(ValueRef left, ValueRef right) {
  Extended b = ConvertToReal(right) * kCurrencyScale;
  return static_cast<Extended>(Load<std::int64_t>(left.data)) <=> b;
}

// Anything a variant operation throws is a type mismatch of the comparison, except running
// out of memory.
bool CompareVariant(image::CompareOp op, ValueRef left, ValueRef right) {
  try {
    if (right.data == nullptr) FailWith(image::ErTypeMismatch);
    if (right.type->baseType == image::tcVariant) return VariantCompare(op, left.data, right.data);
    ScopedVariant operand;
    ValueToVariant(operand.Data(), right);
    return VariantCompare(op, left.data, operand.Data());
  } catch (const ScriptFault& fault) {
    if (fault.Code() == image::erOutOfMemory) throw;
  } catch (const HostException&) {
  }
  FailWith(image::ErTypeMismatch);
}

// Sets: ">=" superset, "<=" subset, "=" and "<>" equality.
bool CompareSets(image::CompareOp op, ValueRef left, ValueRef right) {
  if (right.type != left.type) FailWith(image::ErTypeMismatch);
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
    case image::CompareOp::GreaterEqual: return !bHasMore;
    case image::CompareOp::LessEqual: return !aHasMore;
    case image::CompareOp::Equal: return !aHasMore && !bHasMore;
    case image::CompareOp::NotEqual: return aHasMore || bHasMore;
    default: FailWith(image::ErTypeMismatch);
  }
}

bool IsEqualityOp(image::CompareOp op) { return op == image::CompareOp::Equal || op == image::CompareOp::NotEqual; }

// Class and interface values: the same object.
bool CompareReferences(image::CompareOp op, ValueRef left, ValueRef right) {
  if (!IsEqualityOp(op) || right.type->baseType != left.type->baseType) FailWith(image::ErTypeMismatch);
  bool same = Load<const void*>(left.data) == Load<const void*>(right.data);
  return same == (op == image::CompareOp::Equal);
}

// Procedural values: the same script procedure, or the same method code.
bool CompareProcedures(image::CompareOp op, ValueRef left, ValueRef right) {
  if (!IsEqualityOp(op) || right.type->baseType != image::tcProcPtr) FailWith(image::ErTypeMismatch);
  auto bytes = [](ValueRef v) { return static_cast<const std::uint8_t*>(v.data); };
  auto procA = Load<std::uint32_t>(bytes(left) + ProcPtrLayout::kProcNo);
  auto procB = Load<std::uint32_t>(bytes(right) + ProcPtrLayout::kProcNo);
  auto codeA = Load<const void*>(bytes(left) + ProcPtrLayout::kCode);
  auto codeB = Load<const void*>(bytes(right) + ProcPtrLayout::kCode);
  bool same = procA == procB && (procA != 0 || codeA == codeB);
  return same == (op == image::CompareOp::Equal);
}

// The ordinal of an "in" left operand; ErTypeMismatch for a value that has none.
std::uint64_t OrdinalOf(ValueRef value) {
  if (const std::optional<IntegerKind> kind = IntegerKindOf(value.type->baseType))
    return LoadInteger(value.data, *kind);
  switch (value.type->baseType) {
    case image::tcChar: return Load<std::uint8_t>(value.data);
    case image::tcWideChar: return Load<std::uint16_t>(value.data);
    default: FailWith(image::ErTypeMismatch);
  }
}

bool InSet(ValueRef left, ValueRef right) {
  if (right.type->baseType != image::tcSet) FailWith(image::ErTypeMismatch);
  // A negative ordinal reads as a huge unsigned one and is out of range like any other.
  std::uint64_t ordinal = OrdinalOf(left);
  if (ordinal >= static_cast<const TPSTypeRec_Set&>(*right.type).bitCount) FailWith(image::erOutofRecordRange);
  std::uint8_t bits = static_cast<const std::uint8_t*>(right.data)[ordinal / 8];
  return (bits >> (ordinal % 8) & 1) != 0;
}

bool IsOfClass(ValueRef left, ValueRef right, const ValueEnvironment& env) {
  if (left.type->baseType != image::tcClass || right.type->baseType != image::tcU32) FailWith(image::ErTypeMismatch);
  const TPSTypeRec* target = env.TypeByNumber(Load<std::uint32_t>(right.data));
  if (target == nullptr || target->baseType != image::tcClass) FailWith(image::ErTypeMismatch);
  const void* object = Load<const void*>(left.data);
  return object != nullptr && env.IsObjectOfClass(object, static_cast<const TPSTypeRec_Class&>(*target).className);
}

// The three-way comparison of the ordered types, by the left operand's base type.
std::partial_ordering Order(ValueRef left, ValueRef right) {
  const image::TPSTypeCode code = left.type->baseType;
  if (code == image::tcU8 && IsByteString(right))
    return std::string(1, Load<char>(left.data)) <=> ConvertToString(right);
  if (const std::optional<IntegerKind> kind = IntegerKindOf(code)) return CompareIntegers(left, right, *kind);
  switch (code) {
    case image::tcSingle:
    case image::tcDouble:
    case image::tcExtended:
      return ConvertToReal(left) <=> ConvertToReal(right);
    case image::tcCurrency: return CompareCurrency(left, right);
    case image::tcChar:
      if (right.type->baseType == image::tcChar)
        return Load<std::uint8_t>(left.data) <=> Load<std::uint8_t>(right.data);
      return std::string(1, Load<char>(left.data)) <=> ConvertToString(right);
    case image::tcString: case image::tcPChar:
      // Byte strings compare in place; anything else is converted first.
      if (IsByteString(right)) return StringAt(left.data) <=> StringAt(right.data);
      return std::string(StringAt(left.data)) <=> ConvertToString(right);
    case image::tcWideChar: return std::u16string(1, Load<char16_t>(left.data)) <=> ConvertToWideString(right);
    case image::tcWideString: return std::u16string(WideStringAt(left.data)) <=> ConvertToWideString(right);
    default: FailWith(image::ErTypeMismatch);
  }
}

}  // namespace

bool CompareValues(image::CompareOp op, ValueRef left, ValueRef right, const ValueEnvironment& env) {
  if (static_cast<std::uint8_t>(op) >= image::kCompareOpCount) FailWith(image::erInvalidOpcodeParameter);
  if (op == image::CompareOp::In) return InSet(left, right);
  if (op == image::CompareOp::Is) return IsOfClass(left, right, env);
  switch (left.type->baseType) {
    case image::tcSet: return CompareSets(op, left, right);
    case image::tcClass: case image::tcInterface: return CompareReferences(op, left, right);
    case image::tcProcPtr: return CompareProcedures(op, left, right);
    case image::tcVariant: return CompareVariant(op, left, FollowPointer(right));
    default: return OrderingSatisfies(op, Order(left, FollowPointer(right)));
  }
}

}  // namespace dravik::engine::values
