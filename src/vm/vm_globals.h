// Global names of a machine: the host objects registered by name, the
// machine's global scope, and each thread's cache of that scope. Module
// globals hide host objects, which hide the language's built-ins; members of
// host objects published with their members come last.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "compiler/global_objects.h"
#include "compiler/keyed_tables.h"
#include "compiler/name_search.h"
#include "ole/com.h"
#include "rtl/threads.h"

namespace qob {

class TQOBVirtMachine;
class TQOBThreadVM;
class TQOBThreadGlobals;

// Host objects registered by name.
class TQOBExternObjects {
 public:
  explicit TQOBExternObjects(TQOBVirtMachine* AVM) : FVM(AVM) {}
  TQOBExternObjects(const TQOBExternObjects&) = delete;
  TQOBExternObjects& operator=(const TQOBExternObjects&) = delete;

  // False (nothing kept) when the name is taken.
  bool Add(IDispatch* AObj, const WideString& AName, bool APublishMembers);
  // Forgets every registration; the change number becomes 0.
  void Close();
  // Grows with every registration, so thread caches notice them.
  int32_t ChangeNumber() const noexcept { return FChangeNumber.load(std::memory_order_acquire); }
  void UpdateContentOf(TQOBThreadGlobals& AGlobals);

 private:
  TQOBVirtMachine* FVM;
  TCriticalSection FSection;
  TQOBNameHashTable FObjects{true};
  std::vector<TQOBExternObject*> FPubMrsObjs;  // registration order
  std::atomic<int32_t> FChangeNumber{0};
};

struct TThreadGlobalsItem {
  bool TrySearchInPubs = false;
  TQOBNameSearchRes SearchRes;
};

// One thread's view of a machine's global scope. Touched only by its thread
// (and by Close once the thread has left the machine), so it needs no lock.
class TQOBThreadGlobals {
 public:
  explicit TQOBThreadGlobals(TQOBThreadVM* AThreadVM) : FThreadVM(AThreadVM) {}
  TQOBThreadGlobals(const TQOBThreadGlobals&) = delete;
  TQOBThreadGlobals& operator=(const TQOBThreadGlobals&) = delete;

  void Clear();
  TQOBNameSearchRes Search(TQOBNameId AName, const WideString& AStrName);
  // The host entry points' lookups by name text (any letter case).
  TQOBProcObject* FindProcByStrName(const WideString& AStrName);
  TQOBGlobalValuedObject* FindValObjByStrName(const WideString& AStrName);

 private:
  friend class TQOBExternObjects;
  TQOBVirtMachine& VM() const;
  void Refresh();
  bool SearchInPubs(TQOBNameId AName, const WideString& AStrName, TThreadGlobalsItem& AItem);
  TQOBGlobalObject* FindObjectByStrName(const WideString& AStrName);

  TQOBThreadVM* FThreadVM;
  std::unordered_map<TQOBNameId, TThreadGlobalsItem> FItems;
  std::unordered_map<std::u16string, TQOBProcObject*> FProcsCache;
  std::unordered_map<std::u16string, TQOBGlobalValuedObject*> FValObjCache;
  std::vector<TQOBExternObject*> FPubMrsExterns;
  int32_t FChangeNumber = -1;
};

// The machine's global scope: run-time searches go to the running thread's cache.
class TGlobalObjectsNamespace final : public TQOBAbstractNamespace {
 public:
  explicit TGlobalObjectsNamespace(TQOBVirtMachine* AVM, int32_t AVMIdIndex)
      : TQOBAbstractNamespace(nullptr), FVM(AVM), FVMIdIndex(AVMIdIndex) {}

  TQOBNameSearchRes Find(TQOBThread* AThread, TQOBNameId AName,
                         const WideString& AStrName) override;
  // Constants first, then variables, in parse order; nothing with ALocalsOnly.
  void EnumDebugVars(bool ALocalsOnly, const TQOBNamespaceEnumVarsProc& AProc) override;

 private:
  TQOBVirtMachine* FVM;
  int32_t FVMIdIndex;
};

}  // namespace qob
