#include "core/script_host/script_host.h"

#include <optional>
#include <span>

#include "core/messages.h"
#include "engine/engine.h"

namespace dravik::core {

namespace {

// Boxes shown while a script runs let the window thread handle its messages meanwhile.
void ShowError(std::string_view text, Platform& platform, ScriptRuns& runs) {
  const ScriptRuns::Responsive showing(runs);
  platform.messageBoxes.ShowError(kErrorCaption, text);
}

std::string CompileMessages(const engine::CompileResult& compilation) {
  std::string text = std::string(kErrorWhileCompiling) + "\r\n";
  for (const std::string& message : compilation.messages) text += message + "\r\n";
  return text;
}

std::string RuntimeErrorText(const std::string& scriptPath, const engine::RunError& error, std::string_view debugOutput) {
  return ErrorWhileRunning(scriptPath, engine::SourcePlaceOf(debugOutput, error.procNo, error.position), error.text);
}

bool RunAsOneOf(ScriptRuns& runs, engine::Script& script, const std::string& scriptPath) {
  const ScriptRuns::Running running(runs, script, scriptPath);
  return script.Run();
}

}  // namespace

engine::CompileResult CompileWithHostRoutines(std::string_view text) {
  const engine::HostUnit system{kSystemUnitName, HostRoutineDeclarations()};
  return engine::Compile(text, std::span(&system, 1));
}

bool CompileAndRun(const ScriptFile& script, HostRoutines& routines, Platform& platform, ScriptRuns& runs) {
  const engine::CompileResult compiled = CompileWithHostRoutines(script.text);
  if (!compiled.ok) {
    ShowError(CompileMessages(compiled), platform, runs);
    return false;
  }
  engine::Script run;
  BindHostRoutines(run, routines);
  if (platform.registerSystemRoutines) platform.registerSystemRoutines(run);
  if (!run.Load(compiled.image)) return false;
  const bool ran = RunAsOneOf(runs, run, script.path);
  // A stop by the user is no error to tell of.
  if (!ran && !run.StopRequested()) ShowError(RuntimeErrorText(script.path, run.LastError(), compiled.debugOutput), platform, runs);
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
