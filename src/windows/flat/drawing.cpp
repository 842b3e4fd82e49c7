#include "windows/flat/drawing.h"

#include <array>

#include "windows/flat/window_geometry.h"

namespace dravik::windows {

namespace {

GdiObject<HFONT> MakeFont(int height, int weight, bool underlined) {
  LOGFONTA font{};
  font.lfHeight = height;
  font.lfWeight = weight;
  font.lfUnderline = underlined ? TRUE : FALSE;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  lstrcpynA(font.lfFaceName, kFontFace, LF_FACESIZE);
  return GdiObject<HFONT>(CreateFontIndirectA(&font));
}

}  // namespace

HFONT Font(FontKind kind) {
  static const std::array<GdiObject<HFONT>, 4> fonts = {
      MakeFont(kTextHeight, FW_NORMAL, false),
      MakeFont(kTextHeight, FW_NORMAL, true),
      MakeFont(kTitleHeight, FW_BOLD, false),
      MakeFont(kBadgeHeight, FW_BOLD, false),
  };
  return fonts[static_cast<std::size_t>(kind)].Get();
}

void UseFont(HWND control, FontKind kind) {
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(Font(kind)), FALSE);
}

BufferedPaint::BufferedPaint(HWND window, COLORREF background)
    : paint_(window),
      client_(ClientArea(window)),
      memory_(paint_.Get()),
      picture_(paint_.Get(), client_.right, client_.bottom),
      selected_(memory_.Get(), picture_.Get()) {
  FillSolid(memory_.Get(), client_, background);
}

BufferedPaint::~BufferedPaint() {
  BitBlt(paint_.Get(), 0, 0, client_.right, client_.bottom, memory_.Get(), 0, 0, SRCCOPY);
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
