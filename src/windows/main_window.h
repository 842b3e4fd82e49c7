#pragma once
// The main window, frameless and flat: it draws TForm1's state and passes the user's actions to
// TForm1's handlers. Before every handler it copies what the user edited into the state, and after
// it redraws everything from the state, so the state stays the one truth. The window is dragged
// by its free parts (margins, title strip) through the drag layer.

#include <array>
#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include "windows/top_level_window.h"

#include "core/main_window/drag_layer.h"
#include "core/main_window/main_window.h"
#include "windows/flat/flat_panel.h"
#include "windows/main_window_controls.h"
#include "windows/taskbar_entry.h"

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

  // Creates the window, hidden, with all its controls, and its task-bar entry. False when the
  // system refuses.
  bool Create(HINSTANCE instance);
  HWND Handle() const { return window_; }
  // Draws the state, centres the window on the screen and shows it with its task-bar entry.
  void Show(int showCommand);
  // What "?" does: shows the About window (until one is set, nothing).
  void SetAboutHandler(std::function<void()> showAboutWindow) { ShowAboutWindow = std::move(showAboutWindow); }

 private:
  template <typename Window>
  friend LRESULT CALLBACK RouteToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR self);

  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleControlMessage(HWND control, int id, UINT message, WPARAM wParam, LPARAM lParam);
  void OnCreate();
  HWND CreateControl(const ControlPlace& place);
  void OnCommand(int id, int code);
  void OnClose();
  void OnKeyDown(int key);
  bool OnControlKeyDown(int id, int key);
  void OnImageNumberLeft();
  void OnOpenHostApplication();
  void OnPaint();
  void PaintTitleStrip(HDC dc) const;
  void PaintPanels(HDC dc) const;
  void OnButtonDown(WPARAM held, LPARAM point);
  void OnMouseMove(LPARAM point);
  void OnButtonUp();

  // Runs a core handler between collecting the user's edits and redrawing.
  template <typename Handler>
  void Call(Handler handler);
  void CollectInput();
  void ShowState();
  void ShowLayout();
  void ShowTexts();
  void ShowExtensions();
  HWND Control(int id) const { return GetDlgItem(window_, id); }
  // The visible panels, outer ones first, in client coordinates.
  std::vector<TFlatPanel> VisiblePanels() const;
  bool OnPanel(POINT point) const;

  core::TForm1& form_;
  char decimalSeparator_;
  TaskbarEntry taskbar_;  // the window's owner: it outlives the window
  HWND window_ = nullptr;
  std::array<HWND, kControlPlaces.size()> controls_{};  // in kControlPlaces order
  std::vector<std::string> shownExtensions_;
  core::TTransForm dragLayer_;
  std::function<void()> ShowAboutWindow;
};

}  // namespace dravik::windows
