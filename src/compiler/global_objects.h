// The script-global things: variables, constants and procedures of a script,
// the Exit/Break/Continue objects and built-ins of a language, and host
// objects published by name.
#pragma once

#include <cstdint>
#include <memory>

#include "compiler/keyed_tables.h"
#include "compiler/name_search.h"
#include "ole/com.h"
#include "ole/variant.h"
#include "ole/widestring.h"
#include "vm/bytecode.h"

namespace qob {

class TQOBCodeObject;  // a module's code object, defined by the virtual machine

enum TQOBGlobalObjType : uint8_t {
  gtVar,
  gtConst,
  gtProcedure,
  gtExit,
  gtBreak,
  gtContinue,
  gtIntrinsic,
  gtExtern,
};

// The search kind a global object of the given type is found as.
inline TQOBNameSearchResKind QOBSearchKindOf(TQOBGlobalObjType AType) noexcept {
  switch (AType) {
    case gtVar:
      return srGlobalVar;
    case gtConst:
      return srGlobalConst;
    case gtProcedure:
      return srProcedure;
    case gtExit:
      return srExit;
    case gtBreak:
      return srBreak;
    case gtContinue:
      return srContinue;
    case gtIntrinsic:
      return srIntrinsic;
    case gtExtern:
      return srExternal;
  }
  return srNotFound;
}

// The virtual machine as built-ins and compilers see it.
class TQOBVMBase {
 public:
  TQOBVMBase() = default;
  TQOBVMBase(const TQOBVMBase&) = delete;
  TQOBVMBase& operator=(const TQOBVMBase&) = delete;
  virtual ~TQOBVMBase() = default;
  // An event-handler object for the named script procedure.
  virtual void MakeEventHandler(const WideString& AProcName, Variant& AResult) = 0;
};

class TQOBGlobalObject : public TQOBNamedItem {
 public:
  // The type is fixed at construction by each concrete class.
  TQOBGlobalObjType GetGlobalObjType() const noexcept { return FGlobalObjType; }
  const WideString& StrName() const noexcept { return FStrName; }

  const TQOBGlobalObjType FGlobalObjType;
  WideString FStrName;  // the name as written in its declaration

 protected:
  TQOBGlobalObject(TQOBGlobalObjType AType, TQOBNameId AName, WideString AStrName)
      : TQOBNamedItem(AName), FGlobalObjType(AType), FStrName(std::move(AStrName)) {}
};

class TQOBExitObject final : public TQOBGlobalObject {
 public:
  TQOBExitObject(TQOBNameId AName, WideString AStrName)
      : TQOBGlobalObject(gtExit, AName, std::move(AStrName)) {}
};

class TQOBBreakObject final : public TQOBGlobalObject {
 public:
  TQOBBreakObject(TQOBNameId AName, WideString AStrName)
      : TQOBGlobalObject(gtBreak, AName, std::move(AStrName)) {}
};

class TQOBContinueObject final : public TQOBGlobalObject {
 public:
  TQOBContinueObject(TQOBNameId AName, WideString AStrName)
      : TQOBGlobalObject(gtContinue, AName, std::move(AStrName)) {}
};

// A built-in routine of a language.
class TIntrinsic : public TQOBGlobalObject {
 public:
  TIntrinsic(TQOBNameId AName, WideString AStrName)
      : TQOBGlobalObject(gtIntrinsic, AName, std::move(AStrName)) {}
  // ACall: the call record it is invoked through (argument count, bracket
  // kind, whether the result is used). AArgs: the first of ACall->FArgCount
  // consecutive arguments in source order (a variable arrives as a reference).
  virtual void Execute(TQOBVMBase* AVM, TQOBCall* ACall, Variant* AArgs, Variant& AResult) = 0;
};

// A host object published by name.
class TQOBExternObject final : public TQOBGlobalObject {
 public:
  TQOBExternObject(TQOBNameId AName, WideString AStrName, IDispatch* AObj,
                   TQOBCodeObject* ACodeObject, bool APublishMembers)
      : TQOBGlobalObject(gtExtern, AName, std::move(AStrName)),
        FObj(AObj),
        FCodeObject(ACodeObject),
        FPublishMembers(APublishMembers) {}

  ComPtr<IDispatch> FObj;
  // Another module's code object behind FObj, else nullptr.
  TQOBCodeObject* FCodeObject;
  // The object's own members may be named without the object.
  bool FPublishMembers;
};

// A global exposed by the machine's code object under a dispatch id.
class TQOBDispIdObject : public TQOBGlobalObject {
 public:
  int32_t FDispId = 0;       // assigned when the machine registers it
  int32_t FInvokeFlags = 0;  // DISPATCH_METHOD | DISPATCH_PROPERTYGET | ...
  int32_t FResMask = 0;      // -1: an invocation yields a result; 0: it does not

 protected:
  TQOBDispIdObject(TQOBGlobalObjType AType, TQOBNameId AName, WideString AStrName,
                   int32_t AInvokeFlags, int32_t AResMask)
      : TQOBGlobalObject(AType, AName, std::move(AStrName)),
        FInvokeFlags(AInvokeFlags),
        FResMask(AResMask) {}
};

// A script procedure or function; the front end sets FResMask (-1 for a
// function) and FParamCount, and compiles the body in EmitByteCode.
class TQOBProcObject : public TQOBDispIdObject {
 public:
  TQOBProcObject(TQOBNameId AName, WideString AStrName)
      : TQOBDispIdObject(gtProcedure, AName, std::move(AStrName), DISPATCH_METHOD, 0),
        FByteCode(std::make_unique<TQOBByteCode>()) {}

  // Compiles the body into FByteCode (BeginEmit .. EndEmit), with the
  // machine's global namespace as the parent of the procedure's scope.
  virtual void EmitByteCode(TQOBAbstractNamespace* AGlobalNamespace) = 0;

  TQOBByteCode* ByteCode() const noexcept { return FByteCode.get(); }

  std::unique_ptr<TQOBByteCode> FByteCode;
  int32_t FParamCount = 0;
};

class TQOBGlobalValuedObject : public TQOBDispIdObject {
 public:
  Variant Value;

 protected:
  using TQOBDispIdObject::TQOBDispIdObject;
};

class TQOBVarObject final : public TQOBGlobalValuedObject {
 public:
  TQOBVarObject(TQOBNameId AName, WideString AStrName)
      : TQOBGlobalValuedObject(
            gtVar, AName, std::move(AStrName),
            DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF, -1) {}
};

class TQOBConstObject final : public TQOBGlobalValuedObject {
 public:
  TQOBConstObject(TQOBNameId AName, WideString AStrName)
      : TQOBGlobalValuedObject(gtConst, AName, std::move(AStrName), DISPATCH_PROPERTYGET, -1) {}
};

}  // namespace qob
