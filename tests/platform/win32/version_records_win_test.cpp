// The version record backend against real files: this test program, which carries no record, a
// missing file, and a system library, which does.

#ifdef _WIN32

#include "platform/win32/version_records_win.h"

#include <gtest/gtest.h>

#include <string>

#include <windows.h>

namespace dravik::platform {
namespace {

std::string OwnPath() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  return std::string(buffer, length);
}

std::string SystemLibrary(const char* name) {
  char buffer[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryA(buffer, sizeof buffer);
  return std::string(buffer, length) + "\\" + name;
}

TEST(VersionRecordsWin, FilesWithoutARecordGiveNothing) {
  VersionRecordsWin records;
  EXPECT_FALSE(records.Load(OwnPath()).has_value());
  EXPECT_FALSE(records.Load(SystemLibrary("no such library.dll")).has_value());
}

// Every system library names its version in the string table its translation list names.
TEST(VersionRecordsWin, ReadsTheFileVersionOfTheTableTheRecordNames) {
  VersionRecordsWin records;
  const std::optional<std::string> record = records.Load(SystemLibrary("kernel32.dll"));
  ASSERT_TRUE(record.has_value());
  std::string block = *record;
  struct Translation {
    WORD language, codePage;
  }* translation = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size));
  ASSERT_GE(size, sizeof(Translation));
  char table[32] = {};
  snprintf(table, sizeof table, "StringFileInfo\\%04X%04X\\", translation->language, translation->codePage);

  const std::optional<std::string> version = records.Query(*record, std::string(table) + "FileVersion");
  ASSERT_TRUE(version.has_value());
  EXPECT_FALSE(version->empty());
  EXPECT_EQ(version->find('\0'), std::string::npos);
  EXPECT_FALSE(records.Query(*record, std::string(table) + "NoSuchValue").has_value());
}

}  // namespace
}  // namespace dravik::platform

#endif  // _WIN32
