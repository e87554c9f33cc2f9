// Threads and synchronisation.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace qob {

// Critical sections are recursive: a thread may re-enter through a host call.
using TCriticalSection = std::recursive_mutex;

// An auto-reset event: SetEvent releases one waiter (or the next one to wait).
class TEvent {
 public:
  explicit TEvent(bool initiallySet = false) : FSignaled(initiallySet) {}
  void SetEvent();
  void ResetEvent();
  // Waits until set or until `timeoutMs` passes (negative: forever); true when set.
  bool WaitFor(int64_t timeoutMs = -1);

 private:
  std::mutex FLock;
  std::condition_variable FCondition;
  bool FSignaled;
};

// A process-unique, non-zero number of the calling thread (never reused).
uint64_t CurrentThreadId() noexcept;
// Lets other threads run while waiting.
void YieldThread() noexcept;

}  // namespace qob
