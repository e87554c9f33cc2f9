// The named values holder: one dispatch object per prepared control through
// which a script reads and writes the control's named values in place.
#pragma once

#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ole/dispatch_object.h"

namespace qob {

// {5E0A31C2-7B4D-4F60-9C1E-2D8A4B6F0E93}
inline constexpr IID IID_IQOBNamedValuesHolder = {
    0x5E0A31C2, 0x7B4D, 0x4F60, {0x9C, 0x1E, 0x2D, 0x8A, 0x4B, 0x6F, 0x0E, 0x93}};

class IQOBNamedValuesHolder : public IUnknown {
 public:
  // Publishes `AName` (a new name gets the next dispatch id) with its value
  // living at `AValue`, which the holder reads and writes in place.
  virtual void SetValue(const WideString& AName, Variant* AValue) = 0;
  // Forgets every value location: the control is closing and the values may
  // go. A script that still holds the holder then gets DISP_E_MEMBERNOTFOUND.
  virtual void Detach() = 0;

 protected:
  ~IQOBNamedValuesHolder() = default;
};

class TNamedValuesHolder final : public DispatchObject, public IQOBNamedValuesHolder {
 public:
  TNamedValuesHolder();

  HRESULT QueryInterface(REFIID iid, void** object) override {
    return DispatchObject::QueryInterface(iid, object);
  }
  uint32_t AddRef() override { return DispatchObject::AddRef(); }
  uint32_t Release() override { return DispatchObject::Release(); }

  HRESULT GetIDsOfNames(REFIID iid, const char16_t** names, uint32_t count, LCID lcid,
                        DISPID* ids) override;
  HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, uint16_t flags, DISPPARAMS* params,
                 Variant* result, EXCEPINFO* excepInfo, uint32_t* argErr) override;

  void SetValue(const WideString& AName, Variant* AValue) override;
  void Detach() override;

 protected:
  void* FindInterface(REFIID iid) override;

 private:
  struct TNamedValuesHolderItem {
    WideString UppName;
    DISPID DispId;
    Variant* Value;
  };

  // Scripts on several threads and the host may use the holder at once; the
  // lock keeps the tables and value locations consistent.
  std::mutex FLock;
  std::unordered_map<std::u16string_view, std::unique_ptr<TNamedValuesHolderItem>> FNameMap;
  std::vector<TNamedValuesHolderItem*> FDispIdIndex;  // entry 0 stays empty: ids start at 1
};

}  // namespace qob
