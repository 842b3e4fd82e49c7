#pragma once
// TFlatCheckBox: an 11-pixel flat box with a tick and its caption to the right. It answers the
// standard check box messages (BM_CLICK, BM_GETCHECK, BM_SETCHECK) and tells its parent of every
// toggle by the user as WM_COMMAND with BN_CLICKED.

#include <string>

#include <windows.h>

#include "windows/flat/drawing.h"
#include "windows/flat/flat_control.h"

namespace dravik::windows {

class TFlatCheckBox : public FlatControl {
 public:
  static constexpr const char* kClassName = "DravikFlatCheckBox";

  static HWND Create(HWND parent, int id, const RECT& place, const std::string& caption, COLORREF background);

  explicit TFlatCheckBox(COLORREF background) : background_(background) {}
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

  COLORREF ColorBorder = kInkColour;
  COLORREF ColorCheck = kInkColour;
  COLORREF ColorFocused = kFieldColour;
  COLORREF ColorDown = kFieldColour;

 private:
  void Paint(HWND window) const;
  void PaintBox(HDC dc, const RECT& client) const;
  void SetPressed(HWND window, bool pressed);
  void OnButtonUp(HWND window, LPARAM lParam);
  void Toggle(HWND window);

  COLORREF background_;
  bool checked_ = false;
  bool pressed_ = false;
};

}  // namespace dravik::windows
