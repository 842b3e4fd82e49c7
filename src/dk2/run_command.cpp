#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>

#include "dk2/dk2.h"
#include "dk2/script_compilation.h"
#include "dk2/simulated_host.h"
#include "dk2/source_file.h"
#include "engine/engine.h"

#ifdef _WIN32
#include "platform/win32/system_ansi_case.h"
#endif

namespace dravik::dk2 {

namespace {

constexpr std::string_view kImageOption = "--image";
constexpr std::string_view kMemoryLimitOption = "--memory-limit";
constexpr std::string_view kUsage = "dk2: run takes [--memory-limit BYTES[K|M|G]] FILE or --image IMAGE\n";

// run tells apart the three ways a script can fail: it stopped on a runtime error (check's
// failure status), the compiler refused it (the status of a bad command line: nothing could
// run), or its image did not load.
constexpr int kExitCompileFailed = kExitUsage;
constexpr int kExitRuntimeError = kExitScriptFailed;
constexpr int kExitLoadFailed = 3;

int LoadAndRun(const std::string& image, std::ostream& out, std::ostream& err) {
  SimulatedHost host{out};  // outlives the script, which calls into it
  engine::Script script;
  BindSimulatedHost(script, host);
#ifdef _WIN32
  platform::BindSystemAnsiCase(script);
#endif
  if (!script.Load(image)) {
    err << "Load error: " << script.LastError().text << "\n";
    return kExitLoadFailed;
  }
  if (script.Run()) return kExitOk;
  const engine::RunError error = script.LastError();
  err << "Runtime error: " << error.text << " (routine " << error.procNo << ", position " << error.position << ")\n";
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
  const engine::CompileResult compilation = CompileScript(*text);
  if (!compilation.ok) {
    for (const std::string& line : compilation.messages) out << line << "\n";
    return kExitCompileFailed;
  }
  return LoadAndRun(compilation.image, out, err);
}

// A count of bytes, with an optional binary K, M or G; nothing on an unreadable or zero count.
std::optional<std::uint64_t> ParseByteCount(std::string_view text) {
  int shift = 0;
  if (!text.empty()) {
    switch (text.back()) {
      case 'K': case 'k': shift = 10; break;
      case 'M': case 'm': shift = 20; break;
      case 'G': case 'g': shift = 30; break;
      default: break;
    }
  }
  if (shift != 0) text.remove_suffix(1);
  std::uint64_t count = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  if (count == 0 || count > (std::numeric_limits<std::uint64_t>::max() >> shift)) return std::nullopt;
  return count << shift;
}

}  // namespace

int RunCommand(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
  std::vector<std::string> operands = words;
  std::uint64_t limit = engine::kDefaultMemoryLimit;
  if (operands.size() >= 2 && operands[0] == kMemoryLimitOption) {
    const std::optional<std::uint64_t> given = ParseByteCount(operands[1]);
    if (!given) {
      err << "dk2: --memory-limit wants a positive number of bytes, such as 512M or 2G\n";
      return kExitUsage;
    }
    limit = *given;
    operands.erase(operands.begin(), operands.begin() + 2);
  }
  const engine::MemoryLimitScope scope(limit);
  if (operands.size() == 1 && operands[0] != kImageOption && operands[0] != kMemoryLimitOption)
    return RunScriptFile(operands[0], out, err);
  if (operands.size() == 2 && operands[0] == kImageOption) return RunImageFile(operands[1], out, err);
  err << kUsage;
  return kExitUsage;
}

}  // namespace dravik::dk2
