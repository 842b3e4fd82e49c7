#include "dk2/simulated_host.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <ostream>
#include <span>
#include <string_view>
#include <thread>

#include "core/script_host/cut_ext.h"
#include "core/script_host/host_routine_declarations.h"
#include "engine/exec/exec.h"
#include "engine/values/value_access.h"

namespace dravik::dk2 {

namespace {

using Params = std::span<const engine::ScriptValueRef>;
using engine::GetInt32;
using engine::GetString;

void ExecuteFile(SimulatedHost& host, Params params, const engine::ScriptValueRef*) {
  host.out << "ExecuteFile(\"" << GetString(params[0].value) << "\", \"" << GetString(params[1].value)
           << "\", \"" << GetString(params[2].value) << "\")\n";
}

void MountFile(SimulatedHost& host, Params params, const engine::ScriptValueRef*) {
  std::string file = GetString(params[0].value);
  host.out << "MountFile(\"" << file << "\", " << GetInt32(params[1].value) << ")\n";
  host.mountedFile = std::move(file);
}

void Wait(SimulatedHost&, Params params, const engine::ScriptValueRef*) {
  const std::int32_t milliseconds = std::min(GetInt32(params[0].value), kMaxWaitMilliseconds);
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void CutExt(SimulatedHost&, Params params, const engine::ScriptValueRef* result) {
  engine::SetString(result->value, core::CutExt(GetString(params[0].value)));
}

void GetMountedFile(SimulatedHost& host, Params, const engine::ScriptValueRef* result) {
  engine::SetString(result->value, host.mountedFile);
}

void Writeln(SimulatedHost& host, Params params, const engine::ScriptValueRef*) {
  host.out << GetString(params[0].value) << "\n";
}

void Write(SimulatedHost& host, Params params, const engine::ScriptValueRef*) {
  host.out << GetString(params[0].value);
}

struct Routine {
  std::string_view name;
  std::size_t parameterCount;
  bool hasResult;
  void (*run)(SimulatedHost& host, Params params, const engine::ScriptValueRef* result);
};

constexpr std::array<Routine, 7> kRoutines = {{
    {"EXECUTEFILE", 3, false, ExecuteFile},
    {"MOUNTFILE", 2, false, MountFile},
    {"WAIT", 1, false, Wait},
    {"CUTEXT", 1, true, CutExt},
    {"GETMOUNTEDFILE", 0, true, GetMountedFile},
    {"WRITELN", 1, false, Writeln},
    {"WRITE", 1, false, Write},
}};

constexpr bool BindsTheProgramsRoutinesFirst() {
  for (std::size_t i = 0; i < core::kHostRoutineDeclarations.size(); ++i)
    if (kRoutines[i].name != core::kHostRoutineDeclarations[i].boundName) return false;
  return true;
}
static_assert(BindsTheProgramsRoutinesFirst());

// An image need not come from dk2's compiler: its declaration of a routine may differ from ours.
bool Fits(const Routine& routine, Params params, const engine::ScriptValueRef* result) {
  return params.size() == routine.parameterCount && (result != nullptr) == routine.hasResult;
}

}  // namespace

void RegisterSimulatedHost(engine::TPSExec& exec, SimulatedHost& host) {
  for (const Routine& routine : kRoutines) {
    auto call = [&host, &routine](engine::TPSExec&, Params params, const engine::ScriptValueRef* result) {
      if (!Fits(routine, params, result)) return false;
      routine.run(host, params, result);
      return true;
    };
    exec.RegisterHostFunction(call, routine.name, engine::kRegisterConvention);
  }
}

}  // namespace dravik::dk2
