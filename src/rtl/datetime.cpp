#include "rtl/datetime.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

#include "rtl/datetime_parts.h"
#include "rtl/exceptions.h"

namespace qob {

namespace {

// Day 0 of TDateTime, 1899-12-30, counted from 1970-01-01.
constexpr int64_t kEpochOffset = -25569;
constexpr int64_t kMinDays = -693593;  // 0001-01-01
constexpr int64_t kMaxDays = 2958465;  // 9999-12-31

// Days since 1970-01-01 of a proleptic Gregorian date (eras of 400 years, March-based years).
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

namespace dateparts {

bool Split(TDateTime value, DateTimeParts& parts) {
  if (!(value >= kMinDays - 1 && value <= kMaxDays + 1)) return false;  // also NaN
  double whole = std::trunc(value);
  auto days = static_cast<int64_t>(whole);
  auto ms = static_cast<int64_t>(std::llround(std::fabs(value - whole) * kMillisecondsPerDay));
  if (ms >= kMillisecondsPerDay) {
    // The fraction is the time of day also before the epoch: rounding up to
    // midnight is always the following day.
    ms -= kMillisecondsPerDay;
    days += 1;
  }
  if (days < kMinDays || days > kMaxDays) return false;
  CivilFromDays(days + kEpochOffset, parts.Year, parts.Month, parts.Day);
  parts.MillisecondOfDay = ms;
  parts.Hour = static_cast<int>(ms / 3'600'000);
  parts.Minute = static_cast<int>(ms / 60'000 % 60);
  parts.Second = static_cast<int>(ms / 1000 % 60);
  parts.Millisecond = static_cast<int>(ms % 1000);
  // Day 0 was a Saturday.
  parts.DayOfWeek = static_cast<int>(((days - 1) % 7 + 7) % 7) + 1;
  return true;
}

TDateTime Join(TDateTime days, int64_t millisecondOfDay) {
  const double time = static_cast<double>(millisecondOfDay) / kMillisecondsPerDay;
  return days < 0 ? days - time : days + time;
}

}  // namespace dateparts

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  date = static_cast<double>(DaysFromCivil(year, month, day) - kEpochOffset);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& time) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999)
    return false;
  const int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  time = static_cast<double>(ms) / dateparts::kMillisecondsPerDay;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime date;
  if (!TryEncodeDate(year, month, day, date))
    throw EConvertError(u"Invalid argument to date encode");
  return date;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  TDateTime time;
  if (!TryEncodeTime(hour, minute, second, millisecond, time))
    throw EConvertError(u"Invalid argument to time encode");
  return time;
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
  dateparts::DateTimeParts parts;
  dateparts::Split(date, parts);
  year = parts.Year;
  month = parts.Month;
  day = parts.Day;
}

void DecodeTime(TDateTime time, int& hour, int& minute, int& second, int& millisecond) {
  dateparts::DateTimeParts parts;
  dateparts::Split(time, parts);
  hour = parts.Hour;
  minute = parts.Minute;
  second = parts.Second;
  millisecond = parts.Millisecond;
}

int DayOfWeek(TDateTime date) {
  dateparts::DateTimeParts parts;
  dateparts::Split(date, parts);
  return parts.DayOfWeek;
}

int ExpandTwoDigitYear(int twoDigitYear, int currentYear, int window) noexcept {
  if (window <= 0) return currentYear / 100 * 100 + twoDigitYear;
  const int pivot = currentYear - window;
  int year = pivot / 100 * 100 + twoDigitYear;
  if (year < pivot) year += 100;
  return year;
}

TDateTime Now() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  const double date = static_cast<double>(
      DaysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) - kEpochOffset);
  const int64_t msOfDay =
      ((local.tm_hour * 60LL + local.tm_min) * 60 + std::min(local.tm_sec, 59)) * 1000 + ms;
  return dateparts::Join(date, msOfDay);
}

TDateTime Date() {
  return std::trunc(Now());
}

TDateTime Time() {
  const TDateTime now = Now();
  return now - std::trunc(now);
}

}  // namespace qob
