#include "windows/flat/flat_panel.h"

#include "windows/flat/drawing.h"

namespace dravik::windows {

void TFlatPanel::Paint(HDC dc) const {
  FillSolid(dc, bounds, fill);
  const RECT& b = bounds;
  FillSolid(dc, {b.left, b.top, b.right, b.top + 1}, ColorHighLight);
  FillSolid(dc, {b.left, b.top, b.left + 1, b.bottom}, ColorHighLight);
  FillSolid(dc, {b.left, b.bottom - 1, b.right, b.bottom}, ColorShadow);
  FillSolid(dc, {b.right - 1, b.top, b.right, b.bottom}, ColorShadow);
}

}  // namespace dravik::windows
