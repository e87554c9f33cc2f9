#include "vm/vm_threads.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "vm/vm_globals.h"

namespace qob {

namespace {

// Native stack kept free below the deepest activation: room for the host
// calls, value operations and runtime routines an instruction may run.
constexpr uintptr_t kStackReserve = 64 * 1024;

std::atomic<int32_t> gScriptCallDepthLimit{10000};

}  // namespace

// The calling thread's record and how many slots it covers. Its destructor
// runs when the thread ends and flags the record for clean-up.
struct TThreadLocalRecord {
  TQOBThread* Thread = nullptr;
  int32_t SlotCount = 0;
  ~TThreadLocalRecord() {
    if (Thread) Thread->MarkEnded();
  }
};

namespace {
thread_local TThreadLocalRecord tlsRecord;
}  // namespace

int32_t ScriptCallDepthLimit() noexcept {
  return gScriptCallDepthLimit.load(std::memory_order_relaxed);
}

void SetScriptCallDepthLimit(int32_t ALimit) noexcept {
  gScriptCallDepthLimit.store(std::max(ALimit, 1), std::memory_order_relaxed);
}

// ---------------------------------------------------------------- stack pool

TQOBStackPool::~TQOBStackPool() {
  while (FLast) delete std::exchange(FLast, FLast->FPrev);
  delete FSpare;
}

Variant* TQOBStackPool::AsquireStack(int32_t ASize) {
  if (!FLast || FLast->FSize - FLast->FUsedItemSize < ASize) {
    TQOBStackItem* block;
    if (FSpare && FSpare->FSize >= ASize) {
      block = std::exchange(FSpare, nullptr);
    } else {
      block = new TQOBStackItem;
      block->FSize = std::max(kMinBlockSize, ASize);
      block->FData = std::make_unique<Variant[]>(static_cast<size_t>(block->FSize));
    }
    block->FPrev = FLast;
    FLast = block;
  }
  Variant* first = FLast->FData.get() + FLast->FUsedItemSize;
  FLast->FUsedItemSize += ASize;
  return first;
}

void TQOBStackPool::ReleaseStack(int32_t ASize) noexcept {
  // Clear while the slots still count as used: releasing a value may run host
  // code that borrows slots of its own, which must come from above these.
  Variant* first = FLast->FData.get() + FLast->FUsedItemSize - ASize;
  for (int32_t i = 0; i < ASize; ++i) first[i].Clear();
  FLast->FUsedItemSize -= ASize;
  if (FLast->FUsedItemSize == 0 && FLast->FPrev) {
    TQOBStackItem* empty = std::exchange(FLast, FLast->FPrev);
    empty->FPrev = nullptr;
    if (!FSpare) {
      FSpare = empty;
    } else {
      delete empty;
    }
  }
}

int32_t TQOBStackPool::BlockCount() const noexcept {
  int32_t count = 0;
  for (const TQOBStackItem* b = FLast; b; b = b->FPrev) ++count;
  return count;
}

int32_t TQOBStackPool::UsedSlotCount() const noexcept {
  int32_t count = 0;
  for (const TQOBStackItem* b = FLast; b; b = b->FPrev) count += b->FUsedItemSize;
  return count;
}

// ------------------------------------------------------------ thread records

TQOBThreadVM::TQOBThreadVM(TQOBVMLock* AVMLock, TQOBThread* AThread, bool AInactiveOrClosing,
                           TQOBSteppingBase* ASteppingBase)
    : FVMLock(AVMLock),
      FThread(AThread),
      FFlag(AInactiveOrClosing ? -1 : 0),
      FSteppingBase(ASteppingBase) {
  FVMLock->FVMDataList.push_back(this);
}

TQOBThreadVM::~TQOBThreadVM() {
  auto& list = FVMLock->FVMDataList;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

TQOBThreadGlobals& TQOBThreadVM::Globals() {
  if (!FGlobals) FGlobals = std::make_unique<TQOBThreadGlobals>(this);
  return *FGlobals;
}

TQOBThread::TQOBThread() : FOSThreadId(CurrentThreadId()) {
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) == 0) {
    void* low = nullptr;
    size_t size = 0;
    if (pthread_attr_getstack(&attr, &low, &size) == 0 && low) {
      const uintptr_t base = reinterpret_cast<uintptr_t>(low);
      // Small stacks keep a quarter free rather than the full reserve.
      FStackLimit = base + std::min<uintptr_t>(kStackReserve, size / 4);
    }
    pthread_attr_destroy(&attr);
  }
}

TQOBThread::~TQOBThread() = default;

bool TQOBThread::HasStackRoom() const noexcept {
  char probe;
  return reinterpret_cast<uintptr_t>(&probe) > FStackLimit;
}

void TQOBThread::MarkEnded() noexcept {
  // Values left in the pool belong to this thread; release them here.
  FExceptionStates.clear();
  V.Clear();
  FEnded.store(true, std::memory_order_release);
}

// ------------------------------------------------------------------- index

TVMIndexes& TVMIndexes::Instance() {
  // Never destroyed: threads may still run scripts while statics go away.
  static TVMIndexes* instance = new TVMIndexes();
  return *instance;
}

void TVMIndexes::AsquireId(TQOBVirtMachine* AVM, std::atomic<uint8_t>* AInterruptMask,
                           TQOBVMId& AId) {
  std::lock_guard guard(FSection);
  size_t slot = 0;
  while (slot < FLocks.size() && FLocks[slot]->FVM.load(std::memory_order_relaxed)) ++slot;
  if (slot == FLocks.size()) FLocks.push_back(std::make_unique<TQOBVMLock>());
  TQOBVMLock* lock = FLocks[slot].get();
  lock->FVM.store(AVM, std::memory_order_release);
  lock->FInterruptMask = AInterruptMask;
  AId.Id = FNextVMId++;
  AId.Index = static_cast<int32_t>(slot);
  AId.Lock = lock;
}

void TVMIndexes::ReleaseId(const TQOBVMId& AId) {
  std::lock_guard guard(FSection);
  AId.Lock->FVM.store(nullptr, std::memory_order_release);
  AId.Lock->FInterruptMask = nullptr;
}

void TVMIndexes::MarkOpened(const TQOBVMId& AId, int64_t ADebuggerId) {
  std::lock_guard guard(FSection);
  TQOBVMLock* lock = AId.Lock;
  lock->FInactiveOrClosing = false;
  lock->FDebuggerId = ADebuggerId;
  for (TQOBThreadVM* record : lock->FVMDataList) {
    record->FSteppingBase = SteppingBaseFor(record->FThread, ADebuggerId);
    record->FFlag.store(0, std::memory_order_release);
  }
}

void TVMIndexes::MarkClosingAndWait(const TQOBVMId& AId) {
  TQOBVMLock* lock = AId.Lock;
  {
    std::lock_guard guard(FSection);
    if (!lock->FInactiveOrClosing) {
      lock->FInactiveOrClosing = true;
      lock->FDebuggerId = -1;
      if (lock->FInterruptMask) lock->FInterruptMask->store(0, std::memory_order_relaxed);
    }
  }
  // Close every thread's record once it is outside; the list is read afresh
  // under the section on every round, since records of ended threads may be
  // freed and new threads may appear meanwhile.
  for (int round = 0;; ++round) {
    bool someInside = false;
    {
      std::lock_guard guard(FSection);
      for (TQOBThreadVM* record : lock->FVMDataList) {
        int32_t expected = 0;
        if (!record->FFlag.compare_exchange_strong(expected, -1, std::memory_order_acq_rel) &&
            expected == 1)
          someInside = true;
      }
      if (!someInside) {
        for (TQOBThreadVM* record : lock->FVMDataList) {
          if (record->FGlobals) record->FGlobals->Clear();
          record->FSteppingBase = &FNoSteppingBase;
        }
        return;
      }
    }
    if (round < 64) {
      std::this_thread::yield();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
}

bool TVMIndexes::IsInactiveOrClosing(const TQOBVMId& AId) {
  std::lock_guard guard(FSection);
  return AId.Lock->FInactiveOrClosing;
}

TQOBThread* TVMIndexes::InitThread(const TQOBVMId& AId) {
  std::lock_guard guard(FSection);
  TThreadLocalRecord& local = tlsRecord;
  if (!local.Thread) {
    FreeEndedThreads();
    FThreadDatas.push_back(std::make_unique<TQOBThread>());
    local.Thread = FThreadDatas.back().get();
  }
  TQOBThread* thread = local.Thread;
  const int32_t oldCount = thread->SlotCount();
  if (AId.Index >= oldCount) {
    const int32_t newCount = std::max(oldCount == 0 ? 4 : oldCount * 2, AId.Index + 1);
    while (static_cast<int32_t>(FLocks.size()) < newCount)
      FLocks.push_back(std::make_unique<TQOBVMLock>());
    thread->FVMData.reserve(static_cast<size_t>(newCount));
    for (int32_t slot = oldCount; slot < newCount; ++slot) {
      TQOBVMLock* lock = FLocks[static_cast<size_t>(slot)].get();
      thread->FVMData.push_back(std::make_unique<TQOBThreadVM>(
          lock, thread, lock->FInactiveOrClosing, SteppingBaseFor(thread, lock->FDebuggerId)));
    }
  }
  local.SlotCount = thread->SlotCount();
  return thread;
}

int64_t TVMIndexes::GetNextDebuggerId() {
  std::lock_guard guard(FSection);
  return FNextDebuggerId++;
}

TQOBThreadVM& TVMIndexes::CurrentThreadVM(const TQOBVMId& AId) {
  TThreadLocalRecord& local = tlsRecord;
  if (AId.Index >= local.SlotCount) Instance().InitThread(AId);
  return *local.Thread->VMData(AId.Index);
}

TQOBThread* TVMIndexes::CurrentThread() noexcept {
  return tlsRecord.Thread;
}

int32_t TVMIndexes::ThreadCount() {
  std::lock_guard guard(FSection);
  return static_cast<int32_t>(FThreadDatas.size());
}

TQOBSteppingBase* TVMIndexes::SteppingBaseFor(TQOBThread* AThread, int64_t ADebuggerId) {
  if (ADebuggerId == -1) return &FNoSteppingBase;
  for (auto& item : FSteppingItems)
    if (item->Thread == AThread && item->DebuggerId == ADebuggerId) return &item->Base;
  FSteppingItems.push_back(
      std::make_unique<TVMSteppingItem>(TVMSteppingItem{AThread, ADebuggerId}));
  TQOBSteppingBase* base = &FSteppingItems.back()->Base;
  if (FSteppingItems.size() > 10 * FLocks.size()) {
    // Drop the items of debuggers that no slot uses any more.
    std::erase_if(FSteppingItems, [this, base](const std::unique_ptr<TVMSteppingItem>& item) {
      if (&item->Base == base) return false;
      return std::none_of(FLocks.begin(), FLocks.end(),
                          [&](const std::unique_ptr<TQOBVMLock>& lock) {
                            return lock->FDebuggerId == item->DebuggerId;
                          });
    });
  }
  return base;
}

void TVMIndexes::FreeEndedThreads() {
  std::erase_if(FSteppingItems, [](const std::unique_ptr<TVMSteppingItem>& item) {
    return item->Thread->IsThreadClosed();
  });
  std::erase_if(FThreadDatas,
                [](const std::unique_ptr<TQOBThread>& thread) { return thread->IsThreadClosed(); });
}

}  // namespace qob
