#include <gtest/gtest.h>

#include "dk2/dk2.h"
#include "dk2_harness.h"

namespace dravik::dk2 {
namespace {

using harness::Dk2Result;
using harness::RunDk2;
using harness::ScratchFile;

constexpr std::string_view kScript =
    "var Count: Integer;\n"
    "begin\n"
    "  Count := 7;\n"
    "end.\n";

TEST(Dk2Dump, ScriptListingCarriesNamesAndStatementPositions) {
  ScratchFile script(".dk2", kScript);
  Dk2Result r = RunDk2({"dump", script.path()});
  ASSERT_EQ(r.status, kExitOk) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.rfind("image ", 0), 0u);
  EXPECT_NE(r.out.find("\ndebug output "), std::string::npos);
  EXPECT_NE(r.out.find("\ncode R0(!MAIN)\n  ; 3:3\n      0 OpAssign G0(Count), T"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(":tcS32(7)\n"), std::string::npos);
  EXPECT_EQ(r.out.find("\n!"), std::string::npos) << "a compiled image lists without problems";
}

TEST(Dk2Dump, ImageFileListsWithoutNames) {
  ScratchFile script(".dk2", kScript);
  ScratchFile image(".img");
  ASSERT_EQ(RunDk2({"compile", script.path(), "-o", image.path()}).status, kExitOk);
  Dk2Result r = RunDk2({"dump", "--image", image.path()});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.out.find("\ncode R0(!MAIN)\n      0 OpAssign G0, T"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("debug output"), std::string::npos);
}

TEST(Dk2Dump, FailedCompilationPrintsTheMessagesAsCheckDoes) {
  ScratchFile script(".dk2", "begin\n  x := 1;\nend.\n");
  Dk2Result dump = RunDk2({"dump", script.path()});
  EXPECT_EQ(dump.status, kExitScriptFailed);
  EXPECT_EQ(dump.out, RunDk2({"check", script.path()}).out);
  EXPECT_NE(dump.out.find("Unknown identifier"), std::string::npos);
}

TEST(Dk2Dump, ArbitraryBytesAsAnImageAreListedNotRefused) {
  ScratchFile image(".img", "QXRB not really an image");
  Dk2Result r = RunDk2({"dump", "--image", image.path()});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.out, "image 24 bytes\n! stopped at byte 0: erInvalidHeader: fewer than 28 bytes\n");
}

TEST(Dk2Dump, UsageErrors) {
  EXPECT_EQ(RunDk2({"dump"}).status, kExitUsage);
  EXPECT_EQ(RunDk2({"dump", "--image"}).status, kExitUsage);
  EXPECT_EQ(RunDk2({"dump", "a.dk2", "b.dk2"}).status, kExitUsage);
  EXPECT_EQ(RunDk2({"dump", "--image", "a", "b"}).status, kExitUsage);
  Dk2Result missing = RunDk2({"dump", "--image", "/nonexistent/dir/x.img"});
  EXPECT_EQ(missing.status, kExitUsage);
  EXPECT_NE(missing.err.find("cannot read"), std::string::npos);
}

}  // namespace
}  // namespace dravik::dk2
