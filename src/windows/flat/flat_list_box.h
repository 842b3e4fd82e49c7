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
#include "windows/flat/window_timer.h"

namespace dravik::windows {

class TFlatListBox : public FlatControl {
 public:
  static constexpr int kItemHeight = 17;

  static HWND Create(HWND parent, int id, const RECT& place);

  LRESULT HandleMessage(HWND list, UINT message, WPARAM wParam, LPARAM lParam) override;
  std::optional<LRESULT> OnReflected(HWND list, UINT message, WPARAM wParam, LPARAM lParam) override;

  COLORREF ColorBorder = kInkColour;
  COLORREF ColorArrow = kInkColour;
  COLORREF ColorItemsRect = kFieldColour;
  COLORREF ColorItemsSelect = kFieldColour;

 private:
  enum class Band { None, Up, Down };

  bool OnKeyDown(HWND list, WPARAM key);
  void OnWheel(HWND list, int delta);
  void OnBandDown(HWND list, Band band);
  void OnRepeat(HWND list);
  void StopRepeat();
  // Scrolls by `entries`, never past the first or the last page; false when it could not move.
  bool Scroll(HWND list, int entries) const;
  int VisibleEntries(HWND list) const;
  int LastTop(HWND list) const;
  Band BandAt(HWND list, POINT screen) const;

  void Paint(HWND list) const;
  void PaintEntry(HWND list, HDC dc, int index, const RECT& area, bool selected) const;
  void PaintFrame(HWND list) const;
  void PaintArrow(HDC dc, const RECT& band, bool up, bool enabled) const;

  Band held_ = Band::None;
  WindowTimer repeat_{1};
  int wheelRest_ = 0;  // wheel movement below one notch, kept for the next
};

}  // namespace dravik::windows
