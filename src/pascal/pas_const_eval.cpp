#include "pascal/pas_const_eval.h"

#include <vector>

#include "ole/variant_convert.h"
#include "pascal/pas_ast_decl.h"
#include "pascal/pas_errors.h"
#include "vm/value_ops.h"

namespace qob {
namespace {

class TConstEvaluator {
 public:
  TConstEvaluator(const TQOBProcedureDecl& AProc, IQOBParserCallbacks& ACbs)
      : FProc(AProc), FCbs(ACbs) {}

  Variant Eval(const TQOBExpression& AExpr) {
    try {
      return EvalNode(AExpr);
    } catch (const EQOBPasCompiler&) {
      throw;
    } catch (const Exception& e) {
      // A failing operation (division by zero, a type mismatch) is reported
      // where the constant is declared, not when the procedure runs.
      throw EQOBPasCompiler(e.Message(), FFailPos);
    }
  }

 private:
  [[noreturn]] static void NotConstant(const TQOBExpression& AExpr) {
    throw EQOBPasCompiler(WideString(kPasMsgConstExpected), AExpr.FSourcePos);
  }

  Variant EvalNode(const TQOBExpression& AExpr) {
    FFailPos = AExpr.FSourcePos;
    if (auto* literal = dynamic_cast<const TQOBLiteral*>(&AExpr)) return literal->FValue;
    if (auto* unary = dynamic_cast<const TQOBUnaryExpr*>(&AExpr)) return EvalUnary(*unary);
    if (auto* binary = dynamic_cast<const TQOBBinaryExpr*>(&AExpr)) return EvalBinaryChain(*binary);
    if (auto* name = dynamic_cast<const TQOBDesignatorExpr*>(&AExpr)) return EvalName(*name);
    if (auto* set = dynamic_cast<const TQOBPasSetExpr*>(&AExpr)) return EvalSet(*set);
    NotConstant(AExpr);
  }

  Variant EvalUnary(const TQOBUnaryExpr& AExpr) {
    Variant value = EvalNode(*AExpr.FExpr);
    FFailPos = AExpr.FSourcePos;
    if (AExpr.FOperator == uopMinus) QOBNegate(value, value);
    if (AExpr.FOperator == uopNot) QOBNot(value, value);
    return value;
  }

  // Operator chains are left-deep and may be long: walk the left spine in a loop.
  Variant EvalBinaryChain(const TQOBBinaryExpr& AExpr) {
    std::vector<const TQOBBinaryExpr*> spine;
    const TQOBExpression* node = &AExpr;
    while (auto* binary = dynamic_cast<const TQOBBinaryExpr*>(node)) {
      spine.push_back(binary);
      node = binary->FLeftExpr.get();
    }
    Variant value = EvalNode(*node);
    for (auto it = spine.rbegin(); it != spine.rend(); ++it) value = ApplyBinary(**it, value);
    return value;
  }

  Variant ApplyBinary(const TQOBBinaryExpr& AExpr, const Variant& ALeft) {
    // `or` and `and` give their left operand when it decides the result.
    if (AExpr.FOperator == bopOr || AExpr.FOperator == bopAnd) {
      FFailPos = AExpr.FSourcePos;
      if (VarToBool(ALeft) == (AExpr.FOperator == bopOr)) return ALeft;
      return EvalNode(*AExpr.FRightExpr);
    }
    if (AExpr.FOperator == bopIs) NotConstant(AExpr);
    const Variant right = EvalNode(*AExpr.FRightExpr);
    FFailPos = AExpr.FSourcePos;
    Variant result;
    switch (AExpr.FOperator) {
      case bopGreater:
        return Variant(QOBCompare(ALeft, right, opGreater));
      case bopGreaterEqual:
        return Variant(QOBCompare(ALeft, right, opGreaterEqual));
      case bopEqual:
        return Variant(QOBCompare(ALeft, right, opEqual));
      case bopLess:
        return Variant(QOBCompare(ALeft, right, opLess));
      case bopLessEqual:
        return Variant(QOBCompare(ALeft, right, opLessEqual));
      case bopNotEqual:
        return Variant(QOBCompare(ALeft, right, opNotEqual));
      case bopIn: {
        const int32_t element = VarToInt32(ALeft);
        const int32_t set = VarToInt32(right);
        return Variant(element >= 0 && element <= 31 && ((set >> element) & 1) != 0);
      }
      case bopPlus:
        QOBBinaryOp(ALeft, right, result, opAdd);
        break;
      case bopMinus:
        QOBBinaryOp(ALeft, right, result, opSubtract);
        break;
      case bopXor:
        QOBBinaryOp(ALeft, right, result, opXor);
        break;
      case bopMultiply:
        QOBBinaryOp(ALeft, right, result, opMultiply);
        break;
      case bopDivide:
        QOBBinaryOp(ALeft, right, result, opDivide);
        break;
      case bopDiv:
        QOBBinaryOp(ALeft, right, result, opIntDivide);
        break;
      case bopMod:
        QOBBinaryOp(ALeft, right, result, opModulus);
        break;
      case bopShl:
        QOBBinaryOp(ALeft, right, result, opShl);
        break;
      case bopShr:
        QOBBinaryOp(ALeft, right, result, opShr);
        break;
      default:
        NotConstant(AExpr);
    }
    return result;
  }

  Variant EvalName(const TQOBDesignatorExpr& AExpr) {
    if (AExpr.FItems.size() != 1 || AExpr.FItems[0]->FBracketType != bkNon) NotConstant(AExpr);
    const TQOBNameId name = AExpr.FItems[0]->FName;
    if (TQOBProcLocal* local = FProc.FindLocal(name)) {
      if (local->FLocalType != ltConst) NotConstant(AExpr);
      return static_cast<TQOBLocalConstDecl*>(local)->FValue;
    }
    if (name == FCbs.GetNameId(u"True")) return Variant(true);
    if (name == FCbs.GetNameId(u"False")) return Variant(false);
    if (name == FCbs.GetNameId(u"Null")) return Variant::Null();
    if (name == FCbs.GetNameId(u"Unassigned")) return Variant();
    NotConstant(AExpr);
  }

  Variant EvalSet(const TQOBPasSetExpr& AExpr) {
    uint32_t bits = 0;
    for (const TQOBSetElement& element : AExpr.FSetElements) {
      const int32_t low = SetMember(*element.FLeftExpr, element.FSourcePos);
      const int32_t high =
          element.FRightExpr ? SetMember(*element.FRightExpr, element.FSourcePos) : low;
      for (int32_t i = low; i <= high; ++i) bits |= uint32_t{1} << i;
    }
    return Variant(static_cast<int32_t>(bits));
  }

  int32_t SetMember(const TQOBExpression& AExpr, int32_t AElementPos) {
    const Variant value = EvalNode(AExpr);
    FFailPos = AElementPos;
    const int32_t member = VarToInt32(value);
    if (member < 0 || member > 31) throw EQOBPasCompiler(WideString(kPasMsgSetBounds), AElementPos);
    return member;
  }

  const TQOBProcedureDecl& FProc;
  IQOBParserCallbacks& FCbs;
  int32_t FFailPos = 0;  // position of the operation being computed
};

}  // namespace

Variant PasEvalLocalConst(const TQOBExpression& AExpr, const TQOBProcedureDecl& AProc,
                          IQOBParserCallbacks& ACbs) {
  return TConstEvaluator(AProc, ACbs).Eval(AExpr);
}

}  // namespace qob
