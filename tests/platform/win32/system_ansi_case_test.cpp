// AnsiUppercase and AnsiLowercase by the system's rules, run as a script would call them.

#ifdef _WIN32

#include <gtest/gtest.h>

#include <span>
#include <string>

#include <windows.h>

#include "engine/engine.h"
#include "platform/win32/system_ansi_case.h"

namespace dravik::platform {
namespace {

constexpr UINT kWesternCodePage = 1252;

TEST(SystemAnsiCase, ReplacesTheEngineTablesForScriptsLoadedAfterwards) {
  if (GetACP() != kWesternCodePage) GTEST_SKIP() << "expectations are written for code page 1252";
  constexpr std::string_view kWriteln[] = {"procedure Writeln(s: string)"};
  const engine::HostUnit system{"SYSTEM", kWriteln};
  const engine::CompileResult compiled = engine::Compile(
      "begin Writeln(AnsiUppercase('a' + #233 + #255)); Writeln(AnsiLowercase('A' + #201 + #138)); end.",
      std::span(&system, 1));
  ASSERT_TRUE(compiled.ok);
  std::string out;
  engine::Script script;
  script.Bind("WRITELN", [&out](std::span<const engine::HostValue> params, const engine::HostValue*) {
    out += params[0].Text() + "|";
    return true;
  });
  BindSystemAnsiCase(script);
  ASSERT_TRUE(script.Load(compiled.image));
  ASSERT_TRUE(script.Run());
  EXPECT_EQ(out, "A\xC9\x9F|a\xE9\x9A|");
}

}  // namespace
}  // namespace dravik::platform

#endif  // _WIN32
