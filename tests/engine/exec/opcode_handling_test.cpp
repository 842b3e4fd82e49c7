// The map of where each opcode is handled against what the interpreter and the translator do:
// an opcode the interpreter does not know, or one the map calls translated that the translator
// never translates (or the other way round), fails here.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "../image/test_image.h"
#include "dk2/script_compilation.h"
#include "dk2/simulated_host.h"
#include "engine/exec/exec.h"
#include "engine/exec/opcode_handling.h"
#include "engine/engine.h"

namespace dravik::engine::exec {
namespace {

namespace fs = std::filesystem;

// Each opcode followed by zero bytes (operands of variable 0, zero displacements) and a return:
// whatever the operands make of it, the interpreter must not find the opcode unknown.
TEST(OpcodeHandling, TheInterpreterKnowsEveryOpcode) {
  for (const OpcodeHandling& row : kOpcodeHandling) {
    test::TestImage image;
    image.AddType(test::Byte(image::tcS32));
    image.AddVariable(0);
    image.AddScriptRoutine("!MAIN", "-1", test::Byte(row.opcode) + std::string(24, '\0') + test::Byte(image::OpReturn));
    image.mainProc = 0;
    TPSExec exec;
    exec.OnRunLine = [](TPSExec&) {};  // from the bytes
    ASSERT_TRUE(exec.Load(image.Build())) << row.interpreter;
    exec.LimitTicks(10);
    exec.Run();
    EXPECT_NE(exec.LastError(), image::erInvalidOpcode) << image::kOpcodes[&row - kOpcodeHandling.data()].name;
  }
}

// Every end-to-end script runs in the register form; the opcodes its translations met are
// gathered: the ones the map leaves to reference steps were never translated, and every one
// it calls translated was, somewhere.
TEST(OpcodeHandling, TheTranslatorFollowsTheMap) {
  const MemoryLimitScope limit(64u << 20);  // the suite has a script that fills the budget
  std::uint32_t translated = 0;
  std::uint32_t referenced = 0;
  const fs::path root = fs::path(DRAVIK_TEST_DATA_DIR).parent_path() / "e2e";
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.path().extension() != ".dk2") continue;
    std::ifstream file(entry.path(), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    const engine::CompileResult compilation = dk2::CompileScript(text);
    if (!compilation.ok) continue;
    std::ostringstream out;
    dk2::SimulatedHost host{out};
    Script script;
    dk2::BindSimulatedHost(script, host);
    TPSExec& exec = script.Executor();
    exec.LimitTicks(1'000'000);
    ASSERT_TRUE(exec.Load(compilation.image)) << entry.path();
    exec.Run();
    for (const auto& proc : exec.Procs()) {
      const auto* internal = dynamic_cast<const TPSInternalProcRec*>(proc.get());
      // A procedure whose stack differs between paths that meet stays in byte code.
      if (internal == nullptr || internal->registerCode == nullptr) continue;
      translated |= internal->registerCode->translatedOpcodes;
      referenced |= internal->registerCode->referenceOpcodes;
    }
  }
  for (std::size_t i = 0; i < kOpcodeHandling.size(); ++i) {
    const OpcodeHandling& row = kOpcodeHandling[i];
    const std::uint32_t bit = OpcodeBit(row.opcode);
    if (row.registerForm == RegisterHandling::kReferenceStep) {
      EXPECT_EQ(translated & bit, 0u) << image::kOpcodes[i].name << " is left to reference steps";
    } else if ((referenced & bit) != 0) {
      EXPECT_NE(translated & bit, 0u) << image::kOpcodes[i].name << " is translated (" << row.translator << ")";
    }
  }
  // The suite reaches the opcodes that matter for speed.
  for (image::Opcode opcode : {image::OpAssign, image::OpCalculate, image::OpPushVar, image::OpPop, image::OpCall,
                               image::OpGoto, image::OpJumpIfFalse, image::OpReturn, image::OpPushType,
                               image::OpCompare, image::OpSetPointer, image::OpIncrement})
    EXPECT_NE(translated & OpcodeBit(opcode), 0u) << int{opcode};
}

}  // namespace
}  // namespace dravik::engine::exec
