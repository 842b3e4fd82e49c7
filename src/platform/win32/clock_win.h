#pragma once
// The system's tick counter, local time and the user's decimal separator.

#include "core/platform/clock.h"

namespace dravik::platform {

class ClockWin final : public core::Clock {
 public:
  std::uint32_t TickCount() override;
  core::LocalTime Now() override;
  // '.' when the user's setting is empty or cannot be read.
  char DecimalSeparator() override;
};

}  // namespace dravik::platform
