// The offer to stop a busy script, from its own thread: when it shows and goes, and what Stop
// does, with a short delay so that the test need not wait seconds.

#ifdef _WIN32

#include "windows/script_watchdog.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/engine.h"
#include "platform/win32/application_win.h"
#include "platform/win32/clock_win.h"

namespace dravik::windows {
namespace {

constexpr std::uint32_t kDelayMs = 100;
constexpr DWORD kPatienceMs = 10000;

HWND Offer() {
  const HWND window = FindWindowA(ScriptWatchdog::kClassName, nullptr);
  return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

// Waits for the offer to be shown (or hidden); the test's own thread need not handle messages.
bool OfferShown(bool shown) {
  const DWORD start = GetTickCount();
  while ((Offer() != nullptr) != shown) {
    if (GetTickCount() - start > kPatienceMs) return false;
    Sleep(10);
  }
  return true;
}

std::string TextOf(HWND control) {
  char text[256] = {};
  GetWindowTextA(control, text, sizeof text);
  return text;
}

class ScriptWatchdogTest : public ::testing::Test {
 protected:
  platform::ClockWin clock;
  platform::ApplicationWin application;
  core::ScriptRuns runs{clock, application};
  ScriptWatchdog watchdog{runs, clock, GetModuleHandleA(nullptr), kDelayMs};
  engine::Script exec;
};

TEST_F(ScriptWatchdogTest, ShowsForABusyScriptAndStopAsksEveryScriptToStop) {
  const core::ScriptRuns::Running running(runs, exec, "C:\\s.dk2");
  ASSERT_TRUE(OfferShown(true));
  const HWND offer = Offer();
  EXPECT_EQ(TextOf(GetDlgItem(offer, ScriptWatchdog::kTextId)), "The script \"C:\\s.dk2\" is still running.");
  EXPECT_EQ(TextOf(GetDlgItem(offer, ScriptWatchdog::kStopId)), "Stop");
  EXPECT_EQ(TextOf(offer), "Dravik2");
  EXPECT_FALSE(exec.StopRequested());
  SendMessageA(GetDlgItem(offer, ScriptWatchdog::kStopId), BM_CLICK, 0, 0);
  EXPECT_TRUE(exec.StopRequested());
  EXPECT_TRUE(OfferShown(false));
}

TEST_F(ScriptWatchdogTest, GoesWhenTheScriptWaitsOrEndsAndNeverShowsForOneThatWaitsInTime) {
  {
    const core::ScriptRuns::Running running(runs, exec, "C:\\s.dk2");
    ASSERT_TRUE(OfferShown(true));
    {
      const core::ScriptRuns::Responsive waiting(runs);
      EXPECT_TRUE(OfferShown(false));
    }
    EXPECT_TRUE(OfferShown(true));  // busy again after the wait: shown after the delay again
  }
  EXPECT_TRUE(OfferShown(false));
  for (int i = 0; i < 3; ++i) {
    const core::ScriptRuns::Running running(runs, exec, "C:\\s.dk2");
    const core::ScriptRuns::Responsive waiting(runs);
    Sleep(2 * kDelayMs);
    EXPECT_EQ(Offer(), nullptr);
  }
  EXPECT_FALSE(exec.StopRequested());
}

}  // namespace
}  // namespace dravik::windows

#endif  // _WIN32
