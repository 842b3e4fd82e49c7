#pragma once
// The program's entry on the task bar, which reads the application title "Dravik2" while the
// main window's own caption stays "Dravik". The system gives a task-bar entry to each shown
// window that has no owner (or asks for one); this window of no size has one and owns the main
// window, which therefore has none of its own. Activated from the task bar, it hands the
// activation on to the main window, or to the box or window the main window waits for.

#include <windows.h>

namespace dravik::windows {

class TaskbarEntry {
 public:
  static constexpr const char* kClassName = "DravikTaskbarEntry";

  TaskbarEntry() = default;
  ~TaskbarEntry();
  TaskbarEntry(const TaskbarEntry&) = delete;
  TaskbarEntry& operator=(const TaskbarEntry&) = delete;

  // Creates the window, hidden, with the program's icon. False when the system refuses.
  bool Create(HINSTANCE instance);
  HWND Handle() const { return window_; }
  // The window that activation from the task bar goes to.
  void SetTarget(HWND target) { target_ = target; }
  // Shows the entry without taking the activation, or hides it.
  void Show(bool shown);

 private:
  template <typename Window>
  friend LRESULT CALLBACK RouteToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void ActivateTarget();

  HWND window_ = nullptr;
  HWND target_ = nullptr;
};

}  // namespace dravik::windows
