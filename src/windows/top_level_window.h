#pragma once
// What the program's top-level windows share: messages routed to the object that made the window
// (RouteToWindow), and a place in the middle of the screen.

#include <windows.h>

#include "windows/flat/window_geometry.h"
#include "windows/flat/window_procedure.h"

namespace dravik::windows {

// Moves window so that its frame is centred on the primary screen; its size stays.
inline void CentreOnScreen(HWND window) {
  const RECT size = WindowArea(window);
  SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - size.right) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - size.bottom) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace dravik::windows
