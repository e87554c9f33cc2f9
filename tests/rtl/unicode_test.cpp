#include "rtl/unicode.h"

#include <gtest/gtest.h>
#include <unicode/locid.h>

#include <string>

namespace qob {
namespace {

struct CaseMapping {
  std::u16string_view Text;
  std::u16string_view Upper;
  std::u16string_view Lower;
};

TEST(UnicodeCasing, FullMappingsIndependentOfTheDefaultLocale) {
  // A Turkish default locale must not turn i into dotted capital I.
  UErrorCode status = U_ZERO_ERROR;
  const icu::Locale previous = icu::Locale::getDefault();
  icu::Locale::setDefault(icu::Locale("tr", "TR"), status);
  ASSERT_TRUE(U_SUCCESS(status));
  const CaseMapping cases[] = {
      {u"straße", u"STRASSE", u"straße"},
      {u"Title i", u"TITLE I", u"title i"},
      {u"ı", u"I", u"ı"},
      {u"İ", u"İ", u"i\u0307"},
      {u"ǅ", u"Ǆ", u"ǆ"},
      {u"\U0001D400\U00010400", u"\U0001D400\U00010400", u"\U0001D400\U00010428"},
      {u"", u"", u""},
  };
  for (const CaseMapping& c : cases) {
    SCOPED_TRACE(WideString(c.Text).ToUtf8());
    EXPECT_EQ(UpperCase(c.Text).view(), c.Upper);
    EXPECT_EQ(LowerCase(c.Text).view(), c.Lower);
  }
  const std::u16string longName(100, u'q');
  EXPECT_EQ(UpperCase(longName).view(), std::u16string(100, u'Q'));
  icu::Locale::setDefault(previous, status);
}

TEST(UnicodeCompare, OrdinalCollatedAndCaseInsensitive) {
  EXPECT_LT(CompareStr(u"B", u"a"), 0);  // code units: 'B' < 'a'
  EXPECT_GT(CompareStr(u"abc", u"ab"), 0);
  EXPECT_EQ(CompareStr(u"abc", u"abc"), 0);
  EXPECT_GT(CompareStr(u"é", u"f"), 0);

  EXPECT_LT(AnsiCompareStr(u"a", u"B"), 0);  // collation: letters before case
  EXPECT_LT(AnsiCompareStr(u"é", u"f"), 0);
  EXPECT_NE(AnsiCompareStr(u"abc", u"ABC"), 0);
  EXPECT_EQ(AnsiCompareStr(u"abc", u"abc"), 0);
  EXPECT_EQ(AnsiCompareText(u"abc", u"ABC"), 0);
  EXPECT_NE(AnsiCompareText(u"abc", u"abd"), 0);
  EXPECT_NE(AnsiCompareText(u"e", u"é"), 0);  // accents still count

  EXPECT_TRUE(SameText(u"STRASSE", u"straße"));
  EXPECT_TRUE(SameText(u"", u""));
  EXPECT_FALSE(SameText(u"a", u"b"));
  EXPECT_FALSE(SameText(u"ab", u"a"));
}

TEST(UnicodeTrim, ControlsAndBlanksAtBothEnds) {
  EXPECT_EQ(TrimView(u" \t x y \r\n"), u"x y");
  EXPECT_EQ(TrimView(u" \x01 "), u"");
  EXPECT_EQ(TrimView(u"\u00A0x"), u"\u00A0x");  // only characters up to U+0020
}

}  // namespace
}  // namespace qob
