#include "host/named_values_holder.h"

#include <utility>

#include "rtl/unicode.h"

namespace qob {

TNamedValuesHolder::TNamedValuesHolder() {
  FDispIdIndex.push_back(nullptr);
}

void* TNamedValuesHolder::FindInterface(REFIID iid) {
  if (iid == IID_IQOBNamedValuesHolder) return static_cast<IQOBNamedValuesHolder*>(this);
  return DispatchObject::FindInterface(iid);
}

HRESULT TNamedValuesHolder::GetIDsOfNames(REFIID, const char16_t** names, uint32_t count, LCID,
                                          DISPID* ids) {
  if (count == 0) return S_OK;
  if (!names || !names[0] || !ids) return E_POINTER;
  const WideString key = UpperCase(names[0]);
  std::lock_guard lock(FLock);
  auto it = FNameMap.find(key.view());
  if (it != FNameMap.end()) {
    ids[0] = it->second->DispId;
    return S_OK;
  }
  for (uint32_t i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

HRESULT TNamedValuesHolder::Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params,
                                   Variant* result, EXCEPINFO*, uint32_t*) {
  const uint32_t argCount = params ? params->cArgs : 0;
  Variant displaced;  // released after the lock: its release may call back into scripts
  std::lock_guard lock(FLock);
  if (id <= 0 || static_cast<size_t>(id) >= FDispIdIndex.size()) return DISP_E_MEMBERNOTFOUND;
  Variant* value = FDispIdIndex[static_cast<size_t>(id)]->Value;
  if (!value) return DISP_E_MEMBERNOTFOUND;
  if (flags & DISPATCH_PROPERTYGET) {
    if (argCount > 0) return DISP_E_BADPARAMCOUNT;
    if (result) *result = *value;
    return S_OK;
  }
  if (flags & DISPATCH_PROPERTYPUT) {
    if (argCount != 1) return DISP_E_BADPARAMCOUNT;
    // Store the value, never a reference into the caller's frame.
    Variant incoming(params->rgvarg[0].Deref());
    displaced = std::exchange(*value, std::move(incoming));
    return S_OK;
  }
  return DISP_E_TYPEMISMATCH;
}

void TNamedValuesHolder::SetValue(const WideString& AName, Variant* AValue) {
  WideString key = UpperCase(AName.view());
  std::lock_guard lock(FLock);
  auto it = FNameMap.find(key.view());
  if (it != FNameMap.end()) {
    it->second->Value = AValue;
    return;
  }
  auto item = std::make_unique<TNamedValuesHolderItem>(
      TNamedValuesHolderItem{std::move(key), static_cast<DISPID>(FDispIdIndex.size()), AValue});
  FDispIdIndex.reserve(FDispIdIndex.size() + 1);
  TNamedValuesHolderItem* raw = item.get();
  FNameMap.emplace(raw->UppName.view(), std::move(item));
  FDispIdIndex.push_back(raw);
}

void TNamedValuesHolder::Detach() {
  std::lock_guard lock(FLock);
  for (TNamedValuesHolderItem* item : FDispIdIndex)
    if (item) item->Value = nullptr;
}

}  // namespace qob
