#include "ole/variant_ops.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "ole/safearray.h"
#include "rtl/exceptions.h"
#include "variant_test_support.h"

namespace qob {
namespace {

using BinaryOp = Variant (*)(const Variant&, const Variant&);
using UnaryOp = Variant (*)(const Variant&);

struct BinaryCase {
  const char* op;
  Variant left, right, expected;
};

struct UnaryCase {
  const char* op;
  Variant operand, expected;
};

BinaryOp Binary(std::string_view name) {
  static const std::pair<std::string_view, BinaryOp> ops[] = {
      {"+", VarAdd},   {"-", VarSub},   {"*", VarMul},   {"/", VarDiv},   {"\\", VarIdiv},
      {"mod", VarMod}, {"^", VarPow},   {"&", VarCat},   {"and", VarAnd}, {"or", VarOr},
      {"xor", VarXor}, {"eqv", VarEqv}, {"imp", VarImp}, {"shl", VarShl}, {"shr", VarShr}};
  for (const auto& [n, op] : ops)
    if (n == name) return op;
  ADD_FAILURE() << "no operator " << name;
  return VarAdd;
}

UnaryOp Unary(std::string_view name) {
  static const std::pair<std::string_view, UnaryOp> ops[] = {
      {"neg", VarNeg}, {"not", VarNot}, {"abs", VarAbs}, {"int", VarInt}, {"fix", VarFix}};
  for (const auto& [n, op] : ops)
    if (n == name) return op;
  ADD_FAILURE() << "no operator " << name;
  return VarNeg;
}

void Check(const std::vector<BinaryCase>& cases) {
  for (const BinaryCase& c : cases)
    EXPECT_TRUE(Same(Binary(c.op)(c.left, c.right), c.expected))
        << Describe(c.left) << " " << c.op << " " << Describe(c.right);
}

void CheckUnary(const std::vector<UnaryCase>& cases) {
  for (const UnaryCase& c : cases)
    EXPECT_TRUE(Same(Unary(c.op)(c.operand), c.expected)) << c.op << " " << Describe(c.operand);
}

Variant Sm(int16_t v) {
  return Variant::FromSmallint(v);
}
Variant By(uint8_t v) {
  return Variant::FromByte(v);
}
Variant Sg(float v) {
  return Variant::FromSingle(v);
}
Variant Dt(double v) {
  return Variant::FromDate(v);
}
Variant I64(int64_t v) {
  return Variant(v);
}
const Variant kNull = Variant::Null();
const Variant kEmpty;
const Variant kTrue(true);
const Variant kFalse(false);
constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();
constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min();

using VariantOpsTest = InvariantSettingsTest;

TEST_F(VariantOpsTest, AdditionAndSubtractionResultTypes) {
  Check({
      {"+", Sm(4), Sm(2), Sm(6)},
      {"+", Sm(32767), Sm(1), Variant(32768)},
      {"+", Sm(-13), Variant(5), Variant(-8)},
      {"+", By(255), By(255), Sm(510)},
      {"+", By(1), By(2), By(3)},
      {"+", Variant(kIntMax), Variant(kIntMax), Variant(4294967294.0)},
      {"+", Sm(7), Sg(0.5f), Sg(7.5f)},
      {"+", Sg(0.5f), Variant(5), Variant(5.5)},
      {"+", Variant(7.1), kFalse, Variant(7.1)},
      {"+", kTrue, kTrue, Sm(-2)},
      {"+", kEmpty, kEmpty, Sm(0)},
      {"+", kEmpty, By(3), By(3)},
      {"+", Variant(u"12"), Sm(4), Variant(16.0)},
      {"+", Variant(u"12"), Variant(u"34"), Variant(u"1234")},
      {"+", kEmpty, Variant(u"ab"), Variant(u"ab")},
      {"+", Dt(2.25), Variant(7), Dt(9.25)},
      {"+", Dt(2958465), Variant(1), Variant(2958466.0)},  // leaves the Date range
      {"+", Cur(47110000), By(9), Cur(47200000)},
      {"+", Cur(15000), Variant(0.25), Cur(17500)},
      {"+", Variant(-11), Dec(u"-4.2"), Dec(u"-15.2")},
      {"+", I64(kInt64Max), I64(1), Dec(u"9223372036854775808")},
      {"+", Variant::FromShortInt(100), Variant::FromShortInt(100), Sm(200)},
      {"+", Variant::FromWord(65535), Variant::FromWord(1), Variant(65536)},
      {"+", Variant::FromLongWord(4294967295u), Variant(1), I64(4294967296)},
      {"+", kNull, Variant(1), kNull},
      {"+", Variant(u"x"), kNull, kNull},
      {"-", Dt(200000), Dt(100000), Variant(100000.0)},
      {"-", Dt(5.5), Variant(1), Dt(4.5)},
      {"-", Variant(u"5"), Variant(u"3"), Variant(2.0)},
      {"-", Sm(-32768), Sm(1), Variant(-32769)},
      {"-", Variant(kIntMin), Variant(1), Variant(-2147483649.0)},
      {"-", Cur(10000), Cur(1), Cur(9999)},
      {"-", I64(kInt64Min), I64(1), Dec(u"-9223372036854775809")},
      {"-", kEmpty, Variant(u"2"), Variant(-2.0)},
  });
}

TEST_F(VariantOpsTest, MultiplicationAndDivisionResultTypes) {
  Check({
      {"*", By(255), By(255), Variant(65025)},
      {"*", Sm(-32768), Sm(-1), Variant(32768)},
      {"*", Variant(kIntMax), Variant(2), Variant(4294967294.0)},
      {"*", Sm(7), Sg(0.5f), Sg(3.5f)},
      {"*", Sg(0.5f), Variant(5), Variant(2.5)},
      {"*", Sg(3e38f), Sg(10.0f), Variant(double{3e38f} * 10)},  // leaves the Single range
      {"*", Dt(2.25), Variant(7), Variant(15.75)},
      {"*", Variant(u"12"), Sm(4), Variant(48.0)},
      {"*", Cur(47110000), By(9), Cur(423990000)},
      {"*", Cur(15000), Cur(15000), Cur(22500)},
      {"*", Cur(3), Cur(5000), Cur(2)},  // 0.00015 rounds half to even
      {"*", Cur(1), Cur(5000), Cur(0)},
      {"*", Cur(10000), Variant(0.5), Variant(0.5)},
      {"*", Variant(-11), Dec(u"-4.2"), Dec(u"46.2")},
      {"*", I64(kInt64Max), I64(2), Dec(u"18446744073709551614")},
      {"/", Sm(1), Sm(2), Variant(0.5)},
      {"/", Sg(1), Sm(2), Sg(0.5f)},
      {"/", Sg(1), Variant(2), Variant(0.5)},
      {"/", kTrue, Variant(1), Variant(-1.0)},
      {"/", Cur(10000), By(2), Variant(0.5)},
      {"/", Variant(100), Dec(u"2"), Dec(u"50")},
      {"/", Dec(u"1"), Dec(u"3"), Dec(u"0.3333333333333333333333333333")},
      {"/", Variant(u"1"), Variant(u"4"), Variant(0.25)},
      {"/", kNull, Variant(0), kNull},
      {"^", Variant(2), Variant(10), Variant(1024.0)},
      {"^", kEmpty, kEmpty, Variant(1.0)},
      {"^", kTrue, Sm(3), Variant(-1.0)},
      {"^", Variant(u"2"), Variant(3), Variant(8.0)},
      {"^", Cur(20000), Dec(u"2"), Variant(4.0)},
      {"^", kNull, Variant(2), kNull},
  });
}

TEST_F(VariantOpsTest, IntegerDivisionAndModulus) {
  Check({
      {"\\", Variant(7), Variant(2), Variant(3)},
      {"\\", Variant(-7), Variant(2), Variant(-3)},
      {"\\", By(7), By(2), By(3)},
      {"\\", kEmpty, By(2), Sm(0)},
      {"\\", kTrue, Sm(1), Sm(-1)},
      {"\\", Variant(7.5), Variant(2), Variant(4)},  // 7.5 rounds to 8 first
      {"\\", Variant(6.5), Sm(1), Variant(6)},
      {"\\", Cur(25000), Sm(1), Variant(2)},
      {"\\", Sm(-32768), Sm(-1), Variant(32768)},
      {"\\", Variant(kIntMin), Variant(-1), I64(2147483648)},
      {"\\", I64(7), Variant(2.0), I64(3)},
      {"\\", Variant(u"9"), Variant(2), Variant(4)},
      {"\\", Dec(u"100"), Dec(u"2"), Variant(50)},
      {"\\", kNull, Variant(0), kNull},
      {"mod", Variant(-7), Variant(2), Variant(-1)},
      {"mod", Variant(7), Variant(-2), Variant(1)},
      {"mod", Variant(5.5), Variant(4), Variant(2)},
      {"mod", Variant(kIntMin), Variant(-1), Variant(0)},
      {"mod", I64(kInt64Min), I64(-1), I64(0)},
      {"mod", By(200), By(7), By(4)},
  });
}

TEST_F(VariantOpsTest, UnaryOperations) {
  CheckUnary({
      {"neg", kTrue, Sm(1)},
      {"neg", By(5), Sm(-5)},
      {"neg", Sm(-32768), Variant(32768)},
      {"neg", Variant(kIntMin), Variant(2147483648.0)},
      {"neg", I64(kInt64Min), Dec(u"9223372036854775808")},
      {"neg", Variant::FromWord(5), Variant(-5)},
      {"neg", Sg(1.5f), Sg(-1.5f)},
      {"neg", Dt(1), Dt(-1)},
      {"neg", Cur(10000), Cur(-10000)},
      {"neg", Dec(u"1.5"), Dec(u"-1.5")},
      {"neg", Variant(u"1"), Variant(-1.0)},
      {"neg", kEmpty, Sm(0)},
      {"neg", kNull, kNull},
      {"abs", Sm(-5), Sm(5)},
      {"abs", kTrue, Sm(1)},
      {"abs", Variant(kIntMin), Variant(2147483648.0)},
      {"abs", Cur(-15000), Cur(15000)},
      {"abs", Variant::FromShortInt(-128), Sm(128)},
      {"abs", Dec(u"-2.5"), Dec(u"2.5")},
      {"int", Sg(-1.5f), Sg(-2)},
      {"fix", Sg(-1.5f), Sg(-1)},
      {"int", Variant(1.6), Variant(1.0)},
      {"int", Cur(-11000), Cur(-20000)},
      {"fix", Cur(-16000), Cur(-10000)},
      {"int", Dec(u"-1.5"), Dec(u"-2")},
      {"fix", Dec(u"-1.5"), Dec(u"-1")},
      {"int", Variant(u"-1.5"), Variant(-2.0)},
      {"fix", kTrue, Sm(-1)},
      {"int", kEmpty, Sm(0)},
      {"fix", By(7), By(7)},
      {"int", kNull, kNull},
  });
}

TEST_F(VariantOpsTest, LogicalOperationsUseThreeValuedNull) {
  Check({
      {"and", kTrue, kFalse, kFalse},
      {"and", kFalse, kNull, kFalse},
      {"and", kTrue, kNull, kNull},
      {"or", kTrue, kNull, kTrue},
      {"or", kFalse, kNull, kNull},
      {"xor", kNull, kTrue, kNull},
      {"and", kNull, Variant(0), Variant(0)},
      {"and", kNull, Variant(1), kNull},
      {"or", kNull, By(1), By(1)},
      {"and", kEmpty, kNull, Sm(0)},
      {"or", kEmpty, kNull, kNull},
      {"eqv", kTrue, kFalse, kFalse},
      {"eqv", kNull, kTrue, kNull},
      {"eqv", Variant(12), Variant(10), Variant(~(12 ^ 10))},
      {"imp", kNull, kTrue, kTrue},
      {"imp", kNull, kFalse, kNull},
      {"imp", kTrue, kNull, kNull},
      {"imp", kFalse, kNull, kTrue},
      {"imp", By(0), kNull, By(255)},
      {"imp", Variant(2), kNull, Variant(-3)},
      {"imp", By(0), Sg(0), Variant(-1)},
      {"imp", kTrue, kEmpty, Sm(0)},
  });
}

TEST_F(VariantOpsTest, BitwiseResultClasses) {
  Check({
      {"and", Variant(12), Variant(10), Variant(8)},
      {"and", By(255), By(15), By(15)},
      {"and", By(255), Sm(-1), Sm(255)},
      {"and", kTrue, By(255), Sm(255)},
      {"and", kTrue, Variant(5), Variant(5)},
      {"or", kEmpty, By(1), Sm(1)},
      {"and", Variant(2.5), Variant(3), Variant(2)},  // 2.5 rounds to 2
      {"and", Cur(10000), kTrue, Variant(1)},
      {"and", I64(kInt64Max), Variant(-1), I64(kInt64Max)},
      {"and", Variant(u"True"), Variant(u"False"), kFalse},
      {"or", Variant(u"true"), kFalse, kTrue},
      {"and", Variant(u"6"), Variant(3), Variant(2)},
      {"xor", Variant(12), Variant(10), Variant(6)},
      {"shl", Variant(1), Variant(33), Variant(2)},
      {"shl", Variant(1), Variant(-1), Variant(kIntMin)},
      {"shr", Variant(-1), Variant(28), Variant(15)},
      {"shl", I64(1), Variant(40), I64(int64_t{1} << 40)},
      {"shr", I64(-1), Variant(60), I64(15)},
      {"shl", kNull, Variant(1), kNull},
  });
  CheckUnary({
      {"not", kTrue, kFalse},
      {"not", Variant(0), Variant(-1)},
      {"not", By(1), By(254)},
      {"not", kEmpty, Sm(-1)},
      {"not", Variant(2.6), Variant(-4)},
      {"not", Variant(u"1"), Variant(-2)},
      {"not", Cur(10000), Variant(-2)},
      {"not", I64(0), I64(-1)},
      {"not", kNull, kNull},
  });
}

TEST_F(VariantOpsTest, ConcatenationTurnsOperandsIntoText) {
  Check({
      {"&", Variant(u"ab"), Variant(u"cd"), Variant(u"abcd")},
      {"&", Variant(u"ab"), kNull, Variant(u"ab")},
      {"&", kEmpty, Variant(u"ab"), Variant(u"ab")},
      {"&", kNull, kNull, kNull},
      {"&", kEmpty, kEmpty, Variant(u"")},
      {"&", Variant(12), Variant(34), Variant(u"1234")},
      {"&", kTrue, Variant(u""), Variant(u"True")},
      {"&", Variant(1.5), Variant(u"x"), Variant(u"1.5x")},
      {"&", Cur(25000), Dec(u"0.5"), Variant(u"2.50.5")},
  });
  // Joining with empty text shares the other string instead of copying it.
  const Variant text(u"shared");
  EXPECT_EQ(VarCat(text, Variant(u"")).VOleStr, text.VOleStr);
  EXPECT_EQ(VarCat(kNull, text).VOleStr, text.VOleStr);
}

struct CompareCase {
  Variant left, right;
  int expected;
  unsigned flags = 0;
};

TEST_F(VariantOpsTest, ComparisonOrdersNumbersStringsAndNull) {
  const std::vector<CompareCase> cases = {
      {Variant(1), Variant(1.0), VARCMP_EQ},
      {Sm(1), Sm(2), VARCMP_LT},
      {Variant(2), kEmpty, VARCMP_GT},
      {kNull, Variant(1), VARCMP_NULL},
      {Variant(u"x"), kNull, VARCMP_NULL},
      {Variant(u"abc"), Variant(u"abd"), VARCMP_LT},
      {Variant(u"a"), Variant(u"B"), VARCMP_GT},  // ordinal by code unit
      {Variant(u"a"), Variant(u"B"), VARCMP_LT, kCompareIgnoreCase},
      {Variant(u"Stra\u00DFe"), Variant(u"STRASSE"), VARCMP_EQ, kCompareIgnoreCase},
      {Variant(u"\u00C4rger"), Variant(u"\u00E4RGER"), VARCMP_EQ, kCompareIgnoreCase},
      {Variant(u""), kEmpty, VARCMP_EQ},
      {Variant(u"0"), kEmpty, VARCMP_GT},
      {Variant(u"7"), Variant(42), VARCMP_LT},  // numeric, not textual
      {Variant(42), Variant(u" 7 "), VARCMP_GT},
      {Variant(u"abc"), Variant(1), VARCMP_GT},
      {Variant(1), Variant(u"abc"), VARCMP_LT},
      {kTrue, Variant(0), VARCMP_LT},  // True is -1
      {Cur(15000), Variant(1), VARCMP_GT},
      {Cur(10000), By(1), VARCMP_EQ},
      {Dec(u"1.00000000000000000001"), Variant(1.0), VARCMP_GT},
      {Dec(u"79228162514264337593543950335"), Variant(1e300), VARCMP_LT},
      {Sg(1), Variant(1 + 1e-8), VARCMP_EQ},  // Single precision, as OLE compares
      {I64(kInt64Max), I64(kInt64Max - 1), VARCMP_GT},
      {Variant::FromLongWord(4000000000u), Variant(-1), VARCMP_GT},
      {Dt(36526), Variant(u"36526"), VARCMP_EQ},
      {Variant::FromError(3), Variant::FromError(3), VARCMP_EQ},
  };
  for (const CompareCase& c : cases)
    EXPECT_EQ(VarCmp(c.left, c.right, c.flags), c.expected)
        << Describe(c.left) << " vs " << Describe(c.right);
}

TEST_F(VariantOpsTest, OperandsAreFollowedThroughReferences) {
  Variant a(40), b(u"2");
  const Variant ra = Variant::RefTo(&a), rb = Variant::RefTo(&b);
  EXPECT_TRUE(Same(VarAdd(ra, rb), Variant(42.0)));
  EXPECT_TRUE(Same(VarAnd(ra, Variant::RefTo(&a)), Variant(40)));
  EXPECT_EQ(VarCmp(rb, Variant(u"2")), VARCMP_EQ);
  EXPECT_TRUE(Same(VarNeg(ra), Variant(-40)));
  EXPECT_TRUE(Same(VarCat(ra, rb), Variant(u"402")));
}

struct ErrorCase {
  const char* op;
  Variant left, right;
  const char* exceptionClass;
  std::u16string message;
};

TEST_F(VariantOpsTest, FaultsRaiseTheRuntimeExceptions) {
  const Variant array = VarArrayOf(std::vector<Variant>{Variant(1)});
  const std::vector<ErrorCase> cases = {
      {"\\", Variant(1), Variant(0), "EIntDivByZero", u"Division by zero"},
      {"mod", Variant(1), kEmpty, "EIntDivByZero", u""},
      {"/", Variant(1.0), Variant(0.0), "EZeroDivide", u"Floating point division by zero"},
      {"/", Variant(0), kEmpty, "EInvalidOp", u"Invalid floating point operation"},
      {"/", Dec(u"1"), Dec(u"0"), "EZeroDivide", u""},
      {"*", Variant(1e308), Variant(10.0), "EOverflow", u"Floating point overflow"},
      {"+", Variant(1.7e308), Variant(1.7e308), "EOverflow", u""},
      {"^", Variant(0), Variant(-1), "EZeroDivide", u""},
      {"^", Variant(-8), Variant(0.5), "EInvalidOp", u""},
      {"^", Variant(10), Variant(400), "EOverflow", u""},
      {"+", Variant(u"abc"), Variant(1), "EVariantTypeCastError",
       u"Could not convert variant of type (String) into type (Double)"},
      {"+", Variant::FromError(1), Variant(1), "EVariantTypeCastError", u""},
      {"+", Cur(kInt64Max), Cur(1), "EVariantOverflowError", u""},
      {"+", Dec(u"79228162514264337593543950335"), Variant(1), "EVariantOverflowError", u""},
      {"\\", I64(kInt64Min), I64(-1), "EVariantOverflowError", u""},
      {"\\", Variant(1e10), Variant(1), "EVariantOverflowError", u""},
      {"and", Variant(1e10), Variant(1), "EVariantOverflowError", u""},
      {"and", Variant(u"x"), Variant(1), "EVariantTypeCastError", u""},
      {"+", array, Variant(1), "EVariantInvalidOpError", u"Invalid variant operation"},
      {"&", array, Variant(u"x"), "EVariantInvalidOpError", u""},
      {"and", Variant::FromError(1), kTrue, "EVariantTypeCastError", u""},
  };
  for (const ErrorCase& c : cases) {
    const std::string label = Describe(c.left) + " " + c.op + " " + Describe(c.right);
    try {
      const Variant result = Binary(c.op)(c.left, c.right);
      ADD_FAILURE() << label << " gave " << Describe(result);
    } catch (const Exception& e) {
      EXPECT_EQ(Utf16ToUtf8(e.ClassName()), c.exceptionClass) << label;
      if (!c.message.empty()) {
        EXPECT_EQ(e.Message().view(), c.message) << label;
      }
    }
  }
  EXPECT_THROW(VarCmp(array, Variant(1)), EVariantInvalidOpError);
  EXPECT_THROW(VarCmp(Variant::FromError(1), Variant(1)), EVariantTypeCastError);
  EXPECT_THROW(VarNeg(Cur(kInt64Min)), EVariantOverflowError);
  EXPECT_THROW(VarInt(Cur(kInt64Min)), EVariantOverflowError);  // the whole part leaves the range
  EXPECT_THROW(VarNot(Variant(1e20)), EVariantOverflowError);
}

TEST_F(VariantOpsTest, ResultMayReplaceAnOperand) {
  Variant total(u"4");
  total = VarAdd(total, total);  // "44": two strings concatenate
  EXPECT_TRUE(Same(total, Variant(u"44")));
  total = VarSub(total, Variant(2));
  EXPECT_TRUE(Same(total, Variant(42.0)));
}

}  // namespace
}  // namespace qob
