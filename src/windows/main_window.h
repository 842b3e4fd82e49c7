#pragma once
// The main window in plain standard controls: it draws TForm1's state and passes the user's
// actions to TForm1's handlers. Before every handler it copies what the user edited into the
// state, and after it redraws everything from the state, so the state stays the one truth.

#include <array>
#include <string>
#include <vector>

#include <windows.h>

#include "core/main_window/main_window.h"
#include "windows/main_window_controls.h"

namespace dravik::windows {

class MainWindow {
 public:
  static constexpr const char* kClassName = "DravikMainWindow";
  static constexpr const char* kCaption = "Dravik";

  // decimalSeparator is the one the image number field accepts besides digits and signs.
  MainWindow(core::TForm1& form, char decimalSeparator);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window, hidden, with all its controls. False when the system refuses.
  bool Create(HINSTANCE instance);
  HWND Handle() const { return window_; }
  // Draws the state, centres the window on the screen and shows it.
  void Show(int showCommand);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR self);

  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleControlMessage(HWND control, int id, UINT message, WPARAM wParam, LPARAM lParam);
  void OnCreate();
  void OnCommand(int id, int code);
  void OnClose();
  void OnKeyDown(int key);
  bool OnControlKeyDown(int id, int key);
  bool OnControlChar(int id, char typed);
  void OnImageNumberLeft();
  void OnOpenHostApplication();

  // Runs a core handler between collecting the user's edits and redrawing.
  template <typename Handler>
  void Call(Handler handler);
  void CollectInput();
  void ShowState();
  void ShowLayout();
  void ShowTexts();
  void ShowExtensions();
  void Centre();
  HWND Control(int id) const { return GetDlgItem(window_, id); }

  core::TForm1& form_;
  char decimalSeparator_;
  HWND window_ = nullptr;
  std::array<HWND, kControlPlaces.size()> controls_{};  // in kControlPlaces order
  std::vector<std::string> shownExtensions_;
};

}  // namespace dravik::windows
