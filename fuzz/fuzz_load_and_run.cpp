// Arbitrary bytes as a compiled image into an executor that binds the program's five host
// routines and dk2's print routines as routines that do nothing; an image that loads is run
// under an instruction budget, so that endless loops end. Whatever the bytes, loading and
// running must end cleanly: every fault a runtime error, no sanitizer report.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/script_host/host_routine_declarations.h"
#include "engine/exec/exec.h"

namespace {

using dravik::engine::ScriptValueRef;
using dravik::engine::TPSExec;

constexpr std::uint32_t kInstructionBudget = 100000;

// Besides the program's routines, what the seed images (compiled by dk2) import.
constexpr std::string_view kPrintRoutineNames[] = {"WRITELN", "WRITE"};

bool DoNothing(TPSExec&, std::span<const ScriptValueRef>, const ScriptValueRef*) { return true; }

void RegisterHostRoutines(TPSExec& exec) {
  for (const auto& routine : dravik::core::kHostRoutineDeclarations)
    exec.RegisterHostFunction(DoNothing, routine.boundName, dravik::engine::kRegisterConvention);
  for (std::string_view name : kPrintRoutineNames)
    exec.RegisterHostFunction(DoNothing, name, dravik::engine::kRegisterConvention);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TPSExec exec;
  RegisterHostRoutines(exec);
  if (!exec.LoadImage(std::string_view(reinterpret_cast<const char*>(data), size))) return 0;
  std::uint32_t steps = 0;
  exec.OnRunLine = [&steps](TPSExec& running) {
    if (++steps >= kInstructionBudget) running.Halt();
  };
  exec.Run();
  return 0;
}
