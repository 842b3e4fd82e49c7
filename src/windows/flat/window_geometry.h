#pragma once
// Where things are in a window: its areas, and the points that mouse messages carry.

#include <windows.h>

namespace dravik::windows {

inline RECT ClientArea(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return client;
}

}  // namespace dravik::windows
