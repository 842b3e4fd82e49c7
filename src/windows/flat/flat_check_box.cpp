#include "windows/flat/flat_check_box.h"

#include <array>
#include <memory>
#include <optional>


namespace dravik::windows {

namespace {

constexpr int kBoxSize = 11;
constexpr int kCaptionGap = 5;

}  // namespace

HWND TFlatCheckBox::Create(HWND parent, int id, const RECT& place, const std::string& caption, COLORREF background) {
  return CreateControlWindow(std::make_unique<TFlatCheckBox>(background), parent, id, place, caption.c_str(),
                             WS_TABSTOP);
}

LRESULT TFlatCheckBox::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (const std::optional<LRESULT> painted = AnswerPaint(message, [&] { Paint(window); })) return *painted;
  switch (message) {
    case WM_LBUTTONDOWN:
      SetFocus(window);
      SetCapture(window);
      SetPressed(window, true);
      return 0;
    case WM_LBUTTONUP:
      OnButtonUp(window, lParam);
      return 0;
    case WM_CAPTURECHANGED:
      SetPressed(window, false);
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE) Toggle(window);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_BUTTON;
    case BM_CLICK:
      Toggle(window);
      return 0;
    case BM_GETCHECK:
      return checked_ ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
      checked_ = wParam == BST_CHECKED;
      InvalidateRect(window, nullptr, FALSE);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void TFlatCheckBox::Paint(HWND window) const {
  const BufferedPaint paint(window, background_);
  PaintBox(paint.Dc(), paint.Client());
  const std::string caption = WindowText(window);
  RECT text = paint.Client();
  text.left += kBoxSize + kCaptionGap;
  DrawTextIn(paint.Dc(), caption.c_str(), static_cast<int>(caption.size()), text,
             DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER, kInkColour, Font(FontKind::Text));
}

void TFlatCheckBox::PaintBox(HDC dc, const RECT& client) const {
  const int top = client.top + (client.bottom - client.top - kBoxSize) / 2;
  const RECT box{client.left, top, client.left + kBoxSize, top + kBoxSize};
  FillSolid(dc, box, pressed_ ? ColorDown : ColorFocused);
  FrameSolid(dc, box, ColorBorder);
  if (!checked_) return;
  // A tick of short lines, two pixels thick: down to the lower third, then up to the right.
  const int x = box.left;
  const int y = box.top;
  constexpr std::array<std::array<int, 2>, 7> kTickColumns = {{{5, 7}, {6, 8}, {7, 9}, {6, 8}, {5, 7}, {4, 6}, {3, 5}}};
  for (std::size_t column = 0; column < kTickColumns.size(); ++column) {
    const int left = x + 2 + static_cast<int>(column);
    FillSolid(dc, {left, y + kTickColumns[column][0] - 1, left + 1, y + kTickColumns[column][1] - 1}, ColorCheck);
  }
}

void TFlatCheckBox::SetPressed(HWND window, bool pressed) {
  if (pressed_ == pressed) return;
  pressed_ = pressed;
  InvalidateRect(window, nullptr, FALSE);
}

void TFlatCheckBox::OnButtonUp(HWND window, LPARAM lParam) {
  const bool wasPressed = pressed_;
  if (ReleasedInside(window, lParam) && wasPressed) Toggle(window);
}

void TFlatCheckBox::Toggle(HWND window) {
  checked_ = !checked_;
  InvalidateRect(window, nullptr, FALSE);
  NotifyClicked(window);
}

}  // namespace dravik::windows
