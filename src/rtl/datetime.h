// Dates and times: a TDateTime is days since 30 December 1899, the fraction
// being the time of day. Before that day the value is negative and, as in OLE dates, its
// fraction is still the time of day: -1.25 is 29 December 1899, 06:00. Years run from 1
// to 9999 in the proleptic Gregorian calendar.
#pragma once

#include <string_view>

#include "ole/widestring.h"
#include "rtl/format_settings.h"

namespace qob {

using TDateTime = double;

bool TryEncodeDate(int year, int month, int day, TDateTime& date);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& time);
// Raise EConvertError for invalid arguments.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
// A value outside years 1..9999 (or NaN) decodes to all zeros.
void DecodeDate(TDateTime date, int& year, int& month, int& day);
void DecodeTime(TDateTime time, int& hour, int& minute, int& second, int& millisecond);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime date);
bool IsLeapYear(int year);
// The four-digit year of a two-digit one: the century is that of `currentYear - window`, moved
// on by 100 when the year would fall before that pivot; a window of 0 takes the current century.
int ExpandTwoDigitYear(int twoDigitYear, int currentYear, int window) noexcept;

TDateTime Now();
TDateTime Date();
TDateTime Time();

// Pictures: c d dd ddd dddd ddddd dddddd m mm mmm mmmm (n nn for minutes; m after
// h is minutes) yy yyyy h hh n nn s ss z zzz t tt am/pm a/p ampm / : "text" 'text'.
// A value outside years 1..9999 (or NaN) raises EConvertError.
WideString FormatDateTime(std::u16string_view picture, TDateTime value,
                          const TFormatSettings& settings = FormatSettings());
WideString DateToStr(TDateTime value, const TFormatSettings& settings = FormatSettings());
WideString TimeToStr(TDateTime value, const TFormatSettings& settings = FormatSettings());
// Date and time; the time is left out at midnight.
WideString DateTimeToStr(TDateTime value, const TFormatSettings& settings = FormatSettings());

bool TryStrToDate(std::u16string_view text, TDateTime& value,
                  const TFormatSettings& settings = FormatSettings());
bool TryStrToTime(std::u16string_view text, TDateTime& value,
                  const TFormatSettings& settings = FormatSettings());
bool TryStrToDateTime(std::u16string_view text, TDateTime& value,
                      const TFormatSettings& settings = FormatSettings());
// Raise EConvertError "'%s' is not a valid date" / "... time" / "... date and time".
TDateTime StrToDate(std::u16string_view text, const TFormatSettings& settings = FormatSettings());
TDateTime StrToTime(std::u16string_view text, const TFormatSettings& settings = FormatSettings());
TDateTime StrToDateTime(std::u16string_view text,
                        const TFormatSettings& settings = FormatSettings());

}  // namespace qob
