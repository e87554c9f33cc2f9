// Splitting a TDateTime into calendar day and time of day, shared by the date routines.
#pragma once

#include <cstdint>

#include "rtl/datetime.h"

namespace qob::dateparts {

inline constexpr int64_t kMillisecondsPerDay = 86'400'000;

struct DateTimeParts {
  int Year = 0, Month = 0, Day = 0;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
  int DayOfWeek = 0;             // 1 = Sunday
  int64_t MillisecondOfDay = 0;  // 0 at midnight
};

// False for NaN and values outside years 1..9999. The time of day is rounded to the
// millisecond; a value that rounds up to midnight belongs to the next day.
bool Split(TDateTime value, DateTimeParts& parts);

// Whole days and time of day joined the OLE way (before 1899-12-30 the fraction is subtracted).
TDateTime Join(TDateTime days, int64_t millisecondOfDay);

}  // namespace qob::dateparts
