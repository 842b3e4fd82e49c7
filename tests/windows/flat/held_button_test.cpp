// The arrow buttons of the list and the image number field, held down with the mouse: one step
// at the press, repeats while held (the field's only while the pointer stays on the button), and
// no timer left once the button is let go or nothing more can move.

#ifdef _WIN32

#include "windows/flat/held_button.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scratch_window.h"
#include "windows/flat/flat_list_box.h"
#include "windows/flat/flat_spin_edit.h"

namespace dravik::windows {
namespace {

using testing::PumpUntil;
using testing::RecordingParent;

constexpr UINT_PTR kRepeatTimer = 1;

LPARAM ScreenPoint(POINT point) { return MAKELPARAM(point.x, point.y); }

void Press(HWND control, POINT screen) {
  SendMessageA(control, WM_NCLBUTTONDOWN, HTBORDER, ScreenPoint(screen));
}
void Tick(HWND control) { SendMessageA(control, WM_TIMER, kRepeatTimer, 0); }
bool Repeating(HWND control) { return KillTimer(control, kRepeatTimer) != FALSE; }

class ListBandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ShowWindow(list, SW_SHOWNA);
    for (int entry = 0; entry < kEntries; ++entry) {
      SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_string(entry).c_str()));
    }
    GetWindowRect(list, &frame);
  }

  int Top() const { return static_cast<int>(SendMessageA(list, LB_GETTOPINDEX, 0, 0)); }
  POINT UpBand() const { return {frame.left + 50, frame.top + 5}; }
  POINT DownBand() const { return {frame.left + 50, frame.bottom - 5}; }

  static constexpr int kEntries = 20;
  // 100 pixels less the frame and the bands show four entries: the last top entry is 16.
  static constexpr int kLastTop = kEntries - 4;
  RecordingParent parent;
  HWND list = TFlatListBox::Create(parent.Get(), 3, {0, 0, 100, 100});
  RECT frame{};
};

TEST_F(ListBandTest, AHeldBandScrollsAtOnceAndThenRepeatsUntilTheLastPage) {
  Press(list, DownBand());
  EXPECT_EQ(Top(), 1);
  EXPECT_EQ(GetCapture(), list);
  EXPECT_TRUE(PumpUntil([&] { return Top() >= 3; }));  // the repeats run by themselves
  while (Top() < kLastTop) Tick(list);
  Tick(list);
  EXPECT_EQ(Top(), kLastTop);
  EXPECT_FALSE(Repeating(list));  // nothing more to scroll: the repeats stopped
  EXPECT_EQ(GetCapture(), list);  // the band stays held until let go
  SendMessageA(list, WM_LBUTTONUP, 0, 0);
  EXPECT_NE(GetCapture(), list);
}

TEST_F(ListBandTest, LettingGoEndsTheRepeats) {
  Press(list, DownBand());
  SendMessageA(list, WM_LBUTTONUP, 0, 0);
  EXPECT_NE(GetCapture(), list);
  EXPECT_FALSE(Repeating(list));
  EXPECT_EQ(Top(), 1);
}

TEST_F(ListBandTest, ABandThatCannotScrollDoesNotRepeat) {
  Press(list, UpBand());
  EXPECT_EQ(Top(), 0);
  EXPECT_FALSE(Repeating(list));
  SendMessageA(list, WM_LBUTTONUP, 0, 0);
}

class SpinButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ShowWindow(field, SW_SHOWNA);
    GetWindowRect(field, &frame);
    SetCursorPos(UpButton().x, UpButton().y);
  }

  // The buttons are the right 11 pixels inside the 2-pixel frame, the upper half up.
  POINT UpButton() const { return {frame.right - 7, frame.top + 5}; }

  RecordingParent parent;
  std::vector<int> steps;
  HWND field = TFlatSpinEditInteger::Create(parent.Get(), 4, {10, 10, 61, 30}, '.',
                                            {[this](int delta) { steps.push_back(delta); }, [] {}});
  RECT frame{};
};

TEST_F(SpinButtonTest, AHeldButtonStepsWhileThePointerStaysOnIt) {
  Press(field, UpButton());
  EXPECT_EQ(steps, std::vector<int>{1});
  EXPECT_EQ(GetCapture(), field);
  Tick(field);
  EXPECT_EQ(steps, (std::vector<int>{1, 1}));
  SetCursorPos(frame.left - 20, frame.top - 20);
  Tick(field);
  EXPECT_EQ(steps.size(), 2U);
  SetCursorPos(UpButton().x, UpButton().y);
  EXPECT_TRUE(PumpUntil([&] { return steps.size() >= 4; }));  // still repeating once it is back
  SendMessageA(field, WM_LBUTTONUP, 0, 0);
  EXPECT_NE(GetCapture(), field);
  EXPECT_FALSE(Repeating(field));
  // A tick already queued at the release neither steps nor starts the repeats again.
  const std::size_t stepped = steps.size();
  SetCursorPos(frame.left - 20, frame.top - 20);
  Tick(field);
  EXPECT_EQ(steps.size(), stepped);
  EXPECT_FALSE(Repeating(field));
}

TEST_F(SpinButtonTest, APressBesideTheButtonsIsTheField) {
  Press(field, {frame.left + 5, frame.top + 5});
  EXPECT_TRUE(steps.empty());
  EXPECT_NE(GetCapture(), field);
  EXPECT_FALSE(Repeating(field));
}

}  // namespace
}  // namespace dravik::windows

#endif  // _WIN32
