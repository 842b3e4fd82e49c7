#pragma once
// An arrow button of a control held down with the mouse: it steps once when pressed, and again
// and again while it is held, until it is let go or the mouse is taken away. The control knows
// where its buttons lie and what a step does; the held button answers the messages in between.

#include <functional>

#include <windows.h>

#include "windows/flat/window_timer.h"

namespace dravik::windows {

class HeldButton {
 public:
  // The first repeat comes firstRepeatMs after the press, the others repeatMs apart.
  HeldButton(UINT firstRepeatMs, UINT repeatMs) : firstRepeatMs_(firstRepeatMs), repeatMs_(repeatMs) {}

  // The button held down (as the control names its buttons, never 0), or 0.
  int Held() const { return held_; }
  // Holds `button` of `window` down: the focus and the mouse go to the window.
  void Press(HWND window, int button);
  // After the press's own step: repeats follow while the button is held.
  void StartRepeats(HWND window) { repeat_.Start(window, firstRepeatMs_); }
  // The messages of a held button: true when answered here. `repeat` makes one repeated step of
  // the held button and answers whether further steps can do anything.
  bool Handle(HWND window, UINT message, WPARAM wParam, const std::function<bool(int button)>& repeat);

 private:
  void OnRepeat(HWND window, bool more);

  UINT firstRepeatMs_;
  UINT repeatMs_;
  int held_ = 0;
  WindowTimer repeat_{1};
};

}  // namespace dravik::windows
