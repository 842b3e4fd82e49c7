#pragma once
// Files through the system's 8-bit interfaces: paths in the ANSI code page, bytes as stored.

#include <cstdint>

#include "core/platform/files.h"

namespace dravik::platform {

class FilesWin final : public core::Files {
 public:
  // Larger files are refused: the only text files the program reads are scripts.
  static constexpr std::uint64_t kMaxTextFileBytes = 64 * 1024 * 1024;

  bool FileExists(std::string_view path) override;
  core::TextFileRead ReadText(std::string_view path) override;
  std::uint32_t WriteLines(std::string_view path, const std::vector<std::string>& lines) override;
  std::string ProgramPath() override;
};

// The system's description of error number code, without its trailing line end; empty when the
// system has none.
std::string SystemErrorText(std::uint32_t code);

}  // namespace dravik::platform
