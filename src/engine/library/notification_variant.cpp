#include "engine/library/notification_variant.h"

#include "engine/library/routine_call.h"
#include "engine/values/value_access.h"
#include "engine/values/variant.h"

namespace dravik::engine {

namespace {

constexpr RoutineShape kSetShape{2, false};
constexpr RoutineShape kGetShape{1, true};

bool IsVariant(ValueRef value) { return value.type->baseType == tcVariant; }

}  // namespace

bool NotificationVariantSetRoutine(TPSExec& exec, TPSExternalProcRec& proc, TPSStack&, TPSStack& stack) {
  const std::optional<RoutineCall> call = RoutineCall::Open(exec, proc, stack, kSetShape);
  if (!call || !exec.OnNotificationVariantSet) return false;
  const ValueRef value = call->Param(1);
  if (!IsVariant(value)) return false;
  exec.OnNotificationVariantSet(exec, GetString(call->Param(0)), value);
  return true;
}

// The event fills a fresh variant rather than the result itself, so that what it leaves behind
// on failure never reaches the script.
bool NotificationVariantGetRoutine(TPSExec& exec, TPSExternalProcRec& proc, TPSStack&, TPSStack& stack) {
  const std::optional<RoutineCall> call = RoutineCall::Open(exec, proc, stack, kGetShape);
  if (!call || !exec.OnNotificationVariantGet) return false;
  const ValueRef result = call->Result();
  if (!IsVariant(result)) return false;
  ScopedVariant fresh;
  exec.OnNotificationVariantGet(exec, GetString(call->Param(0)), {fresh.Data(), &exec.VariantType()});
  CopyVariant(result.data, fresh.Data());
  return true;
}

}  // namespace dravik::engine
