// Small building blocks for objects that hosts hand to scripts: an IUnknown
// implementation with an atomic reference count, an IDispatch base on top of
// it, and helpers that call a member of any IDispatch by name.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <string_view>

#include "ole/com.h"
#include "ole/typeinfo.h"
#include "ole/variant.h"

namespace qob {

// Implements IUnknown for the interface `I` (identified by `Iid`). Objects are
// created with `new` and a count of zero; the first ComPtr takes the first
// reference, and the last Release deletes the object.
template <class I, const IID& Iid>
class ComObject : public I {
 public:
  ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = FindInterface(iid);
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  uint32_t AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  uint32_t Release() override {
    uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~ComObject() = default;
  // Further interfaces: override, answer yours and defer to the base.
  virtual void* FindInterface(REFIID iid) {
    if (iid == Iid || iid == IID_IUnknown) return static_cast<I*>(this);
    return nullptr;
  }

 private:
  std::atomic<uint32_t> refs_{0};
};

// An IDispatch base: derived classes answer GetIDsOfNames and Invoke. Type
// information is offered when `TypeInfo` gives some.
class DispatchObject : public ComObject<IDispatch, IID_IDispatch> {
 public:
  HRESULT GetTypeInfoCount(uint32_t* count) override;
  HRESULT GetTypeInfo(uint32_t index, LCID lcid, ITypeInfo** info) override;

 protected:
  virtual ComPtr<ITypeInfo> TypeInfo() { return nullptr; }
};

// Calls the member `name` of `object` through GetIDsOfNames and Invoke with
// `args` in their natural order (first argument first). Property puts pass
// the value as the named DISPID_PROPERTYPUT argument, as OLE Automation
// requires. Failures raise EOleException with the callee's description and
// source, or with the HRESULT's text.
Variant DispatchInvoke(IDispatch* object, std::u16string_view name, uint16_t flags,
                       std::span<const Variant> args = {});
// Reads a property without arguments.
Variant DispatchGetProperty(IDispatch* object, std::u16string_view name);

}  // namespace qob
