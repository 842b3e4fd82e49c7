// AnsiUppercase and AnsiLowercase by the system's rules, run as a script would call them.

#ifdef _WIN32

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "../../engine/compiler/compile_helper.h"
#include "engine/exec/exec.h"
#include "engine/values/value_access.h"
#include "platform/win32/system_ansi_case.h"

// Last: windows.h defines LoadImage as a macro, which must not reach the executor's declaration.
#include <windows.h>
#undef LoadImage

namespace dravik::platform {
namespace {

constexpr UINT kWesternCodePage = 1252;

TEST(SystemAnsiCase, ReplacesTheEngineTablesForScriptsLoadedAfterwards) {
  if (GetACP() != kWesternCodePage) GTEST_SKIP() << "expectations are written for code page 1252";
  const engine::testing::Compiled compiled = engine::testing::Compile(
      "begin Writeln(AnsiUppercase('a' + #233 + #255)); Writeln(AnsiLowercase('A' + #201 + #138)); end.");
  ASSERT_TRUE(compiled.ok);
  std::string out;
  engine::TPSExec exec;
  exec.RegisterHostFunction(
      [&out](engine::TPSExec&, std::span<const engine::ScriptValueRef> params, const engine::ScriptValueRef*) {
        out += engine::GetString(params[0].value) + "|";
        return true;
      },
      "WRITELN", engine::kRegisterConvention);
  RegisterSystemAnsiCase(exec);
  ASSERT_TRUE(exec.LoadImage(compiled.image));
  ASSERT_TRUE(exec.Run());
  EXPECT_EQ(out, "A\xC9\x9F|a\xE9\x9A|");
}

}  // namespace
}  // namespace dravik::platform

#endif  // _WIN32
