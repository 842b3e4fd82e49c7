// Starting programs through the shell: a start that cannot happen is answered with the system's
// reason, and no box of the shell's own holds the caller up.

#ifdef _WIN32

#include "platform/win32/shell_win.h"

#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "platform/win32/files_win.h"

namespace dravik::platform {
namespace {

std::string TempFolder() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof buffer, buffer);
  return std::string(buffer, length);
}

TEST(ShellWin, AStartThatCannotHappenIsAnsweredWithTheReason) {
  ShellWin shell;
  const std::string missing = TempFolder() + "dravik_no_such_program.exe";
  const core::ShellStart notThere = shell.Execute(missing, "", "");
  EXPECT_FALSE(notThere.started);
  EXPECT_EQ(notThere.reason, SystemErrorText(ERROR_FILE_NOT_FOUND));

  // A text file is no program; the system's text names the file where it has a place for it.
  const std::string text = TempFolder() + "dravik_shell_win_test.exe";
  FilesWin().WriteLines(text, {"not a program"});
  const core::ShellStart broken = shell.Execute("\"" + text + "\"", "-mount 0", TempFolder());
  DeleteFileA(text.c_str());
  EXPECT_FALSE(broken.started);
  EXPECT_FALSE(broken.reason.empty());
  EXPECT_EQ(broken.reason.find("%1"), std::string::npos) << broken.reason;
}

TEST(ShellWin, AProgramThatCanStartIsStarted) {
  ShellWin shell;
  const core::ShellStart started = shell.Execute("cmd.exe", "/c exit 0", TempFolder());
  EXPECT_TRUE(started.started) << started.reason;
}

}  // namespace
}  // namespace dravik::platform

#endif  // _WIN32
