#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "dk2/dk2.h"

namespace dravik::dk2 {
namespace {

namespace fs = std::filesystem;

struct Result {
  int status;
  std::string out;
  std::string err;
};

Result RunDk2(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = Run(args, out, err);
  return {status, out.str(), err.str()};
}

// A scratch file named after the running test, removed at the end of the test.
class TempFile {
 public:
  TempFile(std::string_view suffix, std::string_view bytes = {})
      : path_(fs::temp_directory_path() /
              ("dk2_dump_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
               std::string(suffix))) {
    std::ofstream(path_, std::ios::binary) << bytes;
  }
  ~TempFile() { fs::remove(path_); }
  std::string path() const { return path_.string(); }

 private:
  fs::path path_;
};

constexpr std::string_view kScript =
    "var Count: Integer;\n"
    "begin\n"
    "  Count := 7;\n"
    "end.\n";

TEST(Dk2Dump, ScriptListingCarriesNamesAndStatementPositions) {
  TempFile script(".dk2", kScript);
  Result r = RunDk2({"dump", script.path()});
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
  TempFile script(".dk2", kScript);
  TempFile image(".img");
  ASSERT_EQ(RunDk2({"compile", script.path(), "-o", image.path()}).status, kExitOk);
  Result r = RunDk2({"dump", "--image", image.path()});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.out.find("\ncode R0(!MAIN)\n      0 OpAssign G0, T"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("debug output"), std::string::npos);
}

TEST(Dk2Dump, FailedCompilationPrintsTheMessagesAsCheckDoes) {
  TempFile script(".dk2", "begin\n  x := 1;\nend.\n");
  Result dump = RunDk2({"dump", script.path()});
  EXPECT_EQ(dump.status, kExitScriptFailed);
  EXPECT_EQ(dump.out, RunDk2({"check", script.path()}).out);
  EXPECT_NE(dump.out.find("Unknown identifier"), std::string::npos);
}

TEST(Dk2Dump, ArbitraryBytesAsAnImageAreListedNotRefused) {
  TempFile image(".img", "QXRB not really an image");
  Result r = RunDk2({"dump", "--image", image.path()});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.out, "image 24 bytes\n! stopped at byte 0: erInvalidHeader: fewer than 28 bytes\n");
}

TEST(Dk2Dump, UsageErrors) {
  EXPECT_EQ(RunDk2({"dump"}).status, kExitUsage);
  EXPECT_EQ(RunDk2({"dump", "--image"}).status, kExitUsage);
  EXPECT_EQ(RunDk2({"dump", "a.dk2", "b.dk2"}).status, kExitUsage);
  EXPECT_EQ(RunDk2({"dump", "--image", "a", "b"}).status, kExitUsage);
  Result missing = RunDk2({"dump", "--image", "/nonexistent/dir/x.img"});
  EXPECT_EQ(missing.status, kExitUsage);
  EXPECT_NE(missing.err.find("cannot read"), std::string::npos);
}

}  // namespace
}  // namespace dravik::dk2
