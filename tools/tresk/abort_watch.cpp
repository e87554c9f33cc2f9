#include "abort_watch.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace tresk {

namespace {

// How long an aborted script may take to come back before the process ends.
constexpr auto kGracePeriod = std::chrono::seconds(2);
// Sent by the destructor to wake the watcher.
constexpr int kWakeSignal = SIGUSR2;

sigset_t WatchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, kWakeSignal);
  return set;
}

// Waits for a watched signal until ADeadline (forever without one); the
// signal number, or 0 when the deadline passed.
int WaitForSignal(std::optional<std::chrono::steady_clock::time_point> ADeadline) {
  const sigset_t set = WatchedSignals();
  for (;;) {
    int received = 0;
    if (!ADeadline) {
      if (sigwait(&set, &received) == 0) return received;
      continue;
    }
    auto left = *ADeadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return 0;
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    timespec timeout{static_cast<time_t>(seconds.count()),
                     static_cast<long>(std::chrono::nanoseconds(left - seconds).count())};
    received = sigtimedwait(&set, nullptr, &timeout);
    if (received > 0) return received;
    if (errno == EAGAIN) return 0;
  }
}

void EndProcess(const std::string& AMessage, int AStatus) {
  std::fflush(stdout);
  std::fprintf(stderr, "error: %s\n", AMessage.c_str());
  std::fflush(stderr);
  _exit(AStatus);
}

}  // namespace

void AbortWatch::BlockSignals() {
  const sigset_t set = WatchedSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

AbortWatch::AbortWatch(std::optional<std::chrono::milliseconds> ATimeLimit,
                       std::string AAbortMessage)
    : FAbortMessage(std::move(AAbortMessage)) {
  std::optional<std::chrono::steady_clock::time_point> deadline;
  if (ATimeLimit) deadline = std::chrono::steady_clock::now() + *ATimeLimit;
  FThread = std::thread([this, deadline] { Watch(deadline); });
}

AbortWatch::~AbortWatch() {
  ClearTarget();
  FStopping = true;
  pthread_kill(FThread.native_handle(), kWakeSignal);
  FThread.join();
}

void AbortWatch::SetTarget(std::function<void()> AAbort) {
  std::lock_guard lock(FTargetLock);
  FAbort = std::move(AAbort);
  // The time ran out before there was anything to abort.
  if (FFired) FAbort();
}

void AbortWatch::ClearTarget() {
  std::thread aborting;
  {
    // Taken together: a later Fire finds no target and starts nothing.
    std::lock_guard lock(FTargetLock);
    FAbort = nullptr;
    aborting = std::move(FAbortThread);
  }
  if (aborting.joinable()) aborting.join();
}

void AbortWatch::Watch(std::optional<std::chrono::steady_clock::time_point> ADeadline) {
  int received = WaitForSignal(ADeadline);
  if (FStopping) return;
  Fire(received == SIGINT);
  // The script should now stop by itself; give it a moment, then end the
  // process in its place. A second Ctrl+C ends it at once.
  WaitForSignal(std::chrono::steady_clock::now() + kGracePeriod);
  if (FStopping) return;
  EndProcess(FAbortMessage, 1);
}

void AbortWatch::Fire(bool AInterrupted) {
  std::lock_guard lock(FTargetLock);
  if (!FAbort && AInterrupted) EndProcess("interrupted", 130);
  FFired = true;
  if (FAbort) FAbortThread = std::thread(FAbort);
}

}  // namespace tresk
