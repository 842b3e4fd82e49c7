#include "core/script_host/script_host.h"

#include <array>
#include <span>

#include "core/messages.h"
#include "core/script_host/cut_ext.h"
#include "core/script_host/host_routine_declarations.h"
#include "engine/compiler/compiler.h"
#include "engine/exec/exec.h"
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

// The image, or nothing when the text did not compile (the messages have been shown then).
std::optional<std::string> Compile(std::string_view text, MessageBoxes& messageBoxes) {
  engine::TPSPascalCompiler compiler;
  compiler.OnUses = DeclareHostRoutines;
  if (!compiler.Compile(text)) {
    messageBoxes.ShowError(kErrorCaption, CompileMessages(compiler));
    return std::nullopt;
  }
  std::string image;
  compiler.GetOutput(image);
  return image;
}

}  // namespace

bool DeclareHostRoutines(engine::TPSPascalCompiler& compiler, const std::string& unitName) {
  if (unitName != kSystemUnitName) return false;
  AddHostRoutineDeclarations(compiler);
  return true;
}

void CompileAndRun(std::string_view text, HostRoutines& routines, Platform& platform) {
  const std::optional<std::string> image = Compile(text, platform.messageBoxes);
  if (!image) return;
  engine::TPSExec exec;
  BindHostRoutines(exec, routines);
  if (platform.registerSystemRoutines) platform.registerSystemRoutines(exec);
  if (exec.LoadImage(*image)) exec.Run();
}

std::string ReadScriptFile(Files& files, std::string_view path) {
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
  return text;
}

}  // namespace dravik::core
