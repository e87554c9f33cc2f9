#include "ole/ole_registry.h"

#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include "rtl/exceptions.h"
#include "rtl/unicode.h"

namespace qob {

namespace {

struct OleRegistry {
  std::mutex lock;
  std::unordered_map<std::u16string, TOleClassFactory> classes;
  std::unordered_map<std::u16string, ComPtr<IUnknown>> runningObjects;
};

OleRegistry& Registry() {
  static OleRegistry registry;
  return registry;
}

std::u16string KeyOf(std::u16string_view progId) {
  return UpperCase(progId).str();
}

[[noreturn]] void RaiseForProgId(HRESULT code, std::u16string_view progId) {
  throw EOleSysError(HResultText(code) + u": " + std::u16string(progId), code);
}

}  // namespace

void RegisterOleClass(std::u16string_view progId, TOleClassFactory factory) {
  std::u16string key = KeyOf(progId);
  OleRegistry& registry = Registry();
  std::lock_guard guard(registry.lock);
  registry.classes[std::move(key)] = std::move(factory);
}

void UnregisterOleClass(std::u16string_view progId) {
  std::u16string key = KeyOf(progId);
  OleRegistry& registry = Registry();
  std::lock_guard guard(registry.lock);
  registry.classes.erase(key);
}

ComPtr<IDispatch> CreateOleObject(std::u16string_view progId) {
  const std::u16string key = KeyOf(progId);
  TOleClassFactory factory;
  {
    OleRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    auto found = registry.classes.find(key);
    if (found != registry.classes.end()) factory = found->second;
  }
  if (!factory) RaiseForProgId(CO_E_CLASSSTRING, progId);
  // Called outside the lock: a factory may itself create or register objects.
  ComPtr<IDispatch> object = factory();
  if (!object) RaiseForProgId(CLASS_E_CLASSNOTAVAILABLE, progId);
  return object;
}

void RegisterActiveObject(std::u16string_view progId, IUnknown* object) {
  if (!object) throw EOleSysError(WideString(), E_INVALIDARG);
  std::u16string key = KeyOf(progId);
  ComPtr<IUnknown> held(object);
  ComPtr<IUnknown> previous;
  {
    OleRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    ComPtr<IUnknown>& slot = registry.runningObjects[std::move(key)];
    previous = std::exchange(slot, std::move(held));
  }
  // `previous` is released here, outside the lock, in case its release re-enters.
}

void RevokeActiveObject(std::u16string_view progId) {
  const std::u16string key = KeyOf(progId);
  ComPtr<IUnknown> revoked;
  {
    OleRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    auto found = registry.runningObjects.find(key);
    if (found == registry.runningObjects.end()) return;
    revoked = std::move(found->second);
    registry.runningObjects.erase(found);
  }
}

ComPtr<IDispatch> GetActiveOleObject(std::u16string_view progId) {
  const std::u16string key = KeyOf(progId);
  ComPtr<IUnknown> object;
  {
    OleRegistry& registry = Registry();
    std::lock_guard guard(registry.lock);
    auto found = registry.runningObjects.find(key);
    if (found != registry.runningObjects.end()) object = found->second;
  }
  if (!object) RaiseForProgId(MK_E_UNAVAILABLE, progId);
  ComPtr<IDispatch> dispatch = object.As<IDispatch>(IID_IDispatch);
  if (!dispatch) RaiseForProgId(E_NOINTERFACE, progId);
  return dispatch;
}

}  // namespace qob
