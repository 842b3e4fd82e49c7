// dk2 check and dk2 compile: messages, exit statuses and the written image.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "dk2/dk2.h"
#include "dk2/script_compilation.h"

namespace dravik::dk2 {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome RunDk2(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = Run(args, out, err);
  return {status, out.str(), err.str()};
}

// A scratch path named after the running test, removed at the end of the test.
class ScratchFile {
 public:
  explicit ScratchFile(std::string_view suffix)
      : path_(fs::temp_directory_path() /
              ("dk2_check_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
               std::string(suffix))) {}
  ~ScratchFile() { fs::remove(path_); }
  std::string Write(std::string_view bytes) const {
    std::ofstream(path_, std::ios::binary) << bytes;
    return path_.string();
  }
  std::string Read() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::string path() const { return path_.string(); }

 private:
  fs::path path_;
};

TEST(Dk2Check, PrintsTheErrorAndFails) {
  ScratchFile script(".dk2");
  Outcome r = RunDk2({"check", script.Write("var x: Integer;\nbegin\n  x := foo;\nend.\n")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "[Error] (3:8): Unknown identifier 'foo'\n");
  EXPECT_EQ(r.err, "");
}

TEST(Dk2Check, HintsAloneStillCompile) {
  ScratchFile script(".dk2");
  Outcome r = RunDk2({"check", script.Write("procedure P;\nvar i: Integer;\nbegin\nend;\nbegin\n  P;\nend.\n")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "[Hint] (2:15): Variable 'I' never used\n");
}

TEST(Dk2Check, TheHostRoutinesAndPrintingAreDeclared) {
  ScratchFile script(".dk2");
  Outcome r = RunDk2({"check", script.Write(
      "begin\n  ExecuteFile('a', 'b', 'c'); MountFile(getMountedFile, 1); Wait(10);\n"
      "  Writeln(CutExt('x.iso')); Write('');\nend.\n")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(RunDk2({"check", script.Write("uses Other;\nbegin end.")}).status, 1);
}

TEST(Dk2Check, MissingFileIsAUsageError) {
  Outcome r = RunDk2({"check", "/nonexistent/dir/none.dk2"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("cannot read"), std::string::npos);
}

TEST(Dk2Compile, WritesTheImageOnlyWhenItCompiled) {
  ScratchFile script(".dk2");
  ScratchFile image(".img");
  const std::string text = "var s: string;\nbegin s := 'x'; Writeln(s); end.";
  Outcome ok = RunDk2({"compile", script.Write(text), "-o", image.path()});
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(image.Read(), CompileScript(text).image);
  EXPECT_EQ(image.Read().substr(0, 4), "QXRB");

  fs::remove(image.path());
  Outcome failed = RunDk2({"compile", script.Write("begin x; end."), "-o", image.path()});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.out, "[Error] (1:7): Unknown identifier 'x'\n");
  EXPECT_FALSE(fs::exists(image.path()));
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
