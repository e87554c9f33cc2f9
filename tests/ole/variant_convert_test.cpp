#include "ole/variant_convert.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "ole/decimal.h"
#include "ole/safearray.h"
#include "ole/variant_ops.h"
#include "rtl/datetime.h"
#include "rtl/exceptions.h"
#include "rtl/format_settings.h"
#include "variant_test_support.h"

namespace qob {
namespace {

using VariantConvertTest = InvariantSettingsTest;

struct ConvertCase {
  Variant from;
  TVarType to;
  Variant expected;
};

TEST_F(VariantConvertTest, ScalarConversionsFollowOleRules) {
  const std::vector<ConvertCase> cases = {
      // Floating values round half to even.
      {Variant(2.5), varInteger, Variant(2)},
      {Variant(3.5), varInteger, Variant(4)},
      {Variant(-2.5), varSmallint, Variant::FromSmallint(-2)},
      {Variant::FromSingle(254.5f), varByte, Variant::FromByte(254)},
      {Cur(25000), varInteger, Variant(2)},
      {Cur(35000), varInteger, Variant(4)},
      {Cur(-25000), varInt64, Variant(int64_t{-2})},
      {Dec(u"2.5"), varInteger, Variant(2)},
      {Dec(u"-3.5"), varInteger, Variant(-4)},
      // Strings read with the regional settings; whole numbers stay exact.
      {Variant(u" 123 "), varInteger, Variant(123)},
      {Variant(u"1.5"), varInteger, Variant(2)},
      {Variant(u"9223372036854775807"), varInt64, Variant(std::numeric_limits<int64_t>::max())},
      {Variant(u"1.5"), varDouble, Variant(1.5)},
      {Variant(u"1.2345"), varCurrency, Cur(12345)},
      {Variant(u"0.1"), varDecimal, Dec(u"0.1")},
      {Variant(u"True"), varInteger, Variant(-1)},
      {Variant(u"4294967295"), varLongWord, Variant::FromLongWord(4294967295u)},
      // Booleans: True is -1 and prints as "True"; the texts convert back in any case.
      {Variant(true), varInteger, Variant(-1)},
      {Variant(true), varOleStr, Variant(u"True")},
      {Variant(false), varOleStr, Variant(u"False")},
      {Variant(u"tRUE"), varBoolean, Variant(true)},
      {Variant(u" false "), varBoolean, Variant(false)},
      {Variant(u"0"), varBoolean, Variant(false)},
      {Variant(u"2"), varBoolean, Variant(true)},
      {Variant(5), varBoolean, Variant(true)},
      {Dec(u"0.0"), varBoolean, Variant(false)},
      // Empty is zero, empty text or False.
      {Variant(), varInteger, Variant(0)},
      {Variant(), varOleStr, Variant(u"")},
      {Variant(), varBoolean, Variant(false)},
      // Numbers to text in the general format.
      {Variant(0.1), varOleStr, Variant(u"0.1")},
      {Variant::FromSingle(0.1f), varOleStr, Variant(u"0.1")},
      {Variant(std::numeric_limits<int64_t>::min()), varOleStr, Variant(u"-9223372036854775808")},
      {Variant::FromLongWord(4294967295u), varOleStr, Variant(u"4294967295")},
      {Cur(15000), varOleStr, Variant(u"1.5")},
      {Dec(u"-1.50"), varOleStr, Variant(u"-1.5")},
      // Currency, Decimal and Double between each other.
      {Variant(1.23456), varCurrency, Cur(12346)},
      {Cur(12345), varDouble, Variant(1.2345)},
      {Variant(0.1), varDecimal, Dec(u"0.1")},
      {Dec(u"0.1"), varDouble, Variant(0.1)},
      {Dec(u"1.23456"), varCurrency, Cur(12346)},
      {Cur(-12345), varDecimal, Dec(u"-1.2345")},
      {Variant(int64_t{-7}), varDecimal, Dec(u"-7")},
      // Dates are days since 30 December 1899.
      {Variant(36526.5), varDate, Variant::FromDate(36526.5)},
      {Variant::FromDate(36526.25), varDouble, Variant(36526.25)},
      {Variant(7), varError, Variant::FromError(7)},
  };
  for (const ConvertCase& c : cases)
    EXPECT_TRUE(Same(VarAsType(c.from, c.to), c.expected))
        << Describe(c.from) << " to " << Utf16ToUtf8(VarTypeName(c.to));
}

TEST_F(VariantConvertTest, DecimalSeparatorComesFromTheRegionalSettings) {
  EXPECT_THROW(VarAsType(Variant(u"1,5"), varDouble), EVariantTypeCastError);
  FormatSettings().DecimalSeparator = u',';
  EXPECT_TRUE(Same(VarAsType(Variant(u"1,5"), varDouble), Variant(1.5)));
  EXPECT_TRUE(Same(VarAsType(Variant(u"1,25"), varDecimal), Dec(u"1.25")));
  EXPECT_TRUE(Same(VarAsType(Dec(u"1.25"), varOleStr), Variant(u"1,25")));
}

TEST_F(VariantConvertTest, TextAndDatesRoundTrip) {
  const double date = EncodeDate(2000, 1, 2) + EncodeTime(13, 4, 5, 0);
  const Variant text = VarAsType(Variant::FromDate(date), varOleStr);
  EXPECT_EQ(text.StringView(), DateTimeToStr(date).view());
  EXPECT_TRUE(Same(VarAsType(text, varDate), Variant::FromDate(date)));
  EXPECT_TRUE(
      Same(VarAsType(Variant(u"1/2/2000"), varDate), Variant::FromDate(EncodeDate(2000, 1, 2))));
}

struct FailureCase {
  Variant from;
  TVarType to;
  std::function<void(const Variant&, TVarType)> expectThrow;
};

template <class E>
std::function<void(const Variant&, TVarType)> Raises(std::u16string message = {}) {
  return [message](const Variant& from, TVarType to) {
    try {
      VarAsType(from, to);
      ADD_FAILURE() << Describe(from) << " converted to " << Utf16ToUtf8(VarTypeName(to));
    } catch (const E& e) {
      if (!message.empty()) {
        EXPECT_EQ(e.Message().view(), message);
      }
    }
  };
}

TEST_F(VariantConvertTest, BadConversionsRaiseAndLeaveTheSourceAlone) {
  const std::vector<FailureCase> cases = {
      {Variant(u"abc"), varInteger,
       Raises<EVariantTypeCastError>(
           u"Could not convert variant of type (String) into type (Integer)")},
      {Variant(u""), varDouble, Raises<EVariantTypeCastError>()},
      {Variant(u"12abc"), varCurrency, Raises<EVariantTypeCastError>()},
      {Variant(u"yes"), varBoolean, Raises<EVariantTypeCastError>()},
      {Variant(u"not a date"), varDate, Raises<EVariantTypeCastError>()},
      {Variant(32767.5), varSmallint,
       Raises<EVariantOverflowError>(
           u"Arithmetic overflow converting variant of type (Double) into type (Smallint)")},
      {Variant(300), varByte, Raises<EVariantOverflowError>()},
      {Variant(-1), varLongWord, Raises<EVariantOverflowError>()},
      {Variant(1e39), varSingle, Raises<EVariantOverflowError>()},
      {Variant(1e20), varCurrency, Raises<EVariantOverflowError>()},
      {Variant(3e6), varDate, Raises<EVariantOverflowError>()},
      {Variant(u"1/2/0050"), varDate, Raises<EVariantOverflowError>()},  // year 50
      {Variant(u"1e400"), varDouble, Raises<EVariantOverflowError>()},
      {Variant(u"-1e400"), varInteger, Raises<EVariantOverflowError>()},
      {Variant(1e30), varDecimal, Raises<EVariantOverflowError>()},
      {Variant(u"79228162514264337593543950336"), varDecimal, Raises<EVariantOverflowError>()},
      {Variant(u"922337203685477.5808"), varCurrency, Raises<EVariantOverflowError>()},
      {Variant(std::nan("")), varInteger, Raises<EVariantOverflowError>()},
      {Variant::Null(), varInteger, Raises<EVariantError>(u"Invalid NULL variant operation")},
      {Variant::Null(), varOleStr, Raises<EVariantError>(u"Invalid NULL variant operation")},
      {Variant::FromError(5), varOleStr, Raises<EVariantTypeCastError>()},
      {Variant(1), varDispatch, Raises<EVariantTypeCastError>()},
      {Variant(1), TVarType{15}, Raises<EVariantBadVarTypeError>()},
      {VarArrayOf(std::vector<Variant>{Variant(1)}), varInteger,
       Raises<EVariantTypeCastError>(
           u"Could not convert variant of type (Array Variant) into type (Integer)")},
  };
  for (const FailureCase& c : cases) {
    const Variant before(c.from);
    c.expectThrow(c.from, c.to);
    ASSERT_EQ(c.from.VType, before.VType);
    if (c.from.IsString()) {
      EXPECT_EQ(c.from.StringView(), before.StringView());
    } else if (!c.from.IsArray()) {
      EXPECT_EQ(std::memcmp(&c.from, &before, sizeof(TVarData)), 0);
    }
  }
}

TEST_F(VariantConvertTest, ReferencesAndByRefValuesAreReadThrough) {
  Variant target(u"42");
  const Variant ref = Variant::RefTo(&target);
  const Variant refRef = Variant::RefTo(const_cast<Variant*>(&ref));
  EXPECT_TRUE(Same(VarAsType(refRef, varInteger), Variant(42)));
  EXPECT_EQ(VarToStr(ref).view(), u"42");

  int32_t storage = 7;
  Variant byRef;
  byRef.VType = varByRef | varInteger;
  byRef.VPointer = &storage;
  EXPECT_TRUE(Same(VarAsType(byRef, varDouble), Variant(7.0)));
  storage = 8;
  EXPECT_EQ(VarToInt32(byRef), 8);
}

TEST_F(VariantConvertTest, HostValueHelpers) {
  EXPECT_EQ(VarToInt32(Variant(u"12")), 12);
  EXPECT_EQ(VarToInt64(Variant(1e15)), 1000000000000000);
  EXPECT_DOUBLE_EQ(VarToDouble(Cur(12345)), 1.2345);
  EXPECT_TRUE(VarToBool(Variant(u"True")));
  EXPECT_EQ(VarToCurrency(Variant(1.5)), 15000);
  EXPECT_DOUBLE_EQ(VarToDate(Variant(2.5)), 2.5);
  EXPECT_EQ(VarToStr(Variant::Null()).view(), u"");
  EXPECT_EQ(VarToStr(Variant()).view(), u"");
  EXPECT_THROW(VarToInt32(Variant::Null()), EVariantError);
  EXPECT_EQ(VarTypeName(varOleStr), u"String");
  EXPECT_EQ(VarTypeName(varArray | varInteger), u"Array Integer");
  EXPECT_EQ(VarTypeName(varLongWord), u"LongWord");
}

TEST_F(VariantConvertTest, ArraysConvertElementByElement) {
  const TSafeArrayBound bound{1, 2};
  Variant ints = VarArrayCreate({&bound, 1}, varInteger);
  const int32_t first = 1, second = 2;
  SafeArrayPutElement(*ints.VArray, {&first, 1}, Variant(u"10"));
  SafeArrayPutElement(*ints.VArray, {&second, 1}, Variant(20));
  const Variant texts = VarAsType(ints, varArray | varOleStr);
  ASSERT_EQ(texts.VType, varArray | varOleStr);
  EXPECT_EQ(SafeArrayLowBound(*texts.VArray, 1), 1);
  EXPECT_TRUE(Same(SafeArrayGetElement(*texts.VArray, {&first, 1}), Variant(u"10")));
  EXPECT_TRUE(Same(SafeArrayGetElement(*texts.VArray, {&second, 1}), Variant(u"20")));
}

// A host object whose default member is a fixed value, or that fails.
class DefaultValueObject : public IDispatch {
 public:
  explicit DefaultValueObject(Variant value, HRESULT failure = S_OK)
      : value_(std::move(value)), failure_(failure) {}
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override { return --refs_; }
  HRESULT GetTypeInfoCount(uint32_t* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, const char16_t**, uint32_t, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params, Variant* result,
                 EXCEPINFO* excepInfo, uint32_t*) override {
    if (id != DISPID_VALUE || flags != DISPATCH_PROPERTYGET || params->cArgs != 0)
      return DISP_E_MEMBERNOTFOUND;
    if (failure_ == DISP_E_EXCEPTION && excepInfo) {
      excepInfo->bstrDescription = u"value unavailable";
      excepInfo->bstrSource = u"test object";
      excepInfo->scode = E_FAIL;
    }
    if (failure_ != S_OK) return failure_;
    *result = value_;
    return S_OK;
  }
  uint32_t refs() const { return refs_; }

 private:
  Variant value_;
  HRESULT failure_;
  uint32_t refs_ = 1;
};

TEST_F(VariantConvertTest, ObjectsConvertThroughTheirDefaultValue) {
  DefaultValueObject answer(Variant(42));
  const Variant object(static_cast<IDispatch*>(&answer));
  EXPECT_TRUE(Same(VarAsType(object, varOleStr), Variant(u"42")));
  EXPECT_TRUE(Same(VarAdd(object, Variant(1)), Variant(43)));
  EXPECT_EQ(VarCmp(object, Variant(42)), VARCMP_EQ);

  DefaultValueObject none(Variant(), DISP_E_MEMBERNOTFOUND);
  const Variant plain(static_cast<IDispatch*>(&none));
  EXPECT_THROW(VarAsType(plain, varInteger), EVariantTypeCastError);
  EXPECT_THROW(VarAdd(plain, Variant(1)), EVariantInvalidOpError);

  DefaultValueObject failing(Variant(), DISP_E_EXCEPTION);
  const Variant broken(static_cast<IDispatch*>(&failing));
  try {
    VarToStr(broken);
    ADD_FAILURE() << "no exception";
  } catch (const EOleException& e) {
    EXPECT_EQ(e.Message().view(), u"value unavailable");
    EXPECT_EQ(e.Source().view(), u"test object");
    EXPECT_EQ(e.ErrorCode(), E_FAIL);
  }
  EXPECT_EQ(answer.refs(), 2u);  // only `object` holds a reference
}

struct DecimalCase {
  std::u16string_view left;
  char op;
  std::u16string_view right;
  std::u16string_view expected;
};

TEST(DecimalTest, ArithmeticIsExactAndRoundsHalfToEven) {
  const std::vector<DecimalCase> cases = {
      {u"0.1", '+', u"0.2", u"0.3"},
      {u"1", '-', u"1.0000000000000000000000000001", u"-0.0000000000000000000000000001"},
      {u"79228162514264337593543950335", '+', u"0.4", u"79228162514264337593543950335"},
      {u"-79228162514264337593543950335", '+', u"79228162514264337593543950335", u"0"},
      {u"1.5", '*', u"1.5", u"2.25"},
      {u"-1.5", '*', u"2", u"-3"},
      {u"12345678901234.5678", '*', u"1000000", u"12345678901234567800"},
      {u"0.0000000000000000000000000001", '*', u"0.5", u"0"},
      {u"0.0000000000000000000000000003", '*', u"0.5", u"0.0000000000000000000000000002"},
      {u"1", '/', u"3", u"0.3333333333333333333333333333"},
      {u"2", '/', u"3", u"0.6666666666666666666666666667"},
      {u"-7", '/', u"2", u"-3.5"},
      {u"1", '/', u"0.0001", u"10000"},
      {u"79228162514264337593543950335", '/', u"0.5", u""},  // overflow
      {u"79228162514264337593543950335", '+', u"1", u""},
      {u"79228162514264337593543950335", '*', u"10", u""},
  };
  for (const DecimalCase& c : cases) {
    TDecimal a{}, b{};
    ASSERT_EQ(TryStrToDecimal(c.left, a), DecimalParseResult::kOk);
    ASSERT_EQ(TryStrToDecimal(c.right, b), DecimalParseResult::kOk);
    auto apply = [&] {
      switch (c.op) {
        case '+':
          return DecimalAdd(a, b);
        case '-':
          return DecimalSub(a, b);
        case '*':
          return DecimalMul(a, b);
        default:
          return DecimalDiv(a, b);
      }
    };
    const std::string label = Utf16ToUtf8(c.left) + " " + c.op + " " + Utf16ToUtf8(c.right);
    if (c.expected.empty()) {
      EXPECT_THROW(apply(), EVariantOverflowError) << label;
    } else {
      EXPECT_EQ(DecimalToString(apply()), c.expected) << label;
    }
  }
  TDecimal one{}, zero{};
  ASSERT_EQ(TryStrToDecimal(u"1", one), DecimalParseResult::kOk);
  EXPECT_THROW(DecimalDiv(one, zero), EZeroDivide);
}

TEST(DecimalTest, ParsingComparingAndRounding) {
  struct ParseCase {
    std::u16string_view text;
    std::u16string_view printed;  // empty: invalid
  };
  for (const ParseCase& c : std::vector<ParseCase>{
           {u" -2.50 ", u"-2.5"},
           {u"1e3", u"1000"},
           {u"1.5E-3", u"0.0015"},
           {u"+.5", u"0.5"},
           {u"1e-40", u"0"},
           {u"0.00000000000000000000000000015", u"0.0000000000000000000000000002"},
           {u"", u""},
           {u"1.2.3", u""},
           {u"e5", u""},
           {u"12a", u""}}) {
    TDecimal d{};
    const DecimalParseResult result = TryStrToDecimal(c.text, d);
    if (c.printed.empty()) {
      EXPECT_EQ(result, DecimalParseResult::kInvalid) << Utf16ToUtf8(c.text);
    } else {
      ASSERT_EQ(result, DecimalParseResult::kOk) << Utf16ToUtf8(c.text);
      EXPECT_EQ(DecimalToString(d), c.printed);
    }
  }
  TDecimal a{}, b{}, c{};
  ASSERT_EQ(TryStrToDecimal(u"1.0", a), DecimalParseResult::kOk);
  ASSERT_EQ(TryStrToDecimal(u"1", b), DecimalParseResult::kOk);
  ASSERT_EQ(TryStrToDecimal(u"1.00000000000000000001", c), DecimalParseResult::kOk);
  EXPECT_EQ(DecimalCompare(a, b), 0);
  EXPECT_EQ(DecimalCompare(c, b), 1);
  EXPECT_EQ(DecimalCompare(DecimalNegate(c), b), -1);
  EXPECT_EQ(DecimalCompare(DecimalNegate(DecimalFromInt64(0)), DecimalFromInt64(0)), 0);

  int64_t whole = 0;
  for (auto [text, expected] : std::vector<std::pair<std::u16string_view, int64_t>>{
           {u"2.5", 2}, {u"3.5", 4}, {u"-2.5", -2}, {u"-9223372036854775808", INT64_MIN}}) {
    TDecimal d{};
    ASSERT_EQ(TryStrToDecimal(text, d), DecimalParseResult::kOk);
    ASSERT_TRUE(TryDecimalToInt64(d, whole));
    EXPECT_EQ(whole, expected) << Utf16ToUtf8(text);
  }
  TDecimal big{};
  ASSERT_EQ(TryStrToDecimal(u"9223372036854775808", big), DecimalParseResult::kOk);
  EXPECT_FALSE(TryDecimalToInt64(big, whole));
  EXPECT_DOUBLE_EQ(DecimalToDouble(c), 1.0);
}

}  // namespace
}  // namespace qob
