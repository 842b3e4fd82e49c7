// Every script of the golden corpora that compiles is also loaded and run, with the host
// routines stubbed and an instruction budget: whatever the script does, the run must end with
// success or a runtime error, never with a crash or a sanitizer report, and a successful run
// must leave nothing on the main stack. The images the fuzzer once found troublesome
// (tests/data/fuzz_regressions) run the same way.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "../../dk2/golden_corpus.h"
#include "dk2/script_compilation.h"
#include "engine/exec/exec.h"

namespace dravik::engine::exec {
namespace {

constexpr std::uint32_t kInstructionBudget = 20000;
constexpr std::string_view kStubbedRoutines[] = {"EXECUTEFILE", "MOUNTFILE", "WAIT",   "CUTEXT",
                                                 "GETMOUNTEDFILE", "WRITELN", "WRITE"};

struct CorpusTally {
  int compiled = 0;
  int loaded = 0;
  int succeeded = 0;
};

void RunImage(const std::string& image, const std::string& path, CorpusTally& tally) {
  TPSExec exec;
  for (std::string_view name : kStubbedRoutines)
    exec.RegisterHostFunction([](TPSExec&, auto, auto) { return true; }, name, kRegisterConvention);
  if (!exec.Load(image)) return;
  ++tally.loaded;
  std::uint32_t steps = 0;
  exec.OnRunLine = [&steps](TPSExec& e) {
    if (++steps > kInstructionBudget) e.Halt();
  };
  if (exec.Run()) {
    ++tally.succeeded;
    EXPECT_EQ(exec.MainStack().Count(), 0u) << path;
  } else {
    EXPECT_NE(exec.Status(), ExecStatus::kRunning) << path;
  }
}

void RunCase(const std::string& path, CorpusTally& tally) {
  std::string text;
  ASSERT_TRUE(dk2::golden::ReadWholeFile(path, text)) << path;
  const engine::CompileResult compilation = dk2::CompileScript(text);
  if (!compilation.ok) return;
  ++tally.compiled;
  RunImage(compilation.image, path, tally);
}

TEST(CorpusRun, EveryCompiledCorpusScriptRunsToAnEnd) {
  CorpusTally tally;
  for (std::string_view folder : {"check", "dump"}) {
    const std::string dir = dk2::golden::CorpusDir(folder);
    for (const std::string& name : dk2::golden::CaseNames(dir))
      RunCase(dk2::golden::CasePath(dir, name, dk2::golden::kScriptExtension), tally);
  }
  EXPECT_GT(tally.compiled, 100);
  EXPECT_GT(tally.loaded, 50);
  EXPECT_GT(tally.succeeded, 30);
  std::printf("corpus: %d compiled, %d loaded, %d ran successfully\n", tally.compiled, tally.loaded,
              tally.succeeded);
}

TEST(CorpusRun, FuzzRegressionImagesRunToAnEnd) {
  namespace fs = std::filesystem;
  CorpusTally tally;
  std::error_code error;
  for (fs::directory_iterator it(fs::path(dk2::golden::CorpusDir("fuzz_regressions")), error), end;
       !error && it != end; it.increment(error)) {
    std::string image;
    ASSERT_TRUE(dk2::golden::ReadWholeFile(it->path().string(), image));
    RunImage(image, it->path().string(), tally);
  }
  EXPECT_FALSE(error);
  EXPECT_GE(tally.loaded, 2);
}

}  // namespace
}  // namespace dravik::engine::exec
