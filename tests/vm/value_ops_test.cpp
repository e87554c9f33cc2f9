#include "vm/value_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "ole/dispatch_object.h"
#include "ole/safearray.h"
#include "ole/variant_convert.h"
#include "rtl/exceptions.h"

namespace qob {
namespace {

// ---- Building and describing values ----

Variant Int(int32_t v) {
  return Variant(v);
}
Variant I64(int64_t v) {
  return Variant(v);
}
Variant Dbl(double v) {
  return Variant(v);
}
Variant Bool(bool v) {
  return Variant(v);
}
Variant Small(int16_t v) {
  return Variant::FromSmallint(v);
}
Variant Short(int8_t v) {
  return Variant::FromShortInt(v);
}
Variant Byte(uint8_t v) {
  return Variant::FromByte(v);
}
Variant Word(uint16_t v) {
  return Variant::FromWord(v);
}
Variant LongWord(uint32_t v) {
  return Variant::FromLongWord(v);
}
Variant Sgl(float v) {
  return Variant::FromSingle(v);
}
Variant Cur(int64_t scaled) {
  return Variant::FromCurrency(scaled);
}
Variant Date(double days) {
  return Variant::FromDate(days);
}
Variant Str(std::u16string_view v) {
  return Variant(v);
}
Variant Null() {
  return Variant::Null();
}

std::string Describe(const Variant& v) {
  switch (v.VType) {
    case varEmpty:
      return "Empty";
    case varNull:
      return "Null";
    case varSmallint:
      return "Smallint " + std::to_string(v.VSmallInt);
    case varInteger:
      return "Integer " + std::to_string(v.VInteger);
    case varSingle:
      return "Single " + std::to_string(v.VSingle);
    case varDouble:
      return "Double " + std::to_string(v.VDouble);
    case varCurrency:
      return "Currency " + std::to_string(v.VCurrency) + "/10000";
    case varDate:
      return "Date " + std::to_string(v.VDate);
    case varOleStr:
      return "String \"" + Utf16ToUtf8(v.StringView()) + "\"";
    case varBoolean:
      return v.VBoolean ? "Boolean True" : "Boolean False";
    case varShortInt:
      return "ShortInt " + std::to_string(v.VShortInt);
    case varByte:
      return "Byte " + std::to_string(v.VByte);
    case varWord:
      return "Word " + std::to_string(v.VWord);
    case varLongWord:
      return "LongWord " + std::to_string(v.VLongWord);
    case varInt64:
      return "Int64 " + std::to_string(v.VInt64);
    default:
      return "type " + std::to_string(v.VType);
  }
}

// Same type and same value; Variants without a payload compare by type.
bool Same(const Variant& a, const Variant& b) {
  if (a.VType != b.VType) return false;
  switch (a.VType) {
    case varEmpty:
    case varNull:
      return true;
    case varOleStr:
      return a.StringView() == b.StringView();
    case varSingle:
      return a.VSingle == b.VSingle;
    case varDouble:
    case varDate:
      return a.VDouble == b.VDouble;
    case varSmallint:
    case varBoolean:
      return a.VSmallInt == b.VSmallInt;
    case varShortInt:
    case varByte:
      return a.VByte == b.VByte;
    case varWord:
      return a.VWord == b.VWord;
    case varInteger:
    case varLongWord:
      return a.VLongWord == b.VLongWord;
    default:
      return a.VInt64 == b.VInt64;
  }
}

const char* OpName(TQOBOperator op) {
  static const char* const names[] = {
      "+",   "-", "*",  "/", "div", "mod", "shl", "shr", "and", "or",  "xor", "?11", "?12",
      "?13", "=", "<>", "<", "<=",  ">",   ">=",  "&",   "^",   "eqv", "imp", "is",  "isnot"};
  return op < std::size(names) ? names[op] : "?";
}

struct BinaryCase {
  Variant left;
  TQOBOperator op;
  Variant right;
  Variant expected;
};

void ExpectBinary(const BinaryCase& c) {
  Variant result;
  QOBBinaryOp(c.left, c.right, result, c.op);
  EXPECT_TRUE(Same(result, c.expected))
      << Describe(c.left) << " " << OpName(c.op) << " " << Describe(c.right) << " gave "
      << Describe(result) << ", expected " << Describe(c.expected);
}

// ---- Binary operations ----

TEST(ValueOpsBinaryTest, IntegerPathsKeepTheirResultTypes) {
  const BinaryCase cases[] = {
      {Int(7), opIntDivide, Int(2), Int(3)},
      {Int(-7), opIntDivide, Int(2), Int(-3)},
      {Int(-7), opModulus, Int(2), Int(-1)},
      {Int(7), opModulus, Int(-2), Int(1)},
      {Int(40), opSubtract, Int(50), Int(-10)},
      {Int(-6), opMultiply, Int(7), Int(-42)},
      {Byte(200), opAdd, Byte(100), Int(300)},
      {Small(32767), opAdd, Small(1), Int(32768)},
      {Short(-100), opSubtract, Byte(200), Int(-300)},
      {Int(1), opShl, Int(33), Int(2)},
      {Int(1), opShl, Int(-1), Int(std::numeric_limits<int32_t>::min())},
      {Int(-16), opShr, Int(28), Int(15)},
      {Int(12), opAnd, Int(10), Int(8)},
      {Int(12), opOr, Int(10), Int(14)},
      {Int(12), opXor, Int(10), Int(6)},
      {Int(12), opEqv, Int(10), Int(-7)},
      {Int(12), opImp, Int(10), Int(-5)},
      {Word(1), opAdd, Int(1), I64(2)},
      {LongWord(4000000000u), opAdd, Int(1), I64(4000000001)},
      {LongWord(4000000000u), opSubtract, Small(-1), I64(4000000001)},
      {I64(int64_t{1} << 40), opIntDivide, Int(-1024), I64(-(int64_t{1} << 30))},
      {I64(-7), opModulus, Word(2), I64(-1)},
      {I64(1), opShl, Int(65), I64(2)},
      {I64(-1), opShr, Int(60), I64(15)},
      {Word(0xF0F0), opXor, LongWord(0xFFFFFFFF), I64(0xFFFF0F0F)},
      {I64(12), opEqv, I64(10), I64(-7)},
  };
  for (const BinaryCase& c : cases) ExpectBinary(c);
}

TEST(ValueOpsBinaryTest, BooleansAndDoubles) {
  const BinaryCase cases[] = {
      // Both Boolean: logic gives Boolean, arithmetic counts True as 1.
      {Bool(true), opAnd, Bool(false), Bool(false)},
      {Bool(true), opOr, Bool(false), Bool(true)},
      {Bool(true), opXor, Bool(true), Bool(false)},
      {Bool(true), opEqv, Bool(false), Bool(false)},
      {Bool(false), opEqv, Bool(false), Bool(true)},
      {Bool(true), opImp, Bool(false), Bool(false)},
      {Bool(false), opImp, Bool(false), Bool(true)},
      {Bool(true), opAdd, Bool(true), Int(2)},
      {Bool(true), opShl, Bool(true), Int(2)},
      // Mixed with an integer, True is -1.
      {Bool(true), opAdd, Int(1), Int(0)},
      {Bool(true), opAnd, Int(5), Int(5)},
      {Int(5), opEqv, Bool(true), Int(5)},
      // Either side floating: Double.
      {Sgl(1.5f), opAdd, Int(1), Dbl(2.5)},
      {Int(7), opDivide, Dbl(2), Dbl(3.5)},
      {Dbl(0.5), opMultiply, LongWord(4000000000u), Dbl(2000000000)},
      {Bool(true), opSubtract, Dbl(0.25), Dbl(-1.25)},
      {I64(int64_t{1} << 53), opAdd, Dbl(2), Dbl(9007199254740994.0)},
  };
  for (const BinaryCase& c : cases) ExpectBinary(c);
}

TEST(ValueOpsBinaryTest, GeneralPathOperators) {
  const BinaryCase cases[] = {
      {Int(7), opDivide, Int(2), Dbl(3.5)},
      {Int(2), opPower, Int(10), Dbl(1024)},
      {Str(u"4"), opPower, Dbl(0.5), Dbl(2)},
      // Concatenation: Empty and Null are empty text.
      {Str(u"ab"), opConcat, Null(), Str(u"ab")},
      {Variant(), opConcat, Str(u"ab"), Str(u"ab")},
      {Null(), opConcat, Null(), Str(u"")},
      {Int(12), opConcat, Int(34), Str(u"1234")},
      {Str(u"x"), opConcat, Int(-5), Str(u"x-5")},
      {Bool(true), opConcat, Str(u"!"), Str(u"True!")},
      {Str(u"ab"), opConcat, Str(u"cd"), Str(u"abcd")},
      // Eqv and Imp with Null are three-valued.
      {Null(), opEqv, Bool(true), Null()},
      {Int(3), opEqv, Null(), Null()},
      {Dbl(2.0), opEqv, Bool(true), Int(2)},
      {Str(u"3"), opEqv, Dbl(5), Int(-7)},
      {Null(), opImp, Bool(true), Bool(true)},
      {Null(), opImp, Bool(false), Null()},
      {Bool(true), opImp, Null(), Null()},
      {Bool(false), opImp, Null(), Bool(true)},
      {Null(), opImp, Null(), Null()},
      {Null(), opImp, Int(5), Int(5)},
      {Int(5), opImp, Null(), Int(-6)},
      {Dbl(5), opImp, Bool(false), Int(-6)},
      {Bool(false), opImp, Dbl(5), Int(-1)},
  };
  for (const BinaryCase& c : cases) ExpectBinary(c);
}

// Overflowing integer arithmetic is handed to the general operation, which
// widens the result or raises its overflow error; it never wraps.
TEST(ValueOpsBinaryTest, IntegerOverflowIsNeverWrapped) {
  constexpr int32_t kMin32 = std::numeric_limits<int32_t>::min();
  constexpr int32_t kMax32 = std::numeric_limits<int32_t>::max();
  constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();
  constexpr int64_t kMax64 = std::numeric_limits<int64_t>::max();
  const struct {
    Variant left;
    TQOBOperator op;
    Variant right;
    double exact;
  } cases[] = {
      {Int(kMax32), opAdd, Int(1), 2147483648.0},
      {Int(kMin32), opSubtract, Int(1), -2147483649.0},
      {Int(65536), opMultiply, Int(65536), 4294967296.0},
      {Int(kMin32), opIntDivide, Int(-1), 2147483648.0},
      {Int(kMin32), opModulus, Int(-1), 0},
      {I64(kMax64), opAdd, Int(1), 9223372036854775808.0},
      {I64(kMin64), opSubtract, Word(1), -9223372036854775809.0},
      {I64(kMin64), opMultiply, I64(-1), 9223372036854775808.0},
      {I64(kMin64), opIntDivide, I64(-1), 9223372036854775808.0},
  };
  for (const auto& c : cases) {
    Variant result;
    try {
      QOBBinaryOp(c.left, c.right, result, c.op);
    } catch (const EVariantOverflowError&) {
      continue;  // refusing is as good as widening; wrapping is the fault
    }
    EXPECT_EQ(VarToDouble(result), c.exact) << Describe(c.left) << " " << OpName(c.op) << " "
                                            << Describe(c.right) << " gave " << Describe(result);
  }
}

void ExpectRaises(const std::function<void()>& action, TClass expected, const std::string& what) {
  try {
    action();
    ADD_FAILURE() << what << ": no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.ClassType(), expected) << what << " raised " << Utf16ToUtf8(e.ClassName());
  }
}

TEST(ValueOpsBinaryTest, FaultsRaiseTheRuntimeExceptions) {
  Variant array = VarArrayCreate(std::vector<TSafeArrayBound>{{0, 2}});
  const struct {
    Variant left;
    TQOBOperator op;
    Variant right;
    TClass error;
  } cases[] = {
      {Int(1), opIntDivide, Int(0), EIntDivByZero::StaticClass()},
      {Byte(1), opModulus, Bool(false), EIntDivByZero::StaticClass()},
      {I64(1), opIntDivide, Word(0), EIntDivByZero::StaticClass()},
      {Dbl(1), opDivide, Int(0), EZeroDivide::StaticClass()},
      {Dbl(-1), opDivide, Dbl(0), EZeroDivide::StaticClass()},
      {Int(0), opDivide, Dbl(0), EInvalidOp::StaticClass()},
      {Dbl(1e308), opMultiply, Int(10), EOverflow::StaticClass()},
      {Dbl(-1e308), opSubtract, Dbl(1e308), EOverflow::StaticClass()},
      {Int(0), opPower, Int(-1), EZeroDivide::StaticClass()},
      {Int(-8), opPower, Dbl(0.5), EInvalidOp::StaticClass()},
      {Int(10), opPower, Int(400), EOverflow::StaticClass()},
      {array, opEqv, Bool(true), EVariantTypeCastError::StaticClass()},
      {Null(), opImp, array, EVariantTypeCastError::StaticClass()},
      {array, opConcat, Str(u"x"), EVariantTypeCastError::StaticClass()},
      {Int(1), opEqual, Int(1), EVariantInvalidOpError::StaticClass()},
      {Str(u"a"), static_cast<TQOBOperator>(12), Str(u"b"), EVariantInvalidOpError::StaticClass()},
  };
  for (const auto& c : cases) {
    Variant result;
    ExpectRaises([&] { QOBBinaryOp(c.left, c.right, result, c.op); }, c.error,
                 Describe(c.left) + " " + OpName(c.op) + " " + Describe(c.right));
  }
}

TEST(ValueOpsBinaryTest, ResultMayAliasAnOperandAndReferencesAreFollowed) {
  Variant counter = Int(41);
  QOBBinaryOp(counter, Int(1), counter, opAdd);
  EXPECT_TRUE(Same(counter, Int(42)));

  Variant text = Str(u"ab");
  QOBBinaryOp(text, text, text, opConcat);
  EXPECT_TRUE(Same(text, Str(u"abab")));

  // The reference is followed for reading; the result replaces the slot.
  Variant target = Int(10);
  Variant link = Variant::RefTo(&target);
  Variant linkToLink = Variant::RefTo(&link);
  Variant result;
  QOBBinaryOp(linkToLink, Int(3), result, opMultiply);
  EXPECT_TRUE(Same(result, Int(30)));
  QOBBinaryOp(link, Str(u"!"), link, opConcat);
  EXPECT_TRUE(Same(link, Str(u"10!")));
  EXPECT_TRUE(Same(target, Int(10)));
}

// ---- Comparisons ----

class Thing final : public DispatchObject {
 public:
  HRESULT GetIDsOfNames(REFIID, const char16_t**, uint32_t, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS*, Variant*, EXCEPINFO*,
                 uint32_t*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
};

TEST(ValueOpsCompareTest, OperatorsOverTypePairs) {
  ComPtr<IDispatch> first(new Thing), second(new Thing);
  const Variant a(first.get()), sameA(first.get()), b(second.get());
  const struct {
    Variant left;
    TQOBOperator op;
    Variant right;
    bool expected;
  } cases[] = {
      {Int(3), opLess, Byte(200), true},
      {Small(-1), opLess, Word(65535), true},
      {I64(-1), opLess, LongWord(4000000000u), true},
      {LongWord(4000000000u), opGreaterEqual, Int(-1), true},
      {Int(7), opEqual, Short(7), true},
      {Int(7), opNotEqual, Short(7), false},
      {Dbl(2.5), opGreater, Int(2), true},
      {Sgl(0.5f), opEqual, Dbl(0.5), true},
      {Dbl(2), opLessEqual, I64(2), true},
      // Both Boolean: truth values, False < True; mixed: True is -1.
      {Bool(true), opGreater, Bool(false), true},
      {Bool(true), opEqual, Bool(true), true},
      {Bool(true), opLess, Int(0), true},
      {Bool(true), opEqual, Int(-1), true},
      // Objects: the same pointer is equal and identical.
      {a, opEqual, sameA, true},
      {a, opIdentityEqual, sameA, true},
      {a, opIdentityNotEqual, sameA, false},
      {a, opNotEqual, b, true},
      {a, opIdentityNotEqual, b, true},
      {a, opIdentityEqual, b, false},
      // Identity needs two objects: anything else is neither identical nor not.
      {Int(1), opIdentityEqual, Int(1), false},
      {Int(1), opIdentityNotEqual, Int(2), false},
      {a, opIdentityEqual, Int(1), false},
      {Str(u"x"), opIdentityNotEqual, a, false},
      {Bool(true), opIdentityEqual, Bool(true), false},
      // General path: strings; Null equals only Null and orders with nothing.
      {Str(u"abc"), opLess, Str(u"abd"), true},
      {Str(u"abc"), opEqual, Str(u"ABC"), false},
      {Str(u"b"), opGreaterEqual, Str(u"a"), true},
      {Null(), opEqual, Null(), true},
      {Null(), opEqual, Int(1), false},
      {Int(1), opNotEqual, Null(), true},
      {Null(), opLess, Int(1), false},
      {Null(), opGreater, Int(1), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(QOBCompare(c.left, c.right, c.op), c.expected)
        << Describe(c.left) << " " << OpName(c.op) << " " << Describe(c.right);

  Variant target = Int(5);
  Variant link = Variant::RefTo(&target);
  EXPECT_TRUE(QOBCompare(link, Int(5), opEqual));
  ExpectRaises([] { QOBCompare(Int(1), Int(2), opAdd); }, EVariantInvalidOpError::StaticClass(),
               "compare with +");
  ExpectRaises([&] { QOBCompare(a, b, opConcat); }, EVariantInvalidOpError::StaticClass(),
               "compare objects with &");
}

// ---- Negate and Not ----

struct UnaryCase {
  Variant value;
  Variant expected;
};

TEST(ValueOpsUnaryTest, NegateResultTypes) {
  const UnaryCase cases[] = {
      {Small(5), Small(-5)},
      {Int(7), Int(-7)},
      {Sgl(1.5f), Sgl(-1.5f)},
      {Dbl(-2.25), Dbl(2.25)},
      {Date(2), Date(-2)},
      {Cur(12345), Cur(-12345)},
      {Bool(true), Small(-1)},
      {Bool(false), Small(0)},
      {Short(-5), Short(5)},
      {Byte(5), Small(-5)},
      {Word(40000), Int(-40000)},
      {LongWord(5), Int(-5)},
      {LongWord(3000000000u), I64(-3000000000)},
      {I64(-9), I64(9)},
  };
  for (const UnaryCase& c : cases) {
    Variant result;
    QOBNegate(c.value, result);
    EXPECT_TRUE(Same(result, c.expected))
        << "-" << Describe(c.value) << " gave " << Describe(result);
  }
}

TEST(ValueOpsUnaryTest, NegatingAMinimumIsNeverWrapped) {
  const struct {
    Variant value;
    double exact;
  } cases[] = {
      {Small(-32768), 32768.0},
      {Short(-128), 128.0},
      {Int(std::numeric_limits<int32_t>::min()), 2147483648.0},
      {I64(std::numeric_limits<int64_t>::min()), 9223372036854775808.0},
  };
  for (const auto& c : cases) {
    Variant result;
    try {
      QOBNegate(c.value, result);
    } catch (const EVariantOverflowError&) {
      continue;
    }
    EXPECT_EQ(VarToDouble(result), c.exact)
        << "-" << Describe(c.value) << " gave " << Describe(result);
  }
}

TEST(ValueOpsUnaryTest, NotResultTypes) {
  const UnaryCase cases[] = {
      {Small(0), Small(-1)},
      {Int(5), Int(-6)},
      {Short(0), Short(-1)},
      {Byte(0x0F), Byte(0xF0)},
      {Word(0), Word(65535)},
      {LongWord(0), LongWord(4294967295u)},
      {I64(0), I64(-1)},
      // Floating values are rounded to the nearest integer, ties to even.
      {Dbl(2.6), Int(-4)},
      {Dbl(2.5), Int(-3)},
      {Dbl(3.5), Int(-5)},
      {Dbl(-2.5), Int(1)},
      {Sgl(2.6f), Int(-4)},
      {Date(1.4), Int(-2)},
      {Dbl(1e10), I64(-10000000001)},
      // Currency is rounded to whole units the same way.
      {Cur(25000), Int(-3)},
      {Cur(35000), Int(-5)},
      {Cur(-6000), Int(0)},
      {Cur(14999), Int(-2)},
      {Bool(true), Bool(false)},
      {Bool(false), Bool(true)},
      {Null(), Null()},
  };
  for (const UnaryCase& c : cases) {
    Variant result;
    QOBNot(c.value, result);
    EXPECT_TRUE(Same(result, c.expected))
        << "not " << Describe(c.value) << " gave " << Describe(result);
  }
  for (double unrepresentable : {std::nan(""), 1e300}) {
    Variant result;
    ExpectRaises([&] { QOBNot(Dbl(unrepresentable), result); }, EInvalidOp::StaticClass(),
                 "not " + std::to_string(unrepresentable));
  }
}

TEST(ValueOpsUnaryTest, ResultMayAliasTheOperand) {
  Variant value = Int(9);
  QOBNegate(value, value);
  EXPECT_TRUE(Same(value, Int(-9)));
  QOBNot(value, value);
  EXPECT_TRUE(Same(value, Int(8)));

  Variant target = Bool(true);
  Variant link = Variant::RefTo(&target);
  QOBNot(link, link);
  EXPECT_TRUE(Same(link, Bool(false)));
  EXPECT_TRUE(Same(target, Bool(true)));

  Variant text = Str(u"3");
  QOBNegate(text, text);
  EXPECT_EQ(VarToDouble(text), -3.0);
}

}  // namespace
}  // namespace qob
