// The real main window on the core's fakes: which of its controls pass Enter and Escape to the
// core's handlers, and how it shows on the task bar.

#ifdef _WIN32

#include "windows/main_window.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/fake/fake_system.h"

namespace dravik::windows {
namespace {

using Box = platform::FakeMessageBoxes::Box;

std::string TextOf(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// The shell's rule for the task bar: a shown window gets an entry when it asks for one or has no
// owner, unless it is a tool window.
BOOL CALLBACK AddTaskbarEntry(HWND window, LPARAM entries) {
  const LONG_PTR exStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
  const bool unowned = GetWindow(window, GW_OWNER) == nullptr;
  if (IsWindowVisible(window) && ((exStyle & WS_EX_APPWINDOW) != 0 || (unowned && (exStyle & WS_EX_TOOLWINDOW) == 0)))
    reinterpret_cast<std::vector<std::string>*>(entries)->push_back(TextOf(window));
  return TRUE;
}

std::vector<std::string> TaskbarEntries() {
  std::vector<std::string> entries;
  EnumThreadWindows(GetCurrentThreadId(), AddTaskbarEntry, reinterpret_cast<LPARAM>(&entries));
  return entries;
}

class MainWindowWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.FormCreate({});
    ASSERT_TRUE(window->Create(GetModuleHandleA(nullptr)));
    window->Show(SW_SHOWNA);
  }
  // The window's end asks the thread to quit; that must not reach the next test.
  void TearDown() override {
    window.reset();
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // Sends a key to the control as the system does to the one with the focus.
  void PressIn(int id, WPARAM key) { SendMessageA(GetDlgItem(window->Handle(), id), WM_KEYDOWN, key, 1); }

  platform::FakePlatform fake;
  core::TForm1 form{fake.platform};
  std::optional<MainWindow> window{std::in_place, form, '.'};
};

TEST_F(MainWindowWinTest, TheListAndTheCheckBoxKeepEnterAndEscape) {
  for (const int id : {kExtensionListId, kOneDriveId}) {
    PressIn(id, VK_RETURN);
    PressIn(id, VK_ESCAPE);
  }
  EXPECT_TRUE(fake.messageBoxes.shown.empty());
  EXPECT_EQ(fake.application.closeRequests, 0);
  PressIn(kExtensionFieldId, VK_RETURN);
  SendMessageA(window->Handle(), WM_KEYDOWN, VK_RETURN, 1);
  SendMessageA(window->Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_EQ(fake.messageBoxes.shown, (std::vector<Box>{{"Dravik2", "Type the extension to add, for example: bin"},
                                                       {"Error", "Cannot find Daemon Tools"}}));
  EXPECT_EQ(fake.application.closeRequests, 1);
}

TEST_F(MainWindowWinTest, TheTaskbarEntryReadsTheApplicationTitle) {
  EXPECT_EQ(TextOf(window->Handle()), "Dravik");
  EXPECT_EQ(TaskbarEntries(), std::vector<std::string>{"Dravik2"});
}

}  // namespace
}  // namespace dravik::windows

#endif  // _WIN32
