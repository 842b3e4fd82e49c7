#include "engine/library/routine_call.h"

#include "engine/values/script_fault.h"

namespace dravik::engine::library {

namespace {

bool DeclarationHasShape(const std::string& declaration, RoutineShape shape) {
  return declaration.size() == std::size_t{shape.paramCount} + 1 &&
         (declaration[0] != image::kCallDeclProcedure) == shape.hasResult;
}

}  // namespace

std::optional<RoutineCall> RoutineCall::Open(exec::TPSExec& exec, const exec::TPSExternalProcRec& proc,
                                             exec::TPSStack& stack, RoutineShape shape) {
  if (!DeclarationHasShape(proc.declaration, shape)) return std::nullopt;
  if (stack.Count() < std::size_t{shape.paramCount} + (shape.hasResult ? 1 : 0)) return std::nullopt;
  return RoutineCall(exec, proc.declaration, stack, shape);
}

values::ValueRef RoutineCall::Target(values::ValueRef pointer) {
  const values::ValueRef target = values::FollowPointer(pointer);
  if (target.data == nullptr || target.type == nullptr) values::FailWith(image::erNullPointerException);
  return target;
}

}  // namespace dravik::engine::library
