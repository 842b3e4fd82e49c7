// A flat control lives exactly as long as its window: deleted once with it, or at once when the
// window could not be made, whether the control has a class of its own or dresses a system one.

#ifdef _WIN32

#include "windows/flat/flat_control.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "scratch_window.h"
#include "windows/flat/flat_check_box.h"
#include "windows/flat/moving_label.h"

namespace dravik::windows {
namespace {

class CountedControl : public FlatControl {
 public:
  static constexpr const char* kClassName = "DravikCountedControl";
  static inline int made = 0;
  static inline int deleted = 0;

  explicit CountedControl(bool refuseCreation = false) : refuseCreation_(refuseCreation) { ++made; }
  ~CountedControl() override { ++deleted; }

  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_NCCREATE && refuseCreation_) return FALSE;
    if (message == WM_USER) return reinterpret_cast<LRESULT>(this);
    return DefWindowProcA(window, message, wParam, lParam);
  }

 private:
  bool refuseCreation_;
};

class SystemDress : public CountedControl {
 public:
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
};

LRESULT SystemDress::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) return reinterpret_cast<LRESULT>(this);
  return DefSubclassProc(window, message, wParam, lParam);
}

class FlatControlTest : public ::testing::Test {
 protected:
  void SetUp() override { CountedControl::made = CountedControl::deleted = 0; }

  HWND Create(std::unique_ptr<CountedControl> control, HWND parent) {
    return CreateControlWindow(std::move(control), parent, 1, {0, 0, 10, 10}, "", 0);
  }

  testing::ScratchWindow parent;
};

TEST_F(FlatControlTest, AControlOfItsOwnClassGetsItsMessagesAndGoesWithItsWindow) {
  auto control = std::make_unique<CountedControl>();
  const CountedControl* expected = control.get();
  const HWND window = Create(std::move(control), parent.Get());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(FlatControl::Of(window), expected);
  EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), reinterpret_cast<LRESULT>(expected));
  EXPECT_EQ(CountedControl::deleted, 0);
  DestroyWindow(parent.Get());
  EXPECT_EQ(CountedControl::deleted, 1);
}

TEST_F(FlatControlTest, AControlWhoseWindowIsNotMadeIsDeletedOnce) {
  // A child window without a parent fails before its first message.
  EXPECT_EQ(Create(std::make_unique<CountedControl>(), nullptr), nullptr);
  EXPECT_EQ(CountedControl::deleted, 1);
  // A window refused at WM_NCCREATE has been handed its control already.
  EXPECT_EQ(Create(std::make_unique<CountedControl>(true), parent.Get()), nullptr);
  EXPECT_EQ(CountedControl::deleted, 2);
  EXPECT_EQ(CountedControl::made, 2);
}

TEST_F(FlatControlTest, ADressedSystemControlGetsItsMessagesAndGoesWithItsWindow) {
  const HWND edit = CreateChildWindow("EDIT", parent.Get(), 2, {0, 0, 50, 20}, "", 0);
  ASSERT_NE(edit, nullptr);
  auto dress = std::make_unique<SystemDress>();
  const SystemDress* expected = dress.get();
  AttachToSystemControl(edit, std::move(dress));
  EXPECT_EQ(FlatControl::Of(edit), expected);
  EXPECT_EQ(SendMessageA(edit, WM_USER, 0, 0), reinterpret_cast<LRESULT>(expected));
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("kept"));  // the field still edits
  char text[8] = {};
  GetWindowTextA(edit, text, sizeof text);
  EXPECT_STREQ(text, "kept");
  DestroyWindow(edit);
  EXPECT_EQ(CountedControl::deleted, 1);
}

// A click is a press and a release inside the control; a release elsewhere, or one without a
// press, is none.
class ClickTest : public ::testing::Test {
 protected:
  static LPARAM At(int x, int y) { return MAKELPARAM(x, y); }
  void Click(HWND control, LPARAM up) {
    SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    SendMessageA(control, WM_LBUTTONUP, 0, up);
  }
  static WPARAM Clicked(int id) { return MAKEWPARAM(id, BN_CLICKED); }

  testing::RecordingParent parent;
};

TEST_F(ClickTest, TheCheckBoxTogglesAndTellsItsParentOfClicksOnly) {
  const HWND box = TFlatCheckBox::Create(parent.Get(), 5, {0, 0, 100, 17}, "option", RGB(0, 0, 0));
  Click(box, At(5, 5));
  EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  Click(box, At(150, 5));
  SendMessageA(box, WM_LBUTTONUP, 0, At(5, 5));
  EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(parent.commands, std::vector<WPARAM>{Clicked(5)});
  EXPECT_NE(GetCapture(), box);
}

TEST_F(ClickTest, OnlyAClickableLabelTellsItsParent) {
  LabelStyle clickable;
  clickable.clickable = true;
  const HWND link = MovingLabel::Create(parent.Get(), 6, {0, 20, 50, 40}, "link", clickable);
  const HWND text = MovingLabel::Create(parent.Get(), 7, {0, 50, 50, 70}, "text", LabelStyle{});
  Click(link, At(5, 5));
  Click(link, At(5, 50));
  Click(text, At(5, 5));
  EXPECT_EQ(parent.commands, std::vector<WPARAM>{Clicked(6)});
}

}  // namespace
}  // namespace dravik::windows

#endif  // _WIN32
