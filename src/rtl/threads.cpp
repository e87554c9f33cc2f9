#include "rtl/threads.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace qob {

void TEvent::SetEvent() {
  {
    std::lock_guard<std::mutex> lock(FLock);
    FSignaled = true;
  }
  FCondition.notify_one();
}

void TEvent::ResetEvent() {
  std::lock_guard<std::mutex> lock(FLock);
  FSignaled = false;
}

bool TEvent::WaitFor(int64_t timeoutMs) {
  std::unique_lock<std::mutex> lock(FLock);
  const auto signaled = [this] { return FSignaled; };
  if (timeoutMs < 0)
    FCondition.wait(lock, signaled);
  else if (!FCondition.wait_for(lock, std::chrono::milliseconds(timeoutMs), signaled))
    return false;
  FSignaled = false;  // auto-reset: this waiter consumes the signal
  return true;
}

uint64_t CurrentThreadId() noexcept {
  // Numbered on first use and never reused, so an id cannot stand for a thread that ended.
  static std::atomic<uint64_t> nextId{1};
  thread_local const uint64_t id = nextId.fetch_add(1, std::memory_order_relaxed);
  return id;
}

void YieldThread() noexcept {
  std::this_thread::yield();
}

}  // namespace qob
