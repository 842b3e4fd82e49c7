#include "core/mount/mount_log.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/messages.h"
#include "core/paths.h"
#include "engine/engine.h"

namespace dravik::core {

namespace {

constexpr int kSignificantDigits = 15;
constexpr double kMillisecondsPerDay = 86400000.0;

// Days from 1 January of year 1 to the given date, by the proleptic Gregorian calendar.
std::int64_t DaysFromYearOne(int year, int month, int day) {
  static constexpr int kDaysBeforeMonth[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const std::int64_t y = year - 1;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int m = std::clamp(month, 1, 12);
  return y * 365 + y / 4 - y / 100 + y / 400 + kDaysBeforeMonth[m - 1] + (leap && m > 2 ? 1 : 0) + day - 1;
}

std::string WithoutTrailingZeros(std::string digits) {
  if (digits.find('.') == std::string::npos) return digits;
  digits.erase(digits.find_last_not_of('0') + 1);
  if (digits.back() == '.') digits.pop_back();
  return digits;
}

// Digits after the point that leave kSignificantDigits in all.
unsigned DecimalsFor(double magnitude) {
  const int leadingDigitPower = static_cast<int>(std::floor(std::log10(magnitude)));
  return static_cast<unsigned>(std::max(0, kSignificantDigits - 1 - leadingDigitPower));
}

}  // namespace

double DayCount(const LocalTime& time) {
  const double days = static_cast<double>(DaysFromYearOne(time.year, time.month, time.day) -
                                          DaysFromYearOne(1899, 12, 30));
  const double fraction =
      ((time.hour * 60.0 + time.minute) * 60.0 + time.second) * 1000.0 + time.millisecond;
  // Before the epoch the fraction counts away from zero, as the day count's format has it.
  return days < 0 ? days - fraction / kMillisecondsPerDay : days + fraction / kMillisecondsPerDay;
}

std::string FormatDayCount(double value, char separator) {
  if (value == 0 || !std::isfinite(value)) return "0";
  std::string text = WithoutTrailingZeros(engine::ExactFixedNotation(value, DecimalsFor(std::fabs(value))));
  if (const std::size_t point = text.find('.'); point != std::string::npos) text[point] = separator;
  return text;
}

void WriteMountLog(Files& files, Clock& clock, std::string_view entry) {
  const std::string stamp = FormatDayCount(DayCount(clock.Now()), clock.DecimalSeparator());
  const std::vector<std::string> lines = {
      "Only the last file mounted will be listed here. If you experience any problems send this file to " +
          std::string(kSupportAddress),
      stamp + ">>" + std::string(entry),
  };
  if (const std::uint32_t error = files.WriteLines(ProgramFolderFile(files, kMountLogName), lines))
    throw Failure(InputOutputError(error));
}

}  // namespace dravik::core
