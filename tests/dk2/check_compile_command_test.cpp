// dk2 check and dk2 compile: messages, exit statuses and the written image.

#include <gtest/gtest.h>

#include <filesystem>

#include "dk2/dk2.h"
#include "dk2/script_compilation.h"
#include "dk2_harness.h"

namespace dravik::dk2 {
namespace {

using harness::Dk2Result;
using harness::RunDk2;
using harness::ScratchFile;

TEST(Dk2Check, PrintsTheErrorAndFails) {
  ScratchFile script(".dk2");
  Dk2Result r = RunDk2({"check", script.Write("var x: Integer;\nbegin\n  x := foo;\nend.\n")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "[Error] (3:8): Unknown identifier 'foo'\n");
  EXPECT_EQ(r.err, "");
}

TEST(Dk2Check, HintsAloneStillCompile) {
  ScratchFile script(".dk2");
  Dk2Result r = RunDk2({"check", script.Write("procedure P;\nvar i: Integer;\nbegin\nend;\nbegin\n  P;\nend.\n")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "[Hint] (2:15): Variable 'I' never used\n");
}

TEST(Dk2Check, TheHostRoutinesAndPrintingAreDeclared) {
  ScratchFile script(".dk2");
  Dk2Result r = RunDk2({"check", script.Write(
      "begin\n  ExecuteFile('a', 'b', 'c'); MountFile(getMountedFile, 1); Wait(10);\n"
      "  Writeln(CutExt('x.iso')); Write('');\nend.\n")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(RunDk2({"check", script.Write("uses Other;\nbegin end.")}).status, 1);
}

TEST(Dk2Check, MissingFileIsAUsageError) {
  Dk2Result r = RunDk2({"check", "/nonexistent/dir/none.dk2"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("cannot read"), std::string::npos);
}

TEST(Dk2Compile, WritesTheImageOnlyWhenItCompiled) {
  ScratchFile script(".dk2");
  ScratchFile image(".img");
  const std::string text = "var s: string;\nbegin s := 'x'; Writeln(s); end.";
  Dk2Result ok = RunDk2({"compile", script.Write(text), "-o", image.path()});
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(image.Read(), CompileScript(text).image);
  EXPECT_EQ(image.Read().substr(0, 4), "QXRB");

  std::filesystem::remove(image.path());
  Dk2Result failed = RunDk2({"compile", script.Write("begin x; end."), "-o", image.path()});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.out, "[Error] (1:7): Unknown identifier 'x'\n");
  EXPECT_FALSE(std::filesystem::exists(image.path()));
}

TEST(Dk2Compile, UsageErrors) {
  ScratchFile script(".dk2");
  script.Write("begin end.");
  EXPECT_EQ(RunDk2({"compile", script.path()}).status, 2);
  EXPECT_EQ(RunDk2({"compile", script.path(), "-x", "out.img"}).status, 2);
  EXPECT_EQ(RunDk2({"compile", script.path(), "-o", "/nonexistent/dir/out.img"}).status, 2);
}

}  // namespace
}  // namespace dravik::dk2
