// The general path: every operand pair and operator that the direct paths
// decline. Arithmetic and comparison follow the OLE Automation Variant
// operations; concatenation, power, Eqv and Imp follow the language's rules.
#include "vm/value_ops_general.h"

#include <cmath>
#include <utility>

#include "ole/variant_convert.h"
#include "ole/variant_ops.h"
#include "rtl/exceptions.h"

namespace qob {

void RaiseFloatFault(double AResult, double, double) {
  if (std::isnan(AResult)) throw EInvalidOp();
  throw EOverflow();
}

namespace {

bool IsBlank(const Variant& v) {
  return v.VType == varEmpty || v.VType == varNull;
}

// Empty and Null count as empty text; a string concatenated with nothing is
// the same string (shared, not copied).
Variant Concat(const Variant& left, const Variant& right) {
  if (IsBlank(right) && (left.IsString() || IsBlank(left)))
    return left.IsString() ? left : Variant(WideString());
  if (IsBlank(left) && right.IsString()) return right;
  const WideString l = IsBlank(left) ? WideString() : VarToStr(left);
  const WideString r = IsBlank(right) ? WideString() : VarToStr(right);
  if (l.empty()) return Variant(r);
  if (r.empty()) return Variant(l);
  return Variant(l + r);
}

Variant Power(const Variant& left, const Variant& right) {
  const double base = VarToDouble(left);
  const double exponent = VarToDouble(right);
  const double result = std::pow(base, exponent);
  // 0 raised to a negative power is a division by zero.
  if (std::isinf(result) && base == 0 && std::isfinite(exponent)) throw EZeroDivide();
  CheckFloatResult(result, base, exponent);
  return Variant(result);
}

// Operand classes of Eqv and Imp.
enum LogicClass { kNullOperand, kBooleanOperand, kOtherOperand };

LogicClass LogicClassOf(const Variant& v) {
  if (v.VType > varInt64) throw EVariantTypeCastError();
  if (v.VType == varNull) return kNullOperand;
  return v.VType == varBoolean ? kBooleanOperand : kOtherOperand;
}

// A Boolean as -1 or 0, anything else converted to an Integer.
int32_t LogicValue(const Variant& v) {
  if (v.VType == varBoolean) return v.VBoolean ? -1 : 0;
  return VarToInt32(v);
}

Variant Eqv(const Variant& left, const Variant& right) {
  const LogicClass l = LogicClassOf(left), r = LogicClassOf(right);
  if (l == kNullOperand || r == kNullOperand) return Variant::Null();
  if (l == kBooleanOperand && r == kBooleanOperand)
    return Variant((left.VBoolean != 0) == (right.VBoolean != 0));
  return Variant(~(LogicValue(left) ^ LogicValue(right)));
}

// Three-valued implication: Null Imp True = True, Null Imp False = Null,
// True Imp Null = Null, False Imp Null = True.
Variant Imp(const Variant& left, const Variant& right) {
  const LogicClass l = LogicClassOf(left), r = LogicClassOf(right);
  const int32_t lv = l == kNullOperand ? -1 : LogicValue(left);
  const int32_t rv = r == kNullOperand ? 0 : LogicValue(right);
  const int32_t value = ~lv | rv;
  if (l == kBooleanOperand && r == kBooleanOperand) return Variant(value != 0);
  if (l == kNullOperand || r == kNullOperand) {
    if (value == 0) return Variant::Null();
    const bool booleanAnswer =
        (l == kNullOperand && r == kBooleanOperand) || (l == kBooleanOperand && r == kNullOperand);
    return booleanAnswer ? Variant(true) : Variant(value);
  }
  return Variant(value);
}

// Null compares equal only to Null and orders with nothing.
bool CompareWithNull(const Variant& left, const Variant& right, TQOBOperator op) {
  const bool bothNull = left.IsNull() && right.IsNull();
  switch (op) {
    case opEqual:
    case opLessEqual:
    case opGreaterEqual:
      return bothNull;
    case opNotEqual:
      return !bothNull;
    default:
      return false;
  }
}

}  // namespace

void GeneralBinaryOp(const Variant& ALeft, const Variant& ARight, Variant& AResult,
                     TQOBOperator AOp) {
  Variant (*operation)(const Variant&, const Variant&) = nullptr;
  switch (AOp) {
    case opAdd:
      operation = &VarAdd;
      break;
    case opSubtract:
      operation = &VarSub;
      break;
    case opMultiply:
      operation = &VarMul;
      break;
    case opDivide:
      operation = &VarDiv;
      break;
    case opIntDivide:
      operation = &VarIdiv;
      break;
    case opModulus:
      operation = &VarMod;
      break;
    case opShl:
      operation = &VarShl;
      break;
    case opShr:
      operation = &VarShr;
      break;
    case opAnd:
      operation = &VarAnd;
      break;
    case opOr:
      operation = &VarOr;
      break;
    case opXor:
      operation = &VarXor;
      break;
    case opConcat:
      operation = &Concat;
      break;
    case opPower:
      operation = &Power;
      break;
    case opEqv:
      operation = &Eqv;
      break;
    case opImp:
      operation = &Imp;
      break;
    default:
      throw EVariantInvalidOpError();
  }
  // Computed into a temporary first: the result may alias an operand.
  Variant result = operation(ALeft, ARight);
  AResult = std::move(result);
}

bool GeneralCompare(const Variant& ALeft, const Variant& ARight, TQOBOperator AOp) {
  if (AOp == opIdentityEqual || AOp == opIdentityNotEqual) {
    // Identity is defined for object references only; anything else is neither.
    if (ALeft.VType != varDispatch || ARight.VType != varDispatch) return false;
    return (ALeft.VDispatch == ARight.VDispatch) == (AOp == opIdentityEqual);
  }
  if (AOp < opEqual || AOp > opGreaterEqual) throw EVariantInvalidOpError();
  switch (VarCmp(ALeft, ARight)) {
    case VARCMP_LT:
      return AOp == opNotEqual || AOp == opLess || AOp == opLessEqual;
    case VARCMP_EQ:
      return AOp == opEqual || AOp == opLessEqual || AOp == opGreaterEqual;
    case VARCMP_GT:
      return AOp == opNotEqual || AOp == opGreater || AOp == opGreaterEqual;
    default:  // VARCMP_NULL
      return CompareWithNull(ALeft, ARight, AOp);
  }
}

}  // namespace qob
