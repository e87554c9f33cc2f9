#include "vm/code_object.h"

#include "compiler/name_table.h"
#include "vm/interpreter.h"
#include "vm/virt_machine.h"
#include "vm/vm_invoke.h"

namespace qob {

TQOBCodeObject::TQOBCodeObject(TQOBVirtMachine& AVM)
    : FId(AVM.Id()) {
  const auto count = static_cast<size_t>(AVM.FDispIdsCount);
  FNamesByDispId.reserve(count);
  FNamesByDispId.push_back(kQOBNoName);
  for (size_t dispId = 1; dispId < count; ++dispId) {
    const TQOBNameId name = AVM.FScriptGlobalsByDispId[dispId]->FName;
    FNamesByDispId.push_back(name);
    FIdsByName.emplace(name, static_cast<int32_t>(dispId));
  }
}

TQOBCodeObject* TQOBCodeObject::FromDispatch(IDispatch* AObj) noexcept {
  void* self = nullptr;
  if (AObj->QueryInterface(IID_QOBCodeObject, &self) != S_OK) return nullptr;
  return static_cast<TQOBCodeObject*>(self);
}

// ------------------------------------------------------------ direct side

bool TQOBCodeObject::GetIdOfName(TQOBNameId ANameIndex, int32_t& ADispId) const {
  auto found = FIdsByName.find(ANameIndex);
  if (found == FIdsByName.end()) return false;
  ADispId = found->second;
  return true;
}

// The global behind a dispatch id, checked against the module the machine
// holds now: after Close and a new Initialize an id answers only while it
// still names the same global, never one that took its number.
TQOBDispIdObject* TQOBCodeObject::GlobalOf(TQOBVirtMachine& AVM, int32_t ADispId) const noexcept {
  if (ADispId < 1 || static_cast<size_t>(ADispId) >= FNamesByDispId.size() ||
      ADispId >= AVM.FDispIdsCount)
    return nullptr;
  TQOBDispIdObject* object = AVM.FScriptGlobalsByDispId[static_cast<size_t>(ADispId)];
  return object->FName == FNamesByDispId[static_cast<size_t>(ADispId)] ? object : nullptr;
}

void TQOBCodeObject::InvokeMember(TQOBThread& AThread, int32_t DispID, TQOBBracketType ABracketType,
                                  uint32_t AResMask, int32_t AArgCount, Variant* AArgs,
                                  Variant& AResult) {
  (void)AThread;  // the calling thread; its record for the target is found through the entry
  TQOBVMEntry entry(FId);
  TQOBVirtMachine& vm = entry.VM();
  TQOBDispIdObject* object = GlobalOf(vm, DispID);
  if (!object) EQOBVMRuntime::RaiseError(retInvalidDispId);
  switch (object->FGlobalObjType) {
    case gtVar:
    case gtConst: {
      Variant& value = static_cast<TQOBGlobalValuedObject*>(object)->Value.Deref();
      if (ABracketType == bkNon) {
        AResult = value;
      } else if (ABracketType == bkVbRound || ABracketType == bkBlock) {
        QOBApplyArgs(value, AArgCount, AArgs, AResult);
      } else {
        EQOBVMRuntime::RaiseError(retTypeMismatch);
      }
      return;
    }
    case gtProcedure:
      QOBCallProcedureChecked(vm, entry.Thread(), static_cast<TQOBProcObject*>(object),
                              ABracketType, AResMask, AArgCount, AArgs, AResult);
      return;
    default:
      EQOBVMRuntime::RaiseError(retTypeMismatch);
  }
}

void TQOBCodeObject::InvokePropPut(TQOBThread& AThread, int32_t DispID,
                                   TQOBBracketType ABracketType, int32_t AArgCount, Variant* AArgs,
                                   const Variant& AValue) {
  (void)AThread;
  TQOBVMEntry entry(FId);
  TQOBVirtMachine& vm = entry.VM();
  TQOBDispIdObject* object = GlobalOf(vm, DispID);
  if (!object) EQOBVMRuntime::RaiseError(retInvalidDispId);
  if (object->FGlobalObjType != gtVar) EQOBVMRuntime::RaiseError(retCannotAssign);
  Variant& value = static_cast<TQOBVarObject*>(object)->Value;
  if (ABracketType == bkNon) {
    value = AValue.Deref();
  } else if (ABracketType == bkVbRound || ABracketType == bkBlock) {
    QOBIndexedAssign(value.Deref(), AArgCount, AArgs, AValue.Deref());
  } else {
    EQOBVMRuntime::RaiseError(retCannotAssign);
  }
}

// -------------------------------------------------------------- IDispatch

HRESULT TQOBCodeObject::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_QOBCodeObject) {
    *object = this;
    return S_OK;
  }
  if (iid == IID_IUnknown || iid == IID_IDispatch) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

uint32_t TQOBCodeObject::AddRef() {
  return FRefCount.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32_t TQOBCodeObject::Release() {
  const uint32_t left = FRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

HRESULT TQOBCodeObject::GetTypeInfoCount(uint32_t* count) {
  if (count) *count = 0;
  return E_NOTIMPL;
}

HRESULT TQOBCodeObject::GetTypeInfo(uint32_t /*index*/, LCID /*lcid*/, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT TQOBCodeObject::GetIDsOfNames(REFIID /*iid*/, const char16_t** names, uint32_t count,
                                      LCID /*lcid*/, DISPID* ids) {
  if (!names || !ids || count == 0 || !names[0]) return E_INVALIDARG;
  // Only the first name is resolved: the module has no named arguments.
  for (uint32_t i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  const TQOBNameId name = QOBNameTable().GetNameIndex(names[0], false);
  int32_t dispId;
  if (name == kQOBNoName || !GetIdOfName(name, dispId)) return DISP_E_UNKNOWNNAME;
  ids[0] = dispId;
  return S_OK;
}

HRESULT TQOBCodeObject::Invoke(DISPID id, REFIID /*iid*/, LCID /*lcid*/, uint16_t flags,
                               DISPPARAMS* params, Variant* result, EXCEPINFO* excepInfo,
                               uint32_t* /*argErr*/) {
  auto fail = [excepInfo](const WideString& AMessage) {
    if (excepInfo) {
      *excepInfo = EXCEPINFO();
      excepInfo->bstrSource = WideString(kQOBCodeObjectSource);
      excepInfo->bstrDescription = AMessage;
      excepInfo->scode = E_FAIL;
    }
    return DISP_E_EXCEPTION;
  };
  try {
    TQOBVMEntry entry(FId);
    return InvokeEntered(entry.VM(), entry.Thread(), id, flags, params, result);
  } catch (const EVariantTypeCastError&) {
    return DISP_E_TYPEMISMATCH;
  } catch (const Exception& e) {
    return fail(e.Message());
  } catch (const std::exception& e) {
    return fail(WideString::FromUtf8(e.what()));
  } catch (...) {
    return fail(WideString(u"Unknown exception"));
  }
}

HRESULT TQOBCodeObject::InvokeEntered(TQOBVirtMachine& AVM, TQOBThread& AThread, DISPID id,
                                      uint16_t flags, DISPPARAMS* params, Variant* result) {
  TQOBDispIdObject* object = GlobalOf(AVM, id);
  if (!object) return DISP_E_MEMBERNOTFOUND;
  const int32_t argCount = params ? static_cast<int32_t>(params->cArgs) : 0;
  if (result && object->FResMask == 0) return DISP_E_TYPEMISMATCH;
  switch (object->FInvokeFlags & flags & 0xF) {
    case DISPATCH_METHOD: {
      auto* proc = static_cast<TQOBProcObject*>(object);
      if (argCount != proc->FParamCount) return DISP_E_BADPARAMCOUNT;
      // The host's arguments arrive last-first; the procedure gets its own
      // slots, first argument first, and the last slot for the result.
      TQOBPoolSlots slots(AThread, argCount + 1);
      for (int32_t i = 0; i < argCount; ++i) slots[i] = params->rgvarg[argCount - 1 - i];
      QOBCallProcedure(AVM, AThread, proc, argCount, slots.data(), slots[argCount]);
      if (result) *result = std::move(slots[argCount]);
      return S_OK;
    }
    case DISPATCH_PROPERTYGET:
      if (argCount != 0) return DISP_E_BADPARAMCOUNT;
      if (result) *result = static_cast<TQOBGlobalValuedObject*>(object)->Value.Deref();
      return S_OK;
    case DISPATCH_PROPERTYPUT:
    case DISPATCH_PROPERTYPUTREF:
    case DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF:
      if (argCount != 1) return DISP_E_BADPARAMCOUNT;
      static_cast<TQOBGlobalValuedObject*>(object)->Value = params->rgvarg[0].Deref();
      return S_OK;
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

}  // namespace qob
