#pragma once
// Scope guards for what painting borrows from the system: every device context is given back or
// deleted, every object selected into one is selected out again, and every GDI object made is
// deleted, however the scope is left.

#include <windows.h>

namespace dravik::windows {

// A brush, pen, font or bitmap this program made; deleted with the guard.
template <typename Handle>
class GdiObject {
 public:
  explicit GdiObject(Handle handle) : handle_(handle) {}
  ~GdiObject() {
    if (handle_ != nullptr) DeleteObject(handle_);
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  Handle Get() const { return handle_; }

 private:
  Handle handle_;
};

class SolidBrush : public GdiObject<HBRUSH> {
 public:
  explicit SolidBrush(COLORREF colour) : GdiObject(CreateSolidBrush(colour)) {}
};

class SolidPen : public GdiObject<HPEN> {
 public:
  SolidPen(COLORREF colour, int width) : GdiObject(CreatePen(PS_SOLID, width, colour)) {}
};

// A bitmap that a device context compatible with `dc` can hold.
class CompatibleBitmap : public GdiObject<HBITMAP> {
 public:
  CompatibleBitmap(HDC dc, int width, int height) : GdiObject(CreateCompatibleBitmap(dc, width, height)) {}
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

// What BeginPaint gives for a window's WM_PAINT; EndPaint ends it.
class PaintDc {
 public:
  explicit PaintDc(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~PaintDc() { EndPaint(window_, &paint_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// A device context that a window lends: given back with ReleaseDC.
class BorrowedDc {
 public:
  ~BorrowedDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  BorrowedDc(const BorrowedDc&) = delete;
  BorrowedDc& operator=(const BorrowedDc&) = delete;
  HDC Get() const { return dc_; }

 protected:
  BorrowedDc(HWND window, HDC dc) : window_(window), dc_(dc) {}

 private:
  HWND window_;
  HDC dc_;
};

// The client area's device context (for measuring text in the window's terms).
class ClientDc : public BorrowedDc {
 public:
  explicit ClientDc(HWND window) : BorrowedDc(window, GetDC(window)) {}
};

// The whole window's device context, non-client area included (for frames drawn in it).
class WindowDc : public BorrowedDc {
 public:
  explicit WindowDc(HWND window) : BorrowedDc(window, GetWindowDC(window)) {}
};

// An off-screen device context compatible with `target`.
class MemoryDc {
 public:
  explicit MemoryDc(HDC target) : dc_(CreateCompatibleDC(target)) {}
  ~MemoryDc() {
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace dravik::windows
