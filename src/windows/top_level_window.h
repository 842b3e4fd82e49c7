#pragma once
// What the program's two top-level windows share: messages routed to the object that made the
// window, and a place in the middle of the screen.

#include <windows.h>

namespace dravik::windows {

// The window procedure of Window's class. The object comes in through CreateWindowEx's parameter
// and hears every message from WM_NCCREATE on, through Window::HandleMessage.
template <typename Window>
LRESULT CALLBACK RouteToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  return self->HandleMessage(window, message, wParam, lParam);
}

// Moves window so that its frame is centred on the primary screen; its size stays.
inline void CentreOnScreen(HWND window) {
  RECT frame{};
  GetWindowRect(window, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace dravik::windows
