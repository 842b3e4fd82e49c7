// The register form must mean exactly what the byte code means. Scripts and images run twice: in
// the register form, and from the bytes one instruction at a time (a step hook makes the machine
// take that path). Output, error, where the error was reported and what was left on the stack must
// agree. Both runs stop after the same number of backward jumps, calls and try blocks entered, so
// scripts that never end are compared too. The end-to-end scripts run with dk2's host routines; the
// golden corpus and the fuzzer's troublesome images with stubs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "../../../fuzz/both_ways.h"
#include "../../dk2/golden_corpus.h"
#include "dk2/script_compilation.h"
#include "dk2/simulated_host.h"
#include "engine/engine.h"
#include "engine/exec/exec.h"

namespace dravik::engine::exec {
namespace {

namespace fs = std::filesystem;

// The golden corpus and the fuzz images run until these many backward jumps, calls and try blocks
// entered (stopping part-way must happen at the same place both ways); the end-to-end scripts all
// end by themselves.
constexpr std::uint64_t kCorpusTicks[] = {3, 17, 20000};
constexpr std::uint64_t kScriptTicks[] = {7, 100, 100'000'000};

using fuzz::Path;

// One way's run: how it ended and all it printed.
struct Outcome {
  fuzz::RunEnd end;
  std::string output;

  bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& outcome, std::ostream* out) {
  const fuzz::RunEnd& end = outcome.end;
  *out << (end.succeeded ? "succeeded" : "failed") << ", error " << static_cast<int>(end.error) << " '"
       << end.parameter << "' at routine " << end.procNo << " position " << end.position << ", stack "
       << end.stackCount << ", output:\n"
       << outcome.output;
}

using HostSetup = std::function<void(Script&, dk2::SimulatedHost& host)>;

// Runs image one way; what the script's values held must all be given back once the script has
// gone, whichever way it ended.
Outcome RunImage(const std::string& image, const HostSetup& setup, Path path, std::uint64_t ticks) {
  const std::uint64_t memoryBefore = MemoryInUse();
  std::ostringstream out;
  Outcome outcome{fuzz::RunOneWay(image, path, ticks, out, setup), {}};
  outcome.output = out.str();
  EXPECT_EQ(MemoryInUse(), memoryBefore) << "value memory kept after the script went";
  return outcome;
}

std::string ReadFile(const fs::path& path) {
  std::string text;
  EXPECT_TRUE(dk2::golden::ReadWholeFile(path.string(), text)) << path;
  return text;
}

TEST(RegisterForm, RunsEveryEndToEndScriptAsTheByteCodeDoes) {
  const HostSetup dk2Host = [](Script& script, dk2::SimulatedHost& host) { dk2::BindSimulatedHost(script, host); };
  std::vector<fs::path> scripts;
  const fs::path root = fs::path(DRAVIK_TEST_DATA_DIR).parent_path() / "e2e";
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.path().extension() == ".dk2") scripts.push_back(entry.path());
  std::sort(scripts.begin(), scripts.end());
  int compared = 0;
  for (const fs::path& script : scripts) {
    const engine::CompileResult compilation = dk2::CompileScript(ReadFile(script));
    if (!compilation.ok) continue;
    SCOPED_TRACE(script.string());
    for (std::uint64_t ticks : kScriptTicks)
      EXPECT_EQ(RunImage(compilation.image, dk2Host, Path::kRegisterForm, ticks),
                RunImage(compilation.image, dk2Host, Path::kByteCode, ticks))
          << "stopped after " << ticks;
    ++compared;
  }
  EXPECT_GE(compared, 100);
}

void CompareOnImage(const std::string& image, const std::string& name, int& compared) {
  const HostSetup stubs = [](Script& script, dk2::SimulatedHost&) {
    for (std::string_view routine : {"EXECUTEFILE", "MOUNTFILE", "WAIT", "CUTEXT", "GETMOUNTEDFILE", "WRITELN", "WRITE"})
      script.Bind(routine, [](auto, auto) { return true; });
  };
  SCOPED_TRACE(name);
  for (std::uint64_t ticks : kCorpusTicks)
    EXPECT_EQ(RunImage(image, stubs, Path::kRegisterForm, ticks), RunImage(image, stubs, Path::kByteCode, ticks))
        << "stopped after " << ticks;
  ++compared;
}

TEST(RegisterForm, RunsTheCorpusAndTheFuzzImagesAsTheByteCodeDoes) {
  int compared = 0;
  for (std::string_view folder : {"check", "dump"}) {
    const std::string dir = dk2::golden::CorpusDir(folder);
    for (const std::string& name : dk2::golden::CaseNames(dir)) {
      const std::string path = dk2::golden::CasePath(dir, name, dk2::golden::kScriptExtension);
      const engine::CompileResult compilation = dk2::CompileScript(ReadFile(path));
      if (compilation.ok) CompareOnImage(compilation.image, path, compared);
    }
  }
  for (const auto& entry : fs::directory_iterator(dk2::golden::CorpusDir("fuzz_regressions")))
    CompareOnImage(ReadFile(entry.path()), entry.path().string(), compared);
  EXPECT_GE(compared, 100);
}

}  // namespace
}  // namespace dravik::engine::exec
