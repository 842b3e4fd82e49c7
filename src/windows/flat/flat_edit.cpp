#include "windows/flat/flat_edit.h"

#include <commctrl.h>

#include "windows/flat/own_window.h"

namespace dravik::windows {

namespace {

constexpr UINT_PTR kSubclassId = 0x464C4544;  // one flat subclass per field
// Marks flat fields, so that a field can tell whether the focus is in another flat field.
constexpr const char* kFlatProperty = "DravikFlatEdit";
constexpr int kFrameWidth = 2;

TFlatEdit* FlatOf(HWND window) {
  return window == nullptr ? nullptr : static_cast<TFlatEdit*>(GetPropA(window, kFlatProperty));
}

}  // namespace

HWND TFlatEdit::Create(HWND parent, int id, const RECT& place, DWORD style) {
  const HWND edit = CreateChildWindow("EDIT", parent, id, place, "", style);
  if (edit != nullptr) Attach(edit, std::make_unique<TFlatEdit>());
  return edit;
}

void TFlatEdit::Attach(HWND edit, std::unique_ptr<TFlatEdit> flat) {
  TFlatEdit* owned = flat.release();
  SetPropA(edit, kFlatProperty, owned);
  SetWindowSubclass(edit, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(owned));
  // The frame's width changes with the subclass: the field must measure its frame again.
  SetWindowPos(edit, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

HBRUSH TFlatEdit::ControlColour(HWND edit, HDC dc) {
  const TFlatEdit* flat = FlatOf(edit);
  if (flat == nullptr) return nullptr;
  SetTextColor(dc, kInkColour);
  SetBkColor(dc, kFieldColour);
  return flat->ShowsFocused(edit) ? flat->focusedBrush_.Get() : flat->flatBrush_.Get();
}

LRESULT CALLBACK TFlatEdit::SubclassProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self) {
  auto* flat = reinterpret_cast<TFlatEdit*>(self);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(edit, SubclassProc, id);
    RemovePropA(edit, kFlatProperty);
    delete flat;
    return DefSubclassProc(edit, message, wParam, lParam);
  }
  return flat->HandleMessage(edit, message, wParam, lParam);
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
    case WM_MOUSEMOVE:
      OnMouseMove(edit);
      break;
    case WM_MOUSELEAVE:
      SetHovered(edit, false);
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(edit, nullptr, TRUE);
      break;
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
  RECT window{};
  GetWindowRect(edit, &window);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  return {width - kFrameWidth - ButtonsWidth(), kFrameWidth, width - kFrameWidth, height - kFrameWidth};
}

void TFlatEdit::PaintFrame(HWND edit) const {
  RECT window{};
  GetWindowRect(edit, &window);
  const RECT whole{0, 0, window.right - window.left, window.bottom - window.top};
  const WindowDc dc(edit);
  FrameSolid(dc.Get(), whole, ColorBorder);
  const RECT inner{1, 1, whole.right - 1, whole.bottom - 1};
  FrameSolid(dc.Get(), inner, kBackgroundColour);
  if (ButtonsWidth() > 0) PaintButtons(dc.Get(), ButtonsArea(edit));
}

void TFlatEdit::OnMouseMove(HWND edit) {
  if (hovered_) return;
  // The system reports the mouse's leaving only once per request.
  TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, edit, 0};
  TrackMouseEvent(&track);
  SetHovered(edit, true);
}

void TFlatEdit::SetHovered(HWND edit, bool hovered) {
  hovered_ = hovered;
  InvalidateRect(edit, nullptr, TRUE);
}

bool TFlatEdit::ShowsFocused(HWND edit) const {
  const HWND focus = GetFocus();
  if (focus == edit) return true;
  return hovered_ && FlatOf(focus) == nullptr;
}

}  // namespace dravik::windows
