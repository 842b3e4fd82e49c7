#include "engine/library/routine_call.h"

#include "engine/values/script_fault.h"

namespace dravik::engine {

namespace {

bool DeclarationHasShape(const std::string& declaration, RoutineShape shape) {
  return declaration.size() == std::size_t{shape.paramCount} + 1 &&
         (declaration[0] != kCallDeclProcedure) == shape.hasResult;
}

}  // namespace

std::optional<RoutineCall> RoutineCall::Open(TPSExec& exec, const TPSExternalProcRec& proc, TPSStack& stack,
                                             RoutineShape shape) {
  if (!DeclarationHasShape(proc.declaration, shape)) return std::nullopt;
  if (stack.Count() < std::size_t{shape.paramCount} + (shape.hasResult ? 1 : 0)) return std::nullopt;
  return RoutineCall(exec, proc.declaration, stack, shape);
}

ValueRef RoutineCall::Target(ValueRef pointer) {
  const ValueRef target = FollowPointer(pointer);
  if (target.data == nullptr || target.type == nullptr) FailWith(erNullPointerException);
  return target;
}

}  // namespace dravik::engine
