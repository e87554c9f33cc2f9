// The process-wide class registry and running-object table behind
// CreateOleObject and GetActiveOleObject. Hosts register the classes scripts
// may create by ProgID and the objects they may attach to while running.
// ProgIDs match ignoring letter case. All operations are thread-safe.
#pragma once

#include <functional>
#include <string_view>

#include "ole/com.h"

namespace qob {

using TOleClassFactory = std::function<ComPtr<IDispatch>()>;

// Registers (or replaces) the factory of `progId`.
void RegisterOleClass(std::u16string_view progId, TOleClassFactory factory);
// Removes the class; an unknown ProgID is no error.
void UnregisterOleClass(std::u16string_view progId);
// A new object of the registered class. An unknown ProgID raises EOleSysError
// (CO_E_CLASSSTRING); a factory that answers no object raises EOleSysError
// (CLASS_E_CLASSNOTAVAILABLE).
ComPtr<IDispatch> CreateOleObject(std::u16string_view progId);

// Makes `object` the running object of `progId` (replacing an earlier one);
// the table holds a reference until the object is revoked. A null object
// raises EOleSysError (E_INVALIDARG).
void RegisterActiveObject(std::u16string_view progId, IUnknown* object);
// Removes the running object of `progId`; none registered is no error.
void RevokeActiveObject(std::u16string_view progId);
// The IDispatch of the running object. None running raises EOleSysError
// (MK_E_UNAVAILABLE); an object without IDispatch raises EOleSysError
// (E_NOINTERFACE).
ComPtr<IDispatch> GetActiveOleObject(std::u16string_view progId);

// Per-thread COM initialisation has nothing to do here; kept so that code
// written against the usual API shape reads the same.
inline HRESULT CoInitialize(void* = nullptr) noexcept {
  return S_OK;
}
inline void CoUninitialize() noexcept {}

}  // namespace qob
