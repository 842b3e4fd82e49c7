#pragma once
// The files the program reads and writes, and where the program itself lives.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::core {

struct TextFileRead {
  bool ok = false;
  std::string text;    // the whole file, bytes as stored
  std::string reason;  // when not ok: the system's description of the failure, in its words
};

class Files {
 public:
  virtual ~Files() = default;

  // True for an existing file; false for a folder or anything that is not there.
  virtual bool FileExists(std::string_view path) = 0;
  virtual TextFileRead ReadText(std::string_view path) = 0;
  // Creates or replaces path with the lines, each followed by a carriage return and line feed.
  // Answers 0, or the system's error number when the file could not be created or written.
  virtual std::uint32_t WriteLines(std::string_view path, const std::vector<std::string>& lines) = 0;
  // The full path of the running program file, as the system reports it.
  virtual std::string ProgramPath() = 0;
};

}  // namespace dravik::core
