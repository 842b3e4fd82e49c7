#pragma once
// A window's timer, owned like the other resources the windows borrow: it is killed when stopped,
// when started on another window, and at the latest with its owner.

#include <windows.h>

namespace dravik::windows {

class WindowTimer {
 public:
  explicit WindowTimer(UINT_PTR id) : id_(id) {}
  ~WindowTimer() { Stop(); }
  WindowTimer(const WindowTimer&) = delete;
  WindowTimer& operator=(const WindowTimer&) = delete;

  // WM_TIMER with this timer's id every periodMs from now on: a running timer starts over. When
  // the system refuses, no timer runs.
  void Start(HWND window, UINT periodMs) {
    if (window != window_) Stop();
    if (SetTimer(window, id_, periodMs, nullptr) == 0) return Stop();
    window_ = window;
    periodMs_ = periodMs;
  }

  void Stop() {
    if (window_ != nullptr) KillTimer(window_, id_);
    window_ = nullptr;
    periodMs_ = 0;
  }

  // Whether a WM_TIMER's wParam names this timer.
  bool Is(WPARAM timerId) const { return timerId == id_; }
  // 0 while stopped.
  UINT PeriodMs() const { return periodMs_; }

 private:
  UINT_PTR id_;
  HWND window_ = nullptr;
  UINT periodMs_ = 0;
};

}  // namespace dravik::windows
