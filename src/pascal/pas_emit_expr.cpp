// Byte code of expressions (designators are in their own file).
#include <vector>

#include "pascal/pas_ast_expr.h"

namespace qob {
namespace {

// Finishes a value the node left on the stack according to the mode.
void FinishPending(TQOBContext& C, TQOBExprEmitRes AEmitRes, TQOBLabel* AJmpLabel) {
  switch (AEmitRes) {
    case erNoRes:
      C.Code->Emit(icPop);
      break;
    case erStack:
      break;
    case erPopJmpIfTrue:
      C.Code->Emit(icPopJmpIfTrue, AJmpLabel);
      break;
    case erPopJmpIfFalse:
      C.Code->Emit(icPopJmpIfFalse, AJmpLabel);
      break;
  }
}

TQOBInstrCode InstrOf(TQOBBinaryOp AOp) {
  switch (AOp) {
    case bopGreater:
      return icGreater;
    case bopGreaterEqual:
      return icGreaterEqual;
    case bopEqual:
      return icEqual;
    case bopLess:
      return icLess;
    case bopLessEqual:
      return icLessEqual;
    case bopNotEqual:
      return icNotEqual;
    case bopIn:
      return icIn;
    case bopIs:
      return icIs;
    case bopPlus:
      return icPlus;
    case bopMinus:
      return icMinus;
    case bopXor:
      return icXor;
    case bopMultiply:
      return icMultiply;
    case bopDivide:
      return icDivide;
    case bopDiv:
      return icIntDiv;
    case bopMod:
      return icMod;
    case bopShl:
      return icShl;
    case bopShr:
      return icShr;
    case bopOr:
      return icOr;
    case bopAnd:
      return icAnd;
  }
  return icPlus;
}

}  // namespace

// --- TQOBExpression ------------------------------------------------------------

void TQOBExpression::Emit(TQOBAbstractNamespace* ANamespace, TQOBByteCode* AByteCode) {
  TQOBContext C;
  C.Code = AByteCode;
  C.CurNamespace = ANamespace;
  EmitByteCode(C, erStack, nullptr);
}

void TQOBExpression::EmitByteCode(TQOBContext& C, TQOBExprEmitRes AEmitRes, TQOBLabel* AJmpLabel) {
  TQOBSourcePosScope pos(*C.Code, FSourcePos);
  bool pending = true;
  DoEmitByteCode(C, AEmitRes, pending, AJmpLabel);
  if (pending) FinishPending(C, AEmitRes, AJmpLabel);
}

void TQOBExpression::EmitRefByteCode(TQOBContext& C) {
  TQOBSourcePosScope pos(*C.Code, FSourcePos);
  DoEmitRefByteCode(C);
}

// --- Leaves ----------------------------------------------------------------------

void TQOBLiteral::DoEmitByteCode(TQOBContext& C, TQOBExprEmitRes, bool&, TQOBLabel*) {
  if (FValue.Type() == varInteger && FValue.VInteger == 0)
    C.Code->Emit(icPush0);
  else if (FValue.IsEmpty())
    C.Code->Emit(icPushUnassigned);
  else
    C.Code->Emit(icPushLiteral, &FValue);
}

void TQOBEventMakeExpr::DoEmitByteCode(TQOBContext& C, TQOBExprEmitRes, bool&, TQOBLabel*) {
  C.Code->Emit(icEventHandlerMake, &FStrProcName);
}

void TQOBPasSetExpr::DoEmitByteCode(TQOBContext& C, TQOBExprEmitRes, bool&, TQOBLabel*) {
  C.Code->Emit(icPush0);  // the empty set
  for (TQOBSetElement& element : FSetElements) {
    TQOBSourcePosScope pos(*C.Code, element.FSourcePos);
    element.FLeftExpr->EmitByteCode(C);
    if (element.FRightExpr) {
      element.FRightExpr->EmitByteCode(C);
      C.Code->Emit(icAddRangeToSet);
    } else {
      C.Code->Emit(icAddValToSet);
    }
  }
}

void TQOBArrayExpr::DoEmitByteCode(TQOBContext& C, TQOBExprEmitRes, bool&, TQOBLabel*) {
  for (TQOBArrayDim& dim : FArrayDims) {
    TQOBSourcePosScope pos(*C.Code, dim.FSourcePos);
    dim.FLeftExpr->EmitByteCode(C);
    dim.FRightExpr->EmitByteCode(C);
  }
  TQOBArray* array = C.Code->AddArray(static_cast<int32_t>(FArrayDims.size()), FElemVarType);
  C.Code->Emit(icArrayCreate, array);
}

// --- Unary -------------------------------------------------------------------------

void TQOBUnaryExpr::DoEmitByteCode(TQOBContext& C, TQOBExprEmitRes AEmitRes, bool& AResPending,
                                   TQOBLabel* AJmpLabel) {
  switch (FOperator) {
    case uopPlus:
      FExpr->EmitByteCode(C);
      C.Code->Emit(icUnaryPlus);
      break;
    case uopMinus:
      FExpr->EmitByteCode(C);
      C.Code->Emit(icUnaryMinus);
      break;
    case uopNot:
      // Under a jump the operand jumps on the opposite outcome; no value is built.
      if (AEmitRes == erPopJmpIfTrue) {
        FExpr->EmitByteCode(C, erPopJmpIfFalse, AJmpLabel);
        AResPending = false;
      } else if (AEmitRes == erPopJmpIfFalse) {
        FExpr->EmitByteCode(C, erPopJmpIfTrue, AJmpLabel);
        AResPending = false;
      } else {
        FExpr->EmitByteCode(C);
        C.Code->Emit(icUnaryNot);
      }
      break;
  }
}

// --- Binary ------------------------------------------------------------------------

// One node of a left spine: how it was asked to emit, how its left operand
// is emitted, the label of its short circuit, and its position bracket.
struct TQOBBinaryExpr::TSpineStep {
  const TQOBBinaryExpr* Node;
  TQOBExprEmitRes Mode;
  TQOBLabel* JmpLabel;
  TQOBExprEmitRes LeftMode = erStack;
  TQOBLabel* LeftLabel = nullptr;
  TQOBLabel* ShortCircuit = nullptr;
  bool Pending = true;
  int32_t OldSourcePos = -1;
};

TQOBBinaryExpr::~TQOBBinaryExpr() {
  // Unlink the left spine one node at a time so that a long chain is not
  // destroyed by recursion as deep as the chain.
  TQOBExpressionPtr left = std::move(FLeftExpr);
  while (auto* binary = dynamic_cast<TQOBBinaryExpr*>(left.get())) {
    TQOBExpressionPtr next = std::move(binary->FLeftExpr);
    left = std::move(next);
  }
}

void TQOBBinaryExpr::DoEmitByteCode(TQOBContext& C, TQOBExprEmitRes AEmitRes, bool& AResPending,
                                    TQOBLabel* AJmpLabel) {
  // The left operand of every node is emitted before any instruction of the
  // node itself, so the spine is walked down planning each node, the
  // innermost left operand is emitted, and the nodes are finished upwards.
  std::vector<TSpineStep> spine;
  spine.push_back({this, AEmitRes, AJmpLabel});
  PlanLeft(C, spine.back());
  auto* next = dynamic_cast<TQOBBinaryExpr*>(FLeftExpr.get());
  while (next) {
    const TSpineStep& parent = spine.back();
    TSpineStep step{next, parent.LeftMode, parent.LeftLabel};
    C.Code->BeginSourcePos(next->FSourcePos, step.OldSourcePos);
    next->PlanLeft(C, step);
    spine.push_back(step);
    next = dynamic_cast<TQOBBinaryExpr*>(next->FLeftExpr.get());
  }
  const TSpineStep& innermost = spine.back();
  innermost.Node->FLeftExpr->EmitByteCode(C, innermost.LeftMode, innermost.LeftLabel);
  for (size_t i = spine.size(); i-- > 1;) {
    TSpineStep& step = spine[i];
    step.Node->EmitAfterLeft(C, step);
    if (step.Pending) FinishPending(C, step.Mode, step.JmpLabel);
    C.Code->EndSourcePos(step.OldSourcePos);
  }
  EmitAfterLeft(C, spine.front());
  AResPending = spine.front().Pending;
}

void TQOBBinaryExpr::PlanLeft(TQOBContext& C, TSpineStep& AStep) const {
  const bool isOr = FOperator == bopOr;
  if (!isOr && FOperator != bopAnd) return;  // left operand on the stack
  // Short circuit: the left operand jumps past the right one when it decides.
  switch (AStep.Mode) {
    case erStack:
      AStep.ShortCircuit = C.Code->CreateLabel();
      break;
    case erPopJmpIfTrue:
      if (isOr) {
        AStep.LeftMode = erPopJmpIfTrue;
        AStep.LeftLabel = AStep.JmpLabel;
      } else {
        AStep.ShortCircuit = C.Code->CreateLabel();
        AStep.LeftMode = erPopJmpIfFalse;
        AStep.LeftLabel = AStep.ShortCircuit;
      }
      break;
    case erPopJmpIfFalse:
      if (isOr) {
        AStep.ShortCircuit = C.Code->CreateLabel();
        AStep.LeftMode = erPopJmpIfTrue;
        AStep.LeftLabel = AStep.ShortCircuit;
      } else {
        AStep.LeftMode = erPopJmpIfFalse;
        AStep.LeftLabel = AStep.JmpLabel;
      }
      break;
    case erNoRes:
      AStep.ShortCircuit = C.Code->CreateLabel();
      AStep.LeftMode = isOr ? erPopJmpIfTrue : erPopJmpIfFalse;
      AStep.LeftLabel = AStep.ShortCircuit;
      break;
  }
}

void TQOBBinaryExpr::EmitAfterLeft(TQOBContext& C, TSpineStep& AStep) const {
  TQOBByteCode& code = *C.Code;
  if (FOperator == bopOr || FOperator == bopAnd) {
    AStep.Pending = false;
    if (AStep.Mode == erStack) {
      // The value is the left operand when it decides, else the right one.
      code.Emit(FOperator == bopOr ? icJmpIfTrue : icJmpIfFalse, AStep.ShortCircuit);
      code.Emit(icPop);
      FRightExpr->EmitByteCode(C);
    } else {
      FRightExpr->EmitByteCode(C, AStep.Mode, AStep.JmpLabel);
    }
    if (AStep.ShortCircuit) code.BindLabel(AStep.ShortCircuit);
    return;
  }
  FRightExpr->EmitByteCode(C);
  if (AStep.Mode == erPopJmpIfTrue && (FOperator == bopEqual || FOperator == bopNotEqual)) {
    code.Emit(FOperator == bopEqual ? icPopJmpIfEqual : icPopJmpIfNotEqual, AStep.JmpLabel);
    AStep.Pending = false;
    return;
  }
  code.Emit(InstrOf(FOperator));
}

}  // namespace qob
