#include "rtl/numconv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

#include "rtl/exceptions.h"

namespace qob {
namespace {

const TFormatSettings kUs = TFormatSettings::Invariant();

TFormatSettings CommaDecimal() {
  TFormatSettings fs = TFormatSettings::Invariant();
  fs.DecimalSeparator = u',';
  fs.ThousandSeparator = u'.';
  return fs;
}

TEST(IntToText, SignsHexAndExtremes) {
  EXPECT_EQ(IntToStr(0).ToUtf8(), "0");
  EXPECT_EQ(IntToStr(-42).ToUtf8(), "-42");
  EXPECT_EQ(IntToStr(std::numeric_limits<int64_t>::min()).ToUtf8(), "-9223372036854775808");
  EXPECT_EQ(UIntToStr(std::numeric_limits<uint64_t>::max()).ToUtf8(), "18446744073709551615");
  EXPECT_EQ(IntToHex(255, 4).ToUtf8(), "00FF");
  EXPECT_EQ(IntToHex(0, 0).ToUtf8(), "0");
  EXPECT_EQ(IntToHex(0x1234, 2).ToUtf8(), "1234");
  EXPECT_THROW(IntToHex(0, 2147483647), EConvertError);
  EXPECT_EQ(IntToHex(-1, 2).ToUtf8(), "FFFFFFFFFFFFFFFF");
}

struct IntCase {
  std::u16string_view Text;
  std::optional<int64_t> As32;  // nullopt: not a valid 32-bit integer
  std::optional<int64_t> As64;
};

TEST(TextToInt, DecimalHexSignBlanksAndOverflow) {
  const IntCase cases[] = {
      {u"123", 123, 123},
      {u"  -42\t", -42, -42},
      {u"+7", 7, 7},
      {u"$FF", 255, 255},
      {u"0x10", 16, 16},
      {u"-$10", -16, -16},
      {u"$FFFFFFFF", -1, 0xFFFFFFFF},
      {u"$100000000", std::nullopt, 0x100000000},
      {u"2147483647", 2147483647, 2147483647},
      {u"2147483648", std::nullopt, 2147483648},
      {u"-2147483648", -2147483648LL, -2147483648LL},
      {u"-2147483649", std::nullopt, -2147483649LL},
      {u"9223372036854775807", std::nullopt, std::numeric_limits<int64_t>::max()},
      {u"-9223372036854775808", std::nullopt, std::numeric_limits<int64_t>::min()},
      {u"9223372036854775808", std::nullopt, std::nullopt},
      {u"$FFFFFFFFFFFFFFFF", std::nullopt, -1},
      {u"$10000000000000000", std::nullopt, std::nullopt},
      {u"", std::nullopt, std::nullopt},
      {u"   ", std::nullopt, std::nullopt},
      {u"-", std::nullopt, std::nullopt},
      {u"$", std::nullopt, std::nullopt},
      {u"0x", std::nullopt, std::nullopt},
      {u"12a", std::nullopt, std::nullopt},
      {u"1 2", std::nullopt, std::nullopt},
      {u"1.0", std::nullopt, std::nullopt},
      {u"--1", std::nullopt, std::nullopt},
  };
  for (const IntCase& c : cases) {
    SCOPED_TRACE(WideString(c.Text).ToUtf8());
    int32_t v32 = 99;
    ASSERT_EQ(TryStrToInt(c.Text, v32), c.As32.has_value());
    if (c.As32) {
      EXPECT_EQ(v32, *c.As32);
    }
    int64_t v64 = 99;
    ASSERT_EQ(TryStrToInt64(c.Text, v64), c.As64.has_value());
    if (c.As64) {
      EXPECT_EQ(v64, *c.As64);
    }
  }
}

TEST(TextToInt, RaisingVersionsNameTheText) {
  EXPECT_EQ(StrToInt(u" 12 "), 12);
  EXPECT_EQ(StrToInt64(u"$7FFFFFFFFFFFFFFF"), std::numeric_limits<int64_t>::max());
  try {
    StrToInt(u"x1");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message().ToUtf8(), "'x1' is not a valid integer value");
  }
  EXPECT_THROW(StrToInt64(u"99999999999999999999"), EConvertError);
}

struct FloatParseCase {
  std::u16string_view Text;
  std::optional<double> Value;
};

TEST(TextToFloat, SyntaxExponentAndRange) {
  const FloatParseCase cases[] = {
      {u"1.5", 1.5},
      {u"  -2.5e3 ", -2500.0},
      {u"+.5E-1", 0.05},
      {u"5.", 5.0},
      {u"0.1", 0.1},
      {u"1e-400", 0.0},
      {u"1e400", std::nullopt},
      {u"1e999999999999", std::nullopt},
      {u"", std::nullopt},
      {u".", std::nullopt},
      {u"e5", std::nullopt},
      {u"1e", std::nullopt},
      {u"1e+", std::nullopt},
      {u"1.5x", std::nullopt},
      {u"1,5", std::nullopt},
      {u"1 000", std::nullopt},
      {u"INF", std::nullopt},
      {u"NAN", std::nullopt},
      {u"0x10", std::nullopt},
  };
  for (const FloatParseCase& c : cases) {
    SCOPED_TRACE(WideString(c.Text).ToUtf8());
    double value = 99;
    ASSERT_EQ(TryStrToFloat(c.Text, value, kUs), c.Value.has_value());
    if (c.Value) {
      EXPECT_EQ(value, *c.Value);
    }
  }
}

TEST(TextToFloat, DecimalSeparatorComesFromSettings) {
  const TFormatSettings comma = CommaDecimal();
  double value = 0;
  EXPECT_TRUE(TryStrToFloat(u"1,25", value, comma));
  EXPECT_EQ(value, 1.25);
  EXPECT_FALSE(TryStrToFloat(u"1.25", value, comma));
  EXPECT_EQ(StrToFloat(u"-3,5E2", comma), -350.0);
  try {
    StrToFloat(u"1.2.3", kUs);
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message().ToUtf8(), "'1.2.3' is not a valid floating point value");
  }
}

struct CurrCase {
  std::u16string_view Text;
  std::optional<int64_t> Scaled;
};

TEST(TextToCurrency, ExactDecimalWithHalfEvenRounding) {
  const CurrCase cases[] = {
      {u"1.2345", 12345},
      {u"1.23455", 12346},  // half, odd -> up
      {u"1.23445", 12344},  // half, even -> stays
      {u"1.234451", 12345},
      {u"-0.00005", 0},
      {u"1e3", 10000000},
      {u"12.5e-2", 1250},
      {u"922337203685477.5807", std::numeric_limits<int64_t>::max()},
      {u"922337203685477.5808", std::nullopt},
      {u"-922337203685477.5808", std::numeric_limits<int64_t>::min()},
      {u"1e20", std::nullopt},
      {u"abc", std::nullopt},
  };
  for (const CurrCase& c : cases) {
    SCOPED_TRACE(WideString(c.Text).ToUtf8());
    int64_t scaled = 99;
    ASSERT_EQ(TryStrToCurr(c.Text, scaled, kUs), c.Scaled.has_value());
    if (c.Scaled) {
      EXPECT_EQ(scaled, *c.Scaled);
    }
  }
}

TEST(CurrencyToText, UpToFourDecimals) {
  EXPECT_EQ(CurrToStr(12345, kUs).ToUtf8(), "1.2345");
  EXPECT_EQ(CurrToStr(10000, kUs).ToUtf8(), "1");
  EXPECT_EQ(CurrToStr(-5000, kUs).ToUtf8(), "-0.5");
  EXPECT_EQ(CurrToStr(1200, CommaDecimal()).ToUtf8(), "0,12");
  EXPECT_EQ(CurrToStr(std::numeric_limits<int64_t>::min(), kUs).ToUtf8(), "-922337203685477.5808");
}

struct FloatTextCase {
  double Value;
  std::string_view Text;
};

TEST(FloatToText, GeneralFormatFifteenDigits) {
  const double inf = std::numeric_limits<double>::infinity();
  const FloatTextCase cases[] = {
      {0.1, "0.1"},
      {100, "100"},
      {-2.5, "-2.5"},
      {1e20, "1E20"},
      {1.5e-7, "1.5E-7"},
      {123456789012345678.0, "1.23456789012346E17"},
      {999999999999999.0, "999999999999999"},
      {1e15, "1E15"},
      {0.00001, "0.00001"},
      {0.000001, "1E-6"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {0.1 + 0.2, "0.3"},
      {9.9999999999999999e22, "1E23"},
      {-0.0, "0"},
      {inf, "INF"},
      {-inf, "-INF"},
      {std::nan(""), "NAN"},
  };
  for (const FloatTextCase& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(FloatToStr(c.Value, kUs).ToUtf8(), c.Text);
  }
  EXPECT_EQ(FloatToStr(-1234.5, CommaDecimal()).ToUtf8(), "-1234,5");
  EXPECT_EQ(SingleToStr(0.1f, kUs).ToUtf8(), "0.1");
  EXPECT_EQ(SingleToStr(1.0f / 3, kUs).ToUtf8(), "0.3333333");
  EXPECT_EQ(SingleToStr(16777216.0f * 8, kUs).ToUtf8(), "1.342177E8");
}

struct PictureCase {
  std::u16string_view Picture;
  double Value;
  std::string_view Text;
};

TEST(FormatFloatPictures, PlaceholdersSectionsExponentsAndText) {
  const PictureCase cases[] = {
      {u"#,##0.00", 1234567.891, "1,234,567.89"},
      {u"#,##0.00", -1234.5, "-1,234.50"},
      {u"#,##0", 999.5, "1,000"},
      {u"000", 5, "005"},
      {u"00.0E+0", 0, "00.0E+0"},
      {u"00", 1234, "1234"},
      {u"#", 0, ""},
      {u"0", 0.4, "0"},
      {u"0", -0.4, "0"},  // rounds to zero: no "-0"
      {u"0", 2.5, "3"},   // halves round away from zero
      {u"0.00", 0.125, "0.13"},
      {u"0.0#", 1.5, "1.5"},
      {u"0.0#", 1.257, "1.26"},
      {u"#.##", 0.5, ".5"},
      {u"0.##", 1, "1"},
      {u"0.00E+00", 12345, "1.23E+04"},
      {u"0.00E-00", 12345, "1.23E04"},
      {u"0.0e-0", 0.00012, "1.2e-4"},
      {u"0.00E+00", 0, "0.00E+00"},
      {u"00.0E+0", 12345, "12.3E+3"},
      {u"0.0E+0", 9.96, "1.0E+1"},
      {u"\"$\"#,##0.00;(\"$\"#,##0.00);\"zero\"", 1234.5, "$1,234.50"},
      {u"\"$\"#,##0.00;(\"$\"#,##0.00);\"zero\"", -5, "($5.00)"},
      {u"\"$\"#,##0.00;(\"$\"#,##0.00);\"zero\"", 0, "zero"},
      {u"0.0;;'nothing'", -2, "-2.0"},  // empty negative section: the first, with a sign
      {u"'#'0 'units'", 7, "#7 units"},
      {u"", 0.1, "0.1"},
  };
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(WideString(c.Picture).ToUtf8());
    EXPECT_EQ(FormatFloat(c.Picture, c.Value, kUs).ToUtf8(), c.Text);
  }
  EXPECT_EQ(FormatFloat(u"#,##0.00", 1234.5, CommaDecimal()).ToUtf8(), "1.234,50");
  EXPECT_EQ(FormatFloat(u"0.00", std::numeric_limits<double>::infinity(), kUs).ToUtf8(), "INF");
}

}  // namespace
}  // namespace qob
