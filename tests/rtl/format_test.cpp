#include "rtl/format.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "rtl/exceptions.h"

namespace qob {
namespace {

const TFormatSettings kUs = TFormatSettings::Invariant();

struct FormatCase {
  std::u16string_view Format;
  std::vector<FormatArg> Args;
  std::string_view Text;
};

std::string FormatCaseText(const FormatCase& c, const TFormatSettings& settings = kUs) {
  return Format(c.Format, c.Args, settings).ToUtf8();
}

TEST(FormatDirectives, EachTypeWithWidthPrecisionAndIndex) {
  const int64_t minInt64 = std::numeric_limits<int64_t>::min();
  const FormatCase cases[] = {
      {u"%d", {42}, "42"},
      {u"%d", {-42}, "-42"},
      {u"%5d", {42}, "   42"},
      {u"%-5d|", {42}, "42   |"},
      {u"%.4d", {-42}, "-0042"},
      {u"%6.4d", {42}, "  0042"},
      {u"%d", {minInt64}, "-9223372036854775808"},
      {u"%D", {5}, "5"},
      {u"%u", {-1}, "4294967295"},
      {u"%u", {int64_t{-5000000000}}, "18446744068709551616"},
      {u"%x", {255}, "FF"},
      {u"%.4x", {255}, "00FF"},
      {u"%x", {-1}, "FFFFFFFF"},
      {u"%e", {1000.0}, "1.00000000000000E+003"},
      {u"%.3e", {-0.000123456}, "-1.23E-004"},
      {u"%e", {0.0}, "0.00000000000000E+000"},
      {u"%f", {3.14159}, "3.14"},
      {u"%.0f", {2.5}, "3"},
      {u"%.3f", {-0.0001}, "0.000"},
      {u"%f", {FormatArg::Currency(12345)}, "1.23"},
      {u"%.4f", {FormatArg::Currency(-5)}, "-0.0005"},
      {u"%f", {std::numeric_limits<double>::infinity()}, "INF"},
      {u"%g", {1e20}, "1E20"},
      {u"%g", {0.1}, "0.1"},
      {u"%.3g", {1234.5}, "1.23E3"},
      {u"%n", {1234567.891}, "1,234,567.89"},
      {u"%.0n", {-1234.5}, "-1,235"},
      {u"%m", {1234.5}, "$1,234.50"},
      {u"%m", {-1234.5}, "($1,234.50)"},
      {u"%.0m", {FormatArg::Currency(25000)}, "$3"},
      {u"%m",
       {FormatArg::Currency(std::numeric_limits<int64_t>::max())},
       "$922,337,203,685,477.58"},
      {u"%p", {reinterpret_cast<const void*>(0x1234)}, "0000000000001234"},
      {u"%s", {u"abc"}, "abc"},
      {u"%.2s", {u"abc"}, "ab"},
      {u"%5s|%-5s|", {u"ab", u"cd"}, "   ab|cd   |"},
      {u"[%.1s]", {u"\U0001F600x"}, "[]"},  // a surrogate pair is never cut
      {u"%1:s %0:s %s", {u"a", u"b"}, "b a b"},
      {u"%*d", {5, 42}, "   42"},
      {u"%*d|", {-4, 7}, "7   |"},
      {u"%-*d|", {4, 7}, "7   |"},
      {u"%.*f", {1, 2.25}, "2.3"},
      {u"%*.*f", {8, 3, 3.14159}, "   3.142"},
      {u"%*:s", {1, u"x"}, "x"},
      {u"100%%", {}, "100%"},
      {u"%d%%", {5}, "5%"},
      {u"plain", {}, "plain"},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(WideString(c.Format).ToUtf8());
    EXPECT_EQ(FormatCaseText(c), c.Text);
  }
}

TEST(FormatDirectives, RegionalSeparatorsAndCurrencyLayouts) {
  TFormatSettings euro = kUs;
  euro.DecimalSeparator = u',';
  euro.ThousandSeparator = u'.';
  euro.CurrencyString = u"€";
  euro.CurrencyFormat = 3;  // "1 €"
  euro.NegCurrFormat = 8;   // "-1 €"
  EXPECT_EQ(FormatCaseText({u"%.1f", {1.25}, ""}, euro), "1,3");
  EXPECT_EQ(FormatCaseText({u"%n", {1234.5}, ""}, euro), "1.234,50");
  EXPECT_EQ(FormatCaseText({u"%m", {1234.5}, ""}, euro), "1.234,50 €");
  EXPECT_EQ(FormatCaseText({u"%m", {-1.0}, ""}, euro), "-1,00 €");
  EXPECT_EQ(FormatCaseText({u"%e", {1.5}, ""}, euro), "1,50000000000000E+000");
}

TEST(FormatErrors, MismatchesAndMissingArgumentsRaise) {
  const FormatCase cases[] = {
      {u"%d", {1.5}, ""},
      {u"%d", {u"x"}, ""},
      {u"%u", {1.5}, ""},
      {u"%x", {u"x"}, ""},
      {u"%e", {1}, ""},
      {u"%f", {u"x"}, ""},
      {u"%g", {reinterpret_cast<const void*>(1)}, ""},
      {u"%n", {1}, ""},
      {u"%m", {1}, ""},
      {u"%p", {1}, ""},
      {u"%s", {1}, ""},
      {u"%d", {}, ""},
      {u"%d %d", {1}, ""},
      {u"%z", {1}, ""},
      {u"abc%", {}, ""},
      {u"%5", {1}, ""},
      {u"%2:d", {1, 2}, ""},
      {u"%*d", {u"x", 1}, ""},
      {u"%*d", {5}, ""},
      {u"%99999999999d", {1}, ""},
      {u"%2000000000d", {1}, ""},  // would need gigabytes of padding
      {u"%.2000000000f", {1.5}, ""},
      {u"%*s", {2000000000, u"x"}, ""},
  };
  for (const FormatCase& c : cases) {
    const std::string format = WideString(c.Format).ToUtf8();
    SCOPED_TRACE(format);
    try {
      FormatCaseText(c);
      ADD_FAILURE() << "no exception";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message().ToUtf8(),
                "Format '" + format + "' invalid or incompatible with argument");
    }
  }
}

}  // namespace
}  // namespace qob
