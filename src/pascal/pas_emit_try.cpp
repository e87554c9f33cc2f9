// Byte code of try statements. Leaving a protected part by Exit, Break or
// Continue goes through code that first runs the finally part, or ends the
// handled exception, and then jumps to the enclosing target.
#include "pascal/pas_ast_decl.h"
#include "pascal/pas_ast_stmt.h"

namespace qob {
namespace {

// The enclosing target, or leaving the activation when there is none.
void JumpToSaved(TQOBByteCode& ACode, TQOBLabel* ATarget) {
  if (ATarget)
    ACode.Emit(icJump, ATarget);
  else
    ACode.Emit(icRet);
}

}  // namespace

TQOBExceptionSubBlock::TQOBExceptionSubBlock(TQOBNameId AName, WideString AStrName,
                                             int32_t ASourcePos)
    : TQOBNamedItem(AName), FSourcePos(ASourcePos), FStrName(std::move(AStrName)) {}

TQOBExceptionSubBlock::~TQOBExceptionSubBlock() = default;

void TQOBTryStmt::DoEmitByteCode(TQOBContext& C) {
  C.Code->ManualResetNextInstrBreakable();  // the try itself is no break location
  if (FTryStmtType == ttExcept)
    EmitTryExcept(C);
  else
    EmitTryFinally(C);
}

void TQOBTryStmt::EmitTryExcept(TQOBContext& C) {
  TQOBByteCode& code = *C.Code;
  const TQOBEBC saved = C.CurEBC;
  const bool inLoop = saved.BreakL != nullptr;

  TQOBTry* T = code.BeginProtectedBlock();
  T->FHandlerLabel = code.CreateLabel();
  T->FExceptionVar = code.AddLocalVarArray(2);
  TQOBLabel* endLabel = code.CreateLabel();
  FTryStmtList.EmitByteCode(C);
  code.EndProtectedBlock();
  code.Emit(icJump, endLabel);

  code.BeginExcHdrCode(T);
  code.BindLabel(T->FHandlerLabel);
  code.Emit(icSetNamespace, C.CurNamespace);
  TQOBTry* const savedReraise = C.CurReraise;
  C.CurReraise = T;
  TQOBLabel* exitLabel = code.CreateLabel();
  TQOBLabel* breakLabel = inLoop ? code.CreateLabel() : nullptr;
  TQOBLabel* continueLabel = inLoop ? code.CreateLabel() : nullptr;
  C.CurEBC = {exitLabel, breakLabel, continueLabel};
  if (FExceptionBlock) {
    EmitHandlers(C, T, endLabel);
  } else {
    FExceptStmtList.EmitByteCode(C);
    code.Emit(icExceptDone);
    code.Emit(icJump, endLabel);
  }
  C.CurEBC = saved;
  C.CurReraise = savedReraise;
  code.EndExcHdrCode(T);

  if (inLoop) {
    code.BindLabel(breakLabel);
    code.Emit(icExceptDone);
    code.Emit(icJump, saved.BreakL);
    code.BindLabel(continueLabel);
    code.Emit(icExceptDone);
    code.Emit(icJump, saved.ContinueL);
  }
  code.BindLabel(exitLabel);
  code.Emit(icExceptDone);
  JumpToSaved(code, saved.ExitL);
  code.BindLabel(endLabel);
}

void TQOBTryStmt::EmitHandlers(TQOBContext& C, TQOBTry* T, TQOBLabel* Lend) {
  TQOBByteCode& code = *C.Code;
  std::vector<TQOBLabel*> handlerLabels;
  for (auto& handler : FExceptionBlock->FBlocks) {
    handlerLabels.push_back(code.CreateLabel());
    handler->FExpr->EmitByteCode(C);
    code.Emit(icExceptJmpIfIs, code.AddExcJmp(T, handlerLabels.back()));
  }
  TQOBLabel* noneLabel = code.CreateLabel();
  code.Emit(icJump, noneLabel);

  for (size_t i = 0; i < FExceptionBlock->FBlocks.size(); ++i) {
    TQOBExceptionSubBlock& handler = *FExceptionBlock->FBlocks[i];
    TQOBSourcePosScope pos(code, handler.FSourcePos);
    if (!handler.HasVariable()) {
      code.BindLabel(handlerLabels[i]);
      handler.FStmt->EmitByteCode(C);
    } else {
      const int32_t slot = code.AddLocalVar();
      TQOBAbstractNamespace* const previous = C.CurNamespace;
      handler.FNamespace = std::make_unique<TQOBExcSubBlockNamespace>(previous, handler.FName,
                                                                      handler.FStrName, slot);
      C.CurNamespace = handler.FNamespace.get();
      code.BindLabel(handlerLabels[i]);
      code.Emit(icSetNamespace, C.CurNamespace);
      code.Emit(icExceptToVar, TQOBInstrData(T->FExceptionVar));
      code.Emit(icAssignLocalVar, TQOBInstrData(slot));
      handler.FStmt->EmitByteCode(C);
      code.Emit(icSetNamespace, previous);
      C.CurNamespace = previous;
    }
    code.Emit(icExceptDone);
    code.Emit(icJump, Lend);
  }

  code.BindLabel(noneLabel);
  if (FExceptionBlock->FHasElse) {
    TQOBSourcePosScope pos(code, FExceptionBlock->FElseSourcePos);
    FExceptionBlock->FElseStmtList.EmitByteCode(C);
    code.Emit(icExceptDone);
    code.Emit(icJump, Lend);
  } else {
    // An exception that no handler takes goes on.
    code.Emit(isReraise, TQOBInstrData(T->FExceptionVar));
  }
}

void TQOBTryStmt::EmitTryFinally(TQOBContext& C) {
  TQOBByteCode& code = *C.Code;
  if (FFinallyStmtList.IsEmpty()) {
    FTryStmtList.EmitByteCode(C);
    return;
  }
  const TQOBEBC saved = C.CurEBC;
  const bool inLoop = saved.BreakL != nullptr;

  TQOBTry* T = code.BeginProtectedBlock();
  T->FFinallyLabel = code.CreateLabel();
  T->FHandlerLabel = code.CreateLabel();
  T->FFinallyRetVar = code.AddLocalVar();
  // Where a finally call returns: after normal completion, Exit, Break, Continue.
  TQOBLabel* afterNormal = code.CreateLabel();
  TQOBLabel* afterExit = code.CreateLabel();
  TQOBLabel* afterBreak = inLoop ? code.CreateLabel() : nullptr;
  TQOBLabel* afterContinue = inLoop ? code.CreateLabel() : nullptr;
  T->FExceptionVar = code.AddLocalVarArray(2);

  TQOBLabel* endLabel = code.CreateLabel();
  TQOBLabel* exitLabel = code.CreateLabel();
  TQOBLabel* breakLabel = inLoop ? code.CreateLabel() : nullptr;
  TQOBLabel* continueLabel = inLoop ? code.CreateLabel() : nullptr;
  C.CurEBC = {exitLabel, breakLabel, continueLabel};
  FTryStmtList.EmitByteCode(C);
  code.EndProtectedBlock();
  code.Emit(icCallFinally, T);
  code.BindLabel(afterNormal);
  code.Emit(icJump, endLabel);

  // Exit, Break or Continue inside the finally part fail at run time.
  C.CurEBC = saved;
  code.BeginExcHdrCode(T);
  TQOBLabel* fromFinally = code.CreateLabel();
  C.CurEBC = {fromFinally, fromFinally, fromFinally};
  code.BindLabel(T->FFinallyLabel);
  FFinallyStmtList.EmitByteCode(C);
  code.Emit(icFinallyRet, T);
  C.CurEBC = saved;
  code.EndExcHdrCode(T);

  if (inLoop) {
    code.BindLabel(breakLabel);
    code.Emit(icCallFinally, T);
    code.BindLabel(afterBreak);
    code.Emit(icJump, saved.BreakL);
    code.BindLabel(continueLabel);
    code.Emit(icCallFinally, T);
    code.BindLabel(afterContinue);
    code.Emit(icJump, saved.ContinueL);
  }
  code.BindLabel(exitLabel);
  code.Emit(icCallFinally, T);
  code.BindLabel(afterExit);
  JumpToSaved(code, saved.ExitL);

  code.BindLabel(fromFinally);
  code.Emit(icRaiseEBCFromFinally);

  code.BindLabel(T->FHandlerLabel);
  code.Emit(icSetNamespace, C.CurNamespace);
  code.Emit(icCallFinally, T);
  code.Emit(isReraise, TQOBInstrData(T->FExceptionVar));

  code.BindLabel(endLabel);
  for (TQOBLabel* ret : {afterNormal, afterExit, afterBreak, afterContinue})
    if (ret) T->AddKnownFinallyRet(ret);
}

}  // namespace qob
