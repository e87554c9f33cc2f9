// Byte code of statements other than try statements.
#include "pascal/pas_ast_decl.h"
#include "pascal/pas_ast_stmt.h"

namespace qob {

void TQOBStatement::Emit(TQOBAbstractNamespace* ANamespace, TQOBByteCode* AByteCode) {
  TQOBContext C;
  C.Code = AByteCode;
  C.CurNamespace = ANamespace;
  EmitByteCode(C);
}

void TQOBStatement::EmitByteCode(TQOBContext& C) {
  TQOBSourcePosScope pos(*C.Code, FSourcePos);
  C.Code->SetNextInstrBreakable();
  DoEmitByteCode(C);
}

void TQOBStmtList::EmitByteCode(TQOBContext& C) {
  for (TQOBStatementPtr& stmt : FItems) stmt->EmitByteCode(C);
}

void TQOBPasEmptyStmt::DoEmitByteCode(TQOBContext& C) {
  C.Code->ManualResetNextInstrBreakable();
}

void TQOBCompound::DoEmitByteCode(TQOBContext& C) {
  FStmtList.EmitByteCode(C);
}

void TQOBExpressionStmt::DoEmitByteCode(TQOBContext& C) {
  FExpr->EmitByteCode(C, erNoRes, nullptr);
}

void TQOBAssignmentStmt::DoEmitByteCode(TQOBContext& C) {
  FLeftExpr->EmitAssignment(C, *FRightExpr);
}

void TQOBIfStmt::DoEmitByteCode(TQOBContext& C) {
  TQOBByteCode& code = *C.Code;
  TQOBLabel* elseLabel = code.CreateLabel();
  FIfExpr->EmitByteCode(C, erPopJmpIfFalse, elseLabel);
  FThenStmt->EmitByteCode(C);
  if (FElseStmt) {
    TQOBLabel* endLabel = code.CreateLabel();
    code.Emit(icJump, endLabel);
    code.BindLabel(elseLabel);
    FElseStmt->EmitByteCode(C);
    code.BindLabel(endLabel);
  } else {
    code.BindLabel(elseLabel);
  }
}

void TQOBWhileStmt::DoEmitByteCode(TQOBContext& C) {
  TQOBByteCode& code = *C.Code;
  TQOBLabel* body = code.CreateLabel();
  TQOBLabel* cond = code.CreateLabel();
  const TQOBEBC saved = C.CurEBC;
  C.CurEBC.BreakL = code.CreateLabel();
  C.CurEBC.ContinueL = cond;
  code.Emit(icJump, cond);
  code.BindLabel(body);
  FStmt->EmitByteCode(C);
  code.BindLabel(cond);
  code.SetNextInstrBreakable();
  FWhileExpr->EmitByteCode(C, erPopJmpIfTrue, body);
  code.BindLabel(C.CurEBC.BreakL);
  C.CurEBC = saved;
}

void TQOBRepeatStmt::DoEmitByteCode(TQOBContext& C) {
  TQOBByteCode& code = *C.Code;
  TQOBLabel* top = code.CreateLabel();
  code.BindLabel(top);
  const TQOBEBC saved = C.CurEBC;
  C.CurEBC.BreakL = code.CreateLabel();
  C.CurEBC.ContinueL = code.CreateLabel();
  FStmtList.EmitByteCode(C);
  code.BindLabel(C.CurEBC.ContinueL);
  code.SetNextInstrBreakable();
  FRepeatExpr->EmitByteCode(C, erPopJmpIfFalse, top);
  code.BindLabel(C.CurEBC.BreakL);
  C.CurEBC = saved;
}

void TQOBForStmt::DoEmitByteCode(TQOBContext& C) {
  TQOBByteCode& code = *C.Code;
  TQOBLabel* body = code.CreateLabel();
  TQOBLabel* cond = code.CreateLabel();
  const TQOBEBC saved = C.CurEBC;
  C.CurEBC.BreakL = code.CreateLabel();
  C.CurEBC.ContinueL = code.CreateLabel();

  const TQOBNameSearchRes var = C.CurNamespace->CompileTimeFind(FVarExpr->FItems[0]->FName);
  TQOBFor* loop;
  if (var.ObjKind == srLocalVar) {
    loop = code.AddFor(body, var.LocalVarIndex, false);
    FFromExpr->EmitByteCode(C);
    code.Emit(icForInitLocal, loop);
  } else {
    loop = code.AddFor(body, false);
    FVarExpr->EmitRefByteCode(C);
    FFromExpr->EmitByteCode(C);
    code.Emit(icForInitLValue, loop);
  }
  // The end value is computed once, before the first iteration.
  FToExpr->EmitByteCode(C);
  code.Emit(icAssignLocalVar, TQOBInstrData(loop->FToVar));
  code.Emit(icJump, cond);
  code.BindLabel(body);
  FStmt->EmitByteCode(C);
  code.BindLabel(C.CurEBC.ContinueL);
  code.Emit(FCounterKind == ckTo ? icForInc : icForDec, loop);
  code.BindLabel(cond);
  code.SetNextInstrBreakable();
  code.Emit(FCounterKind == ckTo ? icForJmpIfLE : icForJmpIfGE, loop);
  code.BindLabel(C.CurEBC.BreakL);
  C.CurEBC = saved;
}

void TQOBCaseStmt::DoEmitByteCode(TQOBContext& C) {
  TQOBByteCode& code = *C.Code;
  TQOBLabel* endLabel = code.CreateLabel();
  TQOBLabel* elseLabel = code.CreateLabel();
  std::vector<TQOBLabel*> selectorLabels;
  for (size_t i = 0; i < FSelectors.size(); ++i) selectorLabels.push_back(code.CreateLabel());

  FCaseExpr->EmitByteCode(C);
  for (size_t i = 0; i < FSelectors.size(); ++i) {
    for (TQOBCaseLabel& label : FSelectors[i].FLabels) {
      // A matching test drops the case value before it jumps.
      TQOBSourcePosScope pos(code, label.FSourcePos);
      label.FFirstExpr->EmitByteCode(C);
      if (label.FSecondExpr) {
        label.FSecondExpr->EmitByteCode(C);
        code.Emit(icCaseJmpIfInRange, selectorLabels[i]);
      } else {
        code.Emit(icCaseJmpIfEqual, selectorLabels[i]);
      }
    }
  }
  code.Emit(icPop);  // no label matched
  code.Emit(icJump, elseLabel);
  for (size_t i = 0; i < FSelectors.size(); ++i) {
    code.BindLabel(selectorLabels[i]);
    FSelectors[i].FStmt->EmitByteCode(C);
    code.Emit(icJump, endLabel);
  }
  code.BindLabel(elseLabel);
  FElseStmts.EmitByteCode(C);
  code.BindLabel(endLabel);
}

void TQOBRaiseStmt::DoEmitByteCode(TQOBContext& C) {
  if (FExpr) {
    FExpr->EmitByteCode(C);
    C.Code->Emit(icRaise);
  } else {
    C.Code->Emit(isReraise, TQOBInstrData(C.CurReraise->FExceptionVar));
  }
}

}  // namespace qob
