#pragma once
// TFlatEdit: a standard single-line edit field drawn flat. The field keeps all its own editing
// behaviour; this draws its frame (a one-pixel border with a one-pixel frame of the window's
// background inside) and chooses its background, and gives derived fields room at the right end
// of the frame for buttons of their own.
//
// The parent must answer WM_CTLCOLOREDIT of its flat fields with TFlatEdit::ControlColour.

#include <memory>

#include <windows.h>

#include "windows/flat/drawing.h"

namespace dravik::windows {

class TFlatEdit {
 public:
  // Creates an edit field with `style` (besides WS_CHILD) and makes it flat.
  static HWND Create(HWND parent, int id, const RECT& place, DWORD style);
  // Makes `edit` flat with `flat`, which the field owns from then on.
  static void Attach(HWND edit, std::unique_ptr<TFlatEdit> flat);
  // The background brush of `edit` (text colours set into dc), or nullptr for other fields.
  static HBRUSH ControlColour(HWND edit, HDC dc);

  TFlatEdit() = default;
  virtual ~TFlatEdit() = default;
  TFlatEdit(const TFlatEdit&) = delete;
  TFlatEdit& operator=(const TFlatEdit&) = delete;

  COLORREF ColorBorder = kInkColour;

 protected:
  // Width of the derived field's buttons, inside the frame at the right end.
  virtual int ButtonsWidth() const { return 0; }
  virtual void PaintButtons(HDC, const RECT&) const {}
  // A derived field's own handling; true when it has answered the message in `result`.
  virtual bool HandleOwn(HWND, UINT, WPARAM, LPARAM, LRESULT&) { return false; }
  // The buttons' area in window coordinates (the window's top left is 0, 0).
  RECT ButtonsArea(HWND edit) const;
  // Draws the frame and the buttons now, outside a WM_NCPAINT.
  void PaintFrame(HWND edit) const;

 private:
  static LRESULT CALLBACK SubclassProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
  LRESULT HandleMessage(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);
  void OnCalcSize(LPARAM lParam) const;
  void OnMouseMove(HWND edit);
  void SetHovered(HWND edit, bool hovered);
  bool ShowsFocused(HWND edit) const;

  SolidBrush flatBrush_{kFieldColour};
  SolidBrush focusedBrush_{kFieldColour};
  bool hovered_ = false;
};

}  // namespace dravik::windows
