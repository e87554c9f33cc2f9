#include "compiler/language.h"

namespace qob {

HRESULT TQOBLanguageBase::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IQOBLanguage) {
    *object = static_cast<IQOBLanguage*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

uint32_t TQOBLanguageBase::AddRef() {
  return FRefCount.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32_t TQOBLanguageBase::Release() {
  const uint32_t count = FRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (count == 0) delete this;
  return count;
}

}  // namespace qob
