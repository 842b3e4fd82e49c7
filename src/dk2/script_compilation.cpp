#include "dk2/script_compilation.h"

#include <array>

#include "core/script_host/host_routine_declarations.h"
#include "engine/compiler/compiler.h"

namespace dravik::dk2 {

namespace {

// What dk2 adds to the application's routines so that scripts can print.
constexpr std::array<std::string_view, 2> kPrintRoutines = {
    "procedure Writeln(s: string)",
    "procedure Write(s: string)",
};

bool DeclareSystemUnit(engine::TPSPascalCompiler& compiler, const std::string& unit) {
  if (unit != core::kSystemUnitName) return false;
  core::AddHostRoutineDeclarations(compiler);
  for (std::string_view declaration : kPrintRoutines) compiler.AddHostRoutine(declaration);
  return true;
}

}  // namespace

Compilation CompileScript(std::string_view text) {
  engine::TPSPascalCompiler compiler;
  compiler.OnUses = DeclareSystemUnit;
  Compilation result;
  result.ok = compiler.Compile(text);
  for (std::size_t i = 0; i < compiler.MessageCount(); ++i)
    result.messages.push_back(compiler.Message(i).FullText());
  if (result.ok) compiler.GetOutput(result.image);
  result.debugOutput = compiler.DebugOutput();
  return result;
}

}  // namespace dravik::dk2
