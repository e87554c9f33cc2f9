#include "rtl/format_settings.h"

#include <gtest/gtest.h>

namespace qob {
namespace {

TEST(FormatSettingsTest, InvariantHasUsConventions) {
  const TFormatSettings fs = TFormatSettings::Invariant();
  EXPECT_EQ(fs.DecimalSeparator, u'.');
  EXPECT_EQ(fs.ThousandSeparator, u',');
  EXPECT_EQ(fs.DateSeparator, u'/');
  EXPECT_EQ(fs.TimeSeparator, u':');
  EXPECT_EQ(fs.ShortDateFormat.ToUtf8(), "M/d/yyyy");
  EXPECT_EQ(fs.LongTimeFormat.ToUtf8(), "h:nn:ss AMPM");
  EXPECT_EQ(fs.TimeAMString.ToUtf8(), "AM");
  EXPECT_EQ(fs.TimePMString.ToUtf8(), "PM");
  EXPECT_EQ(fs.LongMonthNames[8].ToUtf8(), "September");
  EXPECT_EQ(fs.ShortMonthNames[11].ToUtf8(), "Dec");
  EXPECT_EQ(fs.LongDayNames[0].ToUtf8(), "Sunday");
  EXPECT_EQ(fs.ShortDayNames[6].ToUtf8(), "Sat");
}

TEST(FormatSettingsTest, CPosixUsAndUnknownLocalesGiveUsConventions) {
  for (const char* name : {"C", "POSIX", "C.UTF-8", "en_US.UTF-8", "xx_YY.UTF-8", ""}) {
    SCOPED_TRACE(name);
    const TFormatSettings fs = TFormatSettings::ForLocale(name);
    EXPECT_EQ(fs.DecimalSeparator, u'.');
    EXPECT_EQ(fs.DateSeparator, u'/');
    EXPECT_EQ(fs.ShortDateFormat.ToUtf8(), "M/d/yyyy");
    EXPECT_EQ(fs.LongDateFormat.ToUtf8(), "dddd, MMMM d, yyyy");
    EXPECT_EQ(fs.ShortTimeFormat.ToUtf8(), "h:nn AMPM");
    EXPECT_EQ(fs.LongTimeFormat.ToUtf8(), "h:nn:ss AMPM");
    EXPECT_EQ(fs.LongMonthNames[0].ToUtf8(), "January");
  }
}

TEST(FormatSettingsTest, LocaleDataComesFromIcu) {
  const TFormatSettings de = TFormatSettings::ForLocale("de_DE.UTF-8@euro");
  EXPECT_EQ(de.DecimalSeparator, u',');
  EXPECT_EQ(de.ThousandSeparator, u'.');
  EXPECT_EQ(de.DateSeparator, u'.');
  EXPECT_EQ(de.ListSeparator, u';');
  EXPECT_EQ(de.ShortDateFormat.ToUtf8(), "d/M/yyyy");  // '/' stands for DateSeparator
  EXPECT_EQ(de.LongTimeFormat.ToUtf8(), "hh:nn:ss");
  EXPECT_EQ(de.LongMonthNames[2].ToUtf8(), "März");
  EXPECT_EQ(de.LongDayNames[0].ToUtf8(), "Sonntag");
  EXPECT_EQ(de.CurrencyString.ToUtf8(), "€");
  EXPECT_EQ(de.CurrencyFormat, 3);  // "1 €"

  // Quoted words of a pattern stay literal text.
  const TFormatSettings es = TFormatSettings::ForLocale("es_ES");
  EXPECT_EQ(es.LongDateFormat.ToUtf8(), "dddd, d \"de\" MMMM \"de\" yyyy");

  // A time separator other than ':' is taken from the time pattern, not the date one.
  const TFormatSettings fi = TFormatSettings::ForLocale("fi_FI");
  EXPECT_EQ(fi.DateSeparator, u'.');
  EXPECT_EQ(fi.TimeSeparator, u'.');
  EXPECT_EQ(fi.LongTimeFormat.ToUtf8(), "h:nn:ss");
}

}  // namespace
}  // namespace qob
