#include "platform/win32/clock_win.h"

#include <windows.h>

namespace dravik::platform {

namespace {

// The system allows up to three characters and the terminating zero for this setting.
constexpr int kDecimalSeparatorBytes = 4;

}  // namespace

std::uint32_t ClockWin::TickCount() { return GetTickCount(); }

core::LocalTime ClockWin::Now() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

char ClockWin::DecimalSeparator() {
  char separator[kDecimalSeparatorBytes] = {};
  // The answer counts the terminating zero: more than one means at least one character.
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, kDecimalSeparatorBytes) > 1) {
    return separator[0];
  }
  return '.';
}

}  // namespace dravik::platform
