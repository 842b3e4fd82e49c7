#include "windows/flat/flat_edit.h"

#include <commctrl.h>

#include "windows/flat/window_geometry.h"

namespace dravik::windows {

namespace {

constexpr int kFrameWidth = 2;

}  // namespace

HWND TFlatEdit::Create(HWND parent, int id, const RECT& place, DWORD style, std::unique_ptr<TFlatEdit> flat) {
  const HWND edit = CreateChildWindow("EDIT", parent, id, place, "", style);
  if (edit != nullptr) AttachToSystemControl(edit, std::move(flat));
  return edit;
}

std::optional<LRESULT> TFlatEdit::OnReflected(HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_CTLCOLOREDIT) return std::nullopt;
  const auto dc = reinterpret_cast<HDC>(wParam);
  // The field redraws characters in place, over their own background.
  SetBkColor(dc, kFieldColour);
  return InkOn(dc, fieldBrush_);
}

LRESULT TFlatEdit::HandleMessage(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (HandleOwn(edit, message, wParam, lParam, result)) return result;
  switch (message) {
    case WM_NCCALCSIZE:
      OnCalcSize(lParam);
      return 0;
    case WM_NCPAINT:
      PaintFrame(edit);
      return 0;
  }
  return DefSubclassProc(edit, message, wParam, lParam);
}

// Both forms of the message carry the window's rectangle first; the client area is what is left
// inside the frame and the buttons.
void TFlatEdit::OnCalcSize(LPARAM lParam) const {
  auto* area = reinterpret_cast<RECT*>(lParam);
  InflateRect(area, -kFrameWidth, -kFrameWidth);
  area->right -= ButtonsWidth();
}

RECT TFlatEdit::ButtonsArea(HWND edit) const {
  const RECT whole = WindowArea(edit);
  return {whole.right - kFrameWidth - ButtonsWidth(), kFrameWidth, whole.right - kFrameWidth,
          whole.bottom - kFrameWidth};
}

void TFlatEdit::PaintFrame(HWND edit) const {
  const RECT whole = WindowArea(edit);
  const WindowDc dc(edit);
  FrameSolid(dc.Get(), whole, ColorBorder);
  const RECT inner{1, 1, whole.right - 1, whole.bottom - 1};
  FrameSolid(dc.Get(), inner, kBackgroundColour);
  if (ButtonsWidth() > 0) PaintButtons(dc.Get(), ButtonsArea(edit));
}

}  // namespace dravik::windows
