#include "windows/script_watchdog.h"

#include "core/messages.h"
#include "windows/flat/drawing.h"
#include "windows/flat/flat_control.h"
#include "windows/flat/static_text.h"
#include "windows/flat/window_geometry.h"
#include "windows/top_level_window.h"

namespace dravik::windows {

namespace {

constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION;  // no close box: Stop is the only way out
constexpr DWORD kWindowExStyle = WS_EX_TOPMOST | WS_EX_CONTROLPARENT;
constexpr int kClientWidth = 340;
constexpr int kClientHeight = 100;
constexpr RECT kTextPlace{15, 15, 325, 55};
constexpr RECT kStopPlace{125, 62, 215, 88};
// From the window thread: the running scripts changed. From the owner: end the window.
constexpr UINT kChanged = WM_APP + 1;
constexpr UINT kEnd = WM_APP + 2;

}  // namespace

ScriptWatchdog::ScriptWatchdog(core::ScriptRuns& runs, core::Clock& clock, HINSTANCE instance, std::uint32_t delayMs)
    : runs_(runs), clock_(clock), delayMs_(delayMs) {
  std::promise<void> ready;
  std::future<void> created = ready.get_future();
  // The thread owns the promise: it may still be inside set_value when the wait below returns.
  thread_ = std::thread([this, instance, ready = std::move(ready)]() mutable { Run(instance, ready); });
  created.wait();
  if (window_ != nullptr) runs_.SetOnChange([window = window_] { PostMessageA(window, kChanged, 0, 0); });
}

ScriptWatchdog::~ScriptWatchdog() {
  runs_.SetOnChange(nullptr);
  if (window_ != nullptr) PostMessageA(window_, kEnd, 0, 0);
  thread_.join();
}

void ScriptWatchdog::Run(HINSTANCE instance, std::promise<void>& ready) {
  const bool created = CreateWindowOnThisThread(instance);
  ready.set_value();
  if (!created) return;
  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    // Tab, Enter and Space reach the Stop button as in a dialog.
    if (IsDialogMessageA(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

bool ScriptWatchdog::CreateWindowOnThisThread(HINSTANCE instance) {
  if (!RegisterWindowClass(instance, kClassName, RouteToWindow<ScriptWatchdog>, LoadCursor(nullptr, IDC_ARROW)))
    return false;
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
  const std::string title(core::kApplicationTitle);
  return CreateWindowExA(kWindowExStyle, kClassName, title.c_str(), kWindowStyle, 0, 0, frame.right - frame.left,
                         frame.bottom - frame.top, nullptr, nullptr, instance, this) != nullptr;
}

LRESULT ScriptWatchdog::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case kChanged:
    case WM_TIMER:
      Update();
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kStopId || LOWORD(wParam) == IDOK) {
        runs_.StopAll();
        Withdraw();
      }
      return 0;
    case WM_SETFOCUS:
      SetFocus(GetDlgItem(window, kStopId));
      return 0;
    case WM_ERASEBKGND:
      FillSolid(reinterpret_cast<HDC>(wParam), ClientArea(window), kBackgroundColour);
      return 1;
    case WM_CLOSE:
      return 0;
    case kEnd:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      offerTimer_.Stop();  // here, on the window's own thread
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void ScriptWatchdog::OnCreate() {
  UseFont(StaticText::Create(window_, kTextId, kTextPlace, "", WS_VISIBLE | SS_LEFT | SS_NOPREFIX), FontKind::Text);
  const std::string stop(core::kStopScript);
  UseFont(CreateChildWindow("BUTTON", window_, kStopId, kStopPlace, stop.c_str(),
                            WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON),
          FontKind::Text);
}

// Shown once the innermost script has been busy for the delay; until then a timer looks again
// when the delay will be over. Any change of the running scripts looks again at once.
void ScriptWatchdog::Update() {
  const std::optional<core::ScriptRuns::Busy> busy = runs_.BusyScript();
  if (!busy) return Withdraw();
  // An unsigned difference stays right when the tick counter wraps around.
  const std::uint32_t busyFor = clock_.TickCount() - busy->since;
  if (busyFor >= delayMs_) return Offer(busy->scriptPath);
  Withdraw();
  offerTimer_.Start(window_, delayMs_ - busyFor);
}

void ScriptWatchdog::Offer(const std::string& scriptPath) {
  offerTimer_.Stop();
  SetDlgItemTextA(window_, kTextId, core::ScriptStillRunning(scriptPath).c_str());
  if (IsWindowVisible(window_)) return;
  CentreOnScreen(window_);
  ShowWindow(window_, SW_SHOWNORMAL);
}

void ScriptWatchdog::Withdraw() {
  offerTimer_.Stop();
  ShowWindow(window_, SW_HIDE);
}

}  // namespace dravik::windows
