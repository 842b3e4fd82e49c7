#include "windows/flat/flat_spin_edit.h"

#include <memory>

#include "windows/flat/window_geometry.h"

namespace dravik::windows {

namespace {

constexpr int kButtonsWidth = 11;
constexpr UINT kFirstRepeatMs = 400;
constexpr UINT kRepeatMs = 100;

}  // namespace

HWND TFlatSpinEditInteger::Create(HWND parent, int id, const RECT& place, char decimalSeparator, SpinEvents events) {
  return TFlatEdit::Create(parent, id, place, WS_TABSTOP | ES_AUTOHSCROLL,
                           std::make_unique<TFlatSpinEditInteger>(decimalSeparator, std::move(events)));
}

TFlatSpinEditInteger::TFlatSpinEditInteger(char decimalSeparator, SpinEvents events)
    : decimalSeparator_(decimalSeparator), events_(std::move(events)), held_(kFirstRepeatMs, kRepeatMs) {}

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
  if (held_.Handle(edit, message, wParam, [&](int button) { return OnRepeat(edit, button); })) return true;
  switch (message) {
    case WM_NCHITTEST:
      if (ButtonAt(edit, PointOf(lParam)) == 0) return false;
      result = HTBORDER;  // the buttons are ours; the field must not start a text selection there
      return true;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK: {
      const int button = ButtonAt(edit, PointOf(lParam));
      if (button == 0) return false;
      OnButtonDown(edit, button);
      return true;
    }
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
  const POINT point = InWindow(edit, screen);
  const RECT area = ButtonsArea(edit);
  if (PtInRect(&area, point) == FALSE) return 0;
  return point.y < (area.top + area.bottom) / 2 ? 1 : -1;
}

bool TFlatSpinEditInteger::Accepts(char typed) const {
  // Control characters (backspace, the clipboard's keys) keep their editing meaning.
  if (static_cast<unsigned char>(typed) < ' ') return true;
  return (typed >= '0' && typed <= '9') || typed == '+' || typed == '-' || typed == decimalSeparator_;
}

void TFlatSpinEditInteger::OnButtonDown(HWND edit, int button) {
  held_.Press(edit, button);
  events_.step(button);
  held_.StartRepeats(edit);
}

// A held button steps only while the cursor is over it, and goes on when it comes back.
bool TFlatSpinEditInteger::OnRepeat(HWND edit, int button) {
  POINT cursor{};
  GetCursorPos(&cursor);
  if (ButtonAt(edit, cursor) == button) events_.step(button);
  return true;
}

}  // namespace dravik::windows
