#pragma once
// The one-entry mount log beside the program: a header that says where to send it, then the
// moment of the mount as a day count and what was started.

#include <string>
#include <string_view>

#include "core/platform/clock.h"
#include "core/platform/files.h"

namespace dravik::core {

inline constexpr std::string_view kSupportAddress = "support@varnholt.example";

// Days since 30 December 1899, the time of day as the fraction.
double DayCount(const LocalTime& time);
// value in the shortest decimal form of at most 15 significant digits, with separator between
// the whole and the fractional digits: 38719.75 for 2 January 2006 at 18:00.
std::string FormatDayCount(double value, char separator);

// Rewrites the log with entry stamped with the clock's local time. Throws Failure "I/O error %d"
// when the file cannot be written.
void WriteMountLog(Files& files, Clock& clock, std::string_view entry);

}  // namespace dravik::core
