#include "windows/flat/glyph.h"

#include <array>

#include "core/associations/fixed_extensions.h"
#include "windows/flat/drawing.h"

namespace dravik::windows {

namespace {

constexpr int kBoxSize = 22;
constexpr int kStroke = 2;
constexpr int kMarkInset = 5;  // between the box's inner edge and the mark

void PaintBox(HDC dc, int left, int top) {
  const RECT box{left, top, left + kBoxSize, top + kBoxSize};
  FrameSolid(dc, box, kInkColour);
  const RECT inner{left + 1, top + 1, left + kBoxSize - 1, top + kBoxSize - 1};
  FrameSolid(dc, inner, kInkColour);
}

void PaintPolyline(HDC dc, const POINT* points, int count) {
  const SolidPen pen(kInkColour, kStroke);
  const Selection selected(dc, pen.Get());
  Polyline(dc, points, count);
}

void PaintTick(HDC dc, int left, int top) {
  constexpr int kSpan = kBoxSize - 2 * kMarkInset;
  const std::array<POINT, 3> tick = {{
      {left + kMarkInset, top + kBoxSize / 2},
      {left + kMarkInset + kSpan / 3, top + kBoxSize - kMarkInset - 1},
      {left + kBoxSize - kMarkInset, top + kMarkInset},
  }};
  PaintPolyline(dc, tick.data(), static_cast<int>(tick.size()));
}

void PaintCross(HDC dc, int left, int top) {
  const int low = kMarkInset;
  const int high = kBoxSize - kMarkInset - 1;
  const std::array<POINT, 2> down = {{{left + low, top + low}, {left + high, top + high}}};
  const std::array<POINT, 2> up = {{{left + low, top + high}, {left + high, top + low}}};
  PaintPolyline(dc, down.data(), 2);
  PaintPolyline(dc, up.data(), 2);
}

}  // namespace

void PaintGlyph(HDC dc, const RECT& area, char state) {
  const int left = area.left + (area.right - area.left - kBoxSize) / 2;
  const int top = area.top + (area.bottom - area.top - kBoxSize) / 2;
  PaintBox(dc, left, top);
  if (state == core::kGlyphTicked)
    PaintTick(dc, left, top);
  else
    PaintCross(dc, left, top);
}

}  // namespace dravik::windows
