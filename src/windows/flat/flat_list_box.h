#pragma once
// TFlatListBox: a standard owner-drawn list box drawn flat, with scroll arrows of its own in bands
// at its top and bottom instead of a scroll bar. The list keeps its standard messages (LB_*),
// selection by click and LBN_SELCHANGE; its keys and the mouse wheel only scroll. The owner keeps
// the entries in the order it wants shown.
//
// The list paints itself whole, double-buffered: the WM_DRAWITEM its parent receives for a changed
// entry comes back to it and repaints it all.

#include <optional>

#include <windows.h>

#include "windows/flat/drawing.h"
#include "windows/flat/flat_control.h"
#include "windows/flat/held_button.h"

namespace dravik::windows {

class TFlatListBox : public FlatControl {
 public:
  static constexpr int kItemHeight = 17;

  static HWND Create(HWND parent, int id, const RECT& place);

  TFlatListBox();

  LRESULT HandleMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) override;
  std::optional<LRESULT> OnReflected(HWND list, UINT message, WPARAM wParam, LPARAM lParam) override;

  COLORREF ColorBorder = kInkColour;
  COLORREF ColorArrow = kInkColour;
  COLORREF ColorItemsRect = kFieldColour;
  COLORREF ColorItemsSelect = kFieldColour;

 private:
  bool OnKeyDown(HWND list, WPARAM key);
  void OnWheel(HWND list, int delta);
  void OnBandDown(HWND list, int band);
  // Scrolls by `entries`, never past the first or the last page; false when it could not move.
  bool Scroll(HWND list, int entries) const;
  int VisibleEntries(HWND list) const;
  int LastTop(HWND list) const;
  // The band under a screen point, as the entries it scrolls by: -1 the upper, 1 the lower, 0
  // none.
  int BandAt(HWND list, POINT screen) const;

  void Paint(HWND list) const;
  void PaintEntry(HWND list, HDC dc, int index, const RECT& area, bool selected) const;
  void PaintFrame(HWND list) const;
  void PaintArrow(HDC dc, const RECT& band, bool up, bool enabled) const;

  HeldButton held_;
  int wheelRest_ = 0;  // wheel movement below one notch, kept for the next
};

}  // namespace dravik::windows
