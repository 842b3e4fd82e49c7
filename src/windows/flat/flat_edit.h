#pragma once
// TFlatEdit: a standard single-line edit field drawn flat. The field keeps all its own editing
// behaviour; this draws its frame (a one-pixel border with a one-pixel frame of the window's
// background inside), answers its parent's question for its colours, and gives derived fields
// room at the right end of the frame for buttons of their own.

#include <memory>
#include <optional>

#include <windows.h>

#include "windows/flat/drawing.h"
#include "windows/flat/flat_control.h"

namespace dravik::windows {

class TFlatEdit : public FlatControl {
 public:
  // Creates an edit field with `style` (besides WS_CHILD), dressed by `flat`.
  static HWND Create(HWND parent, int id, const RECT& place, DWORD style,
                     std::unique_ptr<TFlatEdit> flat = std::make_unique<TFlatEdit>());

  LRESULT HandleMessage(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) override;
  std::optional<LRESULT> OnReflected(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) override;

  COLORREF ColorBorder = kInkColour;

 protected:
  // Width of the derived field's buttons, inside the frame at the right end.
  virtual int ButtonsWidth() const { return 0; }
  virtual void PaintButtons(HDC, const RECT&) const {}
  // A derived field's own handling; true when it has answered the message in `result`.
  virtual bool HandleOwn(HWND, UINT, WPARAM, LPARAM, LRESULT&) { return false; }
  // The buttons' area in window coordinates (the window's top left is 0, 0).
  RECT ButtonsArea(HWND edit) const;

 private:
  void OnCalcSize(LPARAM lParam) const;
  void PaintFrame(HWND edit) const;

  SolidBrush fieldBrush_{kFieldColour};
};

}  // namespace dravik::windows
