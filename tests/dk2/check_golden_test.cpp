// Golden corpus for `dk2 check`: every tests/data/check/NAME.dk2 is compiled through the command
// line and its exit status and output are compared with NAME.expected (format in the folder's
// README.md). Each script is its own test case, named after the file.
#include "dk2/dk2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::dk2 {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kScriptExtension = ".dk2";
constexpr std::string_view kExpectedExtension = ".expected";
constexpr std::string_view kStatusPrefix = "status: ";
// The corpus is meant to cover every message rule; a sudden drop means files went missing.
constexpr std::size_t kMinimumCaseCount = 120;

// The Windows build runs under Wine with the Unix path of the source tree baked in; a path that
// starts at the Unix root is reached there through drive Z:.
std::string CheckDataDir() {
  std::string dir = DRAVIK_TEST_DATA_DIR "/check";
#ifdef _WIN32
  if (!dir.empty() && dir.front() == '/') dir.insert(0, "Z:");
#endif
  return dir;
}

std::string CasePath(const std::string& name, std::string_view extension) {
  return CheckDataDir() + "/" + name + std::string(extension);
}

// Test names may hold only letters, digits and '_'; the corpus names its files that way.
bool IsValidCaseName(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) {
    return std::isalnum(c) != 0 || c == '_';
  });
}

std::vector<std::string> CaseNames() {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(fs::path(CheckDataDir()), error), end; !error && it != end;
       it.increment(error)) {
    const fs::path& path = it->path();
    if (path.extension().string() == kScriptExtension) names.push_back(path.stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
  std::ifstream in(fs::path(path), std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

struct Expectation {
  int status = -1;
  std::string out;
};

// "status: N" on the first line, then the exact output.
bool ParseExpectation(const std::string& text, Expectation& expectation) {
  const std::size_t lineEnd = text.find('\n');
  if (lineEnd == std::string::npos || !text.starts_with(kStatusPrefix)) return false;
  const std::string status = text.substr(kStatusPrefix.size(), lineEnd - kStatusPrefix.size());
  if (status.size() != 1 || !std::isdigit(static_cast<unsigned char>(status[0]))) return false;
  expectation.status = status[0] - '0';
  expectation.out = text.substr(lineEnd + 1);
  return true;
}

std::string WithoutFinalNewline(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

class CheckGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(CheckGolden, PrintsExpectedMessagesAndStatus) {
  const std::string& name = GetParam();
  std::string expectedText;
  ASSERT_TRUE(ReadWholeFile(CasePath(name, kExpectedExtension), expectedText)) << name;
  Expectation expected;
  ASSERT_TRUE(ParseExpectation(expectedText, expected)) << name << kExpectedExtension;

  std::ostringstream out, err;
  const int status = dk2::Run({"check", CasePath(name, kScriptExtension)}, out, err);

  EXPECT_EQ(status, expected.status) << "stderr: " << err.str();
  EXPECT_EQ(WithoutFinalNewline(out.str()), WithoutFinalNewline(expected.out));
}

INSTANTIATE_TEST_SUITE_P(Corpus, CheckGolden, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return info.param;
                         });

TEST(CheckGoldenCorpus, EveryScriptHasAWellFormedExpectation) {
  const std::vector<std::string> names = CaseNames();
  EXPECT_GE(names.size(), kMinimumCaseCount) << "in " << CheckDataDir();
  for (const std::string& name : names) {
    EXPECT_TRUE(IsValidCaseName(name)) << name;
    std::string text;
    Expectation expectation;
    EXPECT_TRUE(ReadWholeFile(CasePath(name, kExpectedExtension), text) &&
                ParseExpectation(text, expectation))
        << name << kExpectedExtension;
  }
}

}  // namespace
}  // namespace dravik::dk2
