#pragma once
// The flat controls' common ground. Each control is an object that its child window owns and
// deletes with itself. A control of a class of its own is made before its window and handed over
// through CreateWindowEx; a control that dresses a system control (edit field, list, static text)
// is attached to that control's window as a subclass. Either way the window's user data holds the
// control, so that its parent's window procedure can hand it the notifications about it.

#include <memory>
#include <optional>
#include <string>

#include <windows.h>

namespace dravik::windows {

class FlatControl {
 public:
  // The control of a child window of this program, or nullptr.
  static FlatControl* Of(HWND window) {
    return reinterpret_cast<FlatControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  }

  FlatControl() = default;
  virtual ~FlatControl() = default;
  FlatControl(const FlatControl&) = delete;
  FlatControl& operator=(const FlatControl&) = delete;

  // Every message of the control's window.
  virtual LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
  // A notification about the control that its parent received (its colours, its owner drawing):
  // the answer, or nothing to leave it to the parent.
  virtual std::optional<LRESULT> OnReflected(HWND /*window*/, UINT /*message*/, WPARAM /*wParam*/,
                                             LPARAM /*lParam*/) {
    return std::nullopt;
  }
};

// A child window of parent at `place` (in the parent's client coordinates), or nullptr.
HWND CreateChildWindow(const char* className, HWND parent, int id, const RECT& place, const char* text,
                       DWORD style, void* parameter = nullptr);

// The window of `control`, of the class className (registered at its first use), as a child of
// parent; nullptr when the system refuses. The control is deleted with its window, or at once
// when there is none.
HWND CreateControlWindow(const char* className, std::unique_ptr<FlatControl> control, HWND parent, int id,
                         const RECT& place, const char* text, DWORD style);

// The same for a Control with a class of its own, Control::kClassName.
template <typename Control>
HWND CreateControlWindow(std::unique_ptr<Control> control, HWND parent, int id, const RECT& place, const char* text,
                         DWORD style) {
  return CreateControlWindow(Control::kClassName, std::move(control), parent, id, place, text, style);
}

// A window's text, whatever its length.
std::string WindowText(HWND window);

// Ends a press that took the mouse: true when the button went up at `point` (a mouse message's)
// inside the control, as a click does.
bool ReleasedInside(HWND control, LPARAM point);
// Tells the control's parent of a click, as a button does: WM_COMMAND with BN_CLICKED.
void NotifyClicked(HWND control);

// Dresses `window`, a system control, with `control`, which the window owns from then on: the
// control sees every message first and passes on what it leaves with DefSubclassProc.
void AttachToSystemControl(HWND window, std::unique_ptr<FlatControl> control);

}  // namespace dravik::windows
