// The arithmetic Variant operations: result types, Null propagation, string
// operands and overflow promotion follow the OLE Automation rules.
#include <cfloat>
#include <cmath>
#include <limits>

#include "ole/decimal.h"
#include "ole/variant_ops.h"
#include "ole/variant_support.h"
#include "rtl/exceptions.h"

namespace qob {

using namespace variant_detail;

namespace {

using i128 = __int128;

enum class ArithOp { kAdd, kSub, kMul };

// Both operands after references, by-reference values and objects' default
// values are resolved. Lives where it is built: it points into itself.
class Operands {
 public:
  Operands(const Variant& left, const Variant& right)
      : left_(ScalarValue(left, leftHolder_)), right_(ScalarValue(right, rightHolder_)) {
    if (!left_ || !right_) throw EVariantInvalidOpError();
  }
  Operands(const Operands&) = delete;
  Operands& operator=(const Operands&) = delete;

  const Variant& left() const noexcept { return *left_; }
  const Variant& right() const noexcept { return *right_; }
  bool AnyNull() const noexcept { return left_->VType == varNull || right_->VType == varNull; }

  // Strings take part in arithmetic as Doubles.
  void StringsToDouble() {
    ToDouble(left_, leftNumber_);
    ToDouble(right_, rightNumber_);
  }

 private:
  static void ToDouble(const Variant*& operand, Variant& number) {
    if (operand->VType != varOleStr) return;
    number = Variant(StringToDouble(operand->StringView()));
    operand = &number;
  }

  Variant leftHolder_, rightHolder_, leftNumber_, rightNumber_;
  const Variant* left_;
  const Variant* right_;
};

[[noreturn]] void RaiseBadOperand(const Variant& v) {
  if (v.VType == varError) RaiseCastError(varError, varDouble);
  throw EVariantInvalidOpError();
}

void CheckNumeric(const Variant& v) {
  const VarKind kind = KindOf(v.VType);
  if (kind == VarKind::kOther || kind == VarKind::kNull || kind == VarKind::kString)
    RaiseBadOperand(v);
}

// A floating result must be a number: never a silent infinity or NaN.
double CheckedReal(double value) {
  if (std::isnan(value)) throw EInvalidOp();
  if (std::isinf(value)) throw EOverflow();
  return value;
}

Variant DoubleResult(double value) {
  return Variant(CheckedReal(value));
}

// Singles that leave the Single range become Doubles.
Variant SingleResult(double value) {
  CheckedReal(value);
  if (std::fabs(value) > FLT_MAX) return Variant(value);
  return Variant::FromSingle(static_cast<float>(value));
}

template <class T>
bool Fits(i128 value) {
  return value >= std::numeric_limits<T>::min() && value <= std::numeric_limits<T>::max();
}

// An exact integer result in the narrowest type of the ladder that starts at
// `kind`: Byte, Smallint, Integer, then Double (or Int64, then Decimal).
Variant PromotedInteger(i128 value, VarKind kind, ArithOp op, const Variant& l, const Variant& r) {
  switch (kind) {
    case VarKind::kByte:
      if (Fits<uint8_t>(value)) return Variant::FromByte(static_cast<uint8_t>(value));
      [[fallthrough]];
    case VarKind::kSmallint:
      if (Fits<int16_t>(value)) return Variant::FromSmallint(static_cast<int16_t>(value));
      [[fallthrough]];
    case VarKind::kInteger:
      if (Fits<int32_t>(value)) return Variant(static_cast<int32_t>(value));
      return Variant(static_cast<double>(value));
    default:
      if (Fits<int64_t>(value)) return Variant(static_cast<int64_t>(value));
      break;
  }
  const TDecimal a = DecimalValue(l), b = DecimalValue(r);
  switch (op) {
    case ArithOp::kAdd:
      return Variant::FromDecimal(DecimalAdd(a, b));
    case ArithOp::kSub:
      return Variant::FromDecimal(DecimalSub(a, b));
    case ArithOp::kMul:
      break;
  }
  return Variant::FromDecimal(DecimalMul(a, b));
}

VarKind IntegerClass(VarKind a, VarKind b) {
  if (a == VarKind::kInt64 || b == VarKind::kInt64) return VarKind::kInt64;
  if (a == VarKind::kInteger || b == VarKind::kInteger) return VarKind::kInteger;
  if (a == VarKind::kSmallint || b == VarKind::kSmallint || a == VarKind::kBoolean ||
      b == VarKind::kBoolean || (a == VarKind::kEmpty && b == VarKind::kEmpty))
    return VarKind::kSmallint;
  return VarKind::kByte;
}

bool IsOneOf(VarKind k, VarKind a, VarKind b) {
  return k == a || k == b;
}

VarKind AdditiveKind(VarKind a, VarKind b) {
  for (VarKind k : {VarKind::kDecimal, VarKind::kDate, VarKind::kCurrency, VarKind::kDouble})
    if (IsOneOf(k, a, b)) return k;
  if (IsOneOf(VarKind::kSingle, a, b))
    return IsOneOf(VarKind::kInteger, a, b) || IsOneOf(VarKind::kInt64, a, b) ? VarKind::kDouble
                                                                              : VarKind::kSingle;
  return IntegerClass(a, b);
}

VarKind MultiplicativeKind(VarKind a, VarKind b) {
  if (IsOneOf(VarKind::kDecimal, a, b)) return VarKind::kDecimal;
  if (IsOneOf(VarKind::kDouble, a, b) || IsOneOf(VarKind::kDate, a, b)) return VarKind::kDouble;
  if (IsOneOf(VarKind::kSingle, a, b))
    return IsOneOf(VarKind::kInteger, a, b) || IsOneOf(VarKind::kInt64, a, b) ||
                   IsOneOf(VarKind::kCurrency, a, b)
               ? VarKind::kDouble
               : VarKind::kSingle;
  if (IsOneOf(VarKind::kCurrency, a, b)) return VarKind::kCurrency;
  return IntegerClass(a, b);
}

double ApplyReal(ArithOp op, double a, double b) {
  switch (op) {
    case ArithOp::kAdd:
      return a + b;
    case ArithOp::kSub:
      return a - b;
    case ArithOp::kMul:
      break;
  }
  return a * b;
}

Variant CurrencyArith(ArithOp op, const Variant& l, const Variant& r) {
  const int64_t a = CurrencyValue(l), b = CurrencyValue(r);
  int64_t result = 0;
  bool overflow = false;
  switch (op) {
    case ArithOp::kAdd:
      overflow = __builtin_add_overflow(a, b, &result);
      break;
    case ArithOp::kSub:
      overflow = __builtin_sub_overflow(a, b, &result);
      break;
    case ArithOp::kMul: {
      // Both are scaled by 10000: rescale the product, ties to even.
      const i128 product = static_cast<i128>(a) * b;
      i128 q = product / kCurrencyScale;
      const i128 rem = product % kCurrencyScale;
      const i128 half = kCurrencyScale / 2;
      if (rem > half || (rem == half && (q & 1) != 0)) ++q;
      if (rem < -half || (rem == -half && (q & 1) != 0)) --q;
      overflow = !Fits<int64_t>(q);
      result = static_cast<int64_t>(q);
      break;
    }
  }
  if (overflow) throw EVariantOverflowError();
  return Variant::FromCurrency(result);
}

Variant Arith(ArithOp op, const Variant& left, const Variant& right) {
  Operands ops(left, right);
  if (ops.AnyNull()) return Variant::Null();
  if (op == ArithOp::kAdd) {
    const TVarType lt = ops.left().VType, rt = ops.right().VType;
    if ((lt == varOleStr && (rt == varOleStr || rt == varEmpty)) ||
        (rt == varOleStr && lt == varEmpty))
      return VarCat(ops.left(), ops.right());
  }
  ops.StringsToDouble();
  const Variant& l = ops.left();
  const Variant& r = ops.right();
  CheckNumeric(l);
  CheckNumeric(r);
  const VarKind lk = KindOf(l.VType), rk = KindOf(r.VType);
  const VarKind kind = op == ArithOp::kMul ? MultiplicativeKind(lk, rk) : AdditiveKind(lk, rk);
  switch (kind) {
    case VarKind::kDecimal: {
      const TDecimal a = DecimalValue(l), b = DecimalValue(r);
      if (op == ArithOp::kAdd) return Variant::FromDecimal(DecimalAdd(a, b));
      if (op == ArithOp::kSub) return Variant::FromDecimal(DecimalSub(a, b));
      return Variant::FromDecimal(DecimalMul(a, b));
    }
    case VarKind::kDate: {
      const double value = CheckedReal(ApplyReal(op, DoubleValue(l), DoubleValue(r)));
      // Date - Date is a span of days; dates that leave the Date range become Doubles.
      if ((op == ArithOp::kSub && lk == VarKind::kDate && rk == VarKind::kDate) ||
          !(value >= kMinDate && value < kMaxDateExclusive))
        return Variant(value);
      return Variant::FromDate(value);
    }
    case VarKind::kCurrency:
      return CurrencyArith(op, l, r);
    case VarKind::kDouble:
      return DoubleResult(ApplyReal(op, DoubleValue(l), DoubleValue(r)));
    case VarKind::kSingle:
      return SingleResult(ApplyReal(op, DoubleValue(l), DoubleValue(r)));
    default: {
      const i128 a = IntegerValue(l), b = IntegerValue(r);
      const i128 value = op == ArithOp::kAdd ? a + b : op == ArithOp::kSub ? a - b : a * b;
      return PromotedInteger(value, kind, op, l, r);
    }
  }
}

// Operands of integer division and modulus, rounded to whole numbers of the
// result class; Byte and Smallint results widen when the quotient does not fit.
Variant IntegerDivision(bool modulus, const Variant& left, const Variant& right) {
  Operands ops(left, right);
  if (ops.AnyNull()) return Variant::Null();
  ops.StringsToDouble();
  const Variant& l = ops.left();
  const Variant& r = ops.right();
  CheckNumeric(l);
  CheckNumeric(r);
  const VarKind lk = KindOf(l.VType), rk = KindOf(r.VType);
  VarKind kind = VarKind::kInteger;
  if (IsIntegerKind(lk) && IsIntegerKind(rk)) kind = IntegerClass(lk, rk);
  if (kind == VarKind::kByte && (lk == VarKind::kEmpty || rk == VarKind::kEmpty))
    kind = VarKind::kSmallint;  // Byte stays Byte only between two Bytes
  if (IsOneOf(VarKind::kInt64, lk, rk)) kind = VarKind::kInt64;
  auto whole = [kind](const Variant& v) -> int64_t {
    int64_t value = 0;
    const TVarType target = kind == VarKind::kInt64 ? varInt64 : varInteger;
    if (IsIntegerKind(KindOf(v.VType))) {
      value = IntegerValue(v);
    } else if (v.VType == varCurrency) {
      value = CurrencyToWhole(v.VCurrency);
    } else if (v.VType == varDecimal) {
      if (!TryDecimalToInt64(v.Decimal(), value)) RaiseOverflowError(v.VType, target);
    } else if (!TryRoundToInt64(DoubleValue(v), value)) {
      RaiseOverflowError(v.VType, target);
    }
    if (kind != VarKind::kInt64 && !Fits<int32_t>(value)) RaiseOverflowError(v.VType, target);
    return value;
  };
  const int64_t a = whole(l), b = whole(r);
  if (b == 0) throw EIntDivByZero();
  if (modulus) return PromotedInteger(b == -1 ? 0 : a % b, kind, ArithOp::kMul, l, r);
  if (a == std::numeric_limits<int64_t>::min() && b == -1) throw EVariantOverflowError();
  const int64_t q = a / b;
  if (kind == VarKind::kInteger && !Fits<int32_t>(q)) return Variant(q);
  return PromotedInteger(q, kind, ArithOp::kMul, l, r);
}

// The value of a unary operand: Null passes, Empty is Smallint 0, Boolean
// becomes Smallint and strings become Doubles.
const Variant& UnaryOperand(const Variant& value, Variant& holder, Variant& converted) {
  const Variant* v = ScalarValue(value, holder);
  if (!v) throw EVariantInvalidOpError();
  switch (v->VType) {
    case varEmpty:
      converted = Variant::FromSmallint(0);
      return converted;
    case varBoolean:
      converted = Variant::FromSmallint(v->VBoolean != 0 ? -1 : 0);
      return converted;
    case varOleStr:
      converted = Variant(StringToDouble(v->StringView()));
      return converted;
    case varNull:
      return *v;
    default:
      CheckNumeric(*v);
      return *v;
  }
}

enum class Rounding { kTowardZero, kDown };

Variant WholePart(const Variant& value, Rounding rounding) {
  Variant holder, converted;
  const Variant& v = UnaryOperand(value, holder, converted);
  auto round = [rounding](double d) {
    return rounding == Rounding::kDown ? std::floor(d) : std::trunc(d);
  };
  switch (v.VType) {
    case varSingle:
      return Variant::FromSingle(static_cast<float>(round(v.VSingle)));
    case varDouble:
      return Variant(round(v.VDouble));
    case varDate:
      return Variant::FromDate(round(v.VDate));
    case varCurrency: {
      int64_t whole = v.VCurrency / kCurrencyScale;
      if (rounding == Rounding::kDown && v.VCurrency % kCurrencyScale < 0) --whole;
      int64_t scaled = 0;
      if (__builtin_mul_overflow(whole, kCurrencyScale, &scaled)) throw EVariantOverflowError();
      return Variant::FromCurrency(scaled);
    }
    case varDecimal:
      return Variant::FromDecimal(rounding == Rounding::kDown ? DecimalInt(v.Decimal())
                                                              : DecimalFix(v.Decimal()));
    default:
      return v;  // Null and the integer types are whole already
  }
}

}  // namespace

Variant VarAdd(const Variant& left, const Variant& right) {
  const Variant& l = left.Deref();
  const Variant& r = right.Deref();
  if (l.VType == varDouble && r.VType == varDouble) return DoubleResult(l.VDouble + r.VDouble);
  if (l.VType == varInteger && r.VType == varInteger) {
    const int64_t sum = int64_t{l.VInteger} + r.VInteger;
    if (Fits<int32_t>(sum)) return Variant(static_cast<int32_t>(sum));
    return Variant(static_cast<double>(sum));
  }
  return Arith(ArithOp::kAdd, left, right);
}

Variant VarSub(const Variant& left, const Variant& right) {
  return Arith(ArithOp::kSub, left, right);
}

Variant VarMul(const Variant& left, const Variant& right) {
  return Arith(ArithOp::kMul, left, right);
}

Variant VarDiv(const Variant& left, const Variant& right) {
  Operands ops(left, right);
  if (ops.AnyNull()) return Variant::Null();
  ops.StringsToDouble();
  const Variant& l = ops.left();
  const Variant& r = ops.right();
  CheckNumeric(l);
  CheckNumeric(r);
  const VarKind lk = KindOf(l.VType), rk = KindOf(r.VType);
  if (IsOneOf(VarKind::kDecimal, lk, rk)) {
    const TDecimal a = DecimalValue(l), b = DecimalValue(r);
    if (DecimalIsZero(b)) {
      if (DecimalIsZero(a)) throw EInvalidOp();
      throw EZeroDivide();
    }
    return Variant::FromDecimal(DecimalDiv(a, b));
  }
  const double a = DoubleValue(l), b = DoubleValue(r);
  if (b == 0) {
    if (a == 0 || std::isnan(a)) throw EInvalidOp();
    throw EZeroDivide();
  }
  auto narrow = [](VarKind k) {
    return k == VarKind::kSingle || k == VarKind::kSmallint || k == VarKind::kBoolean ||
           k == VarKind::kByte || k == VarKind::kEmpty;
  };
  if (IsOneOf(VarKind::kSingle, lk, rk) && narrow(lk) && narrow(rk)) return SingleResult(a / b);
  return DoubleResult(a / b);
}

Variant VarIdiv(const Variant& left, const Variant& right) {
  return IntegerDivision(false, left, right);
}

Variant VarMod(const Variant& left, const Variant& right) {
  return IntegerDivision(true, left, right);
}

Variant VarPow(const Variant& left, const Variant& right) {
  Operands ops(left, right);
  if (ops.AnyNull()) return Variant::Null();
  ops.StringsToDouble();
  CheckNumeric(ops.left());
  CheckNumeric(ops.right());
  const double base = DoubleValue(ops.left());
  const double result = std::pow(base, DoubleValue(ops.right()));
  if (std::isinf(result) && base == 0) throw EZeroDivide();
  return DoubleResult(result);
}

Variant VarNeg(const Variant& value) {
  Variant holder, converted;
  const Variant& v = UnaryOperand(value, holder, converted);
  switch (v.VType) {
    case varSingle:
      return Variant::FromSingle(-v.VSingle);
    case varDouble:
      return Variant(-v.VDouble);
    case varDate:
      return Variant::FromDate(-v.VDate);
    case varCurrency:
      if (v.VCurrency == std::numeric_limits<int64_t>::min()) throw EVariantOverflowError();
      return Variant::FromCurrency(-v.VCurrency);
    case varDecimal:
      return Variant::FromDecimal(DecimalNegate(v.Decimal()));
    case varNull:
      return v;
    default: {
      // Byte, Word and LongWord negate into the signed class that holds them.
      const VarKind kind = KindOf(v.VType) == VarKind::kByte ? VarKind::kSmallint : KindOf(v.VType);
      return PromotedInteger(-static_cast<i128>(IntegerValue(v)), kind, ArithOp::kSub, VarIntZero(),
                             v);
    }
  }
}

Variant VarAbs(const Variant& value) {
  Variant holder, converted;
  const Variant& v = UnaryOperand(value, holder, converted);
  switch (v.VType) {
    case varSingle:
      return Variant::FromSingle(std::fabs(v.VSingle));
    case varDouble:
      return Variant(std::fabs(v.VDouble));
    case varDate:
      return Variant::FromDate(std::fabs(v.VDate));
    case varCurrency:
      if (v.VCurrency >= 0) return v;
      return VarNeg(v);
    case varDecimal:
      return Variant::FromDecimal(DecimalAbs(v.Decimal()));
    case varNull:
    case varByte:
    case varWord:
    case varLongWord:
      return v;
    default:
      if (IntegerValue(v) >= 0) {
        if (v.VType == varShortInt) return Variant::FromSmallint(v.VShortInt);
        return v;
      }
      return VarNeg(v);
  }
}

Variant VarInt(const Variant& value) {
  return WholePart(value, Rounding::kDown);
}

Variant VarFix(const Variant& value) {
  return WholePart(value, Rounding::kTowardZero);
}

}  // namespace qob
