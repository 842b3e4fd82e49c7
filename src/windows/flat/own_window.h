#pragma once
// Child windows of the flat controls. Controls with a window class of their own: the window owns
// its control object, made before the window and handed over through CreateWindowEx's parameter,
// and deleted with the window.

#include <memory>

#include <windows.h>

namespace dravik::windows {

// A child window of parent at `place` (in the parent's client coordinates), or nullptr.
inline HWND CreateChildWindow(const char* className, HWND parent, int id, const RECT& place, const char* text,
                              DWORD style, void* parameter = nullptr) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
  return CreateWindowExA(0, className, text, WS_CHILD | style, place.left, place.top, place.right - place.left,
                         place.bottom - place.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                         parameter);
}

template <typename Control>
class OwnWindow {
 public:
  // Registers Control::kClassName once per program; false when the system refuses.
  static bool Register(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = Control::kClassName;
    return RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }

  // Creates the window of `control` as a child of parent; the window owns it from then on.
  static HWND Create(std::unique_ptr<Control> control, HWND parent, int id, const RECT& place, const char* text,
                     DWORD style) {
    if (!Register(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)))) return nullptr;
    // Once WM_NCCREATE has run, the window deletes the object, even if its creation fails later.
    Control* owned = control.release();
    adopted_ = false;
    const HWND window = CreateChildWindow(Control::kClassName, parent, id, place, text, style, owned);
    if (!adopted_) delete owned;
    return window;
  }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* control = static_cast<Control*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
      adopted_ = true;
    }
    auto* control = reinterpret_cast<Control*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (control == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      delete control;
      return DefWindowProcA(window, message, wParam, lParam);
    }
    return control->HandleMessage(window, message, wParam, lParam);
  }

  static inline bool adopted_ = false;
};

}  // namespace dravik::windows
