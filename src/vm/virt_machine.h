// TQOBVirtMachine: one compiled script module. It owns the module's text, the
// global objects the compiler produced, the byte code of the global
// statements and the host objects registered by name, and exposes the
// module's globals through its code object. Execution entry points may be
// called from several threads at once; the lifecycle is serialised.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "compiler/global_objects.h"
#include "compiler/keyed_tables.h"
#include "compiler/language.h"
#include "compiler/name_search.h"
#include "ole/com.h"
#include "ole/variant.h"
#include "rtl/object.h"
#include "rtl/threads.h"
#include "vm/bytecode.h"
#include "vm/source_positions.h"
#include "vm/vm_runtime_error.h"
#include "vm/vm_threads.h"

namespace qob {

class TQOBVirtMachine;
class TQOBCodeObject;
class TQOBExternObjects;
class TGlobalObjectsNamespace;

enum TQOBVMState : uint8_t { msUninitialized, msInitialized, msActive };

// The state errors (EQOBVirtMachine) of the machine and of what refers to it.
inline constexpr char16_t kVMShouldBeInitializedMsg[] = u"Virtual machine should be initialized.";
inline constexpr char16_t kVMShouldBeActiveMsg[] = u"Virtual machine should be active.";

// What the caller hands to an activation.
struct TQOBVMInterpretContext {
  TQOBByteCode* Code = nullptr;
  Variant* Args = nullptr;               // first of the argument slots, or nil
  Variant* Result = nullptr;             // receives a function result, or nil
  const TQOBVMSource* Source = nullptr;  // dynamic code's own text; nil for module code
};

// Host hooks: the machine knows nothing about the host's object types or
// exceptions. Exceptions travel as std::exception_ptr so that the object a
// script handles or raises again keeps its identity.
using TQOBOnIsTest = std::function<void(TQOBVirtMachine* Sender, const Variant& AObj,
                                        const Variant& AType, bool& AResult)>;
using TQOBOnExceptionIsTest = std::function<void(
    TQOBVirtMachine* Sender, const std::exception_ptr& E, const Variant& AType, bool& AResult)>;
using TQOBOnVarToException =
    std::function<void(TQOBVirtMachine* Sender, const Variant& V, std::exception_ptr& AResult)>;
using TQOBOnExceptionToVar =
    std::function<void(TQOBVirtMachine* Sender, const std::exception_ptr& E, Variant& AResult)>;
// Sender is the machine, or the prepared code object for dynamic code.
using TQOBOnFormatException =
    std::function<void(TObject* Sender, int32_t ALine, int32_t ALinePos, Exception& E)>;
using TQOBOnEventMake =
    std::function<void(TQOBVirtMachine* Sender, const WideString& AProcName, Variant& AResult)>;
using TQOBOnNew = std::function<void(TQOBVirtMachine* Sender, const Variant& AType, Variant* AArgs,
                                     int32_t AArgCount, Variant& AResult)>;

class TQOBVirtMachine : public TObject, public TQOBVMBase {
  QOB_CLASS(TQOBVirtMachine, TObject)
 public:
  explicit TQOBVirtMachine(IQOBLanguage* ALanguage);
  ~TQOBVirtMachine() override;

  // Compiles the module. Requires msUninitialized; leaves msInitialized. A
  // compile error reaches OnFormatException with its line and column and
  // leaves the machine msUninitialized with nothing compiled.
  void Initialize(const WideString& ASource);
  // Runs the global statements on the calling thread. Requires
  // msInitialized; leaves msActive, also when the global statements raise.
  void Open();
  // Stops every thread running in the machine ("Script execution has been
  // aborted."), waits until they have left, and discards the module. Raises
  // EQOBVirtMachine when called from a thread that is running in the machine.
  void Close();

  // Registers a host object; false when the name is taken. With
  // APublishMembers its members become visible as global names.
  bool AddExternObject(IDispatch* AObj, const WideString& AName, bool APublishMembers);

  // Enter and leave the machine on the calling thread; Lock raises
  // "Virtual machine should be active." when the machine is not active.
  void Lock();
  void Unlock();

  Variant RunProc(const WideString& AName);
  // The arguments are copied into the procedure's own argument slots, so a
  // by-value parameter never writes into the host's array.
  Variant RunProc(const WideString& AName, std::span<const Variant> AArgs);
  Variant ReadVar(const WideString& AName);
  void WriteVar(const WideString& AName, const Variant& AValue);

  // The module's code object. Requires msInitialized or msActive.
  ComPtr<IDispatch> CodeObject();
  void MakeEventHandler(const WideString& AProcName, Variant& AResult) override;

  // Dynamic code (dyn_code.cpp): expressions and statements compiled at run
  // time in the module's global scope. Preparing requires msInitialized or
  // msActive; the caller owns the prepared code (a TPreparedDynCode).
  std::unique_ptr<TObject> PrepareExpr(const WideString& AExpr);
  std::unique_ptr<TObject> PrepareStmt(const WideString& AStmt);
  Variant Eval(TObject* APreparedExpr);
  void ExecStmt(TObject* APreparedStmt);
  // Prepare, run and free in one go.
  Variant Eval(const WideString& AExpr);
  void ExecStmt(const WideString& AStmt);
  // Grows with every module compiled, so that code prepared against an
  // earlier module is refused.
  uint64_t ModuleGeneration() const noexcept {
    return FModuleGeneration.load(std::memory_order_acquire);
  }

  TQOBVMState State() const noexcept { return FState.load(std::memory_order_acquire); }
  const TQOBVMId& Id() const noexcept { return FId; }
  const TQOBVMSource& Source() const noexcept { return FSource; }
  IQOBLanguage* Language() const noexcept { return FLanguage.get(); }
  TQOBAbstractNamespace* GlobalNamespace() const noexcept;
  // The global objects in parse order.
  const std::vector<TQOBProcObject*>& Procedures() const noexcept { return FProcedures; }
  const std::vector<TQOBVarObject*>& GlobalVars() const noexcept { return FGlobalVars; }
  const std::vector<TQOBConstObject*>& GlobalConsts() const noexcept { return FGlobalConsts; }
  TQOBByteCode* GlobalByteCode() const noexcept { return FGlobalByteCode.get(); }

  // Host hooks; assign them before the machine runs.
  TQOBOnIsTest OnIsTest;
  TQOBOnExceptionIsTest OnExceptionIsTest;
  TQOBOnVarToException OnVarToException;
  TQOBOnExceptionToVar OnExceptionToVar;
  TQOBOnFormatException OnFormatException;
  TQOBOnEventMake OnEventMake;
  TQOBOnNew OnNew;

  // Runs one activation on the calling thread, which must have entered the machine.
  void Execute(TQOBThread& AThread, const TQOBVMInterpretContext& AContext);
  // True once Close has begun: running code is being aborted.
  bool IsAborting() const;
  // Clears the interrupt mask: every activation of the machine traps at its
  // next instruction (how break requests reach running code).
  void Interrupt() noexcept { FTerminateFlag.store(0, std::memory_order_relaxed); }

 private:
  friend class TVMParserCallbacks;
  friend class TQOBThreadGlobals;
  friend class TQOBExternObjects;
  friend class TQOBCodeObject;
  friend class TQOBInterpreter;

  void RequireCompiled(const char16_t* AMessage) const;
  void DiscardModule() noexcept;
  // Whether AName (as passed by a host) names one of the module's own globals.
  bool IsModuleGlobal(const WideString& AName) const;

  std::atomic<TQOBVMState> FState{msUninitialized};
  ComPtr<IQOBLanguage> FLanguage;
  TCriticalSection FSection;
  TQOBVMId FId;
  ComPtr<IDispatch> FCodeObject;
  TQOBVMSource FSource;
  TQOBNameHashTable FScriptGlobals{true};
  // Dispatch id -> global object; slot 0 stays empty.
  std::vector<TQOBDispIdObject*> FScriptGlobalsByDispId;
  int32_t FDispIdsCount = 1;
  std::unique_ptr<TQOBExternObjects> FExternObjects;
  TQOBNameHashTable FIntrinsicObjects{true};
  std::vector<TQOBProcObject*> FProcedures;
  std::vector<TQOBVarObject*> FGlobalVars;
  std::vector<TQOBConstObject*> FGlobalConsts;
  std::unique_ptr<TGlobalObjectsNamespace> FGlobalNamespace;
  std::vector<std::unique_ptr<IQOBEmitable>> FGlobalStmts;
  std::unique_ptr<TQOBByteCode> FGlobalByteCode;
  // ANDed with every instruction code: 0xFF while running normally, 0 while
  // an interruption (abort, break request) is pending.
  std::atomic<uint8_t> FTerminateFlag{0xFF};
  int32_t FClosing = 0;  // Close calls in progress, under FSection
  std::atomic<uint64_t> FModuleGeneration{0};
};

// Enters a machine on the calling thread for the lifetime of the object.
class TQOBVMEntry {
 public:
  // Raises "Virtual machine should be active." when the machine cannot be entered.
  explicit TQOBVMEntry(const TQOBVMId& AId);
  TQOBVMEntry(const TQOBVMEntry&) = delete;
  TQOBVMEntry& operator=(const TQOBVMEntry&) = delete;
  ~TQOBVMEntry() { FRecord->Unlock(); }

  // The machine that owns the slot now, checked against the entered id.
  TQOBVirtMachine& VM() const noexcept { return *FVM; }
  TQOBThreadVM& Record() const noexcept { return *FRecord; }
  TQOBThread& Thread() const noexcept { return *FRecord->Thread(); }

 private:
  TQOBThreadVM* FRecord;
  TQOBVirtMachine* FVM;
};

// Slots borrowed from the calling thread's stack pool, returned on every path.
class TQOBPoolSlots {
 public:
  TQOBPoolSlots(TQOBThread& AThread, int32_t ACount)
      : FThread(AThread), FCount(ACount), FSlots(AThread.StackPool().AsquireStack(ACount)) {}
  TQOBPoolSlots(const TQOBPoolSlots&) = delete;
  TQOBPoolSlots& operator=(const TQOBPoolSlots&) = delete;
  ~TQOBPoolSlots() { FThread.StackPool().ReleaseStack(FCount); }

  Variant* data() const noexcept { return FSlots; }
  Variant& operator[](int32_t AIndex) const noexcept { return FSlots[AIndex]; }

 private:
  TQOBThread& FThread;
  int32_t FCount;
  Variant* FSlots;
};

}  // namespace qob
