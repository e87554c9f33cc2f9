// Shared by the Variant tests: building values and comparing results by
// type and value with a readable failure message.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "ole/decimal.h"
#include "ole/variant.h"
#include "ole/variant_convert.h"
#include "rtl/format_settings.h"

namespace qob {

inline Variant Dec(std::u16string_view text) {
  TDecimal d{};
  EXPECT_EQ(TryStrToDecimal(text, d), DecimalParseResult::kOk) << Utf16ToUtf8(text);
  return Variant::FromDecimal(d);
}

inline Variant Cur(int64_t scaled) {
  return Variant::FromCurrency(scaled);
}

inline std::string Describe(const Variant& v) {
  std::string text(Utf16ToUtf8(VarTypeName(v.VType)));
  if (v.IsArray() || v.VType == varDispatch || v.VType == varUnknown) return text;
  switch (v.VType) {
    case varOleStr:
      return text + " \"" + Utf16ToUtf8(v.StringView()) + "\"";
    case varDecimal:
      return text + " " + Utf16ToUtf8(DecimalToString(v.Decimal()));
    case varSingle:
    case varDouble:
    case varDate:
      return text + " " + std::to_string(VarToDouble(VarAsType(v, varDouble)));
    case varCurrency:
      return text + " " + std::to_string(v.VCurrency) + "/10000";
    case varEmpty:
    case varNull:
      return text;
    default:
      return text + " " + std::to_string(VarToInt64(v));
  }
}

// Same type and same value (floating values within rounding noise).
inline ::testing::AssertionResult Same(const Variant& actual, const Variant& expected) {
  bool equal = actual.VType == expected.VType;
  if (equal) {
    switch (actual.VType) {
      case varEmpty:
      case varNull:
        break;
      case varOleStr:
        equal = actual.StringView() == expected.StringView();
        break;
      case varDecimal:
        equal = DecimalCompare(actual.Decimal(), expected.Decimal()) == 0;
        break;
      case varSingle:
        equal = actual.VSingle == expected.VSingle;
        break;
      case varDouble:
      case varDate:
        equal = std::fabs(actual.VDouble - expected.VDouble) <=
                1e-12 * std::max(1.0, std::fabs(expected.VDouble));
        break;
      default:
        equal = actual.VInt64 == expected.VInt64;  // unused payload bytes are zero
        break;
    }
  }
  if (equal) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "got " << Describe(actual) << ", expected " << Describe(expected);
}

// Tests that read or print numbers and dates run with the US conventions.
class InvariantSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = FormatSettings();
    FormatSettings() = TFormatSettings::Invariant();
  }
  void TearDown() override { FormatSettings() = saved_; }

 private:
  TFormatSettings saved_;
};

}  // namespace qob
