// The buffered paint fills the whole client area before the window draws on it, shows what was
// drawn, and ends the paint, so that the window is not asked to paint again at once.

#ifdef _WIN32

#include "windows/flat/drawing.h"

#include <gtest/gtest.h>

#include "scratch_window.h"
#include "windows/flat/window_geometry.h"

namespace dravik::windows {
namespace {

constexpr char kClassName[] = "DravikDrawingTest";
constexpr COLORREF kFill = RGB(12, 34, 56);
constexpr COLORREF kMark = RGB(200, 100, 0);
constexpr RECT kMarkArea{10, 10, 20, 20};

int paints = 0;

LRESULT CALLBACK PaintWithMark(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) return 1;
  if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
  ++paints;
  const BufferedPaint paint(window, kFill);
  FillSolid(paint.Dc(), kMarkArea, kMark);
  return 0;
}

TEST(BufferedPaintTest, FillsTheClientAreaShowsTheDrawingAndEndsThePaint) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = PaintWithMark;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kClassName;
  RegisterClassExA(&windowClass);
  const testing::ScratchWindow window(kClassName);
  ShowWindow(window.Get(), SW_SHOWNA);
  paints = 0;
  InvalidateRect(window.Get(), nullptr, FALSE);
  UpdateWindow(window.Get());
  EXPECT_EQ(paints, 1);
  EXPECT_FALSE(GetUpdateRect(window.Get(), nullptr, FALSE));
  const RECT client = ClientArea(window.Get());
  const ClientDc dc(window.Get());
  EXPECT_EQ(GetPixel(dc.Get(), 0, 0), kFill);
  EXPECT_EQ(GetPixel(dc.Get(), client.right - 1, client.bottom - 1), kFill);
  EXPECT_EQ(GetPixel(dc.Get(), kMarkArea.left, kMarkArea.top), kMark);
  EXPECT_EQ(GetPixel(dc.Get(), kMarkArea.right, kMarkArea.bottom), kFill);
}

}  // namespace
}  // namespace dravik::windows

#endif  // _WIN32
