#pragma once
// A flat panel: a filled rectangle with a one-pixel frame, lit from the top left. It is no window
// of its own: its parent paints it beneath the controls placed on it.

#include <windows.h>

namespace dravik::windows {

struct TFlatPanel {
  RECT bounds;  // in the parent's client coordinates
  COLORREF fill;
  COLORREF ColorHighLight;  // top and left edges
  COLORREF ColorShadow;     // bottom and right edges

  void Paint(HDC dc) const;
  bool Contains(POINT point) const { return PtInRect(&bounds, point) != FALSE; }
};

}  // namespace dravik::windows
