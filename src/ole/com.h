// COM stand-ins: GUIDs, IUnknown, IDispatch, DISPPARAMS, EXCEPINFO, ComPtr.
//
// There are no apartments or marshalling here: every interface is called on
// the caller's thread, and reference counts are atomic.
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>

#include "ole/hresult.h"
#include "ole/widestring.h"

namespace qob {

class Variant;
class ITypeInfo;

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
  friend bool operator==(const GUID& a, const GUID& b) noexcept {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
  }
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const GUID&;
using DISPID = int32_t;
using LCID = uint32_t;

inline constexpr GUID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr GUID IID_IUnknown = {0x00000000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr GUID IID_IDispatch = {0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

inline constexpr uint16_t DISPATCH_METHOD = 1;
inline constexpr uint16_t DISPATCH_PROPERTYGET = 2;
inline constexpr uint16_t DISPATCH_PROPERTYPUT = 4;
inline constexpr uint16_t DISPATCH_PROPERTYPUTREF = 8;

inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;

class IUnknown {
 public:
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

// Arguments are stored last-first, as OLE Automation passes them.
struct DISPPARAMS {
  Variant* rgvarg = nullptr;
  DISPID* rgdispidNamedArgs = nullptr;
  uint32_t cArgs = 0;
  uint32_t cNamedArgs = 0;
};

struct EXCEPINFO {
  uint16_t wCode = 0;
  WideString bstrSource;
  WideString bstrDescription;
  WideString bstrHelpFile;
  uint32_t dwHelpContext = 0;
  HRESULT scode = S_OK;
};

class IDispatch : public IUnknown {
 public:
  virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
  virtual HRESULT GetTypeInfo(uint32_t index, LCID lcid, ITypeInfo** info) = 0;
  virtual HRESULT GetIDsOfNames(REFIID iid, const char16_t** names, uint32_t count, LCID lcid,
                                DISPID* ids) = 0;
  virtual HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, uint16_t flags, DISPPARAMS* params,
                         Variant* result, EXCEPINFO* excepInfo, uint32_t* argErr) = 0;

 protected:
  ~IDispatch() = default;
};

// Owning smart pointer for reference-counted interfaces.
template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}  // NOLINT
  // Takes a new reference to `p`.
  explicit ComPtr(T* p) noexcept : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <class U>
  ComPtr(const ComPtr<U>& other) noexcept : ComPtr(static_cast<T*>(other.get())) {}  // NOLINT
  ~ComPtr() { reset(); }

  ComPtr& operator=(const ComPtr& other) noexcept {
    ComPtr(other).swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).swap(*this);
    return *this;
  }

  // Adopts `p` without adding a reference.
  static ComPtr Attach(T* p) noexcept {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  T* Detach() noexcept { return std::exchange(p_, nullptr); }
  void reset() noexcept {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  void swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  // For out-parameters: releases the current pointer first.
  T** put() noexcept {
    reset();
    return &p_;
  }
  friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.p_ == b.p_; }

  // QueryInterface for another interface; empty on failure.
  template <class U>
  ComPtr<U> As(REFIID iid) const {
    ComPtr<U> result;
    if (p_) p_->QueryInterface(iid, reinterpret_cast<void**>(result.put()));
    return result;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace qob
