#pragma once
// StaticText: a system static text control in ink on the window's background. The system lays
// out and wraps its words; the control answers its parent's question for its colours.

#include <optional>

#include <windows.h>

#include "windows/flat/drawing.h"
#include "windows/flat/flat_control.h"

namespace dravik::windows {

class StaticText : public FlatControl {
 public:
  // A static control with `style` (besides WS_CHILD), in ink.
  static HWND Create(HWND parent, int id, const RECT& place, const char* text, DWORD style);

  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
  std::optional<LRESULT> OnReflected(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  SolidBrush background_{kBackgroundColour};
};

}  // namespace dravik::windows
