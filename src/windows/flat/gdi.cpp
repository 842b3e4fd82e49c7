#include "windows/flat/gdi.h"

#include <array>

namespace dravik::windows {

namespace {

HFONT MakeFont(int height, int weight, bool underlined) {
  LOGFONTA font{};
  font.lfHeight = height;
  font.lfWeight = weight;
  font.lfUnderline = underlined ? TRUE : FALSE;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  lstrcpynA(font.lfFaceName, kFontFace, LF_FACESIZE);
  return CreateFontIndirectA(&font);
}

}  // namespace

HFONT Font(FontKind kind) {
  static const std::array<HFONT, 4> fonts = {
      MakeFont(kTextHeight, FW_NORMAL, false),
      MakeFont(kTextHeight, FW_NORMAL, true),
      MakeFont(kTitleHeight, FW_BOLD, false),
      MakeFont(kBadgeHeight, FW_BOLD, false),
  };
  return fonts[static_cast<std::size_t>(kind)];
}

BufferedPaint::BufferedPaint(HDC target, const RECT& area)
    : target_(target),
      area_(area),
      memory_(CreateCompatibleDC(target)),
      bitmap_(CreateCompatibleBitmap(target, area.right - area.left, area.bottom - area.top)),
      previousBitmap_(SelectObject(memory_, bitmap_)) {
  SetWindowOrgEx(memory_, area.left, area.top, nullptr);
}

BufferedPaint::~BufferedPaint() {
  SetWindowOrgEx(memory_, 0, 0, nullptr);
  BitBlt(target_, area_.left, area_.top, area_.right - area_.left, area_.bottom - area_.top, memory_, 0, 0, SRCCOPY);
  SelectObject(memory_, previousBitmap_);
  DeleteObject(bitmap_);
  DeleteDC(memory_);
}

void FillSolid(HDC dc, const RECT& area, COLORREF colour) {
  const SolidBrush brush(colour);
  FillRect(dc, &area, brush.Get());
}

void FrameSolid(HDC dc, const RECT& area, COLORREF colour) {
  const SolidBrush brush(colour);
  FrameRect(dc, &area, brush.Get());
}

void FillArrow(HDC dc, const RECT& area, bool up, COLORREF colour) {
  constexpr int kHalfWidth = 3;
  const int centreX = (area.left + area.right - 1) / 2;
  const int top = (area.top + area.bottom) / 2 - 2;
  for (int row = 0; row <= kHalfWidth; ++row) {
    const int half = up ? row : kHalfWidth - row;
    FillSolid(dc, {centreX - half, top + row, centreX + half + 1, top + row + 1}, colour);
  }
}

void DrawTextIn(HDC dc, const char* text, int length, RECT area, UINT format, COLORREF colour, HFONT font) {
  const Selection selected(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  DrawTextA(dc, text, length, &area, format);
}

}  // namespace dravik::windows
