// Name scopes and the record a name search answers. Compile-time searches
// bind locals, parameters and the function result; everything else is bound
// at run time by Find on behalf of the running thread.
#pragma once

#include <cstdint>
#include <functional>

#include "compiler/keyed_tables.h"
#include "ole/variant.h"
#include "ole/widestring.h"

namespace qob {

class TQOBGlobalObject;
class TQOBThread;  // the running thread's record, defined by the virtual machine

enum TQOBParamKind : uint16_t {
  pkSimple,  // value parameter
  pkConst,   // constant parameter
  pkByRef,   // by-reference parameter
};

// A parameter: its 0-based position in the argument block and its kind.
struct TQOBParamInfo {
  uint16_t Index;
  uint16_t Kind;  // a TQOBParamKind

  TQOBParamKind ParamKind() const noexcept { return static_cast<TQOBParamKind>(Kind); }
};
static_assert(sizeof(TQOBParamInfo) == 4);

enum TQOBNameSearchResKind : uint8_t {
  srNotFound,
  srExternal,        // a published host object
  srExternalMember,  // a member of a host object published with its members
  srUnit,            // reserved; no namespace produces it
  srGlobalVar,
  srGlobalConst,
  srProcedure,
  srLocalVar,
  srLocalConst,
  srParam,
  srResult,  // the result of the current function
  srExit,
  srBreak,
  srContinue,
  srIntrinsic,
  srDebugVar,  // a variable resolved by the debugger's namespace
};

// What a search found. ObjKind selects which member of the union is valid:
// NamedObject for the object kinds (with DispId for srExternalMember),
// LocalVarIndex, LocalConst, ParamInfo or DebugVar for the others.
struct TQOBNameSearchRes {
  TQOBNameSearchResKind ObjKind = srNotFound;
  int32_t DispId = 0;
  union {
    TQOBGlobalObject* NamedObject = nullptr;
    int32_t LocalVarIndex;
    const Variant* LocalConst;
    TQOBParamInfo ParamInfo;
    Variant* DebugVar;
  };

  static TQOBNameSearchRes NotFound() noexcept { return {}; }
  static TQOBNameSearchRes Object(TQOBNameSearchResKind AKind, TQOBGlobalObject* AObject,
                                  int32_t ADispId = 0) noexcept {
    TQOBNameSearchRes r;
    r.ObjKind = AKind;
    r.DispId = ADispId;
    r.NamedObject = AObject;
    return r;
  }
  // The search result for a global object: its kind follows the object's type.
  static TQOBNameSearchRes OfGlobal(TQOBGlobalObject* AObject) noexcept;
  static TQOBNameSearchRes LocalVar(int32_t AIndex) noexcept {
    TQOBNameSearchRes r;
    r.ObjKind = srLocalVar;
    r.LocalVarIndex = AIndex;
    return r;
  }
  static TQOBNameSearchRes LocalConstant(const Variant* AValue) noexcept {
    TQOBNameSearchRes r;
    r.ObjKind = srLocalConst;
    r.LocalConst = AValue;
    return r;
  }
  static TQOBNameSearchRes Param(uint16_t AIndex, TQOBParamKind AKind) noexcept {
    TQOBNameSearchRes r;
    r.ObjKind = srParam;
    r.ParamInfo = {AIndex, static_cast<uint16_t>(AKind)};
    return r;
  }
  static TQOBNameSearchRes Result() noexcept {
    TQOBNameSearchRes r;
    r.ObjKind = srResult;
    return r;
  }
  static TQOBNameSearchRes DebugVariable(Variant* AValue) noexcept {
    TQOBNameSearchRes r;
    r.ObjKind = srDebugVar;
    r.DebugVar = AValue;
    return r;
  }
};

// Reports one variable of a scope to a debugger.
using TQOBNamespaceEnumVarsProc =
    std::function<void(const WideString& ADisplayName, const TQOBNameSearchRes& ASRes)>;

// A name scope: the machine's global scope, the debugger's scope and the
// procedure, block and except-clause scopes of the compilers.
class TQOBAbstractNamespace {
 public:
  explicit TQOBAbstractNamespace(TQOBAbstractNamespace* AParent) noexcept : FParent(AParent) {}
  TQOBAbstractNamespace(const TQOBAbstractNamespace&) = delete;
  TQOBAbstractNamespace& operator=(const TQOBAbstractNamespace&) = delete;
  virtual ~TQOBAbstractNamespace() = default;

  TQOBAbstractNamespace* Parent() const noexcept { return FParent; }

  // Run-time search on behalf of the running thread.
  virtual TQOBNameSearchRes Find(TQOBThread* AThread, TQOBNameId AName,
                                 const WideString& AStrName) = 0;
  // Every variable the scope shows to a debugger; with ALocalsOnly a global
  // scope shows nothing.
  virtual void EnumDebugVars(bool ALocalsOnly, const TQOBNamespaceEnumVarsProc& AProc) = 0;
  // Compile-time search; the base answers srNotFound.
  virtual TQOBNameSearchRes CompileTimeFind(TQOBNameId AName);

 protected:
  TQOBAbstractNamespace* FParent;
};

}  // namespace qob
