// The notifications a window receives about a child control go back to the child's own control,
// which chooses its colours or repaints itself; whatever a child leaves still reaches the window.

#ifdef _WIN32

#include "windows/flat/window_procedure.h"

#include <gtest/gtest.h>

#include "scratch_window.h"
#include "windows/flat/drawing.h"
#include "windows/flat/flat_edit.h"
#include "windows/flat/flat_list_box.h"
#include "windows/flat/static_text.h"

namespace dravik::windows {
namespace {

COLORREF BrushColour(LRESULT brush) {
  LOGBRUSH look{};
  GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof look, &look);
  return look.lbColor;
}

class ReflectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(window, nullptr);
    edit = TFlatEdit::Create(window, 1, {0, 0, 100, 20}, 0);
    text = StaticText::Create(window, 2, {0, 30, 100, 50}, "text", 0);
    list = TFlatListBox::Create(window, 3, {0, 60, 100, 160});
    plainEdit = CreateChildWindow("EDIT", window, 4, {110, 0, 200, 20}, "", 0);
    parent.heard.clear();
  }
  LRESULT Send(UINT message, HWND child) {
    return SendMessageA(window, message, reinterpret_cast<WPARAM>(dc.Get()), reinterpret_cast<LPARAM>(child));
  }
  LRESULT SendDrawItem(UINT type, HWND item) {
    DRAWITEMSTRUCT draw{};
    draw.CtlType = type;
    draw.hwndItem = item;
    draw.hDC = dc.Get();
    return SendMessageA(window, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw));
  }

  testing::RecordingParent parent;
  HWND window = parent.Get();
  HWND edit = nullptr;
  HWND text = nullptr;
  HWND list = nullptr;
  HWND plainEdit = nullptr;
  MemoryDc dc{nullptr};
};

TEST_F(ReflectionTest, FlatFieldsAndTextsAnswerTheirOwnColours) {
  const LRESULT fieldBrush = Send(WM_CTLCOLOREDIT, edit);
  EXPECT_EQ(BrushColour(fieldBrush), kFieldColour);
  EXPECT_EQ(GetTextColor(dc.Get()), kInkColour);
  EXPECT_EQ(GetBkColor(dc.Get()), kFieldColour);

  SetBkMode(dc.Get(), OPAQUE);
  SetTextColor(dc.Get(), RGB(1, 1, 1));
  EXPECT_EQ(BrushColour(Send(WM_CTLCOLORSTATIC, text)), kBackgroundColour);
  EXPECT_EQ(GetTextColor(dc.Get()), kInkColour);
  EXPECT_EQ(GetBkMode(dc.Get()), TRANSPARENT);
  EXPECT_FALSE(parent.Heard(WM_CTLCOLOREDIT));
  EXPECT_FALSE(parent.Heard(WM_CTLCOLORSTATIC));
}

TEST_F(ReflectionTest, WhatNoChildAnswersReachesTheWindow) {
  Send(WM_CTLCOLOREDIT, plainEdit);
  EXPECT_TRUE(parent.Heard(WM_CTLCOLOREDIT));
  Send(WM_CTLCOLORSTATIC, edit);  // a field asks for the static colours only when read-only
  EXPECT_TRUE(parent.Heard(WM_CTLCOLORSTATIC));
  // A menu's item: its hwndItem is a menu handle, never to be taken for a window.
  SendDrawItem(ODT_MENU, list);
  EXPECT_TRUE(parent.Heard(WM_DRAWITEM));
}

TEST_F(ReflectionTest, TheListRepaintsItselfWholeForAChangedEntry) {
  // Only a shown window collects what is to be repainted.
  ShowWindow(window, SW_SHOWNA);
  ShowWindow(list, SW_SHOWNA);
  ValidateRect(list, nullptr);
  EXPECT_EQ(SendDrawItem(ODT_LISTBOX, list), TRUE);
  EXPECT_FALSE(parent.Heard(WM_DRAWITEM));
  RECT update{};
  ASSERT_TRUE(GetUpdateRect(list, &update, FALSE));
  RECT client{};
  GetClientRect(list, &client);
  EXPECT_TRUE(EqualRect(&update, &client));
}

// The list asks its parent for the entries' height while it is being made; a parent that does
// not answer must not leave it with the font's height.
TEST_F(ReflectionTest, TheListSetsItsEntriesHeightItself) {
  EXPECT_EQ(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0), TFlatListBox::kItemHeight);
}

}  // namespace
}  // namespace dravik::windows

#endif  // _WIN32
