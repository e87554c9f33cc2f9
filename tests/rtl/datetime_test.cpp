#include "rtl/datetime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

#include "rtl/exceptions.h"

namespace qob {
namespace {

const TFormatSettings kUs = TFormatSettings::Invariant();

TFormatSettings German() {
  TFormatSettings fs = TFormatSettings::Invariant();
  fs.DateSeparator = u'.';
  fs.ShortDateFormat = u"d/M/yyyy";
  fs.LongTimeFormat = u"hh:nn:ss";
  return fs;
}

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, ms);
}

struct DateCase {
  int Year, Month, Day;
  std::optional<double> Serial;  // nullopt: not a date
};

TEST(DateEncoding, SerialNumbersAndInvalidParts) {
  const DateCase cases[] = {
      {1899, 12, 30, 0},           {1900, 1, 1, 2},
      {2000, 1, 1, 36526},         {1899, 12, 29, -1},
      {1, 1, 1, -693593},          {9999, 12, 31, 2958465},
      {2000, 2, 29, 36585},        {1900, 2, 29, std::nullopt},
      {2021, 2, 29, std::nullopt}, {2021, 4, 31, std::nullopt},
      {2021, 13, 1, std::nullopt}, {2021, 0, 1, std::nullopt},
      {2021, 1, 0, std::nullopt},  {0, 1, 1, std::nullopt},
      {10000, 1, 1, std::nullopt},
  };
  for (const DateCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Year << '-' << c.Month << '-' << c.Day);
    TDateTime date = -7;
    ASSERT_EQ(TryEncodeDate(c.Year, c.Month, c.Day, date), c.Serial.has_value());
    if (!c.Serial) {
      EXPECT_THROW(EncodeDate(c.Year, c.Month, c.Day), EConvertError);
      continue;
    }
    EXPECT_EQ(date, *c.Serial);
    int y, m, d;
    DecodeDate(date < 0 ? date - 0.75 : date + 0.75, y, m, d);  // 18:00 that day
    EXPECT_EQ(y, c.Year);
    EXPECT_EQ(m, c.Month);
    EXPECT_EQ(d, c.Day);
  }
}

TEST(DateEncoding, TimesRoundToMillisecondsAndNegativeDatesKeepTheirTime) {
  EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  for (const int bad : {0, 1, 2, 3}) {
    int parts[4] = {0, 0, 0, 0};
    parts[bad] = bad == 0 ? 24 : bad == 3 ? 1000 : 60;
    TDateTime t;
    EXPECT_FALSE(TryEncodeTime(parts[0], parts[1], parts[2], parts[3], t)) << bad;
    EXPECT_THROW(EncodeTime(parts[0], parts[1], parts[2], -1), EConvertError);
  }

  const struct {
    TDateTime Value;
    int Year, Month, Day, Hour, Minute, Second, Millisecond;
  } cases[] = {
      {At(2021, 3, 4, 23, 59, 59, 999), 2021, 3, 4, 23, 59, 59, 999},
      {-1.25, 1899, 12, 29, 6, 0, 0, 0},  // the fraction is the time of day
      {-0.5, 1899, 12, 30, 12, 0, 0, 0},
      {EncodeDate(2020, 1, 1) + 0.9999999999, 2020, 1, 2, 0, 0, 0, 0},  // rounds into the next day
      {-1.9999999999, 1899, 12, 30, 0, 0, 0, 0},  // before the epoch, too
      {-0.9999999999, 1899, 12, 31, 0, 0, 0, 0},
      {std::nan(""), 0, 0, 0, 0, 0, 0, 0},
      {1e10, 0, 0, 0, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Value);
    int y, mo, d, h, mi, s, ms;
    DecodeDate(c.Value, y, mo, d);
    DecodeTime(c.Value, h, mi, s, ms);
    EXPECT_EQ(y, c.Year);
    EXPECT_EQ(mo, c.Month);
    EXPECT_EQ(d, c.Day);
    EXPECT_EQ(h, c.Hour);
    EXPECT_EQ(mi, c.Minute);
    EXPECT_EQ(s, c.Second);
    EXPECT_EQ(ms, c.Millisecond);
  }
}

TEST(DateEncoding, WeekdaysLeapYearsAndCenturyWindow) {
  EXPECT_EQ(DayOfWeek(0), 7);                       // Saturday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 1, 1)), 2);  // Monday
  EXPECT_EQ(DayOfWeek(-1.25), 6);                   // Friday
  EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2);     // Monday, proleptic Gregorian
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(2023));

  EXPECT_EQ(ExpandTwoDigitYear(74, 2025, 50), 2074);
  EXPECT_EQ(ExpandTwoDigitYear(75, 2025, 50), 1975);
  EXPECT_EQ(ExpandTwoDigitYear(0, 2025, 50), 2000);
  EXPECT_EQ(ExpandTwoDigitYear(30, 2099, 50), 2130);
  EXPECT_EQ(ExpandTwoDigitYear(99, 2025, 0), 2099);
}

TEST(DateEncoding, NowIsTodayPlusTimeOfDay) {
  const TDateTime today = Date();
  const TDateTime now = Now();
  EXPECT_EQ(today, std::trunc(today));
  EXPECT_GE(now, today);
  EXPECT_LT(now, today + 1.001);
  const TDateTime time = Time();
  EXPECT_GE(time, 0);
  EXPECT_LT(time, 1);
  int year, month, day;
  DecodeDate(now, year, month, day);
  EXPECT_GE(year, 2024);
}

struct PictureCase {
  std::u16string_view Picture;
  std::string_view Text;
};

TEST(FormatDateTimePictures, EverySpecifier) {
  const TDateTime value = At(2021, 3, 4, 13, 5, 9, 7);  // a Thursday afternoon
  const PictureCase cases[] = {
      {u"c", "3/4/2021 1:05:09 PM"},
      {u"", "3/4/2021 1:05:09 PM"},
      {u"d dd ddd dddd", "4 04 Thu Thursday"},
      {u"ddddd", "3/4/2021"},
      {u"dddddd", "Thursday, March 4, 2021"},
      {u"m mm mmm mmmm", "3 03 Mar March"},
      {u"M MM MMM MMMM", "3 03 Mar March"},
      {u"yy yyyy", "21 2021"},
      {u"h hh n nn s ss z zzz", "13 13 5 05 9 09 7 007"},
      {u"hh:mm", "13:05"},  // m after h: minutes
      {u"h m", "13 5"},
      {u"mm/dd", "03/04"},
      {u"hh:nn mm", "13:05 03"},  // after another field: month again
      {u"t", "1:05 PM"},
      {u"tt", "1:05:09 PM"},
      {u"h:nn am/pm", "1:05 pm"},
      {u"hh:nn AM/PM", "01:05 PM"},
      {u"h a/p", "1 p"},
      {u"h A/P", "1 P"},
      {u"h ampm", "1 PM"},
      {u"\"day\" d 'of' mmmm", "day 4 of March"},
      {u"x-y", "x-21"},
  };
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(FormatDateTime(c.Picture, value, kUs).ToUtf8(), c.Text);
  }
  EXPECT_EQ(FormatDateTime(u"h:nn AMPM", At(2021, 3, 4, 0, 30), kUs).ToUtf8(), "12:30 AM");
  EXPECT_EQ(FormatDateTime(u"c", EncodeDate(2021, 3, 4), kUs).ToUtf8(), "3/4/2021");
  EXPECT_EQ(FormatDateTime(u"yyyy/mm/dd hh:nn", -1.25, kUs).ToUtf8(), "1899/12/29 06:00");
  EXPECT_EQ(FormatDateTime(u"yyyy", EncodeDate(5, 1, 1), kUs).ToUtf8(), "0005");

  TFormatSettings separators = kUs;
  separators.DateSeparator = u'-';
  separators.TimeSeparator = u'.';
  EXPECT_EQ(FormatDateTime(u"yyyy/mm/dd hh:nn", value, separators).ToUtf8(), "2021-03-04 13.05");
}

TEST(FormatDateTimePictures, InvalidValuesAndSelfReferringSettings) {
  EXPECT_THROW(FormatDateTime(u"c", std::nan(""), kUs), EConvertError);
  EXPECT_THROW(DateToStr(1e10, kUs), EConvertError);
  TFormatSettings loop = kUs;
  loop.ShortDateFormat = u"c";
  loop.LongTimeFormat = u"tt";
  EXPECT_NO_THROW(DateTimeToStr(At(2021, 3, 4, 1), loop));
}

TEST(DateTimeText, RegionalRoutines) {
  const TDateTime value = At(2021, 3, 4, 13, 5, 9);
  EXPECT_EQ(DateToStr(value, kUs).ToUtf8(), "3/4/2021");
  EXPECT_EQ(TimeToStr(value, kUs).ToUtf8(), "1:05:09 PM");
  EXPECT_EQ(DateTimeToStr(value, kUs).ToUtf8(), "3/4/2021 1:05:09 PM");
  EXPECT_EQ(DateTimeToStr(std::trunc(value), kUs).ToUtf8(), "3/4/2021");
  EXPECT_EQ(DateToStr(value, German()).ToUtf8(), "4.3.2021");
  EXPECT_EQ(DateTimeToStr(value, German()).ToUtf8(), "4.3.2021 13:05:09");
}

struct ParseCase {
  std::u16string_view Text;
  std::optional<TDateTime> Value;
};

void ExpectParses(bool (*parse)(std::u16string_view, TDateTime&, const TFormatSettings&),
                  const TFormatSettings& settings, std::initializer_list<ParseCase> cases) {
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(WideString(c.Text).ToUtf8());
    TDateTime value = -99;
    ASSERT_EQ(parse(c.Text, value, settings), c.Value.has_value());
    if (c.Value) {
      EXPECT_NEAR(value, *c.Value, 1e-9);
    }
  }
}

TEST(DateTimeParsing, DatesFollowTheShortDateOrder) {
  int thisYear, month, day;
  DecodeDate(Now(), thisYear, month, day);
  const int twoDigit = ExpandTwoDigitYear(21, thisYear, kUs.TwoDigitYearCenturyWindow);
  ExpectParses(TryStrToDate, kUs,
               {
                   {u"3/4/2021", EncodeDate(2021, 3, 4)},
                   {u" 3 / 4 / 2021 ", EncodeDate(2021, 3, 4)},
                   {u"3/4/21", EncodeDate(twoDigit, 3, 4)},
                   {u"3/4/0021", EncodeDate(21, 3, 4)},
                   {u"3/4", EncodeDate(thisYear, 3, 4)},
                   {u"2/29/2021", std::nullopt},
                   {u"13/1/2021", std::nullopt},
                   {u"3-4-2021", std::nullopt},
                   {u"3/4/2021x", std::nullopt},
                   {u"3/4/2021 10:00", std::nullopt},
                   {u"3", std::nullopt},
                   {u"", std::nullopt},
               });
  ExpectParses(TryStrToDate, German(),
               {
                   {u"4.3.2021", EncodeDate(2021, 3, 4)},
                   {u"4.3.", EncodeDate(thisYear, 3, 4)},
                   {u"3/4/2021", std::nullopt},
               });
  TFormatSettings iso = kUs;
  iso.DateSeparator = u'-';
  iso.ShortDateFormat = u"yyyy/MM/dd";
  ExpectParses(TryStrToDate, iso,
               {
                   {u"2021-03-04", EncodeDate(2021, 3, 4)},
                   {u"03-04", EncodeDate(thisYear, 3, 4)},
               });
}

TEST(DateTimeParsing, TimesWithSecondsFractionsAndAmPm) {
  ExpectParses(TryStrToTime, kUs,
               {
                   {u"13:05", EncodeTime(13, 5, 0, 0)},
                   {u"1:05:09 PM", EncodeTime(13, 5, 9, 0)},
                   {u"1:05pm", EncodeTime(13, 5, 0, 0)},
                   {u"1:05 pmx", std::nullopt},
                   {u"12:00 AM", 0},
                   {u"12:00 pm", 0.5},
                   {u"1 p", EncodeTime(13, 0, 0, 0)},
                   {u"PM 1:05", EncodeTime(13, 5, 0, 0)},
                   {u"13:05:09.5", EncodeTime(13, 5, 9, 500)},
                   {u"13:05:09.1234", std::nullopt},
                   {u"25:00", std::nullopt},
                   {u"12:60", std::nullopt},
                   {u"13:00 PM", std::nullopt},
                   {u"0 AM", std::nullopt},
                   {u"10", std::nullopt},
                   {u"10:", std::nullopt},
                   {u"ab", std::nullopt},
               });
  TFormatSettings local = kUs;
  local.TimeAMString = u"vorm.";
  local.TimePMString = u"nachm.";
  ExpectParses(TryStrToTime, local, {{u"1:05 nachm.", EncodeTime(13, 5, 0, 0)}});
}

TEST(DateTimeParsing, DateAndTimeTogether) {
  ExpectParses(TryStrToDateTime, kUs,
               {
                   {u"3/4/2021 1:05:09 PM", At(2021, 3, 4, 13, 5, 9)},
                   {u"3/4/2021", EncodeDate(2021, 3, 4)},
                   {u"13:05", EncodeTime(13, 5, 0, 0)},
                   {u"12/29/1899 6:00", -1.25},  // before day 0 the time still counts forward
                   {u"3/4/2021 x", std::nullopt},
                   {u"3/4/2021 13", std::nullopt},
               });
}

TEST(DateTimeParsing, RaisingVersionsQuoteTheText) {
  const struct {
    TDateTime (*Parse)(std::u16string_view, const TFormatSettings&);
    std::string_view Message;
  } cases[] = {
      {StrToDate, "'31/31' is not a valid date"},
      {StrToTime, "'31/31' is not a valid time"},
      {StrToDateTime, "'31/31' is not a valid date and time"},
  };
  for (const auto& c : cases) {
    try {
      c.Parse(u"31/31", kUs);
      ADD_FAILURE() << "no exception for " << c.Message;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message().ToUtf8(), c.Message);
    }
  }
  EXPECT_EQ(StrToDate(u"3/4/2021", kUs), EncodeDate(2021, 3, 4));
}

}  // namespace
}  // namespace qob
