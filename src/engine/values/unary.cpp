// The unary operators: boolean not, negation, integer not, increment and decrement, in place.
#include <cstdint>
#include <limits>

#include "engine/values/integer_kinds.h"
#include "engine/values/operators.h"
#include "engine/values/script_fault.h"
#include "engine/values/value_memory.h"
#include "engine/values/variant.h"

namespace dravik::engine::values {

namespace {

IntegerKind IntegerKindOrFail(const TPSTypeRec& type) {
  const std::optional<IntegerKind> kind = IntegerKindOf(type.baseType);
  if (!kind) FailWith(image::ErTypeMismatch);
  return *kind;
}

// A variant operation that fails in any way but running out of memory is a type mismatch.
template <class Operation>
void OnVariant(void* at, Operation operation) {
  try {
    operation(at);
    return;
  } catch (const ScriptFault& fault) {
    if (fault.Code() == image::erOutOfMemory) throw;
  } catch (const HostException&) {
  }
  FailWith(image::ErTypeMismatch);
}

template <class Real>
void NegateReal(void* at) {
  Store(at, -Load<Real>(at));
}

// Scaled currency has no fraction to round, so negation is exact; the most negative value has
// no counterpart and overflows as currency arithmetic does.
void NegateCurrency(void* at) {
  auto scaled = Load<std::int64_t>(at);
  if (scaled == std::numeric_limits<std::int64_t>::min()) FailWith(image::ErMathError);
  Store(at, -scaled);
}

void AddToInteger(ValueRef value, std::uint64_t amount) {
  IntegerKind kind = IntegerKindOrFail(*value.type);
  StoreInteger(value.data, kind, LoadInteger(value.data, kind) + amount);
}

}  // namespace

void BooleanNotValue(ValueRef value) {
  if (value.type->baseType == image::tcVariant) {
    OnVariant(value.data, VariantBooleanNot);
    return;
  }
  IntegerKind kind = IntegerKindOrFail(*value.type);
  StoreInteger(value.data, kind, LoadInteger(value.data, kind) == 0 ? 1 : 0);
}

void NegateValue(ValueRef value) {
  switch (value.type->baseType) {
    case image::tcSingle: NegateReal<float>(value.data); return;
    case image::tcDouble: NegateReal<double>(value.data); return;
    case image::tcExtended: StoreExtended(value.data, -LoadExtended(value.data)); return;
    case image::tcCurrency: NegateCurrency(value.data); return;
    case image::tcVariant: OnVariant(value.data, VariantNegate); return;
    default: break;
  }
  IntegerKind kind = IntegerKindOrFail(*value.type);
  StoreInteger(value.data, kind, 0 - LoadInteger(value.data, kind));
}

void IntegerNotValue(ValueRef value) {
  if (value.type->baseType == image::tcVariant) {
    OnVariant(value.data, VariantIntegerNot);
    return;
  }
  IntegerKind kind = IntegerKindOrFail(*value.type);
  StoreInteger(value.data, kind, ~LoadInteger(value.data, kind));
}

void IncrementValue(ValueRef value) { AddToInteger(value, 1); }
void DecrementValue(ValueRef value) { AddToInteger(value, ~std::uint64_t{0}); }

}  // namespace dravik::engine::values
