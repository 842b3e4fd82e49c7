#include "engine/library/array_length.h"

#include "engine/library/routine_call.h"
#include "engine/values/script_fault.h"
#include "engine/values/value_access.h"

namespace dravik::engine {

namespace {

constexpr RoutineShape kGetLengthShape{1, true};
constexpr RoutineShape kSetLengthShape{2, false};

bool IsDynamicArray(ValueRef value) { return value.type->baseType == tcArray; }

const TPSTypeRec& ElementTypeOf(ValueRef array) {
  return *static_cast<const TPSTypeRec_Array*>(array.type)->element;
}

}  // namespace

bool GetArrayLengthRoutine(TPSExec& exec, TPSExternalProcRec& proc, TPSStack&, TPSStack& stack) {
  const std::optional<RoutineCall> call = RoutineCall::Open(exec, proc, stack, kGetLengthShape);
  if (!call) return false;
  const ValueRef array = call->Param(0);
  if (!IsDynamicArray(array)) return false;
  SetInt32(call->Result(), static_cast<std::int32_t>(ArrayLengthAt(array.data)));
  return true;
}

bool SetArrayLengthRoutine(TPSExec& exec, TPSExternalProcRec& proc, TPSStack&, TPSStack& stack) {
  const std::optional<RoutineCall> call = RoutineCall::Open(exec, proc, stack, kSetLengthShape);
  if (!call) return false;
  const ValueRef array = call->Param(0);
  if (!IsDynamicArray(array)) return false;
  const std::int32_t count = GetInt32(call->Param(1));
  if (count < 0) FailWith(ErOutOfRange);
  SetArrayLengthAt(array.data, ElementTypeOf(array), static_cast<std::uint32_t>(count));
  return true;
}

}  // namespace dravik::engine
