#include "engine/library/notification_variant.h"

#include "engine/library/routine_call.h"
#include "engine/values/value_access.h"
#include "engine/values/variant.h"

namespace dravik::engine::library {

namespace {

constexpr RoutineShape kSetShape{2, false};
constexpr RoutineShape kGetShape{1, true};

bool IsVariant(values::ValueRef value) { return value.type->baseType == image::tcVariant; }

}  // namespace

bool NotificationVariantSetRoutine(exec::TPSExec& exec, exec::TPSExternalProcRec& proc, exec::TPSStack&,
                                   exec::TPSStack& stack) {
  const std::optional<RoutineCall> call = RoutineCall::Open(exec, proc, stack, kSetShape);
  if (!call || !exec.OnNotificationVariantSet) return false;
  const values::ValueRef value = call->Param(1);
  if (!IsVariant(value)) return false;
  exec.OnNotificationVariantSet(exec, values::GetString(call->Param(0)), value);
  return true;
}

// The event fills a fresh variant rather than the result itself, so that what it leaves behind
// on failure never reaches the script.
bool NotificationVariantGetRoutine(exec::TPSExec& exec, exec::TPSExternalProcRec& proc, exec::TPSStack&,
                                   exec::TPSStack& stack) {
  const std::optional<RoutineCall> call = RoutineCall::Open(exec, proc, stack, kGetShape);
  if (!call || !exec.OnNotificationVariantGet) return false;
  const values::ValueRef result = call->Result();
  if (!IsVariant(result)) return false;
  values::ScopedVariant fresh;
  exec.OnNotificationVariantGet(exec, values::GetString(call->Param(0)), {fresh.Data(), &exec.VariantType()});
  values::CopyVariant(result.data, fresh.Data());
  return true;
}

}  // namespace dravik::engine::library
