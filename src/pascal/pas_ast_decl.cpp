#include "pascal/pas_ast_decl.h"

namespace qob {

// --- Procedures ----------------------------------------------------------------

TQOBProcedureDecl::TQOBProcedureDecl(TQOBNameId AName, WideString AStrName, TQOBProcKind AProcKind,
                                     int32_t ASourcePos)
    : TQOBProcObject(AName, std::move(AStrName)), FProcKind(AProcKind), FSourcePos(ASourcePos) {
  FResMask = AProcKind == pkFunction ? -1 : 0;
}

TQOBProcedureDecl::~TQOBProcedureDecl() = default;

bool TQOBProcedureDecl::AddLocal(std::unique_ptr<TQOBProcLocal> ALocal) {
  TQOBProcLocal* local = ALocal.get();
  if (!FLocalMap.Add(local)) return false;
  ALocal.release();  // the map owns it now
  switch (local->FLocalType) {
    case ltParam: {
      auto* param = static_cast<TQOBParamDecl*>(local);
      param->FParamInfo.Index = static_cast<uint16_t>(FParams.size());
      FParams.push_back(param);
      FParamCount = static_cast<int32_t>(FParams.size());
      break;
    }
    case ltVar:
      FLocalVars.push_back(static_cast<TQOBLocalVarDecl*>(local));
      break;
    case ltConst:
      FLocalConsts.push_back(static_cast<TQOBLocalConstDecl*>(local));
      break;
    case ltResult:
      FLocalResult = static_cast<TQOBLocalResultDecl*>(local);
      break;
  }
  return true;
}

void TQOBProcedureDecl::EmitByteCode(TQOBAbstractNamespace* AGlobalNamespace) {
  FLocalNamespace = std::make_unique<TQOBProcLocalNamespace>(AGlobalNamespace, this);
  TQOBContext C;
  C.Code = FByteCode.get();
  C.CurNamespace = FLocalNamespace.get();
  TQOBByteCode& code = *C.Code;
  code.BeginEmit(FStrName, FLocalNamespace.get(), FSourcePos);
  for (TQOBLocalVarDecl* var : FLocalVars) var->FIndex = code.AddLocalVar();
  for (TQOBLocalVarDecl* var : FLocalVars) {
    if (!var->FExpr) continue;
    var->FExpr->EmitByteCode(C);
    code.Emit(icAssignLocalVar, TQOBInstrData(var->FIndex));
  }
  FStmtList.EmitByteCode(C);
  {
    TQOBSourcePosScope pos(code, FEndSourcePos);
    code.SetNextInstrBreakable();
    code.Emit(icRet);
  }
  code.EndEmit();
}

// --- Procedure scope -------------------------------------------------------------

TQOBNameSearchRes TQOBProcLocalNamespace::FindLocal(TQOBNameId AName) const {
  auto* local = static_cast<TQOBProcLocal*>(FProcedure->FLocalMap.Find(AName));
  if (!local) return TQOBNameSearchRes::NotFound();
  switch (local->FLocalType) {
    case ltVar:
      return TQOBNameSearchRes::LocalVar(static_cast<TQOBLocalVarDecl*>(local)->FIndex);
    case ltConst:
      return TQOBNameSearchRes::LocalConstant(&static_cast<TQOBLocalConstDecl*>(local)->FValue);
    case ltResult:
      return TQOBNameSearchRes::Result();
    case ltParam: {
      const TQOBParamInfo info = static_cast<TQOBParamDecl*>(local)->FParamInfo;
      return TQOBNameSearchRes::Param(info.Index, info.ParamKind());
    }
  }
  return TQOBNameSearchRes::NotFound();
}

TQOBNameSearchRes TQOBProcLocalNamespace::CompileTimeFind(TQOBNameId AName) {
  TQOBNameSearchRes found = FindLocal(AName);
  if (found.ObjKind == srNotFound && FParent) return FParent->CompileTimeFind(AName);
  return found;
}

TQOBNameSearchRes TQOBProcLocalNamespace::Find(TQOBThread* AThread, TQOBNameId AName,
                                               const WideString& AStrName) {
  TQOBNameSearchRes found = FindLocal(AName);
  if (found.ObjKind == srNotFound && FParent) return FParent->Find(AThread, AName, AStrName);
  return found;
}

void TQOBProcLocalNamespace::EnumDebugVars(bool ALocalsOnly,
                                           const TQOBNamespaceEnumVarsProc& AProc) {
  const TQOBProcedureDecl& proc = *FProcedure;
  for (const TQOBParamDecl* param : proc.FParams)
    AProc(param->FStrName,
          TQOBNameSearchRes::Param(param->FParamInfo.Index, param->FParamInfo.ParamKind()));
  for (const TQOBLocalConstDecl* constant : proc.FLocalConsts)
    AProc(constant->FStrName, TQOBNameSearchRes::LocalConstant(&constant->FValue));
  for (const TQOBLocalVarDecl* var : proc.FLocalVars)
    AProc(var->FStrName, TQOBNameSearchRes::LocalVar(var->FIndex));
  if (proc.FLocalResult) AProc(WideString(u"Result"), TQOBNameSearchRes::Result());
  if (FParent) FParent->EnumDebugVars(ALocalsOnly, AProc);
}

// --- Handler scope -----------------------------------------------------------------

TQOBNameSearchRes TQOBExcSubBlockNamespace::CompileTimeFind(TQOBNameId AName) {
  if (AName == FVarName) return TQOBNameSearchRes::LocalVar(FVarIndex);
  return FParent ? FParent->CompileTimeFind(AName) : TQOBNameSearchRes::NotFound();
}

TQOBNameSearchRes TQOBExcSubBlockNamespace::Find(TQOBThread* AThread, TQOBNameId AName,
                                                 const WideString& AStrName) {
  if (AName == FVarName) return TQOBNameSearchRes::LocalVar(FVarIndex);
  return FParent ? FParent->Find(AThread, AName, AStrName) : TQOBNameSearchRes::NotFound();
}

void TQOBExcSubBlockNamespace::EnumDebugVars(bool ALocalsOnly,
                                             const TQOBNamespaceEnumVarsProc& AProc) {
  if (FParent) FParent->EnumDebugVars(ALocalsOnly, AProc);
  AProc(FVarSName, TQOBNameSearchRes::LocalVar(FVarIndex));
}

// --- Global initialisers -------------------------------------------------------------

void TQOBGlobalVarIniter::Emit(TQOBAbstractNamespace* ANamespace, TQOBByteCode* AByteCode) {
  TQOBContext C;
  C.Code = AByteCode;
  C.CurNamespace = ANamespace;
  TQOBSourcePosScope pos(*AByteCode, FIniter->FSourcePos);
  AByteCode->SetNextInstrBreakable();
  FIniter->EmitByteCode(C);
  AByteCode->Emit(icAssignGlobalVar, static_cast<TQOBGlobalValuedObject*>(FVar));
}

void TQOBGlobalConstIniter::Emit(TQOBAbstractNamespace* ANamespace, TQOBByteCode* AByteCode) {
  TQOBContext C;
  C.Code = AByteCode;
  C.CurNamespace = ANamespace;
  TQOBSourcePosScope pos(*AByteCode, FIniter->FSourcePos);
  AByteCode->SetNextInstrBreakable();
  FIniter->EmitByteCode(C);
  AByteCode->Emit(icAssignGlobalConst, static_cast<TQOBGlobalValuedObject*>(FConst));
}

}  // namespace qob
