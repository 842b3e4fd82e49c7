#pragma once
// One call of a built-in routine as the machine makes it: the result (for a function) in the top
// slot of the main stack, the first parameter below it, the second below that, and so on; a var
// parameter's slot is a pointer to the caller's variable.

#include <cstddef>
#include <optional>

#include "engine/exec/exec.h"
#include "engine/library/builtin_routines.h"

namespace dravik::engine::library {

class RoutineCall {
 public:
  // Nothing when the image's call declaration or the stack does not have the shape: a routine
  // bound by name in a hand-made image must not read slots that are not its own.
  static std::optional<RoutineCall> Open(exec::TPSExec& exec, const exec::TPSExternalProcRec& proc,
                                         exec::TPSStack& stack, RoutineShape shape);

  // Parameter i (from 0) as it lies in its slot.
  values::ValueRef Slot(std::size_t i) const {
    return stack_.FromTop((shape_.hasResult ? -2 : -1) - static_cast<std::ptrdiff_t>(i));
  }
  // Parameter i with a pointer followed to the variable it refers to; a null pointer throws
  // ScriptFault(erNullPointerException).
  values::ValueRef Param(std::size_t i) const { return Variable(Slot(i)); }
  // The caller's result variable.
  values::ValueRef Result() const { return Variable(stack_.FromTop(-1)); }
  // Whether the image's call declaration passes parameter i by reference.
  bool ByReference(std::size_t i) const { return declaration_[i + 1] != image::kCallDeclByValue; }

  exec::TPSExec& exec;

 private:
  RoutineCall(exec::TPSExec& exec, const std::string& declaration, exec::TPSStack& stack, RoutineShape shape)
      : exec(exec), declaration_(declaration), stack_(stack), shape_(shape) {}

  // Called for every parameter of every call: only a pointer slot leaves the inline path.
  static values::ValueRef Variable(values::ValueRef slot) {
    return slot.type->baseType == image::tcPointer ? Target(slot) : slot;
  }
  static values::ValueRef Target(values::ValueRef pointer);

  const std::string& declaration_;
  exec::TPSStack& stack_;
  RoutineShape shape_;
};

}  // namespace dravik::engine::library
