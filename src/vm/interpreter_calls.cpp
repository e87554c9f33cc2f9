// The call instructions: names resolved in the current namespace at run
// time, members of objects, values applied to arguments, object creation,
// and the assigning forms of each.
#include "vm/code_object.h"
#include "vm/interpreter.h"
#include "vm/interpreter_fast_paths.h"
#include "vm/vm_globals.h"
#include "vm/vm_invoke.h"
#include "vm/vm_runtime_error.h"

namespace qob {

namespace {

// The object a member call is made on; Empty and Null mean none.
ComPtr<IDispatch> ObjectOf(const Variant& AValue) {
  const Variant& value = AValue.Deref();
  IDispatch* object = nullptr;
  switch (value.VType) {
    case varEmpty:
    case varNull:
      break;
    case varDispatch:
      object = value.VDispatch;
      break;
    case varByRef | varDispatch:
      object = *static_cast<IDispatch**>(value.VPointer);
      break;
    default:
      throw EVariantTypeCastError();
  }
  if (!object) EQOBVMRuntime::RaiseError(retObjectRequired);
  return ComPtr<IDispatch>(object);
}

// A host member's dispatch id; names are looked up at every call.
DISPID MemberId(IDispatch* AObject, const WideString& AStrName) {
  const char16_t* name = AStrName.c_str();
  DISPID id = DISPID_UNKNOWN;
  if (AObject->GetIDsOfNames(IID_NULL, &name, 1, 0, &id) != S_OK)
    EQOBVMRuntime::RaiseError(retUndeclaredId, AStrName.view());
  return id;
}

int32_t CodeObjectMemberId(const TQOBCodeObject& ACode, const TQOBCall& C) {
  int32_t id = 0;
  if (!ACode.GetIdOfName(C.FName, id))
    EQOBVMRuntime::RaiseError(retUndeclaredId, C.FStrName.view());
  return id;
}

Variant& ResultOf(const TQOBCallStackFrame& F) {
  if (!F.Ctx->Result) EQOBVMRuntime::RaiseError(retIEInvalidObjKind);
  return *F.Ctx->Result;
}

}  // namespace

// A name that turns out to be one of the module's own globals means that
// global for the whole life of the byte code: module globals hide everything
// else, and the byte code goes with its module. A name found among the
// locals and parameters of the byte code's own scope means the same slot in
// every activation of it. Either answer is kept in the call record, so that
// the dispatch loop's in-line paths (and later searches) skip the search.
// A built-in is kept with the count of host-object changes it was found at.
// Dynamic code is searched each time, since it may run in other scopes.
TQOBNameSearchRes TQOBInterpreter::ResolveName(TQOBCallStackFrame& F, TQOBThread& T,
                                               const TQOBCall& C) {
  if (TQOBGlobalObject* global = C.FResolvedGlobal.load(std::memory_order_acquire))
    return TQOBNameSearchRes::Object(QOBSearchKindOf(global->FGlobalObjType), global);
  const int32_t changeNumber = F.VM->FExternObjects->ChangeNumber();
  if (TQOBGlobalObject* intrinsic = C.FResolvedIntrinsic.load(std::memory_order_acquire);
      intrinsic && C.FIntrinsicChangeNumber.load(std::memory_order_acquire) == changeNumber)
    return TQOBNameSearchRes::Object(srIntrinsic, intrinsic);
  TQOBNameSearchRes res = F.CurNS->Find(&T, C.FName, C.FStrName);
  if (F.Ctx->Source) return res;
  switch (res.ObjKind) {
    case srIntrinsic:
      // Only ever this one built-in: the name is the record's own.
      C.FResolvedIntrinsic.store(res.NamedObject, std::memory_order_release);
      C.FIntrinsicChangeNumber.store(changeNumber, std::memory_order_release);
      break;
    case srGlobalVar:
    case srGlobalConst:
    case srProcedure:
      C.FResolvedGlobal.store(static_cast<TQOBGlobalObject*>(res.NamedObject),
                              std::memory_order_release);
      break;
    case srLocalVar:
    case srParam:
      if (F.CurNS == F.Ctx->Code->InitialNamespace())
        C.FResolvedLocal.store(fast::PackLocal(res), std::memory_order_relaxed);
      break;
    default:
      break;
  }
  return res;
}

TQOBInterpreter::TStep TQOBInterpreter::GlobCall(TQOBCallStackFrame& F, TQOBThread& T,
                                                 const TQOBInstr* AIP, Variant* S, bool ARef) {
  TQOBCall& C = *AIP->Data.Call;
  Variant* A = S - C.FArgsOffset;
  Variant* R = S - C.FResOffset;
  const TStep advance{AIP + 1, R};
  TQOBNameSearchRes res = ResolveName(F, T, C);
  TQOBAbstractNamespace* scope = F.CurNS;
  for (;;) {
    Variant* source = nullptr;  // the named value, read in place (arrays are never copied)
    bool assignable = false;    // a reference to it may be handed out
    Variant object;             // a named host object as a value
    switch (res.ObjKind) {
      case srNotFound:
        EQOBVMRuntime::RaiseError(retUndeclaredId, C.FStrName.view());
      case srExternal:
        object.SetDispatch(static_cast<TQOBExternObject*>(res.NamedObject)->FObj.get());
        source = &object;
        break;
      case srExternalMember: {
        auto* host = static_cast<TQOBExternObject*>(res.NamedObject);
        if (host->FCodeObject)
          host->FCodeObject->InvokeMember(T, res.DispId, C.FBracketType, C.FResMask, C.FArgCount, A,
                                          *R);
        else
          QOBInvokeDispatch(host->FObj.get(), res.DispId, C.FBracketType, C.FResMask, C.FArgCount,
                            A, *R);
        return advance;
      }
      case srGlobalVar:
        source = &static_cast<TQOBGlobalValuedObject*>(res.NamedObject)->Value;
        assignable = true;
        break;
      case srGlobalConst:
        source = &static_cast<TQOBGlobalValuedObject*>(res.NamedObject)->Value;
        break;
      case srProcedure:
        QOBCallProcedureChecked(*F.VM, T, static_cast<TQOBProcObject*>(res.NamedObject),
                                C.FBracketType, C.FResMask, C.FArgCount, A, *R);
        return advance;
      case srLocalVar:
        source = &F.Stack[res.LocalVarIndex];
        assignable = true;
        break;
      case srLocalConst:
        source = const_cast<Variant*>(res.LocalConst);
        break;
      case srParam: {
        Variant& slot = F.Ctx->Args[res.ParamInfo.Index];
        if (ARef && C.FBracketType == bkNon) {
          switch (res.ParamInfo.ParamKind()) {
            case pkSimple:
              if (slot.IsRef()) {
                Variant own(slot.Deref());
                slot = std::move(own);
              }
              *R = Variant::RefTo(&slot);
              break;
            case pkConst:
              *R = slot.Deref();
              break;
            case pkByRef:
              *R = Variant::RefTo(&slot.Deref());
              break;
          }
          return advance;
        }
        source = &slot;
        break;
      }
      case srResult:
        source = &ResultOf(F);
        assignable = true;
        break;
      case srExit:
      case srBreak:
      case srContinue: {
        // Exit, Break and Continue are statements: no brackets, no value.
        if (ARef || C.FBracketType != bkNon || C.FResMask != 0)
          EQOBVMRuntime::RaiseError(retTypeMismatch);
        TQOBLabel* target = res.ObjKind == srExit    ? C.FExitLabel
                            : res.ObjKind == srBreak ? C.FBreakLabel
                                                     : C.FContinueLabel;
        if (!target) {
          if (res.ObjKind == srExit) return {nullptr, nullptr};
          EQOBVMRuntime::RaiseError(retOutsideOfLoop);
        }
        return {target->Target(), F.Stack + F.Ctx->Code->StackLocalsOffset()};
      }
      case srIntrinsic:
        R->Clear();
        static_cast<TIntrinsic*>(res.NamedObject)->Execute(F.VM, &C, A, *R);
        return advance;
      case srDebugVar:
        source = res.DebugVar;
        break;
      default:
        EQOBVMRuntime::RaiseError(retIEInvalidObjKind);
    }
    switch (C.FBracketType) {
      case bkNon:
        if (ARef && assignable)
          *R = Variant::RefTo(source);
        else
          *R = source->Deref();
        return advance;
      case bkVbRound:
        if (res.ObjKind == srResult) {
          // F(...) inside function F: the enclosing scopes decide what F
          // means there, normally a recursive call.
          bool found = false;
          while (!found && (scope = scope->Parent())) {
            res = scope->Find(&T, C.FName, C.FStrName);
            found = res.ObjKind != srResult;
          }
          if (found) continue;
        }
        [[fallthrough]];
      case bkBlock:
        QOBApplyArgs(source->Deref(), C.FArgCount, A, *R);
        return advance;
      case bkRound:
        EQOBVMRuntime::RaiseError(retTypeMismatch);
    }
    EQOBVMRuntime::RaiseError(retIEInvalidBracketType);
  }
}

Variant* TQOBInterpreter::MemberCall(TQOBCallStackFrame& /*F*/, TQOBThread& T, const TQOBCall& C,
                                     Variant* S) {
  Variant* A = S - C.FArgsOffset;
  Variant* R = S - C.FResOffset;
  const ComPtr<IDispatch> object = ObjectOf(S[-C.FObjectOffset]);
  if (TQOBCodeObject* code = TQOBCodeObject::FromDispatch(object.get()))
    code->InvokeMember(T, CodeObjectMemberId(*code, C), C.FBracketType, C.FResMask, C.FArgCount, A,
                       *R);
  else
    QOBInvokeDispatch(object.get(), MemberId(object.get(), C.FStrName), C.FBracketType, C.FResMask,
                      C.FArgCount, A, *R);
  return R;
}

Variant* TQOBInterpreter::UnnamedCall(const TQOBCall& C, Variant* S) {
  Variant* R = S - C.FResOffset;
  switch (C.FBracketType) {
    case bkVbRound:
    case bkBlock:
      QOBApplyArgs(S[-C.FObjectOffset].Deref(), C.FArgCount, S - C.FArgsOffset, *R);
      return R;
    case bkRound:
      EQOBVMRuntime::RaiseError(retTypeMismatch);
    case bkNon:
      break;
  }
  EQOBVMRuntime::RaiseError(retIEInvalidBracketType);
}

Variant* TQOBInterpreter::NewCall(TQOBCallStackFrame& F, const TQOBCall& C, Variant* S) {
  Variant* R = S - C.FResOffset;
  R->Clear();
  TQOBVirtMachine& vm = *F.VM;
  if (vm.OnNew) vm.OnNew(&vm, S[-C.FObjectOffset].Deref(), S - C.FArgsOffset, C.FArgCount, *R);
  return R;
}

Variant* TQOBInterpreter::AssignGlobCall(TQOBCallStackFrame& F, TQOBThread& T, const TQOBCall& C,
                                         Variant* S) {
  Variant* A = S - C.FArgsOffset;
  Variant* const popped = S - (C.FArgsOffset + 1);
  const TQOBNameSearchRes res = ResolveName(F, T, C);
  Variant* target = nullptr;
  switch (res.ObjKind) {
    case srNotFound:
      EQOBVMRuntime::RaiseError(retUndeclaredId, C.FStrName.view());
    case srExternalMember: {
      auto* host = static_cast<TQOBExternObject*>(res.NamedObject);
      if (host->FCodeObject)
        host->FCodeObject->InvokePropPut(T, res.DispId, C.FBracketType, C.FArgCount, A, *S);
      else
        QOBPutDispatch(host->FObj.get(), res.DispId, C.FBracketType, C.FArgCount, A, *S);
      return popped;
    }
    case srGlobalVar:
      target = &static_cast<TQOBGlobalValuedObject*>(res.NamedObject)->Value;
      break;
    case srLocalVar:
      target = &F.Stack[res.LocalVarIndex];
      break;
    case srParam: {
      Variant& slot = F.Ctx->Args[res.ParamInfo.Index];
      switch (res.ParamInfo.ParamKind()) {
        case pkConst:
          EQOBVMRuntime::RaiseError(retCannotAssign);
        case pkByRef:
          target = &slot.Deref();
          break;
        case pkSimple:
          // Indexing into a value parameter must not reach the caller's array.
          if (C.FBracketType != bkNon && slot.IsRef()) {
            Variant own(slot.Deref());
            slot = std::move(own);
          }
          target = &slot;
          break;
      }
      break;
    }
    case srResult:
      target = &ResultOf(F);
      break;
    default:
      EQOBVMRuntime::RaiseError(retCannotAssign);
  }
  switch (C.FBracketType) {
    case bkNon:
      *target = std::move(*S);
      return S - 1;
    case bkVbRound:
    case bkBlock:
      QOBIndexedAssign(target->Deref(), C.FArgCount, A, *S);
      return popped;
    case bkRound:
      break;
  }
  EQOBVMRuntime::RaiseError(retCannotAssign);
}

Variant* TQOBInterpreter::AssignMemberCall(TQOBThread& T, const TQOBCall& C, Variant* S) {
  Variant* A = S - C.FArgsOffset;
  const ComPtr<IDispatch> object = ObjectOf(S[-C.FObjectOffset]);
  if (TQOBCodeObject* code = TQOBCodeObject::FromDispatch(object.get()))
    code->InvokePropPut(T, CodeObjectMemberId(*code, C), C.FBracketType, C.FArgCount, A, *S);
  else
    QOBPutDispatch(object.get(), MemberId(object.get(), C.FStrName), C.FBracketType, C.FArgCount, A,
                   *S);
  return S - (C.FObjectOffset + 1);
}

Variant* TQOBInterpreter::AssignUnnamedCall(const TQOBCall& C, Variant* S) {
  if (C.FBracketType != bkVbRound && C.FBracketType != bkBlock)
    EQOBVMRuntime::RaiseError(retCannotAssign);
  QOBIndexedAssign(S[-C.FObjectOffset].Deref(), C.FArgCount, S - C.FArgsOffset, *S);
  return S - (C.FObjectOffset + 1);
}

}  // namespace qob
