// dk2 run: the simulated host routines, the printed failures and the exit status of each.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "dk2/dk2.h"
#include "dk2/script_compilation.h"
#include "dk2_harness.h"

namespace dravik::dk2 {
namespace {

using harness::Dk2Result;
using harness::RunDk2;
using harness::ScratchFile;

Dk2Result RunScript(std::string_view text) {
  ScratchFile script(".dk2", text);
  return RunDk2({"run", script.path()});
}

Dk2Result RunImage(std::string_view image) {
  ScratchFile file(".img", image);
  return RunDk2({"run", "--image", file.path()});
}

TEST(Dk2Run, PrintsWhatTheHostRoutinesWouldDo) {
  Dk2Result r = RunScript(
      "begin\n"
      "  Write('mounted: ['); Write(getMountedFile); Writeln(']');\n"
      "  ExecuteFile('C:\\Tools\\x.exe', '-a', 'C:\\Tools\\');\n"
      "  MountFile('D:\\x.iso', 0);\n"
      "  Writeln('mounted: ' + getMountedFile);\n"
      "  MountFile(' E:\\y z.cue ', 3);\n"
      "  Writeln('mounted: [' + getMountedFile + ']');\n"
      "  Writeln(CutExt('D:\\Images\\x.Dk2') + ' ' + CutExt('abc.'));\n"
      "end.\n");
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "mounted: []\n"
            "ExecuteFile(\"C:\\Tools\\x.exe\", \"-a\", \"C:\\Tools\\\")\n"
            "MountFile(\"D:\\x.iso\", 0)\n"
            "mounted: D:\\x.iso\n"
            "MountFile(\" E:\\y z.cue \", 3)\n"
            "mounted: [ E:\\y z.cue ]\n"
            "DK2 BC.\n");
}

TEST(Dk2Run, WaitSleepsOnlyForPositiveTimes) {
  const auto start = std::chrono::steady_clock::now();
  Dk2Result r = RunScript("begin Wait(0); Wait(-5); Wait(-2147483647); Wait(30); Writeln('done'); end.");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.out, "done\n");
}

TEST(Dk2Run, CompileErrorsPrintAsCheckDoes) {
  Dk2Result r = RunScript("var x: Integer;\nbegin\n  x := foo;\nend.\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "[Error] (3:8): Unknown identifier 'foo'\n");
  EXPECT_EQ(r.err, "");
  // Hints of a script that compiled are not shown, as the program does not show them.
  Dk2Result hinted = RunScript("procedure P;\nvar i: Integer;\nbegin\nend;\nbegin\n  P;\nend.\n");
  EXPECT_EQ(hinted.status, kExitOk);
  EXPECT_EQ(hinted.out, "");
}

TEST(Dk2Run, RuntimeErrorNamesTheRoutineAndPosition) {
  Dk2Result r = RunScript(
      "var a, b: Integer;\n"
      "begin\n"
      "  Writeln('before');\n"
      "  a := 1; b := 0;\n"
      "  a := a div b;\n"
      "  Writeln('after');\n"
      "end.\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "before\n");
  // The main block is routine 0; 74 is where the instruction after the division starts.
  EXPECT_EQ(r.err, "Runtime error: divide by Zero (routine 0, position 74)\n");
}

TEST(Dk2Run, AnErrorTheScriptHandlesIsNoFailure) {
  Dk2Result r = RunScript(
      "var a, b: Integer;\n"
      "begin\n"
      "  b := 0;\n"
      "  try a := 1 div b; except Writeln('caught'); end;\n"
      "end.\n");
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.out, "caught\n");
  EXPECT_EQ(r.err, "");
}

TEST(Dk2Run, RunsAnImageFile) {
  Dk2Result r = RunImage(CompileScript("begin MountFile('a.iso', 1); end.").image);
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.out, "MountFile(\"a.iso\", 1)\n");
}

TEST(Dk2Run, ImagesThatDoNotLoad) {
  const std::string image = CompileScript("begin Writeln('x'); end.").image;
  Dk2Result truncated = RunImage(image.substr(0, 10));
  EXPECT_EQ(truncated.status, 3);
  EXPECT_EQ(truncated.out, "");
  EXPECT_EQ(truncated.err, "Load error: Invalid Header\n");

  std::string renamed = image;
  const std::size_t at = renamed.find("WRITELN");
  ASSERT_NE(at, std::string::npos);
  renamed.replace(at, 7, "UNKNOWN");
  Dk2Result unknown = RunImage(renamed);
  EXPECT_EQ(unknown.status, 3);
  EXPECT_EQ(unknown.err, "Load error: Cannot Import UNKNOWN\n");
}

TEST(Dk2Run, UsageErrors) {
  EXPECT_EQ(RunDk2({"run"}).status, kExitUsage);
  EXPECT_EQ(RunDk2({"run", "--image"}).status, kExitUsage);
  EXPECT_EQ(RunDk2({"run", "a.dk2", "b.dk2"}).status, kExitUsage);
  Dk2Result missing = RunDk2({"run", "/nonexistent/dir/none.dk2"});
  EXPECT_EQ(missing.status, kExitUsage);
  EXPECT_NE(missing.err.find("cannot read"), std::string::npos);
  EXPECT_EQ(RunDk2({"run", "--image", "/nonexistent/dir/none.img"}).status, kExitUsage);
  for (const char* bad : {"0", "", "12X", "-5", "1e6", "99999999999G"})
    EXPECT_EQ(RunDk2({"run", "--memory-limit", bad, "a.dk2"}).status, kExitUsage) << bad;
  EXPECT_EQ(RunDk2({"run", "--memory-limit", "1M"}).status, kExitUsage);
}

// The limit bounds what the script's values hold together, and holds for that run only.
TEST(Dk2Run, MemoryLimit) {
  ScratchFile script(".dk2",
                     "var a: array of array of Byte; i: Integer;\n"
                     "begin SetArrayLength(a, 8);\n"
                     "  for i := 0 to 7 do SetArrayLength(a[i], 1048576); Writeln('kept 8 MiB'); end.");
  Dk2Result small = RunDk2({"run", "--memory-limit", "4M", script.path()});
  EXPECT_EQ(small.status, kExitScriptFailed);
  EXPECT_NE(small.err.find("Out Of Memory"), std::string::npos) << small.err;
  EXPECT_EQ(RunDk2({"run", "--memory-limit", "9m", script.path()}).out, "kept 8 MiB\n");
  EXPECT_EQ(RunDk2({"run", script.path()}).out, "kept 8 MiB\n");
}

}  // namespace
}  // namespace dravik::dk2
