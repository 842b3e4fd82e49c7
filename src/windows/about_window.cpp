#include "windows/about_window.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "windows/flat/drawing.h"
#include "windows/flat/flat_panel.h"
#include "windows/flat/moving_label.h"

namespace dravik::windows {

namespace {

// No system frame or caption, and no dragging: the window draws its own frame.
constexpr DWORD kWindowStyle = WS_POPUP | WS_CLIPCHILDREN;
constexpr int kClientWidth = 482;
constexpr int kClientHeight = 242;
constexpr const char* kCaption = "About Dravik 2";

constexpr TFlatPanel kTitlePanel{{5, 10, 5 + 471, 10 + 36}, kBackgroundColour, kInkColour, kInkColour};
constexpr TFlatPanel kBodyPanel{{5, 55, 5 + 471, 55 + 181}, kBackgroundColour, kInkColour, kInkColour};

enum class LabelKind { Title, TitleLink, Text, Link };

struct AboutLabel {
  int id;  // 0: never looked up
  const TFlatPanel* panel;
  POINT place;  // in the panel
  LabelKind kind;
  std::string_view text;  // empty: the version label's, from TForm2
};

constexpr std::array<AboutLabel, 8> kLabels{{
    {0, &kTitlePanel, {10, 6}, LabelKind::Title, core::TForm2::kTitle},
    {AboutWindow::kCloseId, &kTitlePanel, {450, 6}, LabelKind::TitleLink, "X"},
    {AboutWindow::kVersionId, &kBodyPanel, {20, 15}, LabelKind::Text, {}},
    {0, &kBodyPanel, {20, 35}, LabelKind::Text, core::TForm2::kCopyright},
    {AboutWindow::kWebId, &kBodyPanel, {20, 70}, LabelKind::Link, core::TForm2::kWebText},
    {AboutWindow::kMailId, &kBodyPanel, {20, 85}, LabelKind::Link, core::TForm2::kMailText},
    {0, &kBodyPanel, {20, 140}, LabelKind::Text, core::TForm2::kDisclaimer1},
    {0, &kBodyPanel, {20, 155}, LabelKind::Text, core::TForm2::kDisclaimer2},
}};

LabelStyle StyleOf(const AboutLabel& label) {
  LabelStyle style;
  style.background = label.panel->fill;
  switch (label.kind) {
    case LabelKind::Title:
      style.font = FontKind::Title;
      break;
    case LabelKind::TitleLink:
      style.font = FontKind::Title;
      style.clickable = style.handCursor = true;
      break;
    case LabelKind::Link:
      style.clickable = style.handCursor = style.underlineOnHover = true;
      break;
    case LabelKind::Text:
      break;
  }
  return style;
}

}  // namespace

AboutWindow::~AboutWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

bool AboutWindow::Create(HINSTANCE instance, HWND owner) {
  form_.FormCreate();
  owner_ = owner;
  if (!RegisterWindowClass(instance, kClassName, RouteToWindow<AboutWindow>, LoadCursor(nullptr, IDC_ARROW)))
    return false;
  return CreateWindowExA(0, kClassName, kCaption, kWindowStyle, 0, 0, kClientWidth, kClientHeight, owner, nullptr,
                         instance, this) != nullptr;
}

void AboutWindow::ShowModal() {
  if (window_ == nullptr || shown_) return;
  CentreOnScreen(window_);
  // EnableWindow answers whether the owner was disabled already; only an owner this window
  // disabled is enabled again.
  const bool ownerDisabledHere = owner_ != nullptr && !EnableWindow(owner_, FALSE);
  shown_ = true;
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  RunModalLoop();
  // The owner is enabled before this window hides, so that the system activates the owner and
  // not some other program's window.
  if (ownerDisabledHere) EnableWindow(owner_, TRUE);
  ShowWindow(window_, SW_HIDE);
  shown_ = false;
}

void AboutWindow::RunModalLoop() {
  MSG message{};
  while (shown_) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == -1) return;
    if (got == 0) {
      // The program's own loop must see the quit request too.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

LRESULT AboutWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (const std::optional<LRESULT> painted = AnswerPaint(message, [this] { OnPaint(); })) return *painted;
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) OnCommand(LOWORD(wParam));
      return 0;
    case WM_CLOSE:
      // Closing only hides the window: it lives as long as the program, ready to be shown again.
      EndModal();
      return 0;
    case WM_NCDESTROY:
      window_ = nullptr;
      shown_ = false;
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void AboutWindow::OnCreate() {
  for (const AboutLabel& label : kLabels) {
    const std::string text(label.text.empty() ? std::string_view(form_.VersionLabel()) : label.text);
    const RECT& panel = label.panel->bounds;
    const LONG left = panel.left + label.place.x;
    const LONG top = panel.top + label.place.y;
    const HWND created = MovingLabel::Create(window_, label.id, {left, top, left, top}, text, StyleOf(label));
    if (created != nullptr) ShowWindow(created, SW_SHOWNA);
  }
}

void AboutWindow::OnPaint() {
  const BufferedPaint paint(window_, kBackgroundColour);
  FrameSolid(paint.Dc(), paint.Client(), kInkColour);
  kTitlePanel.Paint(paint.Dc());
  kBodyPanel.Paint(paint.Dc());
}

void AboutWindow::OnCommand(int id) {
  switch (id) {
    case kCloseId:
      EndModal();
      break;
    case kWebId:
      form_.MovingLabel2Click();
      break;
    case kMailId:
      form_.MovingLabel3Click();
      break;
  }
}

// A message sent from another thread is handled inside GetMessage, which then waits on; the
// posted message makes it return so that the loop sees the window closed.
void AboutWindow::EndModal() {
  shown_ = false;
  PostMessageA(window_, WM_NULL, 0, 0);
}

}  // namespace dravik::windows
