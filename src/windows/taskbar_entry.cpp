#include "windows/taskbar_entry.h"

#include <string>

#include "core/messages.h"
#include "windows/top_level_window.h"

namespace dravik::windows {

namespace {

constexpr int kProgramIconId = 1;  // dravik.rc's first icon
// Activation is handed on once the system has finished activating the entry itself.
constexpr UINT kActivateTarget = WM_APP + 1;

}  // namespace

TaskbarEntry::~TaskbarEntry() {
  if (window_ != nullptr) DestroyWindow(window_);
}

bool TaskbarEntry::Create(HINSTANCE instance) {
  if (!RegisterWindowClass(instance, kClassName, RouteToWindow<TaskbarEntry>, nullptr,
                           LoadIconA(instance, MAKEINTRESOURCEA(kProgramIconId))))
    return false;
  const std::string title(core::kApplicationTitle);
  return CreateWindowExA(WS_EX_APPWINDOW, kClassName, title.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                         instance, this) != nullptr;
}

void TaskbarEntry::Show(bool shown) {
  if (window_ == nullptr) return;
  if (shown) CentreOnScreen(window_);
  ShowWindow(window_, shown ? SW_SHOWNA : SW_HIDE);
}

LRESULT TaskbarEntry::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) PostMessageA(window, kActivateTarget, 0, 0);
      return 0;
    case kActivateTarget:
      ActivateTarget();
      return 0;
    case WM_NCDESTROY:
      window_ = nullptr;
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// While the main window waits for a box or the About window, that one is its last active popup.
void TaskbarEntry::ActivateTarget() {
  if (target_ == nullptr || !IsWindow(target_) || !IsWindowVisible(target_)) return;
  SetForegroundWindow(GetLastActivePopup(target_));
}

}  // namespace dravik::windows
