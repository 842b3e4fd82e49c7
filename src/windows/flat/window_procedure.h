#pragma once
// How a window's messages reach the object behind it. The object comes in through
// CreateWindowEx's parameter and is kept in the window's user data from WM_NCCREATE to
// WM_NCDESTROY. Every child control of the program's windows keeps its FlatControl there too (or
// nothing), so that the notifications a window receives about a child go back to that child.

#include <optional>

#include <windows.h>

namespace dravik::windows {

// Registers a window class for this program's windows; a class registered before is no refusal.
// False when the system refuses.
bool RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC procedure, HCURSOR cursor,
                         HICON icon = nullptr);

// A notification about a child control (its colours, its owner drawing) answered by the child's
// own FlatControl; nothing when the message is no such notification or the child leaves it.
std::optional<LRESULT> ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam);

// The window procedure of the windows whose messages go to Target::HandleMessage: every message
// from WM_NCCREATE on, but for the notifications their children answer themselves.
template <typename Target>
LRESULT CALLBACK RouteToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const void* target = reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(target));
  }
  auto* target = reinterpret_cast<Target*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (target == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  // A window object that keeps its handle has it from the first message on.
  if constexpr (requires { target->window_; })
    if (message == WM_NCCREATE) target->window_ = window;
  if (const std::optional<LRESULT> answer = ReflectToChild(message, wParam, lParam)) return *answer;
  // The window's last message: nothing may reach the target through the window afterwards.
  if (message == WM_NCDESTROY) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  return target->HandleMessage(window, message, wParam, lParam);
}

}  // namespace dravik::windows
