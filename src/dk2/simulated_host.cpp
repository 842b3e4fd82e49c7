#include "dk2/simulated_host.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <ostream>
#include <thread>

namespace dravik::dk2 {

void SimulatedHost::ExecuteFile(std::string fileName, std::string params, std::string defaultDir) {
  out << "ExecuteFile(\"" << fileName << "\", \"" << params << "\", \"" << defaultDir << "\")\n";
}

void SimulatedHost::MountFile(std::string fileName, std::int32_t drive) {
  out << "MountFile(\"" << fileName << "\", " << drive << ")\n";
  mountedFile = std::move(fileName);
}

void SimulatedHost::Wait(std::int32_t milliseconds) {
  milliseconds = std::min(milliseconds, kMaxWaitMilliseconds);
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

namespace {

struct PrintRoutine {
  std::string_view declaration;
  std::string_view boundName;
  bool lineEnd;
};

constexpr std::array<PrintRoutine, 2> kPrintRoutines = {{
    {"procedure Writeln(s: string)", "WRITELN", true},
    {"procedure Write(s: string)", "WRITE", false},
}};

}  // namespace

std::span<const std::string_view> SystemUnitDeclarations() {
  static const auto declarations = [] {
    std::array<std::string_view, core::kHostRoutines.size() + kPrintRoutines.size()> texts;
    const std::span<const std::string_view> program = core::HostRoutineDeclarations();
    auto next = std::copy(program.begin(), program.end(), texts.begin());
    for (const PrintRoutine& routine : kPrintRoutines) *next++ = routine.declaration;
    return texts;
  }();
  return declarations;
}

void BindSimulatedHost(engine::Script& script, SimulatedHost& host) {
  core::BindHostRoutines(script, host);
  for (const PrintRoutine& routine : kPrintRoutines) {
    script.Bind(routine.boundName, [&host, &routine](std::span<const engine::HostValue> params,
                                                    const engine::HostValue* result) {
      if (params.size() != 1 || result != nullptr) return false;
      host.out << params[0].Text();
      if (routine.lineEnd) host.out << "\n";
      return true;
    });
  }
}

}  // namespace dravik::dk2
