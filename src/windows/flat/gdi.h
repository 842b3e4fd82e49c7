#pragma once
// The windows' colours and fonts, and scope guards for the GDI objects that paint them: every
// object selected into a device context is selected out again, every object made is deleted.

#include <windows.h>

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

// The program's fonts, made once at first use and kept for the program's life.
HFONT Font(FontKind kind);

class GdiObject {
 public:
  explicit GdiObject(HGDIOBJ object) : object_(object) {}
  ~GdiObject() {
    if (object_ != nullptr) DeleteObject(object_);
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  HGDIOBJ Get() const { return object_; }

 private:
  HGDIOBJ object_;
};

class SolidBrush : public GdiObject {
 public:
  explicit SolidBrush(COLORREF colour) : GdiObject(CreateSolidBrush(colour)) {}
  HBRUSH Get() const { return static_cast<HBRUSH>(GdiObject::Get()); }
};

class SolidPen : public GdiObject {
 public:
  SolidPen(COLORREF colour, int width) : GdiObject(CreatePen(PS_SOLID, width, colour)) {}
};

class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Selection() { SelectObject(dc_, previous_); }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
  ~PaintScope() { EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC Dc() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// A window's whole device context, non-client area included (for frames drawn in it).
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetWindowDC(window)) {}
  ~WindowDc() { ReleaseDC(window_, dc_); }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Dc() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// An off-screen picture of `area` of `target`: draw into Dc() in target coordinates; the
// destructor copies it onto the target in one step, so that nothing flickers.
class BufferedPaint {
 public:
  BufferedPaint(HDC target, const RECT& area);
  ~BufferedPaint();
  BufferedPaint(const BufferedPaint&) = delete;
  BufferedPaint& operator=(const BufferedPaint&) = delete;
  HDC Dc() const { return memory_; }

 private:
  HDC target_;
  RECT area_;
  HDC memory_;
  HBITMAP bitmap_;
  HGDIOBJ previousBitmap_;
};

void FillSolid(HDC dc, const RECT& area, COLORREF colour);
// A one-pixel frame just inside `area`.
void FrameSolid(HDC dc, const RECT& area, COLORREF colour);
// A small solid triangle pointing up or down, centred in `area`: the flat controls' arrows.
void FillArrow(HDC dc, const RECT& area, bool up, COLORREF colour);
// Text in `colour` with a transparent background.
void DrawTextIn(HDC dc, const char* text, int length, RECT area, UINT format, COLORREF colour, HFONT font);

}  // namespace dravik::windows
