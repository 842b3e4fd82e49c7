// A window's timer ticks while started and is gone once stopped, restarted elsewhere or
// destroyed with its owner: a timer left behind would keep waking a control that has finished.

#ifdef _WIN32

#include "windows/flat/window_timer.h"

#include <gtest/gtest.h>

#include "scratch_window.h"

namespace dravik::windows {
namespace {

using testing::PumpUntil;
using testing::ScratchWindow;

constexpr UINT_PTR kId = 7;

// Whether the system still holds timer kId of window (killing it, if so).
bool Running(HWND window) { return KillTimer(window, kId) != FALSE; }

bool Ticks(HWND window) {
  bool ticked = false;
  return PumpUntil([&] {
    MSG message{};
    if (PeekMessageA(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE) && message.wParam == kId) ticked = true;
    return ticked;
  });
}

TEST(WindowTimerTest, TicksUntilStoppedAndIsGoneWithItsOwner) {
  const ScratchWindow window;
  {
    WindowTimer timer(kId);
    timer.Start(window.Get(), 10);
    EXPECT_EQ(timer.PeriodMs(), 10U);
    EXPECT_TRUE(Ticks(window.Get()));
    EXPECT_TRUE(timer.Is(kId));
    EXPECT_FALSE(timer.Is(kId + 1));
    timer.Stop();
    EXPECT_EQ(timer.PeriodMs(), 0U);
    EXPECT_FALSE(Running(window.Get()));
    timer.Start(window.Get(), 1000);
  }
  EXPECT_FALSE(Running(window.Get()));
}

TEST(WindowTimerTest, StartedOnAnotherWindowItLeavesTheFirst) {
  const ScratchWindow first;
  const ScratchWindow second;
  WindowTimer timer(kId);
  timer.Start(first.Get(), 1000);
  timer.Start(second.Get(), 1000);
  EXPECT_FALSE(Running(first.Get()));
  EXPECT_TRUE(Running(second.Get()));
}

}  // namespace
}  // namespace dravik::windows

#endif  // _WIN32
