#pragma once
// The About window: made hidden at start, shown modally from the main window's "?". It draws
// TForm2's texts in flat labels and passes the clicks on its links to TForm2's handlers.
//
// Its clickable labels keep fixed control IDs, so that outside tools can find and press them:
// kCloseId "X", kWebId and kMailId the links, kVersionId the version label (its text is the
// label's text).

#include <windows.h>

#include "windows/top_level_window.h"

#include "core/about/about_form.h"

namespace dravik::windows {

class AboutWindow {
 public:
  static constexpr const char* kClassName = "DravikAboutWindow";
  static constexpr int kCloseId = 201;
  static constexpr int kWebId = 202;
  static constexpr int kMailId = 203;
  static constexpr int kVersionId = 204;

  explicit AboutWindow(core::TForm2& form) : form_(form) {}
  ~AboutWindow();
  AboutWindow(const AboutWindow&) = delete;
  AboutWindow& operator=(const AboutWindow&) = delete;

  // Runs TForm2's FormCreate and creates the window, hidden, owned by owner, with its labels.
  // False when the system refuses.
  bool Create(HINSTANCE instance, HWND owner);
  HWND Handle() const { return window_; }
  // Shows the window centred on the screen with the owner disabled, and returns once it is
  // closed, with the owner enabled again. A quit request met meanwhile is passed on to the
  // program's own message loop.
  void ShowModal();

 private:
  template <typename Window>
  friend LRESULT CALLBACK RouteToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnCreate();
  void OnPaint();
  void OnCommand(int id);
  void RunModalLoop();
  void EndModal();

  core::TForm2& form_;
  HWND window_ = nullptr;
  HWND owner_ = nullptr;
  bool shown_ = false;
};

}  // namespace dravik::windows
