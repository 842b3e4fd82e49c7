#include "dk2/dk2.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace dravik::dk2 {
namespace {

namespace fs = std::filesystem;

struct Result {
  int status;
  std::string out;
  std::string err;
};

Result RunDk2(std::vector<std::string> args) {
  std::ostringstream out, err;
  int status = Run(args, out, err);
  return {status, out.str(), err.str()};
}

class ScriptFile {
 public:
  explicit ScriptFile(std::string_view text)
      : path_(fs::temp_directory_path() /
              ("dk2_test_" + std::to_string(counter_++) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".dk2")) {
    std::ofstream(path_, std::ios::binary) << text;
  }
  ~ScriptFile() { fs::remove(path_); }
  std::string path() const { return path_.string(); }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

TEST(Dk2Tokens, PrintsOneLinePerTokenEndingWithEof) {
  ScriptFile script("program Demo;\r\nbegin\r\n  x := $1F + 2.5; s := 'it''s'#13 // done\r\nend.");
  Result r = RunDk2({"tokens", script.path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "1:1 tokProgram\n"
            "1:9 tokIdentifier DEMO\n"
            "1:13 tokSemicolon\n"
            "2:1 tokBegin\n"
            "3:3 tokIdentifier X\n"
            "3:5 tokAssign\n"
            "3:8 tokHexInteger $1F\n"
            "3:12 tokPlus\n"
            "3:14 tokReal 2.5\n"
            "3:17 tokSemicolon\n"
            "3:19 tokIdentifier S\n"
            "3:21 tokAssign\n"
            "3:24 tokString 'it''s'\n"
            "3:31 tokCharCode #13\n"
            "4:1 tokEnd\n"
            "4:4 tokPeriod\n"
            "4:5 tokEOF\n");
}

TEST(Dk2Tokens, LexicalErrorsPrintTheCompilerLineAndFail) {
  struct Case {
    std::string_view text;
    std::string expectedTail;
  };
  const Case cases[] = {
      {"a\n  { open", "2:3): Comment error\n"},
      {"a := 'abc", "1:6): String error\n"},
      {"#12a", "1:1): Char error\n"},
      {"x\n\n  ?", "3:3): Syntax error\n"},
  };
  for (const Case& c : cases) {
    ScriptFile script(c.text);
    Result r = RunDk2({"tokens", script.path()});
    EXPECT_EQ(r.status, 1) << c.text;
    EXPECT_TRUE(r.out.ends_with("[Error] (" + c.expectedTail)) << r.out;
    EXPECT_EQ(r.out.find("tokEOF"), std::string::npos) << r.out;
  }
}

TEST(Dk2Tokens, MissingFileIsReportedOnStderr) {
  const std::string missing = (fs::temp_directory_path() / "dk2_no_such_file.dk2").string();
  Result r = RunDk2({"tokens", missing});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(missing), std::string::npos);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST(Dk2Usage, HelpUnknownVerbsAndMissingArguments) {
  for (auto args : {std::vector<std::string>{}, std::vector<std::string>{"--help"}}) {
    Result r = RunDk2(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("usage: dk2"), std::string::npos);
    EXPECT_NE(r.out.find("tokens"), std::string::npos);
  }
  Result unknown = RunDk2({"frobnicate", "x"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("usage: dk2"), std::string::npos);
  EXPECT_NE(unknown.err.find("frobnicate"), std::string::npos);

  EXPECT_EQ(RunDk2({"tokens"}).status, 2);
  EXPECT_EQ(RunDk2({"tokens", "a", "b"}).status, 2);
}

}  // namespace
}  // namespace dravik::dk2
