#pragma once
// What the window layer's tests build on: a plain hidden window, destroyed with the guard; a
// parent window that records what reaches it; and a message pump that waits for a condition.

#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "windows/flat/window_procedure.h"

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

// A hidden top-level window whose messages, but for those its children answer themselves, are
// recorded: WM_COMMAND's control IDs and notification codes among them.
class RecordingParent {
 public:
  RecordingParent() {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterWindowClass(instance, kClassName, RouteToWindow<RecordingParent>, nullptr);
    window_ = CreateWindowExA(0, kClassName, "", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, instance,
                              this);
  }
  ~RecordingParent() {
    if (IsWindow(window_)) DestroyWindow(window_);
  }
  RecordingParent(const RecordingParent&) = delete;
  RecordingParent& operator=(const RecordingParent&) = delete;
  HWND Get() const { return window_; }

  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    heard.push_back(message);
    if (message == WM_COMMAND) commands.push_back(wParam);
    return DefWindowProcA(window, message, wParam, lParam);
  }
  bool Heard(UINT message) const { return std::find(heard.begin(), heard.end(), message) != heard.end(); }

  std::vector<UINT> heard;
  std::vector<WPARAM> commands;  // MAKEWPARAM(id, code)

 private:
  static constexpr const char* kClassName = "DravikRecordingParent";
  HWND window_ = nullptr;
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
