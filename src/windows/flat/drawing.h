#pragma once
// How the flat windows draw: their colours and fonts, the shapes every control shares, and the
// double-buffered paint of a window that draws every pixel of its client area itself.

#include <optional>

#include <windows.h>

#include "windows/flat/gdi_scope.h"

namespace dravik::windows {

inline constexpr COLORREF kBackgroundColour = RGB(168, 186, 215);
inline constexpr COLORREF kInkColour = RGB(0, 64, 128);
inline constexpr COLORREF kFieldColour = RGB(238, 240, 247);
inline constexpr COLORREF kDisabledArrowColour = RGB(128, 128, 128);
inline constexpr COLORREF kArrowShadowColour = RGB(255, 255, 255);

inline constexpr const char* kFontFace = "Tahoma";
// Negative heights ask for the character height, without the internal leading.
inline constexpr int kTextHeight = -11;
inline constexpr int kTitleHeight = -19;
inline constexpr int kBadgeHeight = -9;  // the type letters on the image pictures

enum class FontKind { Text, Underlined, Title, Badge };

// The program's fonts, made once at first use and deleted when the program ends.
HFONT Font(FontKind kind);
// Makes a control draw its text in the font of `kind`.
void UseFont(HWND control, FontKind kind);

// A window's WM_PAINT: draw into Dc(), an off-screen picture of the client area that starts
// filled with `background`. The destructor copies it onto the window in one step, so that nothing
// flickers, and ends the paint. Such a window has nothing to erase first.
class BufferedPaint {
 public:
  BufferedPaint(HWND window, COLORREF background);
  ~BufferedPaint();
  BufferedPaint(const BufferedPaint&) = delete;
  BufferedPaint& operator=(const BufferedPaint&) = delete;
  HDC Dc() const { return memory_.Get(); }
  const RECT& Client() const { return client_; }

 private:
  PaintDc paint_;
  RECT client_;
  MemoryDc memory_;
  CompatibleBitmap picture_;
  Selection selected_;
};

// What a window painting itself whole with BufferedPaint answers to the paint messages:
// WM_ERASEBKGND is done (erasing first would only flicker), and WM_PAINT is paint()'s. Nothing
// for other messages.
template <typename Paint>
std::optional<LRESULT> AnswerPaint(UINT message, Paint&& paint) {
  if (message == WM_ERASEBKGND) return 1;
  if (message != WM_PAINT) return std::nullopt;
  paint();
  return 0;
}

// A system control's answer to its parent's question for its colours: ink text on `background`.
// The text's own background (a colour, or none) is the control's to set.
inline LRESULT InkOn(HDC dc, const SolidBrush& background) {
  SetTextColor(dc, kInkColour);
  return reinterpret_cast<LRESULT>(background.Get());
}

void FillSolid(HDC dc, const RECT& area, COLORREF colour);
// A one-pixel frame just inside `area`.
void FrameSolid(HDC dc, const RECT& area, COLORREF colour);
// A small solid triangle pointing up or down, centred in `area`: the flat controls' arrows.
void FillArrow(HDC dc, const RECT& area, bool up, COLORREF colour);
// Text in `colour` with a transparent background.
void DrawTextIn(HDC dc, const char* text, int length, RECT area, UINT format, COLORREF colour, HFONT font);

}  // namespace dravik::windows
