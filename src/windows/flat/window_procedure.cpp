#include "windows/flat/window_procedure.h"

#include "windows/flat/flat_control.h"

namespace dravik::windows {

namespace {

// The child that a notification of its parent is about, or nullptr.
HWND SenderOf(UINT message, LPARAM lParam) {
  switch (message) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<HWND>(lParam);
    case WM_DRAWITEM: {
      // A menu's item names no window.
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      return item.CtlType == ODT_MENU ? nullptr : item.hwndItem;
    }
  }
  return nullptr;
}

}  // namespace

bool RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC procedure, HCURSOR cursor, HICON icon) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = icon;
  windowClass.hCursor = cursor;
  windowClass.lpszClassName = name;
  return RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

std::optional<LRESULT> ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND child = SenderOf(message, lParam);
  if (child == nullptr) return std::nullopt;
  FlatControl* control = FlatControl::Of(child);
  if (control == nullptr) return std::nullopt;
  return control->OnReflected(child, message, wParam, lParam);
}

}  // namespace dravik::windows
