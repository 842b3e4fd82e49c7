#include "dk2/dk2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "dk2/source_file.h"
#include "dk2_harness.h"

namespace dravik::dk2 {
namespace {

using harness::Dk2Result;
using harness::RunDk2;
using harness::ScratchFile;

TEST(Dk2Tokens, PrintsOneLinePerTokenEndingWithEof) {
  ScratchFile script(".dk2", "program Demo;\r\nbegin\r\n  x := $1F + 2.5; s := 'it''s'#13 // done\r\nend.");
  auto r = RunDk2({"tokens", script.path()});
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
    ScratchFile script(".dk2", c.text);
    auto r = RunDk2({"tokens", script.path()});
    EXPECT_EQ(r.status, 1) << c.text;
    EXPECT_TRUE(r.out.ends_with("[Error] (" + c.expectedTail)) << r.out;
    EXPECT_EQ(r.out.find("tokEOF"), std::string::npos) << r.out;
  }
}

TEST(Dk2Tokens, MissingFileIsReportedOnStderr) {
  const std::string missing = (std::filesystem::temp_directory_path() / "dk2_no_such_file.dk2").string();
  auto r = RunDk2({"tokens", missing});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(missing), std::string::npos);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

// Every verb reads at most kMaxInputBytes: a file of exactly that size is read (its first zero
// byte ends the script at once), one byte more is refused without holding it all, and so is a
// device that never ends.
TEST(Dk2Input, WhatAVerbReadsIsCapped) {
  ScratchFile limit(".dk2");
  limit.Write("");
  std::filesystem::resize_file(limit.path(), kMaxInputBytes);
  EXPECT_EQ(RunDk2({"check", limit.path()}).out, "[Error] (1:1): Unexpected end of file\n");
  std::filesystem::resize_file(limit.path(), kMaxInputBytes + 1);
  const std::string tooLarge = "dk2: '" + limit.path() + "' is larger than 64 MiB\n";
  for (const std::vector<std::string>& args : {std::vector<std::string>{"run", limit.path()},
                                               std::vector<std::string>{"dump", "--image", limit.path()},
                                               std::vector<std::string>{"tokens", limit.path()}}) {
    const Dk2Result r = RunDk2(args);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_EQ(r.out, "") << args[0];
    EXPECT_EQ(r.err, tooLarge) << args[0];
  }
  if (std::filesystem::exists("/dev/zero")) {
    const Dk2Result endless = RunDk2({"run", "/dev/zero"});
    EXPECT_EQ(endless.status, 2);
    EXPECT_EQ(endless.err, "dk2: '/dev/zero' is larger than 64 MiB\n");
  }
}

TEST(Dk2Usage, HelpUnknownVerbsAndMissingArguments) {
  for (auto args : {std::vector<std::string>{}, std::vector<std::string>{"--help"}}) {
    auto r = RunDk2(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("usage: dk2"), std::string::npos);
    EXPECT_NE(r.out.find("tokens"), std::string::npos);
  }
  auto unknown = RunDk2({"frobnicate", "x"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("usage: dk2"), std::string::npos);
  EXPECT_NE(unknown.err.find("frobnicate"), std::string::npos);

  EXPECT_EQ(RunDk2({"tokens"}).status, 2);
  EXPECT_EQ(RunDk2({"tokens", "a", "b"}).status, 2);
}

}  // namespace
}  // namespace dravik::dk2
