#include "windows/flat/flat_spin_edit.h"

#include <array>
#include <memory>


namespace dravik::windows {

namespace {

constexpr int kButtonsWidth = 11;
constexpr UINT kFirstRepeatMs = 400;
constexpr UINT kRepeatMs = 100;

POINT ScreenPointOf(LPARAM lParam) {
  return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

}  // namespace

HWND TFlatSpinEditInteger::Create(HWND parent, int id, const RECT& place, char decimalSeparator, SpinEvents events) {
  return TFlatEdit::Create(parent, id, place, WS_TABSTOP | ES_AUTOHSCROLL,
                           std::make_unique<TFlatSpinEditInteger>(decimalSeparator, std::move(events)));
}

int TFlatSpinEditInteger::ButtonsWidth() const { return kButtonsWidth; }

void TFlatSpinEditInteger::PaintButtons(HDC dc, const RECT& area) const {
  FillSolid(dc, area, kFieldColour);
  const int middle = (area.top + area.bottom) / 2;
  FillSolid(dc, {area.left, area.top, area.left + 1, area.bottom}, ColorBorder);
  FillSolid(dc, {area.left, middle, area.right, middle + 1}, ColorBorder);
  FillArrow(dc, {area.left + 1, area.top, area.right, middle}, true, kInkColour);
  FillArrow(dc, {area.left + 1, middle + 1, area.right, area.bottom}, false, kInkColour);
}

bool TFlatSpinEditInteger::HandleOwn(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_NCHITTEST:
      if (ButtonAt(edit, ScreenPointOf(lParam)) == 0) return false;
      result = HTBORDER;  // the buttons are ours; the field must not start a text selection there
      return true;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      if (ButtonAt(edit, ScreenPointOf(lParam)) == 0) return false;
      OnButtonDown(edit, ScreenPointOf(lParam));
      return true;
    case WM_TIMER:
      if (!repeat_.Is(wParam)) return false;
      OnRepeat(edit);
      return true;
    case WM_LBUTTONUP:
      if (held_ == 0) return false;
      ReleaseCapture();  // ends the repeat through WM_CAPTURECHANGED
      return true;
    case WM_MOUSEMOVE:
      return held_ != 0;
    case WM_CAPTURECHANGED:
      if (held_ == 0) return false;
      StopRepeat();
      return true;
    case WM_KEYDOWN:
      if (wParam != VK_UP && wParam != VK_DOWN) return false;
      events_.step(wParam == VK_UP ? 1 : -1);
      return true;
    case WM_CHAR:
      if (Accepts(static_cast<char>(wParam))) return false;
      MessageBeep(MB_OK);
      return true;
    case WM_KILLFOCUS:
      events_.leave();
      return false;
  }
  return false;
}

int TFlatSpinEditInteger::ButtonAt(HWND edit, POINT screen) const {
  RECT window{};
  GetWindowRect(edit, &window);
  const POINT point{screen.x - window.left, screen.y - window.top};
  const RECT area = ButtonsArea(edit);
  if (PtInRect(&area, point) == FALSE) return 0;
  return point.y < (area.top + area.bottom) / 2 ? 1 : -1;
}

bool TFlatSpinEditInteger::Accepts(char typed) const {
  // Control characters (backspace, the clipboard's keys) keep their editing meaning.
  if (static_cast<unsigned char>(typed) < ' ') return true;
  return (typed >= '0' && typed <= '9') || typed == '+' || typed == '-' || typed == decimalSeparator_;
}

void TFlatSpinEditInteger::OnButtonDown(HWND edit, POINT screen) {
  held_ = ButtonAt(edit, screen);
  SetFocus(edit);
  SetCapture(edit);
  events_.step(held_);
  repeat_.Start(edit, kFirstRepeatMs);
}

// A held button repeats only while the cursor is still over it.
void TFlatSpinEditInteger::OnRepeat(HWND edit) {
  repeat_.Start(edit, kRepeatMs);
  POINT cursor{};
  GetCursorPos(&cursor);
  if (ButtonAt(edit, cursor) == held_) events_.step(held_);
}

void TFlatSpinEditInteger::StopRepeat() {
  held_ = 0;
  repeat_.Stop();
}

}  // namespace dravik::windows
