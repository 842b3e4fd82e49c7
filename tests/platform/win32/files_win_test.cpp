// The file backend against the system's own file system, in the temporary folder.

#ifdef _WIN32

#include "platform/win32/files_win.h"

#include <gtest/gtest.h>

#include <string>

#include <windows.h>

namespace dravik::platform {
namespace {

std::string TempFolder() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof buffer, buffer);
  return std::string(buffer, length);
}

TEST(FilesWin, WritesLinesWithCarriageReturnAndLineFeedAndReadsThemBack) {
  FilesWin files;
  const std::string path = TempFolder() + "dravik_files_win_test.log";
  ASSERT_EQ(files.WriteLines(path, {"first", "", "third"}), 0u);
  ASSERT_EQ(files.WriteLines(path, {"a", "b"}), 0u);  // replaces, not appends
  EXPECT_TRUE(files.FileExists(path));
  const core::TextFileRead read = files.ReadText(path);
  DeleteFileA(path.c_str());
  ASSERT_TRUE(read.ok);
  EXPECT_EQ(read.text, "a\r\nb\r\n");
}

TEST(FilesWin, ReportsTheSystemsErrorForAMissingFolder) {
  FilesWin files;
  const std::string path = TempFolder() + "dravik_no_such_folder\\x.log";
  EXPECT_EQ(files.WriteLines(path, {"x"}), static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND));
  const core::TextFileRead read = files.ReadText(path);
  EXPECT_FALSE(read.ok);
  EXPECT_EQ(read.reason, SystemErrorText(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(read.reason.empty());
  EXPECT_NE(read.reason.back(), '\n');
}

TEST(FilesWin, AFolderIsNoFileAndTheProgramPathIsAFile) {
  FilesWin files;
  EXPECT_FALSE(files.FileExists(TempFolder()));
  EXPECT_FALSE(files.FileExists(TempFolder() + "dravik_no_such_file.iso"));
  EXPECT_TRUE(files.FileExists(files.ProgramPath()));
}

}  // namespace
}  // namespace dravik::platform

#endif  // _WIN32
