// Arbitrary bytes as a script, compiled as `dk2 run` compiles it (the unit "SYSTEM" with the
// program's host routines, Writeln and Write); what compiles is loaded into an executor with
// dk2's simulated host and run under an instruction budget, so that endless loops end. The
// compiler, the loader, the machine and the runtime library are fuzzed together on the code
// the compiler really writes. Whatever the text, this must end cleanly: every fault a compile
// message or a runtime error, no sanitizer report. An image the compiler wrote must load,
// unless it calls a built-in routine that has no runtime side.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <span>
#include <string_view>

#include "dk2/script_compilation.h"
#include "dk2/simulated_host.h"
#include "engine/exec/exec.h"

namespace {

using dravik::engine::ScriptValueRef;
using dravik::engine::TPSExec;

constexpr std::uint32_t kInstructionBudget = 100000;

// Replaces the simulated host's Wait, which sleeps: a fuzzer must not.
bool WaitWithoutSleeping(TPSExec&, std::span<const ScriptValueRef> params, const ScriptValueRef* result) {
  return params.size() == 1 && result == nullptr;
}

void Run(const std::string& image) {
  std::ostream discarded(nullptr);  // printing goes nowhere: a stream without a buffer
  dravik::dk2::SimulatedHost host{discarded, {}};
  TPSExec exec;
  dravik::dk2::RegisterSimulatedHost(exec, host);
  exec.RegisterHostFunction(WaitWithoutSleeping, "WAIT", dravik::engine::kRegisterConvention);
  if (!exec.LoadImage(image)) {
    if (exec.LastError() != dravik::engine::erCannotImport) std::abort();
    return;
  }
  std::uint32_t steps = 0;
  exec.OnRunLine = [&steps](TPSExec& running) {
    if (++steps >= kInstructionBudget) running.Halt();
  };
  exec.Run();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const dravik::dk2::Compilation compilation =
      dravik::dk2::CompileScript(std::string_view(reinterpret_cast<const char*>(data), size));
  if (compilation.ok) Run(compilation.image);
  return 0;
}
