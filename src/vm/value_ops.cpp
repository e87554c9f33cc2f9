// Direct paths of the value operations. A 21 x 21 table indexed by the two
// operands' type codes picks the path; each path computes on machine
// integers or doubles and declines (returns false) whatever the general
// Variant operation must compute instead: overflow, and operators it does
// not cover. Nothing on these paths allocates.
#include "vm/value_ops.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "ole/variant_ops.h"
#include "rtl/exceptions.h"
#include "vm/value_ops_general.h"

namespace qob {

namespace {

enum TypeClass : uint8_t { kNarrow, kWide, kFloat, kObject, kOther };

constexpr TVarType kLastDirectType = varInt64;

constexpr TypeClass ClassOf(TVarType type) {
  switch (type) {
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varBoolean:
      return kNarrow;
    case varWord:
    case varLongWord:
    case varInt64:
      return kWide;
    case varSingle:
    case varDouble:
      return kFloat;
    case varDispatch:
      return kObject;
    default:
      return kOther;
  }
}

enum Path : uint8_t {
  kGeneralPath,
  kInt32Path,
  kInt64Path,
  kDoublePath,
  kBooleanPath,
  kDispatchPath
};

constexpr Path PathOf(TVarType left, TVarType right) {
  const TypeClass l = ClassOf(left), r = ClassOf(right);
  if (l == kObject && r == kObject) return kDispatchPath;  // comparisons only
  if (l >= kObject || r >= kObject) return kGeneralPath;
  if (l == kFloat || r == kFloat) return kDoublePath;
  if (l == kNarrow && r == kNarrow)
    return left == varBoolean && right == varBoolean ? kBooleanPath : kInt32Path;
  return kInt64Path;
}

using PathTable = std::array<std::array<Path, kLastDirectType + 1>, kLastDirectType + 1>;

constexpr PathTable MakePathTable() {
  PathTable table{};
  for (TVarType l = 0; l <= kLastDirectType; ++l)
    for (TVarType r = 0; r <= kLastDirectType; ++r) table[l][r] = PathOf(l, r);
  return table;
}

constexpr PathTable kPathTable = MakePathTable();

Path SelectPath(const Variant& left, const Variant& right) {
  if (left.VType > kLastDirectType || right.VType > kLastDirectType) return kGeneralPath;
  return kPathTable[left.VType][right.VType];
}

// ---- Operand values. A Boolean reads as its 16-bit value: True is -1. ----

int32_t NarrowValue(const Variant& v) {
  switch (v.VType) {
    case varInteger:
      return v.VInteger;
    case varSmallint:
      return v.VSmallInt;
    case varShortInt:
      return v.VShortInt;
    case varByte:
      return v.VByte;
    default:  // varBoolean
      return v.VBoolean;
  }
}

int64_t WideValue(const Variant& v) {
  switch (v.VType) {
    case varInt64:
      return v.VInt64;
    case varLongWord:
      return v.VLongWord;
    case varWord:
      return v.VWord;
    default:
      return NarrowValue(v);
  }
}

double FloatValue(const Variant& v) {
  switch (v.VType) {
    case varDouble:
      return v.VDouble;
    case varSingle:
      return v.VSingle;
    default:
      return static_cast<double>(WideValue(v));
  }
}

// ---- Results. ----

template <class T>
void Store(Variant& result, TVarType type, T TVarData::*field, T value) noexcept {
  result.Clear();
  result.VType = type;
  result.*field = value;
}

void StoreBoolean(Variant& result, bool value) noexcept {
  Store(result, varBoolean, &TVarData::VBoolean, value ? VARIANT_TRUE : VARIANT_FALSE);
}

// Integer when the value fits in 32 bits, else Int64.
void StoreInteger(Variant& result, int64_t value) noexcept {
  if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max())
    result.SetInteger(static_cast<int32_t>(value));
  else
    Store(result, varInt64, &TVarData::VInt64, value);
}

[[noreturn, gnu::cold]] void RaiseIntDivByZero() {
  throw EIntDivByZero();
}
[[noreturn, gnu::cold]] void RaiseFloatDivByZero(double dividend) {
  if (dividend == 0 || std::isnan(dividend)) throw EInvalidOp();  // 0 / 0 has no value
  throw EZeroDivide();
}

// ---- Integer paths (Integer or Int64 result). Shift counts are masked. ----

template <class T>
bool IntegerOp(T a, T b, TQOBOperator op, T& r) {
  using U = std::make_unsigned_t<T>;
  constexpr U kShiftMask = sizeof(T) * 8 - 1;
  switch (op) {
    case opAdd:
      return !__builtin_add_overflow(a, b, &r);
    case opSubtract:
      return !__builtin_sub_overflow(a, b, &r);
    case opMultiply:
      return !__builtin_mul_overflow(a, b, &r);
    case opIntDivide:
    case opModulus:
      if (b == 0) RaiseIntDivByZero();
      if (b == -1 && a == std::numeric_limits<T>::min()) return false;  // overflows
      r = op == opIntDivide ? a / b : a % b;
      return true;
    case opShl:
      r = static_cast<T>(static_cast<U>(a) << (static_cast<U>(b) & kShiftMask));
      return true;
    case opShr:
      r = static_cast<T>(static_cast<U>(a) >> (static_cast<U>(b) & kShiftMask));
      return true;
    case opAnd:
      r = a & b;
      return true;
    case opOr:
      r = a | b;
      return true;
    case opXor:
      r = a ^ b;
      return true;
    case opEqv:
      r = ~(a ^ b);
      return true;
    case opImp:
      r = ~a | b;
      return true;
    default:
      return false;
  }
}

bool Int32Op(int32_t a, int32_t b, TQOBOperator op, Variant& result) {
  int32_t r;
  if (!IntegerOp(a, b, op, r)) return false;
  result.SetInteger(r);
  return true;
}

bool Int64Op(int64_t a, int64_t b, TQOBOperator op, Variant& result) {
  int64_t r;
  if (!IntegerOp(a, b, op, r)) return false;
  Store(result, varInt64, &TVarData::VInt64, r);
  return true;
}

bool DoubleOp(double a, double b, TQOBOperator op, Variant& result) {
  double r;
  switch (op) {
    case opAdd:
      r = a + b;
      break;
    case opSubtract:
      r = a - b;
      break;
    case opMultiply:
      r = a * b;
      break;
    case opDivide:
      if (b == 0) RaiseFloatDivByZero(a);
      r = a / b;
      break;
    default:
      return false;
  }
  CheckFloatResult(r, a, b);
  Store(result, varDouble, &TVarData::VDouble, r);
  return true;
}

// Both operands Boolean: logic on truth values; arithmetic continues on the
// 32-bit path with False = 0 and True = 1.
bool BooleanOp(bool a, bool b, TQOBOperator op, Variant& result) {
  switch (op) {
    case opAnd:
      StoreBoolean(result, a && b);
      return true;
    case opOr:
      StoreBoolean(result, a || b);
      return true;
    case opXor:
      StoreBoolean(result, a != b);
      return true;
    case opEqv:
      StoreBoolean(result, a == b);
      return true;
    case opImp:
      StoreBoolean(result, !a || b);
      return true;
    default:
      return Int32Op(a ? 1 : 0, b ? 1 : 0, op, result);
  }
}

bool DirectBinaryOp(const Variant& l, const Variant& r, Variant& result, TQOBOperator op) {
  switch (SelectPath(l, r)) {
    case kInt32Path:
      return Int32Op(NarrowValue(l), NarrowValue(r), op, result);
    case kInt64Path:
      return Int64Op(WideValue(l), WideValue(r), op, result);
    case kDoublePath:
      return DoubleOp(FloatValue(l), FloatValue(r), op, result);
    case kBooleanPath:
      return BooleanOp(l.VBoolean != 0, r.VBoolean != 0, op, result);
    case kGeneralPath:
    case kDispatchPath:
      break;
  }
  return false;
}

// ---- Comparisons. ----

template <class T>
bool CompareValues(T a, T b, TQOBOperator op, bool& answer) {
  switch (op) {
    case opEqual:
      answer = a == b;
      return true;
    case opNotEqual:
      answer = a != b;
      return true;
    case opLess:
      answer = a < b;
      return true;
    case opLessEqual:
      answer = a <= b;
      return true;
    case opGreater:
      answer = a > b;
      return true;
    case opGreaterEqual:
      answer = a >= b;
      return true;
    default:  // identity tests and non-comparison codes
      return false;
  }
}

bool DirectCompare(const Variant& l, const Variant& r, TQOBOperator op, bool& answer) {
  switch (SelectPath(l, r)) {
    case kInt32Path:
      return CompareValues(NarrowValue(l), NarrowValue(r), op, answer);
    case kInt64Path:
      return CompareValues(WideValue(l), WideValue(r), op, answer);
    case kDoublePath:
      return CompareValues(FloatValue(l), FloatValue(r), op, answer);
    case kBooleanPath:  // False < True
      return CompareValues(l.VBoolean != 0, r.VBoolean != 0, op, answer);
    case kDispatchPath:
      if (op == opEqual || op == opIdentityEqual) {
        answer = l.VDispatch == r.VDispatch;
        return true;
      }
      if (op == opNotEqual || op == opIdentityNotEqual) {
        answer = l.VDispatch != r.VDispatch;
        return true;
      }
      return false;
    case kGeneralPath:
      break;
  }
  return false;
}

// ---- Negate and Not. ----

// Two's complement negation unless the value is its type's minimum, whose
// negation the general operation widens.
template <class T>
bool NegateInto(T value, Variant& result, TVarType type, T TVarData::*field) {
  if (value == std::numeric_limits<T>::min()) return false;
  Store(result, type, field, static_cast<T>(-value));
  return true;
}

bool DirectNegate(const Variant& v, Variant& result) {
  switch (v.VType) {
    case varSmallint:
      return NegateInto(v.VSmallInt, result, varSmallint, &TVarData::VSmallInt);
    case varInteger:
      return NegateInto(v.VInteger, result, varInteger, &TVarData::VInteger);
    case varShortInt:
      return NegateInto(v.VShortInt, result, varShortInt, &TVarData::VShortInt);
    case varInt64:
      return NegateInto(v.VInt64, result, varInt64, &TVarData::VInt64);
    case varCurrency:
      return NegateInto(v.VCurrency, result, varCurrency, &TVarData::VCurrency);
    case varSingle:
      Store(result, varSingle, &TVarData::VSingle, -v.VSingle);
      return true;
    case varDouble:
      Store(result, varDouble, &TVarData::VDouble, -v.VDouble);
      return true;
    case varDate:
      Store(result, varDate, &TVarData::VDate, -v.VDate);
      return true;
    case varBoolean:  // True counts as 1 here, so -True is -1
      Store(result, varSmallint, &TVarData::VSmallInt, int16_t(v.VBoolean ? -1 : 0));
      return true;
    case varByte:
      Store(result, varSmallint, &TVarData::VSmallInt, static_cast<int16_t>(-v.VByte));
      return true;
    case varWord:
      result.SetInteger(-static_cast<int32_t>(v.VWord));
      return true;
    case varLongWord:
      if (v.VLongWord < 0x80000000u)
        result.SetInteger(-static_cast<int32_t>(v.VLongWord));
      else
        Store(result, varInt64, &TVarData::VInt64, -static_cast<int64_t>(v.VLongWord));
      return true;
    default:
      return false;
  }
}

// Rounds to the nearest integer, ties to even, as the FPU's default mode does.
int64_t RoundFloatForNot(double value) {
  const double rounded = std::nearbyint(value);
  // Also false for NaN.
  if (!(rounded >= -0x1p63 && rounded < 0x1p63)) throw EInvalidOp();
  return static_cast<int64_t>(rounded);
}

// Currency units (1/10000) rounded to whole units, ties to even, exactly.
int64_t RoundCurrencyForNot(int64_t scaled) {
  int64_t whole = scaled / kCurrencyScale;
  const int64_t rest = scaled % kCurrencyScale;
  const int64_t half = kCurrencyScale / 2;
  const int64_t magnitude = rest < 0 ? -rest : rest;
  if (magnitude > half || (magnitude == half && (whole & 1) != 0)) whole += rest < 0 ? -1 : 1;
  return whole;
}

bool DirectNot(const Variant& v, Variant& result) {
  switch (v.VType) {
    case varSmallint:
      Store(result, varSmallint, &TVarData::VSmallInt, static_cast<int16_t>(~v.VSmallInt));
      return true;
    case varInteger:
      result.SetInteger(~v.VInteger);
      return true;
    case varShortInt:
      Store(result, varShortInt, &TVarData::VShortInt, static_cast<int8_t>(~v.VShortInt));
      return true;
    case varByte:
      Store(result, varByte, &TVarData::VByte, static_cast<uint8_t>(~v.VByte));
      return true;
    case varWord:
      Store(result, varWord, &TVarData::VWord, static_cast<uint16_t>(~v.VWord));
      return true;
    case varLongWord:
      Store(result, varLongWord, &TVarData::VLongWord, ~v.VLongWord);
      return true;
    case varInt64:
      Store(result, varInt64, &TVarData::VInt64, ~v.VInt64);
      return true;
    case varSingle:
      StoreInteger(result, ~RoundFloatForNot(v.VSingle));
      return true;
    case varDouble:
      StoreInteger(result, ~RoundFloatForNot(v.VDouble));
      return true;
    case varDate:
      StoreInteger(result, ~RoundFloatForNot(v.VDate));
      return true;
    case varCurrency:
      StoreInteger(result, ~RoundCurrencyForNot(v.VCurrency));
      return true;
    case varBoolean:
      StoreBoolean(result, v.VBoolean == 0);
      return true;
    default:
      return false;
  }
}

}  // namespace

void QOBBinaryOp(const Variant& ALeft, const Variant& ARight, Variant& AResult, TQOBOperator AOp) {
  const Variant& l = ALeft.Deref();
  const Variant& r = ARight.Deref();
  if (!DirectBinaryOp(l, r, AResult, AOp)) GeneralBinaryOp(l, r, AResult, AOp);
}

bool QOBCompare(const Variant& ALeft, const Variant& ARight, TQOBOperator AOp) {
  const Variant& l = ALeft.Deref();
  const Variant& r = ARight.Deref();
  bool answer;
  if (DirectCompare(l, r, AOp, answer)) return answer;
  return GeneralCompare(l, r, AOp);
}

void QOBNegate(const Variant& AValue, Variant& AResult) {
  const Variant& v = AValue.Deref();
  if (DirectNegate(v, AResult)) return;
  Variant negated = VarNeg(v);  // `AResult` may alias `AValue`
  AResult = std::move(negated);
}

void QOBNot(const Variant& AValue, Variant& AResult) {
  const Variant& v = AValue.Deref();
  if (DirectNot(v, AResult)) return;
  Variant complemented = VarNot(v);
  AResult = std::move(complemented);
}

}  // namespace qob
