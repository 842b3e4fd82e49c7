#include "core/script_host/script_host.h"

#include <array>
#include <span>

#include "core/messages.h"
#include "core/script_host/cut_ext.h"
#include "core/script_host/host_routine_declarations.h"
#include "engine/compiler/compiler.h"
#include "engine/exec/exec.h"
#include "engine/image/debug_info.h"
#include "engine/image/runtime_error.h"
#include "engine/values/value_access.h"

namespace dravik::core {

namespace {

using Params = std::span<const engine::ScriptValueRef>;
using engine::GetInt32;
using engine::GetString;

struct BoundRoutine {
  std::size_t parameterCount;
  bool hasResult;
  void (*call)(HostRoutines& routines, Params params, const engine::ScriptValueRef* result);
};

// In the order of kHostRoutineDeclarations, whose bound names they take.
constexpr std::array<BoundRoutine, kHostRoutineDeclarations.size()> kBoundRoutines = {{
    {3, false,
     [](HostRoutines& r, Params p, const engine::ScriptValueRef*) {
       r.ExecuteFile(GetString(p[0].value), GetString(p[1].value), GetString(p[2].value));
     }},
    {2, false,
     [](HostRoutines& r, Params p, const engine::ScriptValueRef*) {
       r.MountFile(GetString(p[0].value), GetInt32(p[1].value));
     }},
    {1, false, [](HostRoutines& r, Params p, const engine::ScriptValueRef*) { r.Wait(GetInt32(p[0].value)); }},
    {1, true,
     [](HostRoutines&, Params p, const engine::ScriptValueRef* result) {
       engine::SetString(result->value, CutExt(GetString(p[0].value)));
     }},
    {0, true,
     [](HostRoutines& r, Params, const engine::ScriptValueRef* result) {
       engine::SetString(result->value, r.getMountedFile());
     }},
}};

// An image's declaration of a routine is checked against ours before the call: a mismatch is
// the script's error (erCouldNotCallProc), not a crash.
void BindHostRoutines(engine::TPSExec& exec, HostRoutines& routines) {
  for (std::size_t i = 0; i < kBoundRoutines.size(); ++i) {
    const BoundRoutine& routine = kBoundRoutines[i];
    auto call = [&routines, &routine](engine::TPSExec&, Params params, const engine::ScriptValueRef* result) {
      if (params.size() != routine.parameterCount || (result != nullptr) != routine.hasResult) return false;
      routine.call(routines, params, result);
      return true;
    };
    exec.RegisterHostFunction(call, kHostRoutineDeclarations[i].boundName, engine::kRegisterConvention);
  }
}

std::string CompileMessages(const engine::TPSPascalCompiler& compiler) {
  std::string text = std::string(kErrorWhileCompiling) + "\r\n";
  for (std::size_t i = 0; i < compiler.MessageCount(); ++i) text += compiler.Message(i).FullText() + "\r\n";
  return text;
}

struct Compiled {
  std::string image;
  std::string debugOutput;
};

// Boxes shown while a script runs let the window thread handle its messages meanwhile.
void ShowError(std::string_view text, Platform& platform, ScriptRuns& runs) {
  const ScriptRuns::Responsive showing(runs);
  platform.messageBoxes.ShowError(kErrorCaption, text);
}

// The image, or nothing when the text did not compile (the messages have been shown then).
std::optional<Compiled> Compile(std::string_view text, Platform& platform, ScriptRuns& runs) {
  engine::TPSPascalCompiler compiler;
  compiler.OnUses = DeclareHostRoutines;
  if (!compiler.Compile(text)) {
    ShowError(CompileMessages(compiler), platform, runs);
    return std::nullopt;
  }
  Compiled compiled;
  compiler.GetOutput(compiled.image);
  compiled.debugOutput = compiler.DebugOutput();
  return compiled;
}

// The statement of routine procNo whose code holds the instruction that failed: the last one the
// compiler recorded before position, which is where the machine stood once it had read the
// failing instruction. Of statements that begin at the same place, the inner one comes last.
std::optional<ScriptPlace> PlaceOf(std::string_view debugOutput, std::int32_t procNo, std::uint32_t position) {
  const std::uint32_t failedAt = position == 0 ? 0 : position - 1;
  const engine::DebugInfo debug = engine::ReadDebugInfo(debugOutput);
  const engine::DebugStatement* found = nullptr;
  for (const engine::DebugStatement& statement : debug.statements) {
    if (static_cast<std::int32_t>(statement.routine) != procNo || statement.position > failedAt) continue;
    if (found == nullptr || statement.position >= found->position) found = &statement;
  }
  if (found == nullptr) return std::nullopt;
  return ScriptPlace{found->line, found->column};
}

std::string RuntimeErrorText(const std::string& scriptPath, const engine::TPSExec& exec, std::string_view debugOutput) {
  return ErrorWhileRunning(scriptPath, PlaceOf(debugOutput, exec.LastErrorProcNo(), exec.LastErrorPosition()),
                           engine::ErrorToText(exec.LastError(), exec.LastErrorParameter()));
}

bool RunAsOneOf(ScriptRuns& runs, engine::TPSExec& exec, const std::string& scriptPath) {
  const ScriptRuns::Running running(runs, exec, scriptPath);
  return exec.Run();
}

}  // namespace

bool DeclareHostRoutines(engine::TPSPascalCompiler& compiler, const std::string& unitName) {
  if (unitName != kSystemUnitName) return false;
  AddHostRoutineDeclarations(compiler);
  return true;
}

bool CompileAndRun(const ScriptFile& script, HostRoutines& routines, Platform& platform, ScriptRuns& runs) {
  const std::optional<Compiled> compiled = Compile(script.text, platform, runs);
  if (!compiled) return false;
  engine::TPSExec exec;
  BindHostRoutines(exec, routines);
  if (platform.registerSystemRoutines) platform.registerSystemRoutines(exec);
  if (!exec.LoadImage(compiled->image)) return false;
  const bool ran = RunAsOneOf(runs, exec, script.path);
  // A stop by the user is no error to tell of.
  if (!ran && !exec.StopRequested())
    ShowError(RuntimeErrorText(script.path, exec, compiled->debugOutput), platform, runs);
  return ran;
}

ScriptFile ReadScriptFile(Files& files, std::string_view path) {
  TextFileRead read = files.ReadText(path);
  if (!read.ok) throw Failure(CannotOpenFile(path, read.reason));
  // Every line ends in carriage return and line feed, whichever of the three line ends it had.
  std::string text;
  text.reserve(read.text.size() + 2);
  for (std::size_t i = 0; i < read.text.size(); ++i) {
    const char c = read.text[i];
    if (c != '\r' && c != '\n') {
      text += c;
      continue;
    }
    if (c == '\r' && i + 1 < read.text.size() && read.text[i + 1] == '\n') ++i;
    text += "\r\n";
  }
  if (!text.empty() && text.back() != '\n') text += "\r\n";
  return {std::string(path), std::move(text)};
}

}  // namespace dravik::core
