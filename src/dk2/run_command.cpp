#include <ostream>

#include "dk2/dk2.h"
#include "dk2/script_compilation.h"
#include "dk2/simulated_host.h"
#include "dk2/source_file.h"
#include "engine/exec/exec.h"
#include "engine/image/runtime_error.h"

#ifdef _WIN32
#include "platform/win32/system_ansi_case.h"
#endif

namespace dravik::dk2 {

namespace {

constexpr std::string_view kImageOption = "--image";

// run tells apart the three ways a script can fail: it stopped on a runtime error (check's
// failure status), the compiler refused it (the status of a bad command line: nothing could
// run), or its image did not load.
constexpr int kExitCompileFailed = kExitUsage;
constexpr int kExitRuntimeError = kExitScriptFailed;
constexpr int kExitLoadFailed = 3;

std::string LastErrorText(const engine::TPSExec& exec) {
  return engine::ErrorToText(exec.LastError(), exec.LastErrorParameter());
}

int LoadAndRun(const std::string& image, std::ostream& out, std::ostream& err) {
  SimulatedHost host{out, {}};  // outlives the executor, which calls into it
  engine::TPSExec exec;
  RegisterSimulatedHost(exec, host);
#ifdef _WIN32
  platform::RegisterSystemAnsiCase(exec);
#endif
  if (!exec.LoadImage(image)) {
    err << "Load error: " << LastErrorText(exec) << "\n";
    return kExitLoadFailed;
  }
  if (exec.Run()) return kExitOk;
  err << "Runtime error: " << LastErrorText(exec) << " (routine " << exec.LastErrorProcNo() << ", position "
      << exec.LastErrorPosition() << ")\n";
  return kExitRuntimeError;
}

int RunImageFile(const std::string& path, std::ostream& out, std::ostream& err) {
  std::optional<std::string> image = ReadSourceFile(path, err);
  if (!image) return kExitUsage;
  return LoadAndRun(*image, out, err);
}

// As the program does, hints and warnings of a script that compiled are not shown.
int RunScriptFile(const std::string& path, std::ostream& out, std::ostream& err) {
  std::optional<std::string> text = ReadSourceFile(path, err);
  if (!text) return kExitUsage;
  const Compilation compilation = CompileScript(*text);
  if (!compilation.ok) {
    for (const std::string& line : compilation.messages) out << line << "\n";
    return kExitCompileFailed;
  }
  return LoadAndRun(compilation.image, out, err);
}

}  // namespace

int RunCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  if (words.size() == 1 && words[0] != kImageOption) return RunScriptFile(words[0], out, err);
  if (words.size() == 2 && words[0] == kImageOption) return RunImageFile(words[1], out, err);
  err << "dk2: run takes FILE or --image IMAGE\n";
  return kExitUsage;
}

}  // namespace dravik::dk2
