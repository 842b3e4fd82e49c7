#pragma once
// Shared pieces of the golden-corpus runners: a corpus is a folder under tests/data holding
// NAME.dk2 scripts, each with a NAME.expected file whose first line is "status: N" (the exit
// status, one digit) and whose remaining lines are the exact standard output.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "dk2/dk2.h"

namespace dravik::dk2::golden {

inline constexpr std::string_view kScriptExtension = ".dk2";
inline constexpr std::string_view kExpectedExtension = ".expected";
inline constexpr std::string_view kStatusPrefix = "status: ";

// The Windows build runs under Wine with the Unix path of the source tree baked in; a path that
// starts at the Unix root is reached there through drive Z:.
inline std::string CorpusDir(std::string_view folder) {
  std::string dir = DRAVIK_TEST_DATA_DIR "/" + std::string(folder);
#ifdef _WIN32
  if (!dir.empty() && dir.front() == '/') dir.insert(0, "Z:");
#endif
  return dir;
}

inline std::string CasePath(const std::string& dir, const std::string& name,
                            std::string_view extension) {
  return dir + "/" + name + std::string(extension);
}

// Test names may hold only letters, digits and '_'; the corpora name their files that way.
inline bool IsValidCaseName(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) {
    return std::isalnum(c) != 0 || c == '_';
  });
}

// The stems of the scripts in dir, sorted, so that test order does not depend on the file system.
inline std::vector<std::string> CaseNames(const std::string& dir) {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(fs::path(dir), error), end; !error && it != end;
       it.increment(error)) {
    const fs::path& path = it->path();
    if (path.extension().string() == kScriptExtension) names.push_back(path.stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

inline bool ReadWholeFile(const std::string& path, std::string& text) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

struct Expectation {
  int status = -1;
  std::string out;
};

// "status: N" on the first line, then the exact output.
inline bool ParseExpectation(const std::string& text, Expectation& expectation) {
  const std::size_t lineEnd = text.find('\n');
  if (lineEnd == std::string::npos || !text.starts_with(kStatusPrefix)) return false;
  const std::string status = text.substr(kStatusPrefix.size(), lineEnd - kStatusPrefix.size());
  if (status.size() != 1 || !std::isdigit(static_cast<unsigned char>(status[0]))) return false;
  expectation.status = status[0] - '0';
  expectation.out = text.substr(lineEnd + 1);
  return true;
}

inline bool ReadExpectation(const std::string& path, Expectation& expectation) {
  std::string text;
  return ReadWholeFile(path, text) && ParseExpectation(text, expectation);
}

inline std::string WithoutFinalNewline(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// Runs `dk2 VERB dir/NAME.dk2` and compares status and standard output with dir/NAME.expected;
// only a final newline is ignored.
inline void ExpectCaseOutput(std::string_view verb, const std::string& dir,
                             const std::string& name) {
  Expectation expected;
  ASSERT_TRUE(ReadExpectation(CasePath(dir, name, kExpectedExtension), expected))
      << name << kExpectedExtension;

  std::ostringstream out, err;
  const int status = Run({std::string(verb), CasePath(dir, name, kScriptExtension)}, out, err);

  EXPECT_EQ(status, expected.status) << "stderr: " << err.str();
  EXPECT_EQ(WithoutFinalNewline(out.str()), WithoutFinalNewline(expected.out));
}

// A corpus that suddenly shrinks has lost files; a badly named case or a broken expectation
// would otherwise be skipped or fail with a confusing message.
inline void ExpectWellFormedCorpus(const std::string& dir, std::size_t minimumCaseCount) {
  const std::vector<std::string> names = CaseNames(dir);
  EXPECT_GE(names.size(), minimumCaseCount) << "in " << dir;
  for (const std::string& name : names) {
    EXPECT_TRUE(IsValidCaseName(name)) << name;
    Expectation expectation;
    EXPECT_TRUE(ReadExpectation(CasePath(dir, name, kExpectedExtension), expectation))
        << name << kExpectedExtension;
  }
}

inline std::string CaseTestName(const ::testing::TestParamInfo<std::string>& info) {
  return info.param;
}

}  // namespace dravik::dk2::golden
