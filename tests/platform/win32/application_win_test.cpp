// The message queue backend: nested dispatching, the end of the program, and closing the window,
// on a message-only window of the test's own thread.

#ifdef _WIN32

#include "platform/win32/application_win.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

namespace dravik::platform {
namespace {

constexpr UINT kProbe = WM_APP + 1;

std::vector<UINT> received;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kProbe || message == WM_CLOSE) {
    received.push_back(message);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class ApplicationWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    received.clear();
    DrainQueue();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "DravikApplicationWinTest";
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    DestroyWindow(window);
    DrainQueue();
  }
  // Nothing of another test, a quit message least of all, may reach this one or the next.
  static void DrainQueue() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  ApplicationWin application;
  HWND window = nullptr;
};

TEST_F(ApplicationWinTest, ProcessMessagesDispatchesAllThatWaitsAndNotesTheQuitMessage) {
  PostMessageA(window, kProbe, 0, 0);
  PostMessageA(window, kProbe, 0, 0);
  application.ProcessMessages();
  EXPECT_EQ(received, (std::vector<UINT>{kProbe, kProbe}));
  EXPECT_FALSE(application.Terminated());

  // The system hands out the quit message only once no posted message is left.
  PostQuitMessage(0);
  PostMessageA(window, kProbe, 0, 0);
  application.ProcessMessages();
  EXPECT_TRUE(application.Terminated());
  EXPECT_EQ(received.size(), 3u);
}

// A script that goes on waiting after a mount ended the program keeps the window working.
TEST_F(ApplicationWinTest, AnEndedProgramStillDispatchesForAWaitingScript) {
  application.Terminate();
  PostMessageA(window, kProbe, 0, 0);
  application.ProcessMessages();
  EXPECT_EQ(received, std::vector<UINT>{kProbe});
  PostMessageA(window, kProbe, 0, 0);
  application.ProcessMessages();
  EXPECT_EQ(received.size(), 2u);
  EXPECT_TRUE(application.Terminated());
}

// A stop from another thread must not leave the window thread asleep for the rest of a wait.
TEST_F(ApplicationWinTest, WakeEndsAWaitFromAnotherThread) {
  constexpr std::uint32_t kLongWaitMs = 20000;
  std::thread other([this] {
    Sleep(50);
    application.Wake();
  });
  const DWORD start = GetTickCount();
  application.WaitForMessage(kLongWaitMs);
  other.join();
  EXPECT_LT(GetTickCount() - start, kLongWaitMs / 2);
  application.ProcessMessages();  // the wake's own message does nothing
  EXPECT_TRUE(received.empty());
}

TEST_F(ApplicationWinTest, TerminateEndsTheLoopAndCloseMainWindowAsksTheWindow) {
  application.CloseMainWindow();  // no main window yet: nothing to close
  application.SetMainWindow(window);
  application.CloseMainWindow();
  application.Terminate();
  EXPECT_TRUE(application.Terminated());
  application.RunLoop();  // returns at once
  EXPECT_TRUE(received.empty());  // the close request waits in the queue for a running loop
  MSG message{};
  ASSERT_TRUE(PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE));
}

}  // namespace
}  // namespace dravik::platform

#endif  // _WIN32
