#include "vm/virt_machine.h"

#include <cstdio>
#include <cstdlib>

#include "compiler/compile_error.h"
#include "compiler/name_table.h"
#include "vm/code_object.h"
#include "vm/vm_globals.h"
#include "vm/vm_invoke.h"

namespace qob {

namespace {

constexpr char16_t kNotInitializedMsg[] = u"Virtual machine should be not initialized.";
constexpr char16_t kCloseFromInsideMsg[] =
    u"Virtual machine cannot be closed by a thread that is running in it.";

}  // namespace

// Receives what the parser reports while a module is compiled.
class TVMParserCallbacks final : public IQOBParserCallbacks {
 public:
  explicit TVMParserCallbacks(TQOBVirtMachine& AVM) : FVM(AVM) {}

  TQOBNameId GetNameId(std::u16string_view AName) override { return QOBNameId(AName); }

  void GlobalStmtParsed(std::unique_ptr<IQOBEmitable> AStmt) override {
    FVM.FGlobalStmts.push_back(std::move(AStmt));
  }

  void GlobalObjParsed(std::unique_ptr<TQOBGlobalObject>& AObj, bool& ADuplicateName) override {
    ADuplicateName = !FVM.FScriptGlobals.Add(AObj.get());
    if (ADuplicateName) return;
    TQOBGlobalObject* object = AObj.release();
    switch (object->FGlobalObjType) {
      case gtVar:
        FVM.FGlobalVars.push_back(static_cast<TQOBVarObject*>(object));
        break;
      case gtConst:
        FVM.FGlobalConsts.push_back(static_cast<TQOBConstObject*>(object));
        break;
      case gtProcedure:
        FVM.FProcedures.push_back(static_cast<TQOBProcObject*>(object));
        break;
      default:
        return;  // no dispatch id for anything else
    }
    auto* exposed = static_cast<TQOBDispIdObject*>(object);
    exposed->FDispId = FVM.FDispIdsCount++;
    FVM.FScriptGlobalsByDispId.push_back(exposed);
  }

  void UsedUnitParsed(const WideString& /*AName*/, bool& ADuplicateName) override {
    ADuplicateName = false;
  }

 private:
  TQOBVirtMachine& FVM;
};

// ------------------------------------------------------------- lifecycle

TQOBVirtMachine::TQOBVirtMachine(IQOBLanguage* ALanguage)
    : FLanguage(ALanguage), FExternObjects(std::make_unique<TQOBExternObjects>(this)) {
  TVMIndexes::Instance().AsquireId(this, &FTerminateFlag, FId);
  FGlobalNamespace = std::make_unique<TGlobalObjectsNamespace>(this, FId.Index);
  FScriptGlobalsByDispId.reserve(4);
  FScriptGlobalsByDispId.push_back(nullptr);  // dispatch ids start at 1
}

TQOBVirtMachine::~TQOBVirtMachine() {
  // Destroying a machine from a thread that runs in it would free the code
  // under that thread's own activations: a host error that cannot be undone,
  // so it stops the process with a clear message instead of running on
  // freed memory.
  if (TVMIndexes::CurrentThreadVM(FId).IsEntered()) {
    std::fputs("qob: a virtual machine was destroyed by a thread running in it\n", stderr);
    std::abort();
  }
  Close();
  TVMIndexes::Instance().ReleaseId(FId);
}

TQOBAbstractNamespace* TQOBVirtMachine::GlobalNamespace() const noexcept {
  return FGlobalNamespace.get();
}

void TQOBVirtMachine::Initialize(const WideString& ASource) {
  std::lock_guard guard(FSection);
  if (State() != msUninitialized || FClosing > 0) throw EQOBVirtMachine(kNotInitializedMsg);
  FSource.SetText(ASource);
  FModuleGeneration.fetch_add(1, std::memory_order_acq_rel);
  try {
    {
      TVMParserCallbacks callbacks(*this);
      std::unique_ptr<IQOBParserBase> parser = FLanguage->CreateParser(&callbacks);
      parser->Parse(ASource);
    }
    FLanguage->EnumGlobalObjects(
        [](void* AData, std::unique_ptr<TQOBGlobalObject> AObject) {
          // A built-in whose name is taken is refused (and freed).
          if (static_cast<TQOBVirtMachine*>(AData)->FIntrinsicObjects.Add(AObject.get()))
            AObject.release();
        },
        this);
    for (TQOBProcObject* proc : FProcedures) proc->EmitByteCode(FGlobalNamespace.get());
    auto code = std::make_unique<TQOBByteCode>();
    code->BeginEmit(u"Global code", FGlobalNamespace.get(), 0);
    for (auto& statement : FGlobalStmts) statement->Emit(FGlobalNamespace.get(), code.get());
    code->Emit(icRet);
    code->EndEmit();
    FGlobalByteCode = std::move(code);
    FCodeObject = ComPtr<IDispatch>(new TQOBCodeObject(*this));
  } catch (EQOBCompileBase& e) {
    if (OnFormatException) {
      int32_t line;
      int32_t column;
      FSource.PosToLine(e.SourcePos(), line, column);
      OnFormatException(this, line, column, e);
    }
    DiscardModule();
    throw;
  } catch (...) {
    DiscardModule();
    throw;
  }
  FState.store(msInitialized, std::memory_order_release);
}

void TQOBVirtMachine::Open() {
  {
    std::lock_guard guard(FSection);
    if (State() != msInitialized || FClosing > 0) throw EQOBVirtMachine(kVMShouldBeInitializedMsg);
    FState.store(msActive, std::memory_order_release);
    FTerminateFlag.store(0xFF, std::memory_order_relaxed);
    TVMIndexes::Instance().MarkOpened(FId, -1);
  }
  // The global statements run as an ordinary entry, outside the section:
  // they may call back into the machine, and Close may abort them.
  TQOBVMEntry entry(FId);
  const TQOBVMInterpretContext context{FGlobalByteCode.get(), nullptr, nullptr, nullptr};
  Execute(entry.Thread(), context);
}

void TQOBVirtMachine::Close() {
  {
    std::lock_guard guard(FSection);
    if (State() == msUninitialized) return;
    // Waiting for ourselves would never end, and the code would go from
    // under the running activation.
    if (TVMIndexes::CurrentThreadVM(FId).IsEntered()) throw EQOBVirtMachine(kCloseFromInsideMsg);
    ++FClosing;
  }
  // Wait outside the section: a thread being aborted may still need it (a
  // host call that asks for the code object, say) before it can leave.
  TVMIndexes::Instance().MarkClosingAndWait(FId);
  std::lock_guard guard(FSection);
  // Several Close calls may wait at once: the module may be replaced only
  // when the last of them is done.
  --FClosing;
  if (State() == msUninitialized) return;  // another Close finished first
  FState.store(msUninitialized, std::memory_order_release);
  DiscardModule();
}

void TQOBVirtMachine::DiscardModule() noexcept {
  FCodeObject.reset();
  FSource.Clear();
  FGlobalStmts.clear();
  FGlobalByteCode.reset();
  FDispIdsCount = 1;
  FScriptGlobalsByDispId.resize(1);
  FProcedures.clear();
  FGlobalVars.clear();
  FGlobalConsts.clear();
  FScriptGlobals.Clear();
  FIntrinsicObjects.Clear();
  FExternObjects->Close();
}

bool TQOBVirtMachine::IsAborting() const {
  return TVMIndexes::Instance().IsInactiveOrClosing(FId);
}

void TQOBVirtMachine::RequireCompiled(const char16_t* AMessage) const {
  const TQOBVMState state = State();
  if ((state != msInitialized && state != msActive) || FClosing > 0) throw EQOBVirtMachine(AMessage);
}

bool TQOBVirtMachine::AddExternObject(IDispatch* AObj, const WideString& AName,
                                      bool APublishMembers) {
  std::lock_guard guard(FSection);
  RequireCompiled(kVMShouldBeInitializedMsg);
  return FExternObjects->Add(AObj, AName, APublishMembers);
}

ComPtr<IDispatch> TQOBVirtMachine::CodeObject() {
  std::lock_guard guard(FSection);
  RequireCompiled(kVMShouldBeInitializedMsg);
  return FCodeObject;
}

void TQOBVirtMachine::MakeEventHandler(const WideString& AProcName, Variant& AResult) {
  AResult.Clear();
  if (OnEventMake) OnEventMake(this, AProcName, AResult);
}

// ------------------------------------------------------------ host entries

TQOBVMEntry::TQOBVMEntry(const TQOBVMId& AId) : FRecord(&TVMIndexes::CurrentThreadVM(AId)) {
  if (!FRecord->Lock()) throw EQOBVirtMachine(kVMShouldBeActiveMsg);
  // A code object may outlive its machine; the slot may belong to another now.
  FVM = AId.Lock->VM();
  if (!FVM || FVM->Id().Id != AId.Id) {
    FRecord->Unlock();
    throw EQOBVirtMachine(kVMShouldBeActiveMsg);
  }
}

void TQOBVirtMachine::Lock() {
  if (!TVMIndexes::CurrentThreadVM(FId).Lock()) throw EQOBVirtMachine(kVMShouldBeActiveMsg);
}

void TQOBVirtMachine::Unlock() {
  TVMIndexes::CurrentThreadVM(FId).Unlock();
}

bool TQOBVirtMachine::IsModuleGlobal(const WideString& AName) const {
  const TQOBNameId name = QOBNameTable().GetNameIndex(AName, false);
  return name != kQOBNoName && FScriptGlobals.Find(name) != nullptr;
}

Variant TQOBVirtMachine::RunProc(const WideString& AName) {
  return RunProc(AName, {});
}

Variant TQOBVirtMachine::RunProc(const WideString& AName, std::span<const Variant> AArgs) {
  TQOBVMEntry entry(FId);
  TQOBProcObject* proc = entry.Record().Globals().FindProcByStrName(AName);
  if (!proc) {
    if (IsModuleGlobal(AName)) EQOBVMRuntime::RaiseError(retProcRequired);
    EQOBVMRuntime::RaiseError(retUndeclaredId, AName.view());
  }
  const int32_t count = static_cast<int32_t>(AArgs.size());
  if (count != proc->FParamCount) EQOBVMRuntime::RaiseError(retInvalidParamCount);
  TQOBPoolSlots slots(entry.Thread(), count + 1);
  for (int32_t i = 0; i < count; ++i) slots[i] = AArgs[static_cast<size_t>(i)];
  QOBCallProcedure(*this, entry.Thread(), proc, count, slots.data(), slots[count]);
  return std::move(slots[count].Deref());
}

Variant TQOBVirtMachine::ReadVar(const WideString& AName) {
  TQOBVMEntry entry(FId);
  TQOBGlobalValuedObject* object = entry.Record().Globals().FindValObjByStrName(AName);
  if (!object) {
    if (IsModuleGlobal(AName)) EQOBVMRuntime::RaiseError(retValObjRequired);
    EQOBVMRuntime::RaiseError(retUndeclaredId, AName.view());
  }
  return object->Value.Deref();
}

void TQOBVirtMachine::WriteVar(const WideString& AName, const Variant& AValue) {
  TQOBVMEntry entry(FId);
  TQOBGlobalValuedObject* object = entry.Record().Globals().FindValObjByStrName(AName);
  if (!object) {
    if (IsModuleGlobal(AName)) EQOBVMRuntime::RaiseError(retValObjRequired);
    EQOBVMRuntime::RaiseError(retUndeclaredId, AName.view());
  }
  if (object->FGlobalObjType == gtConst) EQOBVMRuntime::RaiseError(retCannotAssign);
  object->Value = AValue.Deref();
}

}  // namespace qob
