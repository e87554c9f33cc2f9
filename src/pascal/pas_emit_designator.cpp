// Byte code of designators: names bound at compile time become local
// accesses, everything else becomes a call record bound at run time.
#include <vector>

#include "pascal/pas_ast_expr.h"

namespace qob {
namespace {

struct TItemInstr {
  TQOBInstrCode Code;
  TQOBInstrData Data;
};

// The local access that replaces a call of the first item, when the name is
// a local variable, a parameter or the function result.
bool LocalAccess(const TQOBNameSearchRes& AFound, TQOBInstrCode ACallCode, TItemInstr& AInstr) {
  const int mode = ACallCode == icGlobCall ? 0 : ACallCode == icGlobCallRef ? 1 : 2;
  static constexpr TQOBInstrCode kLocalVar[] = {icPushLocalVar, icPushLocalVarRef,
                                                icAssignLocalVar};
  static constexpr TQOBInstrCode kParam[] = {icPushArg, icPushArgRef, icAssignArg};
  static constexpr TQOBInstrCode kResult[] = {icPushResult, icPushResultRef, icAssignResult};
  switch (AFound.ObjKind) {
    case srLocalVar:
      AInstr = {kLocalVar[mode], TQOBInstrData(AFound.LocalVarIndex)};
      return true;
    case srParam:
      AInstr = {kParam[mode], TQOBInstrData(AFound.ParamInfo)};
      return true;
    case srResult:
      AInstr = {kResult[mode], TQOBInstrData()};
      return true;
    default:
      return false;
  }
}

}  // namespace

void TQOBDesignatorExpr::DoEmitByteCode(TQOBContext& C, TQOBExprEmitRes AEmitRes, bool&,
                                        TQOBLabel*) {
  if (AEmitRes == erNoRes) FItems.back()->FIsResultUsed = false;
  EmitItems(C, TMode::Value, nullptr);
}

void TQOBDesignatorExpr::DoEmitRefByteCode(TQOBContext& C) {
  EmitItems(C, TMode::Reference, nullptr);
}

void TQOBDesignatorExpr::EmitAssignment(TQOBContext& C, TQOBExpression& ARightExpr) {
  EmitItems(C, TMode::Assignment, &ARightExpr);
}

void TQOBDesignatorExpr::EmitItems(TQOBContext& C, TMode AMode, TQOBExpression* ARightExpr) {
  TQOBByteCode& code = *C.Code;
  const size_t count = FItems.size();
  std::vector<TItemInstr> instrs(count);
  int32_t resultSlots = 0;
  for (size_t i = 0; i < count; ++i) {
    TQOBDesignatorItem& item = *FItems[i];
    const bool last = i + 1 == count;
    const bool isTarget = last && AMode == TMode::Assignment;
    TQOBInstrCode callCode;
    if (isTarget)
      callCode = i == 0           ? icAssignGlobCall
                 : item.IsNamed() ? icAssignMemberCall
                                  : icAssignUnnamedCall;
    else if (last && AMode == TMode::Reference)
      callCode = i == 0 ? icGlobCallRef : item.IsNamed() ? icMemberCallRef : icUnnamedCallRef;
    else
      callCode = i == 0 ? icGlobCall : item.IsNamed() ? icMemberCall : icUnnamedCall;

    if (i == 0 && item.FBracketType == bkNon &&
        LocalAccess(C.CurNamespace->CompileTimeFind(item.FName), callCode, instrs[i]))
      continue;

    TQOBCall* call =
        code.AddCall(item.FName, item.FStrName, item.FBracketType,
                     static_cast<int32_t>(item.FArgs.size()), i > 0, isTarget, item.FIsResultUsed);
    call->FExitLabel = C.CurEBC.ExitL;
    call->FBreakLabel = C.CurEBC.BreakL;
    call->FContinueLabel = C.CurEBC.ContinueL;
    instrs[i] = {callCode, TQOBInstrData(call)};
    if (!isTarget) ++resultSlots;
  }
  if (resultSlots > 0) code.Emit(icPush, TQOBInstrData(resultSlots));
  for (size_t i = 0; i < count; ++i) {
    // A designator argument passes a reference, so the callee may write to it.
    for (TQOBExpressionPtr& arg : FItems[i]->FArgs) arg->EmitRefByteCode(C);
    if (ARightExpr && i + 1 == count) ARightExpr->EmitByteCode(C);
    code.Emit(instrs[i].Code, instrs[i].Data);
  }
}

}  // namespace qob
