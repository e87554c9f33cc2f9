#include "rtl/object.h"

#include <atomic>

namespace qob {

namespace {
std::atomic<TObjectReleaseHook> release_hook{nullptr};
}

TObject::~TObject() {
  if (TObjectReleaseHook hook = release_hook.load(std::memory_order_acquire)) hook(this);
}

void SetObjectReleaseHook(TObjectReleaseHook hook) noexcept {
  release_hook.store(hook, std::memory_order_release);
}

}  // namespace qob
