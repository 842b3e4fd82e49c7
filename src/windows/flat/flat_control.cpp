#include "windows/flat/flat_control.h"

#include <commctrl.h>

#include "windows/flat/window_geometry.h"
#include "windows/flat/window_procedure.h"

namespace dravik::windows {

namespace {

constexpr UINT_PTR kSubclassId = 0x464C4154;  // one flat control per system control
// Set once WM_NCCREATE has handed a control to its window, which deletes it from then on, even if
// the window's creation fails later.
thread_local bool adopted = false;

LRESULT CALLBACK OwnClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) adopted = true;
  if (message != WM_NCDESTROY) return RouteToWindow<FlatControl>(window, message, wParam, lParam);
  const std::unique_ptr<FlatControl> control(FlatControl::Of(window));
  return RouteToWindow<FlatControl>(window, message, wParam, lParam);
}

LRESULT CALLBACK SystemControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR control) {
  auto* flat = reinterpret_cast<FlatControl*>(control);
  if (message != WM_NCDESTROY) return flat->HandleMessage(window, message, wParam, lParam);
  RemoveWindowSubclass(window, SystemControlProc, id);
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  delete flat;
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

HWND CreateChildWindow(const char* className, HWND parent, int id, const RECT& place, const char* text,
                       DWORD style, void* parameter) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
  return CreateWindowExA(0, className, text, WS_CHILD | style, place.left, place.top, place.right - place.left,
                         place.bottom - place.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                         parameter);
}

HWND CreateControlWindow(const char* className, std::unique_ptr<FlatControl> control, HWND parent, int id,
                         const RECT& place, const char* text, DWORD style) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
  if (!RegisterWindowClass(instance, className, OwnClassProc, LoadCursor(nullptr, IDC_ARROW))) return nullptr;
  FlatControl* owned = control.release();
  adopted = false;
  const HWND window = CreateChildWindow(className, parent, id, place, text, style, owned);
  if (!adopted) delete owned;
  return window;
}

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

bool ReleasedInside(HWND control, LPARAM point) {
  ReleaseCapture();
  const RECT client = ClientArea(control);
  return PtInRect(&client, PointOf(point)) != FALSE;
}

void NotifyClicked(HWND control) {
  SendMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
               reinterpret_cast<LPARAM>(control));
}

void AttachToSystemControl(HWND window, std::unique_ptr<FlatControl> control) {
  if (!SetWindowSubclass(window, SystemControlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(control.get()))) return;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control.release()));
  // The control may draw a frame of its own: the window measures its frame again.
  SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace dravik::windows
