#include "engine/library/array_length.h"

#include "engine/library/routine_call.h"
#include "engine/values/script_fault.h"
#include "engine/values/value_access.h"

namespace dravik::engine::library {

namespace {

constexpr RoutineShape kGetLengthShape{1, true};
constexpr RoutineShape kSetLengthShape{2, false};

bool IsDynamicArray(values::ValueRef value) { return value.type->baseType == image::tcArray; }

const values::TPSTypeRec& ElementTypeOf(values::ValueRef array) {
  return *static_cast<const values::TPSTypeRec_Array*>(array.type)->element;
}

}  // namespace

bool GetArrayLengthRoutine(exec::TPSExec& exec, exec::TPSExternalProcRec& proc, exec::TPSStack&,
                           exec::TPSStack& stack) {
  const std::optional<RoutineCall> call = RoutineCall::Open(exec, proc, stack, kGetLengthShape);
  if (!call) return false;
  const values::ValueRef array = call->Param(0);
  if (!IsDynamicArray(array)) return false;
  values::SetInt32(call->Result(), static_cast<std::int32_t>(values::ArrayLengthAt(array.data)));
  return true;
}

bool SetArrayLengthRoutine(exec::TPSExec& exec, exec::TPSExternalProcRec& proc, exec::TPSStack&,
                           exec::TPSStack& stack) {
  const std::optional<RoutineCall> call = RoutineCall::Open(exec, proc, stack, kSetLengthShape);
  if (!call) return false;
  const values::ValueRef array = call->Param(0);
  if (!IsDynamicArray(array)) return false;
  const std::int32_t count = values::GetInt32(call->Param(1));
  if (count < 0) values::FailWith(image::ErOutOfRange);
  values::SetArrayLengthAt(array.data, ElementTypeOf(array), static_cast<std::uint32_t>(count));
  return true;
}

}  // namespace dravik::engine::library
