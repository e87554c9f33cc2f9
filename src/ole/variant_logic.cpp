// The logical and bitwise Variant operations with the OLE Automation result
// classes and the three-valued treatment of Null (False And Null is False,
// True Or Null is True).
#include <algorithm>
#include <limits>

#include "ole/decimal.h"
#include "ole/variant_ops.h"
#include "ole/variant_support.h"
#include "rtl/exceptions.h"
#include "rtl/numconv.h"

namespace qob {

using namespace variant_detail;

namespace {

// Result classes in rising order; strings count as Booleans, Empty as
// Smallint, every non-integer number as Integer.
enum class LogicClass : uint8_t { kBoolean, kByte, kSmallint, kInteger, kInt64, kNull };

enum class LogicOp { kAnd, kOr, kXor, kEqv, kImp };

LogicClass ClassOf(const Variant& v) {
  switch (KindOf(v.VType)) {
    case VarKind::kNull:
      return LogicClass::kNull;
    case VarKind::kBoolean:
    case VarKind::kString:
      return LogicClass::kBoolean;
    case VarKind::kByte:
      return LogicClass::kByte;
    case VarKind::kEmpty:
    case VarKind::kSmallint:
      return LogicClass::kSmallint;
    case VarKind::kInt64:
      return LogicClass::kInt64;
    case VarKind::kOther:
      if (v.VType == varError) RaiseCastError(varError, varInteger);
      throw EVariantInvalidOpError();
    default:
      return LogicClass::kInteger;
  }
}

LogicClass Combine(LogicClass a, LogicClass b) {
  if (a == LogicClass::kNull) return b;
  if (b == LogicClass::kNull) return a;
  const LogicClass high = std::max(a, b);
  // Boolean with Byte widens to Smallint, the narrowest class holding True (-1).
  if (high == LogicClass::kByte && std::min(a, b) == LogicClass::kBoolean)
    return LogicClass::kSmallint;
  return high;
}

TVarType TypeOf(LogicClass c) {
  switch (c) {
    case LogicClass::kBoolean:
      return varBoolean;
    case LogicClass::kByte:
      return varByte;
    case LogicClass::kSmallint:
      return varSmallint;
    case LogicClass::kInt64:
      return varInt64;
    default:
      return varInteger;
  }
}

// The bits of `bits` that class `c` keeps, sign-extended; Booleans are -1 or 0.
int64_t Truncate(int64_t bits, LogicClass c) {
  switch (c) {
    case LogicClass::kBoolean:
      return bits != 0 ? -1 : 0;
    case LogicClass::kByte:
      return static_cast<uint8_t>(bits);
    case LogicClass::kSmallint:
      return static_cast<int16_t>(bits);
    case LogicClass::kInteger:
      return static_cast<int32_t>(bits);
    default:
      return bits;
  }
}

Variant LogicResult(int64_t bits, LogicClass c) {
  switch (c) {
    case LogicClass::kBoolean:
      return Variant(bits != 0);
    case LogicClass::kByte:
      return Variant::FromByte(static_cast<uint8_t>(bits));
    case LogicClass::kSmallint:
      return Variant::FromSmallint(static_cast<int16_t>(bits));
    case LogicClass::kInteger:
      return Variant(static_cast<int32_t>(bits));
    default:
      return Variant(bits);
  }
}

int64_t StringValue(std::u16string_view text, LogicClass c) {
  bool flag = false;
  if (c == LogicClass::kBoolean && TryParseBooleanText(text, flag)) return flag ? -1 : 0;
  int64_t value = 0;
  double real = 0;
  if (TryStrToInt64(text, value)) return value;
  if (TryStrToFloat(text, real)) {
    if (!TryRoundToInt64(real, value)) RaiseOverflowError(varOleStr, TypeOf(c));
    return value;
  }
  if (TryParseBooleanText(text, flag)) return flag ? -1 : 0;
  RaiseCastError(varOleStr, TypeOf(c));
}

// An operand as a whole number of class `c`, rounded half to even.
int64_t LogicValue(const Variant& v, LogicClass c) {
  int64_t value = 0;
  switch (v.VType) {
    case varOleStr:
      value = StringValue(v.StringView(), c);
      if (c == LogicClass::kBoolean) return value != 0 ? -1 : 0;
      break;
    case varCurrency:
      value = CurrencyToWhole(v.VCurrency);
      break;
    case varDecimal:
      if (!TryDecimalToInt64(v.Decimal(), value)) RaiseOverflowError(v.VType, TypeOf(c));
      break;
    case varSingle:
    case varDouble:
    case varDate:
      if (!TryRoundToInt64(DoubleValue(v), value)) RaiseOverflowError(v.VType, TypeOf(c));
      break;
    default:
      return IntegerValue(v);  // integer types always fit their class
  }
  if (c != LogicClass::kInt64 && Truncate(value, c) != value)
    RaiseOverflowError(v.VType, TypeOf(c));
  return value;
}

struct Resolved {
  Variant leftHolder, rightHolder;
  const Variant* left = nullptr;
  const Variant* right = nullptr;

  Resolved(const Variant& l, const Variant& r)
      : left(ScalarValue(l, leftHolder)), right(ScalarValue(r, rightHolder)) {
    if (!left || !right) throw EVariantInvalidOpError();
  }
  Resolved(const Resolved&) = delete;
  Resolved& operator=(const Resolved&) = delete;
};

Variant Logical(LogicOp op, const Variant& left, const Variant& right) {
  const Resolved operands(left, right);
  const Variant& l = *operands.left;
  const Variant& r = *operands.right;
  const LogicClass lc = ClassOf(l), rc = ClassOf(r);
  if (lc == LogicClass::kNull && rc == LogicClass::kNull) return Variant::Null();
  const LogicClass c = Combine(lc, rc);
  if (lc == LogicClass::kNull || rc == LogicClass::kNull) {
    const int64_t known = Truncate(LogicValue(rc == LogicClass::kNull ? l : r, c), c);
    switch (op) {
      case LogicOp::kAnd:  // False And Null is False
        return known == 0 ? LogicResult(0, c) : Variant::Null();
      case LogicOp::kOr:  // True Or Null is True
        return known == 0 ? Variant::Null() : LogicResult(known, c);
      case LogicOp::kImp: {
        // (Not left) Or right, with Not Null being Null.
        const int64_t bits = lc == LogicClass::kNull ? known : Truncate(~known, c);
        return bits == 0 ? Variant::Null() : LogicResult(bits, c);
      }
      default:
        return Variant::Null();
    }
  }
  const int64_t a = LogicValue(l, c), b = LogicValue(r, c);
  switch (op) {
    case LogicOp::kAnd:
      return LogicResult(a & b, c);
    case LogicOp::kOr:
      return LogicResult(a | b, c);
    case LogicOp::kXor:
      return LogicResult(a ^ b, c);
    case LogicOp::kEqv:
      return LogicResult(Truncate(~(a ^ b), c), c);
    case LogicOp::kImp:
      break;
  }
  return LogicResult(Truncate(~a | b, c), c);
}

// Shifts work on Integer (counts masked to 0..31) or, when an operand is
// 64 bits wide, on Int64 (0..63); right shifts fill with zeros.
Variant Shift(bool toLeft, const Variant& left, const Variant& right) {
  const Resolved operands(left, right);
  const Variant& l = *operands.left;
  const Variant& r = *operands.right;
  if (l.VType == varNull || r.VType == varNull) return Variant::Null();
  auto classOf = [](const Variant& v) {
    const LogicClass c = ClassOf(v);
    return c == LogicClass::kInt64 ? c : LogicClass::kInteger;
  };
  const LogicClass c = Combine(classOf(l), classOf(r));
  const uint64_t count = static_cast<uint64_t>(LogicValue(r, LogicClass::kInt64));
  if (c == LogicClass::kInt64) {
    const uint64_t value = static_cast<uint64_t>(LogicValue(l, c));
    const unsigned n = static_cast<unsigned>(count & 63);
    return Variant(static_cast<int64_t>(toLeft ? value << n : value >> n));
  }
  const uint32_t value = static_cast<uint32_t>(LogicValue(l, c));
  const unsigned n = static_cast<unsigned>(count & 31);
  return Variant(static_cast<int32_t>(toLeft ? value << n : value >> n));
}

}  // namespace

Variant VarAnd(const Variant& left, const Variant& right) {
  const Variant& l = left.Deref();
  const Variant& r = right.Deref();
  if (l.VType == varBoolean && r.VType == varBoolean) return Variant(l.VBoolean && r.VBoolean);
  return Logical(LogicOp::kAnd, left, right);
}

Variant VarOr(const Variant& left, const Variant& right) {
  const Variant& l = left.Deref();
  const Variant& r = right.Deref();
  if (l.VType == varBoolean && r.VType == varBoolean) return Variant(l.VBoolean || r.VBoolean);
  return Logical(LogicOp::kOr, left, right);
}

Variant VarXor(const Variant& left, const Variant& right) {
  return Logical(LogicOp::kXor, left, right);
}

Variant VarEqv(const Variant& left, const Variant& right) {
  return Logical(LogicOp::kEqv, left, right);
}

Variant VarImp(const Variant& left, const Variant& right) {
  return Logical(LogicOp::kImp, left, right);
}

Variant VarShl(const Variant& left, const Variant& right) {
  return Shift(true, left, right);
}

Variant VarShr(const Variant& left, const Variant& right) {
  return Shift(false, left, right);
}

Variant VarNot(const Variant& value) {
  Variant holder;
  const Variant* v = ScalarValue(value, holder);
  if (!v) throw EVariantInvalidOpError();
  if (v->VType == varNull) return *v;
  if (v->VType == varBoolean) return Variant(v->VBoolean == 0);
  // Strings are numbers here, as every other non-integer operand.
  const LogicClass c = v->VType == varOleStr ? LogicClass::kInteger : ClassOf(*v);
  if (v->VType == varByte) return Variant::FromByte(static_cast<uint8_t>(~v->VByte));
  return LogicResult(~LogicValue(*v, c), c);
}

}  // namespace qob
