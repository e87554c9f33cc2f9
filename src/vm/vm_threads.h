// Execution threads: the process-wide index that gives every machine an id
// and a slot, the per-thread records the interpreter works with (call stack,
// stack pool, per-machine entry state) and the entry/exit protocol that lets
// Close stop every thread running in a machine and wait for it.
#pragma once

#include <atomic>
#include <climits>
#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

#include "ole/variant.h"
#include "rtl/threads.h"

namespace qob {

class TQOBVirtMachine;
class TQOBThreadGlobals;
class TQOBThread;
class TQOBVMLock;
class TQOBTry;
struct TQOBCallStackFrame;

// Where stepping may stop: a frame qualifies when its nesting depth on its
// thread is at most the base. So "no stepping" is below every depth, "any
// frame" above every depth, and a frame's own depth admits it and its callers.
using TQOBSteppingBase = int32_t;
inline constexpr TQOBSteppingBase kNoStepping = -1;
inline constexpr TQOBSteppingBase kSteppingAnyFrame = INT32_MAX;

// A machine's identity: `Id` is never reused, `Index` is its slot (reused
// after the machine is destroyed), `Lock` the slot's record.
struct TQOBVMId {
  int64_t Id = 0;
  int32_t Index = -1;
  TQOBVMLock* Lock = nullptr;
};

// Per-thread blocks of Variant slots for activations. Acquisition and release
// nest strictly; a block is never moved, so slot addresses stay valid. Free
// slots are always Unassigned: release clears what it returns, so values do
// not outlive the activation that held them.
class TQOBStackPool {
 public:
  TQOBStackPool() = default;
  TQOBStackPool(const TQOBStackPool&) = delete;
  TQOBStackPool& operator=(const TQOBStackPool&) = delete;
  ~TQOBStackPool();

  Variant* AsquireStack(int32_t ASize);
  void ReleaseStack(int32_t ASize) noexcept;
  // Number of blocks in use (the spare kept against allocation churn not counted).
  int32_t BlockCount() const noexcept;
  int32_t UsedSlotCount() const noexcept;

 private:
  static constexpr int32_t kMinBlockSize = 256;
  struct TQOBStackItem {
    std::unique_ptr<Variant[]> FData;
    int32_t FSize = 0;
    int32_t FUsedItemSize = 0;
    TQOBStackItem* FPrev = nullptr;
  };
  TQOBStackItem* FLast = nullptr;
  TQOBStackItem* FSpare = nullptr;
};

// One handled exception: the entry of an activation's exception-state chain
// while the handler of `Try` runs. The chain owns the exception object.
struct TQOBExceptionState {
  const TQOBTry* Try;
  int32_t ExceptionVar;  // the local slot that names this entry
  std::exception_ptr Object;
};

// One thread's state for one machine slot.
class TQOBThreadVM {
 public:
  TQOBThreadVM(TQOBVMLock* AVMLock, TQOBThread* AThread, bool AInactiveOrClosing,
               TQOBSteppingBase* ASteppingBase);
  TQOBThreadVM(const TQOBThreadVM&) = delete;
  TQOBThreadVM& operator=(const TQOBThreadVM&) = delete;
  ~TQOBThreadVM();

  // Enters the machine on the owning thread; false when it is closed for
  // this thread. Nested entries only count.
  bool Lock() noexcept {
    if (FLockCount == 0) {
      int32_t expected = 0;
      if (!FFlag.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) return false;
    }
    ++FLockCount;
    return true;
  }
  void Unlock() noexcept {
    if (--FLockCount == 0) FFlag.store(0, std::memory_order_release);
  }
  bool IsEntered() const noexcept { return FLockCount > 0; }

  TQOBVMLock* VMLock() const noexcept { return FVMLock; }
  TQOBThread* Thread() const noexcept { return FThread; }
  // The thread's cache of the machine's global names, created on first use.
  TQOBThreadGlobals& Globals();
  TQOBSteppingBase& SteppingBase() const noexcept { return *FSteppingBase; }
  bool InBreak() const noexcept { return FInBreak; }
  void SetInBreak(bool AValue) noexcept { FInBreak = AValue; }

 private:
  friend class TVMIndexes;
  TQOBVMLock* FVMLock;
  TQOBThread* FThread;
  std::unique_ptr<TQOBThreadGlobals> FGlobals;
  int32_t FLockCount = 0;
  // 0 free, 1 entered, -1 closed. Changed by compare-and-exchange only,
  // except the owning thread's store of 0 on its last leave.
  std::atomic<int32_t> FFlag;
  TQOBSteppingBase* FSteppingBase;
  bool FInBreak = false;
};

// One machine slot.
class TQOBVMLock {
 public:
  TQOBVirtMachine* VM() const noexcept { return FVM.load(std::memory_order_acquire); }

 private:
  friend class TVMIndexes;
  friend class TQOBThreadVM;
  std::atomic<TQOBVirtMachine*> FVM{nullptr};
  std::atomic<uint8_t>* FInterruptMask = nullptr;
  std::vector<TQOBThreadVM*> FVMDataList;  // under the index's section
  bool FInactiveOrClosing = true;          // under the index's section
  int64_t FDebuggerId = -1;                // under the index's section
};

// One OS thread that entered a machine. Everything here except the ended
// flag is touched only by its own thread.
class TQOBThread {
 public:
  TQOBThread();
  TQOBThread(const TQOBThread&) = delete;
  TQOBThread& operator=(const TQOBThread&) = delete;
  ~TQOBThread();

  TQOBStackPool& StackPool() noexcept { return FStackPool; }
  TQOBCallStackFrame* CallStack() const noexcept { return FCallStack; }
  void SetCallStack(TQOBCallStackFrame* AFrame) noexcept { FCallStack = AFrame; }
  TQOBThreadVM* VMData(int32_t AIndex) const noexcept {
    return FVMData[static_cast<size_t>(AIndex)].get();
  }
  int32_t SlotCount() const noexcept { return static_cast<int32_t>(FVMData.size()); }
  bool IsThreadClosed() const noexcept { return FEnded.load(std::memory_order_acquire); }
  uint64_t OSThreadId() const noexcept { return FOSThreadId; }

  // Handled exceptions of all activations of the thread, innermost last.
  std::vector<TQOBExceptionState>& ExceptionStates() noexcept { return FExceptionStates; }
  // Nesting depth of activations and its limit.
  int32_t Depth = 0;
  // Whether the native stack has room for one more activation.
  bool HasStackRoom() const noexcept;

  // Interpreter scratch: hold nothing between instructions.
  Variant V;
  Variant* PV = nullptr;

 private:
  friend class TVMIndexes;
  friend struct TThreadLocalRecord;
  void MarkEnded() noexcept;

  uint64_t FOSThreadId;
  std::atomic<bool> FEnded{false};
  TQOBStackPool FStackPool;
  TQOBCallStackFrame* FCallStack = nullptr;
  std::vector<std::unique_ptr<TQOBThreadVM>> FVMData;
  std::vector<TQOBExceptionState> FExceptionStates;
  uintptr_t FStackLimit = 0;  // lowest address an activation may start below
};

// Deepest nesting of script activations on one thread; a call beyond it, or
// one that would leave too little native stack, raises "Stack overflow".
int32_t ScriptCallDepthLimit() noexcept;
void SetScriptCallDepthLimit(int32_t ALimit) noexcept;

// The process-wide registry of machine slots and thread records.
class TVMIndexes {
 public:
  static TVMIndexes& Instance();

  void AsquireId(TQOBVirtMachine* AVM, std::atomic<uint8_t>* AInterruptMask, TQOBVMId& AId);
  void ReleaseId(const TQOBVMId& AId);
  void MarkOpened(const TQOBVMId& AId, int64_t ADebuggerId);
  // Closes the slot for every thread: running activations of the machine are
  // interrupted, and the call returns once no thread is inside any more.
  void MarkClosingAndWait(const TQOBVMId& AId);
  bool IsInactiveOrClosing(const TQOBVMId& AId);
  // The calling thread's record, with per-slot records covering `AId`.
  TQOBThread* InitThread(const TQOBVMId& AId);
  int64_t GetNextDebuggerId();

  // The calling thread's record for a machine slot; no lock on the common path.
  static TQOBThreadVM& CurrentThreadVM(const TQOBVMId& AId);
  // The calling thread's record, or nil when the thread never entered a machine.
  static TQOBThread* CurrentThread() noexcept;

  // Number of live thread records (for tests of the clean-up of ended threads).
  int32_t ThreadCount();

 private:
  TVMIndexes() = default;
  struct TVMSteppingItem {
    TQOBThread* Thread;
    int64_t DebuggerId;
    TQOBSteppingBase Base = kNoStepping;
  };
  TQOBSteppingBase* SteppingBaseFor(TQOBThread* AThread, int64_t ADebuggerId);
  void FreeEndedThreads();

  TCriticalSection FSection;
  std::vector<std::unique_ptr<TQOBThread>> FThreadDatas;
  std::vector<std::unique_ptr<TQOBVMLock>> FLocks;
  std::vector<std::unique_ptr<TVMSteppingItem>> FSteppingItems;
  int64_t FNextVMId = 1;
  int64_t FNextDebuggerId = 1;
  // The base of machines without a debugger: never stepping. Never written.
  TQOBSteppingBase FNoSteppingBase = kNoStepping;
};

}  // namespace qob
