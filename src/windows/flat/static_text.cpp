#include "windows/flat/static_text.h"

#include <commctrl.h>

#include <memory>

namespace dravik::windows {

HWND StaticText::Create(HWND parent, int id, const RECT& place, const char* text, DWORD style) {
  const HWND window = CreateChildWindow("STATIC", parent, id, place, text, style);
  if (window != nullptr) AttachToSystemControl(window, std::make_unique<StaticText>());
  return window;
}

LRESULT StaticText::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefSubclassProc(window, message, wParam, lParam);
}

std::optional<LRESULT> StaticText::OnReflected(HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_CTLCOLORSTATIC) return std::nullopt;
  const auto dc = reinterpret_cast<HDC>(wParam);
  SetBkMode(dc, TRANSPARENT);
  return InkOn(dc, background_);
}

}  // namespace dravik::windows
