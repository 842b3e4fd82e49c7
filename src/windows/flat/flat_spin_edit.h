#pragma once
// TFlatSpinEditInteger: a flat edit field for a small integer with up and down buttons at its
// right end. The value itself belongs to the owner: the field reports steps (buttons, up and down
// keys) and its leaving, and the owner writes the new text back. Typed characters other than
// digits, signs and the decimal separator are refused with a beep.

#include <functional>
#include <utility>

#include <windows.h>

#include "windows/flat/flat_edit.h"
#include "windows/flat/held_button.h"

namespace dravik::windows {

struct SpinEvents {
  std::function<void(int delta)> step;  // +1 up, -1 down
  std::function<void()> leave;          // the field lost the focus
};

class TFlatSpinEditInteger : public TFlatEdit {
 public:
  static HWND Create(HWND parent, int id, const RECT& place, char decimalSeparator, SpinEvents events);

  TFlatSpinEditInteger(char decimalSeparator, SpinEvents events);

 protected:
  int ButtonsWidth() const override;
  void PaintButtons(HDC dc, const RECT& area) const override;
  bool HandleOwn(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  // The button under a screen point: +1 up, -1 down, 0 none.
  int ButtonAt(HWND edit, POINT screen) const;
  bool Accepts(char typed) const;
  void OnButtonDown(HWND edit, int button);
  bool OnRepeat(HWND edit, int button);

  char decimalSeparator_;
  SpinEvents events_;
  HeldButton held_;  // its buttons named as ButtonAt does
};

}  // namespace dravik::windows
