#pragma once
// A plain hidden window for the window layer's tests, destroyed with the guard, and a message
// pump that waits for a condition.

#include <windows.h>

#include <functional>

namespace dravik::windows::testing {

class ScratchWindow {
 public:
  // A window of `className` (a system class unless the test registered its own).
  explicit ScratchWindow(const char* className = "STATIC", DWORD style = WS_POPUP, HWND parent = nullptr)
      : window_(CreateWindowExA(0, className, "", style, 0, 0, 120, 80, parent, nullptr, GetModuleHandleA(nullptr),
                                nullptr)) {}
  ~ScratchWindow() {
    if (IsWindow(window_)) DestroyWindow(window_);
  }
  ScratchWindow(const ScratchWindow&) = delete;
  ScratchWindow& operator=(const ScratchWindow&) = delete;
  HWND Get() const { return window_; }

 private:
  HWND window_;
};

// Handles the thread's messages until `done` holds or timeoutMs has passed; answers `done`.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(1);
  }
  return true;
}

}  // namespace dravik::windows::testing
