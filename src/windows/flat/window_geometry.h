#pragma once
// Where things are in a window: its areas, and the points that mouse messages carry.

#include <windows.h>

namespace dravik::windows {

inline RECT ClientArea(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return client;
}

// The whole window, frame included, in window coordinates: its top left is 0, 0.
inline RECT WindowArea(HWND window) {
  RECT frame{};
  GetWindowRect(window, &frame);
  return {0, 0, frame.right - frame.left, frame.bottom - frame.top};
}

// The point of a mouse message: client coordinates, or screen coordinates for the non-client
// messages. Either may be negative on a screen left of or above the primary one.
inline POINT PointOf(LPARAM lParam) {
  return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

// A screen point in window coordinates.
inline POINT InWindow(HWND window, POINT screen) {
  RECT frame{};
  GetWindowRect(window, &frame);
  return {screen.x - frame.left, screen.y - frame.top};
}

}  // namespace dravik::windows
