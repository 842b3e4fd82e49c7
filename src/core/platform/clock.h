#pragma once
// Time as the program reads it: a millisecond counter for waiting, the local date and time for
// the mount log, and the user's decimal separator that the log's day count is written with.

#include <cstdint>

namespace dravik::core {

struct LocalTime {
  int year = 1899, month = 12, day = 30;  // month 1 to 12, day 1 to 31
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;

  // Milliseconds since some start; wraps around after 2^32.
  virtual std::uint32_t TickCount() = 0;
  virtual LocalTime Now() = 0;
  // The first character of the user's decimal separator setting.
  virtual char DecimalSeparator() = 0;
};

}  // namespace dravik::core
