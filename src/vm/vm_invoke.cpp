#include "vm/vm_invoke.h"

#include <array>
#include <cstring>
#include <span>

#include "ole/variant_convert.h"
#include "rtl/exceptions.h"
#include "vm/virt_machine.h"
#include "vm/vm_runtime_error.h"

namespace qob {

namespace {

// A parameter block for IDispatch::Invoke on the native stack. Entries are
// bitwise copies of slots the caller still owns, so the block never releases
// them: references stay references and a host's by-reference parameter
// writes into the script's variable.
class TDispParamBlock {
 public:
  Variant* data() noexcept { return reinterpret_cast<Variant*>(FRaw.data()); }
  void Set(int32_t AIndex, const Variant& AValue) noexcept {
    std::memcpy(static_cast<void*>(data() + AIndex), &AValue, sizeof(Variant));
  }

 private:
  alignas(Variant) std::array<unsigned char, sizeof(Variant) * (kQOBMaxDispatchArgs + 1)> FRaw;
};

void RaiseIfFailed(HRESULT AResult, EXCEPINFO& AInfo) {
  if (Failed(AResult)) EQOBVMRuntime::RaiseError(AResult, &AInfo, true);
}

// The indexes of an element: the arguments converted to integers in order.
std::span<const int32_t> IndexesOf(const TSafeArray& AArray, int32_t AArgCount, Variant* AArgs,
                                   std::array<int32_t, kQOBMaxIndexCount>& AIndexes) {
  if (AArgCount > kQOBMaxIndexCount || AArgCount != SafeArrayDimCount(AArray))
    EQOBVMRuntime::RaiseError(retInvalidParamCount);
  for (int32_t i = 0; i < AArgCount; ++i)
    AIndexes[static_cast<size_t>(i)] = VarToInt32(AArgs[i].Deref());
  return {AIndexes.data(), static_cast<size_t>(AArgCount)};
}

IDispatch* DispatchOf(const Variant& AValue) noexcept {
  if (AValue.VType == varDispatch) return AValue.VDispatch;
  if (AValue.VType == (varByRef | varDispatch)) return *static_cast<IDispatch**>(AValue.VPointer);
  return nullptr;
}

bool IsDispatch(const Variant& AValue) noexcept {
  return AValue.VType == varDispatch || AValue.VType == (varByRef | varDispatch);
}

}  // namespace

TSafeArray* QOBArrayOf(const Variant& AValue) noexcept {
  if ((AValue.VType & varArray) == 0) return nullptr;
  if (AValue.VType & varByRef) return *static_cast<TSafeArray**>(AValue.VPointer);
  return AValue.VArray;
}

void QOBInvokeDispatch(IDispatch* AObj, DISPID ADispId, TQOBBracketType ABracketType,
                       uint32_t AResMask, int32_t AArgCount, Variant* AArgs, Variant& AResult) {
  if (AArgCount > kQOBMaxDispatchArgs) EQOBVMRuntime::RaiseError(retInvalidParamCount);
  TDispParamBlock block;
  for (int32_t i = 0; i < AArgCount; ++i) block.Set(i, AArgs[AArgCount - 1 - i]);
  DISPPARAMS params{block.data(), nullptr, static_cast<uint32_t>(AArgCount), 0};
  uint16_t flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
  if (ABracketType == bkRound) flags = DISPATCH_METHOD;
  if (ABracketType == bkBlock) flags = DISPATCH_PROPERTYGET;
  AResult.Clear();
  ComPtr<IDispatch> keep(AObj);  // the callee may drop the script's last reference
  EXCEPINFO info;
  RaiseIfFailed(AObj->Invoke(ADispId, IID_NULL, 0, flags, &params, AResMask ? &AResult : nullptr,
                             &info, nullptr),
                info);
}

void QOBPutDispatch(IDispatch* AObj, DISPID ADispId, TQOBBracketType ABracketType,
                    int32_t AArgCount, Variant* AArgs, const Variant& AValue) {
  if (ABracketType == bkRound) EQOBVMRuntime::RaiseError(retCannotAssign);
  if (AArgCount > kQOBMaxDispatchArgs - 1) EQOBVMRuntime::RaiseError(retInvalidParamCount);
  TDispParamBlock block;
  block.Set(0, AValue);
  for (int32_t i = 0; i < AArgCount; ++i) block.Set(i + 1, AArgs[AArgCount - 1 - i]);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{block.data(), &named, static_cast<uint32_t>(AArgCount + 1), 1};
  ComPtr<IDispatch> keep(AObj);
  EXCEPINFO info;
  RaiseIfFailed(AObj->Invoke(ADispId, IID_NULL, 0, DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF,
                             &params, nullptr, &info, nullptr),
                info);
}

void QOBApplyArgs(Variant& ATarget, int32_t AArgCount, Variant* AArgs, Variant& AResult) {
  if (IsDispatch(ATarget)) {
    IDispatch* object = DispatchOf(ATarget);
    if (!object) EQOBVMRuntime::RaiseError(retObjectRequired);
    QOBInvokeDispatch(object, DISPID_VALUE, bkBlock, ~0u, AArgCount, AArgs, AResult);
    return;
  }
  if (TSafeArray* array = QOBArrayOf(ATarget)) {
    std::array<int32_t, kQOBMaxIndexCount> indexes;
    AResult = SafeArrayElement(*array, IndexesOf(*array, AArgCount, AArgs, indexes));
    return;
  }
  EQOBVMRuntime::RaiseError(retTypeMismatch);
}

void QOBIndexedAssign(Variant& ATarget, int32_t AArgCount, Variant* AArgs, const Variant& AValue) {
  if (IsDispatch(ATarget)) {
    IDispatch* object = DispatchOf(ATarget);
    if (!object) EQOBVMRuntime::RaiseError(retObjectRequired);
    QOBPutDispatch(object, DISPID_VALUE, bkBlock, AArgCount, AArgs, AValue);
    return;
  }
  if (TSafeArray* array = QOBArrayOf(ATarget)) {
    std::array<int32_t, kQOBMaxIndexCount> indexes;
    SafeArrayPutElement(*array, IndexesOf(*array, AArgCount, AArgs, indexes), AValue.Deref());
    return;
  }
  EQOBVMRuntime::RaiseError(retTypeMismatch);
}

void QOBCallProcedure(TQOBVirtMachine& AVM, TQOBThread& AThread, TQOBProcObject* AProc,
                      int32_t AArgCount, Variant* AArgs, Variant& AResult) {
  if (AArgCount != AProc->FParamCount) EQOBVMRuntime::RaiseError(retInvalidParamCount);
  AResult.Clear();
  const TQOBVMInterpretContext context{AProc->ByteCode(), AArgs, &AResult, nullptr};
  AVM.Execute(AThread, context);
}

void QOBCallProcedureChecked(TQOBVirtMachine& AVM, TQOBThread& AThread, TQOBProcObject* AProc,
                             TQOBBracketType ABracketType, uint32_t AResMask, int32_t AArgCount,
                             Variant* AArgs, Variant& AResult) {
  if (ABracketType == bkBlock) EQOBVMRuntime::RaiseError(retTypeMismatch);
  if (AArgCount != AProc->FParamCount) EQOBVMRuntime::RaiseError(retInvalidParamCount);
  if (AResMask != 0 && AProc->FResMask == 0) EQOBVMRuntime::RaiseError(retTypeMismatch);
  QOBCallProcedure(AVM, AThread, AProc, AArgCount, AArgs, AResult);
}

}  // namespace qob
