#include "windows/flat/held_button.h"

namespace dravik::windows {

void HeldButton::Press(HWND window, int button) {
  held_ = button;
  SetFocus(window);
  SetCapture(window);
}

bool HeldButton::Handle(HWND window, UINT message, WPARAM wParam, const std::function<bool(int button)>& repeat) {
  switch (message) {
    case WM_TIMER:
      if (!repeat_.Is(wParam)) return false;
      // A tick posted before the button was let go outlives the timer's end.
      if (held_ == 0) return true;
      OnRepeat(window, repeat(held_));
      return true;
    case WM_LBUTTONUP:
      if (held_ == 0) return false;
      ReleaseCapture();  // ends the repeats through WM_CAPTURECHANGED
      return true;
    case WM_MOUSEMOVE:
      return held_ != 0;  // the control must not start a selection of its own
    case WM_CAPTURECHANGED:
      // The control hears of it too, for a capture of its own.
      held_ = 0;
      repeat_.Stop();
      return false;
  }
  return false;
}

void HeldButton::OnRepeat(HWND window, bool more) {
  if (!more) return repeat_.Stop();
  if (repeat_.PeriodMs() != repeatMs_) repeat_.Start(window, repeatMs_);
}

}  // namespace dravik::windows
