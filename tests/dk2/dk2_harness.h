#pragma once
// Running dk2 verbs in-process, with scratch files named after the running test.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "dk2/dk2.h"

namespace dravik::dk2::harness {

struct Dk2Result {
  int status;
  std::string out;
  std::string err;
};

inline Dk2Result RunDk2(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = Run(args, out, err);
  return {status, out.str(), err.str()};
}

// A path in the temporary folder, unique per test and per scratch file, removed at scope end.
// Given bytes, the file is written at once; otherwise Write makes it.
class ScratchFile {
 public:
  explicit ScratchFile(std::string_view suffix, std::optional<std::string_view> bytes = {})
      : path_(std::filesystem::temp_directory_path() /
              ("dk2_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
               "_" + std::to_string(counter_++) + std::string(suffix))) {
    if (bytes) Write(*bytes);
  }
  ~ScratchFile() { std::filesystem::remove(path_); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  std::string Write(std::string_view bytes) const {
    std::ofstream(path_, std::ios::binary) << bytes;
    return path();
  }
  std::string Read() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::string path() const { return path_.string(); }

 private:
  static inline int counter_ = 0;
  std::filesystem::path path_;
};

}  // namespace dravik::dk2::harness
