// Reading dates and times typed in the regional formats.
#include <array>
#include <cmath>

#include "rtl/convert_error.h"
#include "rtl/datetime.h"
#include "rtl/datetime_parts.h"
#include "rtl/unicode.h"

namespace qob {

namespace {

enum class DatePart { Day, Month, Year };

// The order of day, month and year in the short date picture (month, day, year if unclear).
std::array<DatePart, 3> DateOrder(std::u16string_view picture) {
  std::array<DatePart, 3> order{};
  size_t found = 0;
  bool seen[3] = {};
  for (size_t i = 0; i < picture.size() && found < 3; ++i) {
    const char16_t c = picture[i];
    if (c == u'"' || c == u'\'') {
      const size_t close = picture.find(c, i + 1);
      if (close == std::u16string_view::npos) break;
      i = close;
      continue;
    }
    DatePart part;
    if (c == u'd' || c == u'D')
      part = DatePart::Day;
    else if (c == u'm' || c == u'M')
      part = DatePart::Month;
    else if (c == u'y' || c == u'Y')
      part = DatePart::Year;
    else
      continue;
    if (!seen[static_cast<int>(part)]) {
      seen[static_cast<int>(part)] = true;
      order[found++] = part;
    }
  }
  if (found < 3) return {DatePart::Month, DatePart::Day, DatePart::Year};
  return order;
}

class Scanner {
 public:
  Scanner(std::u16string_view text, const TFormatSettings& settings)
      : FText(TrimView(text)), FSettings(settings) {}

  bool AtEnd() const { return FPos == FText.size(); }
  size_t Position() const { return FPos; }
  void Rewind(size_t position) { FPos = position; }

  void SkipBlanks() {
    while (FPos < FText.size() && FText[FPos] <= u' ') ++FPos;
  }

  bool Accept(char16_t c) {
    if (FPos < FText.size() && FText[FPos] == c) {
      ++FPos;
      return true;
    }
    return false;
  }

  // Decimal digits; `digits` tells how many were written.
  bool Number(int& value, int& digits) {
    value = 0;
    digits = 0;
    while (FPos < FText.size() && FText[FPos] >= u'0' && FText[FPos] <= u'9') {
      if (digits == 9) return false;  // no date or time field is this long
      value = value * 10 + (FText[FPos++] - u'0');
      ++digits;
    }
    return digits > 0;
  }

  bool Date(TDateTime& date) {
    int numbers[3];
    int digitCounts[3];
    int count = 0;
    SkipBlanks();
    if (!Number(numbers[0], digitCounts[0])) return false;
    for (count = 1; count < 3; ++count) {
      const size_t before = FPos;
      SkipBlanks();
      if (!Accept(FSettings.DateSeparator)) {
        FPos = before;
        break;
      }
      SkipBlanks();
      if (!Number(numbers[count], digitCounts[count])) {
        FPos = before + 1;  // a trailing separator, as some locales write it
        SkipBlanks();
        break;
      }
    }
    if (count < 2) return false;
    if (count == 3 && FPos < FText.size() && FText[FPos] == FSettings.DateSeparator) ++FPos;

    const int currentYear = CurrentYear();
    int year = currentYear;
    int month = 0;
    int day = 0;
    const std::array<DatePart, 3> order = DateOrder(FSettings.ShortDateFormat);
    int next = 0;
    for (const DatePart part : order) {
      if (part == DatePart::Year && count == 2) continue;  // day and month only: this year
      const int value = numbers[next];
      const int digits = digitCounts[next++];
      if (part == DatePart::Day) {
        day = value;
      } else if (part == DatePart::Month) {
        month = value;
      } else {
        year = digits <= 2
                   ? ExpandTwoDigitYear(value, currentYear, FSettings.TwoDigitYearCenturyWindow)
                   : value;
      }
    }
    return TryEncodeDate(year, month, day, date);
  }

  bool Time(int64_t& millisecondOfDay) {
    SkipBlanks();
    int half = AmPm();  // some locales write the marker first
    SkipBlanks();
    int hour, minute = 0, second = 0, millisecond = 0, digits;
    if (!Number(hour, digits)) return false;
    bool hasMinutes = false;
    if (Accept(FSettings.TimeSeparator)) {
      if (!Number(minute, digits)) return false;
      hasMinutes = true;
      if (Accept(FSettings.TimeSeparator)) {
        if (!Number(second, digits)) return false;
        if (Accept(FSettings.DecimalSeparator) || Accept(u'.')) {
          // Fractions of a second: up to milliseconds.
          if (!Number(millisecond, digits) || digits > 3) return false;
          for (; digits < 3; ++digits) millisecond *= 10;
        }
      }
    }
    if (half == 0) {
      const size_t before = FPos;
      SkipBlanks();
      half = AmPm();
      if (half == 0) FPos = before;
    }
    if (!hasMinutes && half == 0) return false;  // a bare number is no time
    if (half != 0) {
      if (hour < 1 || hour > 12) return false;
      hour = hour % 12 + (half > 0 ? 12 : 0);
    }
    TDateTime time;
    if (!TryEncodeTime(hour, minute, second, millisecond, time)) return false;
    millisecondOfDay = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
    return true;
  }

 private:
  // -1 for a morning marker, +1 for an afternoon one, 0 for none. Accepts the settings'
  // strings and AM/PM/A/P in any case.
  int AmPm() {
    const std::u16string_view rest = FText.substr(FPos);
    const struct {
      std::u16string_view Text;
      int Half;
    } markers[] = {{FSettings.TimeAMString.view(), -1},
                   {FSettings.TimePMString.view(), 1},
                   {u"AM", -1},
                   {u"PM", 1},
                   {u"A", -1},
                   {u"P", 1}};
    for (const auto& marker : markers) {
      if (marker.Text.empty() || rest.size() < marker.Text.size()) continue;
      if (!SameText(rest.substr(0, marker.Text.size()), marker.Text)) continue;
      const size_t end = marker.Text.size();
      if (end < rest.size() && rest[end] > u' ') continue;  // part of a longer word
      FPos += end;
      return marker.Half;
    }
    return 0;
  }

  static int CurrentYear() {
    int year, month, day;
    DecodeDate(Now(), year, month, day);
    return year;
  }

  std::u16string_view FText;
  const TFormatSettings& FSettings;
  size_t FPos = 0;
};

}  // namespace

bool TryStrToDate(std::u16string_view text, TDateTime& value, const TFormatSettings& settings) {
  Scanner scanner(text, settings);
  TDateTime date;
  if (!scanner.Date(date)) return false;
  scanner.SkipBlanks();
  if (!scanner.AtEnd()) return false;
  value = date;
  return true;
}

bool TryStrToTime(std::u16string_view text, TDateTime& value, const TFormatSettings& settings) {
  Scanner scanner(text, settings);
  int64_t ms;
  if (!scanner.Time(ms) || !scanner.AtEnd()) return false;
  value = static_cast<double>(ms) / dateparts::kMillisecondsPerDay;
  return true;
}

bool TryStrToDateTime(std::u16string_view text, TDateTime& value, const TFormatSettings& settings) {
  Scanner scanner(text, settings);
  TDateTime date = 0;
  int64_t ms = 0;
  if (scanner.Date(date)) {
    scanner.SkipBlanks();
    if (!scanner.AtEnd() && (!scanner.Time(ms) || !scanner.AtEnd())) return false;
  } else {
    // A time alone is a time on day 0.
    scanner.Rewind(0);
    date = 0;
    if (!scanner.Time(ms) || !scanner.AtEnd()) return false;
  }
  value = dateparts::Join(date, ms);
  return true;
}

TDateTime StrToDate(std::u16string_view text, const TFormatSettings& settings) {
  TDateTime value;
  if (!TryStrToDate(text, value, settings)) RaiseConvertError(u"'%s' is not a valid date", text);
  return value;
}

TDateTime StrToTime(std::u16string_view text, const TFormatSettings& settings) {
  TDateTime value;
  if (!TryStrToTime(text, value, settings)) RaiseConvertError(u"'%s' is not a valid time", text);
  return value;
}

TDateTime StrToDateTime(std::u16string_view text, const TFormatSettings& settings) {
  TDateTime value;
  if (!TryStrToDateTime(text, value, settings))
    RaiseConvertError(u"'%s' is not a valid date and time", text);
  return value;
}

}  // namespace qob
