// Declarations of the Pascal-like language: procedures with their locals,
// global initialisers, and the scopes the language adds for procedure locals
// and exception-handler variables.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "compiler/global_objects.h"
#include "compiler/keyed_tables.h"
#include "compiler/language.h"
#include "compiler/name_search.h"
#include "pascal/pas_ast_expr.h"
#include "pascal/pas_ast_stmt.h"

namespace qob {

class TQOBProcedureDecl;

enum TQOBProcLocalType : uint8_t { ltVar, ltConst, ltResult, ltParam };

class TQOBProcLocal : public TQOBNamedItem {
 public:
  TQOBProcLocal(TQOBNameId AName, WideString AStrName, TQOBProcLocalType ALocalType)
      : TQOBNamedItem(AName), FStrName(std::move(AStrName)), FLocalType(ALocalType) {}

  WideString FStrName;
  TQOBProcLocalType FLocalType;
};

class TQOBParamDecl final : public TQOBProcLocal {
 public:
  TQOBParamDecl(TQOBNameId AName, WideString AStrName, TQOBParamKind AKind)
      : TQOBProcLocal(AName, std::move(AStrName), ltParam),
        FParamInfo{0, static_cast<uint16_t>(AKind)} {}

  TQOBParamInfo FParamInfo;  // Index is set when the parameter is registered
};

class TQOBLocalVarDecl final : public TQOBProcLocal {
 public:
  TQOBLocalVarDecl(TQOBNameId AName, WideString AStrName)
      : TQOBProcLocal(AName, std::move(AStrName), ltVar) {}

  TQOBExpressionPtr FExpr;  // initial value or null
  int32_t FIndex = -1;      // local slot, set at code generation
};

class TQOBLocalConstDecl final : public TQOBProcLocal {
 public:
  TQOBLocalConstDecl(TQOBNameId AName, WideString AStrName)
      : TQOBProcLocal(AName, std::move(AStrName), ltConst) {}

  TQOBExpressionPtr FExpr;
  // The constant's value, computed from FExpr when it is declared; every
  // activation and the debugger read it here.
  Variant FValue;
};

class TQOBLocalResultDecl final : public TQOBProcLocal {
 public:
  TQOBLocalResultDecl(TQOBNameId AName, WideString AStrName)
      : TQOBProcLocal(AName, std::move(AStrName), ltResult) {}
};

// The scope of a procedure's parameters, locals and result.
class TQOBProcLocalNamespace final : public TQOBAbstractNamespace {
 public:
  TQOBProcLocalNamespace(TQOBAbstractNamespace* AParent, TQOBProcedureDecl* AProcedure)
      : TQOBAbstractNamespace(AParent), FProcedure(AProcedure) {}

  TQOBNameSearchRes Find(TQOBThread* AThread, TQOBNameId AName,
                         const WideString& AStrName) override;
  void EnumDebugVars(bool ALocalsOnly, const TQOBNamespaceEnumVarsProc& AProc) override;
  TQOBNameSearchRes CompileTimeFind(TQOBNameId AName) override;

  TQOBProcedureDecl* FProcedure;

 private:
  // The answer of the procedure's own locals; srNotFound when it has none of that name.
  TQOBNameSearchRes FindLocal(TQOBNameId AName) const;
};

// The scope of an `on E: Class do` handler: only its variable.
class TQOBExcSubBlockNamespace final : public TQOBAbstractNamespace {
 public:
  TQOBExcSubBlockNamespace(TQOBAbstractNamespace* AParent, TQOBNameId AVarName,
                           WideString AVarSName, int32_t AVarIndex)
      : TQOBAbstractNamespace(AParent),
        FVarName(AVarName),
        FVarSName(std::move(AVarSName)),
        FVarIndex(AVarIndex) {}

  TQOBNameSearchRes Find(TQOBThread* AThread, TQOBNameId AName,
                         const WideString& AStrName) override;
  void EnumDebugVars(bool ALocalsOnly, const TQOBNamespaceEnumVarsProc& AProc) override;
  TQOBNameSearchRes CompileTimeFind(TQOBNameId AName) override;

  TQOBNameId FVarName;
  WideString FVarSName;
  int32_t FVarIndex;
};

enum TQOBProcKind : uint8_t { pkFunction, pkProcedure };

class TQOBProcedureDecl final : public TQOBProcObject {
 public:
  TQOBProcedureDecl(TQOBNameId AName, WideString AStrName, TQOBProcKind AProcKind,
                    int32_t ASourcePos);
  ~TQOBProcedureDecl() override;

  // Registers a local in the procedure's one scope; false when the name is
  // taken (the local is then freed).
  bool AddLocal(std::unique_ptr<TQOBProcLocal> ALocal);
  TQOBProcLocal* FindLocal(TQOBNameId AName) const {
    return static_cast<TQOBProcLocal*>(FLocalMap.Find(AName));
  }

  void EmitByteCode(TQOBAbstractNamespace* AGlobalNamespace) override;

  TQOBProcKind FProcKind;
  std::unique_ptr<TQOBProcLocalNamespace> FLocalNamespace;  // made at code generation
  TQOBNameHashTable FLocalMap{true};                        // every local, owned
  std::vector<TQOBParamDecl*> FParams;
  std::vector<TQOBLocalVarDecl*> FLocalVars;
  std::vector<TQOBLocalConstDecl*> FLocalConsts;
  TQOBLocalResultDecl* FLocalResult = nullptr;
  TQOBStmtList FStmtList;
  int32_t FSourcePos;
  int32_t FEndSourcePos = 0;
};

// `var v = expr;` at script level: runs with the global code.
class TQOBGlobalVarIniter final : public IQOBEmitable {
 public:
  TQOBGlobalVarIniter(TQOBVarObject* AVar, TQOBExpressionPtr AIniter)
      : FVar(AVar), FIniter(std::move(AIniter)) {}
  void Emit(TQOBAbstractNamespace* ANamespace, TQOBByteCode* AByteCode) override;

  TQOBVarObject* FVar;  // owned by the machine's globals
  TQOBExpressionPtr FIniter;
};

// `const c = expr;` at script level: runs with the global code.
class TQOBGlobalConstIniter final : public IQOBEmitable {
 public:
  TQOBGlobalConstIniter(TQOBConstObject* AConst, TQOBExpressionPtr AIniter)
      : FConst(AConst), FIniter(std::move(AIniter)) {}
  void Emit(TQOBAbstractNamespace* ANamespace, TQOBByteCode* AByteCode) override;

  TQOBConstObject* FConst;  // owned by the machine's globals
  TQOBExpressionPtr FIniter;
};

}  // namespace qob
