// Stops a running script on Ctrl+C or when its time is up.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace tresk {

// A watcher thread waits for SIGINT and for the time limit. When either
// comes it aborts the registered target; if the script does not come back
// (it may be blocked reading input), the process ends shortly after with the
// abort message. Ctrl+C before a target is registered ends the process at once.
class AbortWatch {
 public:
  // Blocks the signals the watcher waits for; must run before any other
  // thread starts, so that every thread inherits the mask.
  static void BlockSignals();

  AbortWatch(std::optional<std::chrono::milliseconds> ATimeLimit, std::string AAbortMessage);
  ~AbortWatch();
  AbortWatch(const AbortWatch&) = delete;
  AbortWatch& operator=(const AbortWatch&) = delete;

  // The target's abort runs on a thread of its own, so that the watcher can
  // still end the process when the abort waits for a script that does not
  // come back; it must stay callable until ClearTarget returns, which waits
  // for it.
  void SetTarget(std::function<void()> AAbort);
  void ClearTarget();
  bool Fired() const noexcept { return FFired.load(); }

 private:
  void Watch(std::optional<std::chrono::steady_clock::time_point> ADeadline);
  void Fire(bool AInterrupted);

  std::string FAbortMessage;
  std::mutex FTargetLock;
  std::function<void()> FAbort;
  std::thread FAbortThread;  // runs FAbort once the watcher fired
  std::atomic<bool> FFired{false};
  std::atomic<bool> FStopping{false};
  std::thread FThread;
};

}  // namespace tresk
