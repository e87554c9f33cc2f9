#include "host/script_control.h"

#include <algorithm>
#include <mutex>

#include "host/host_errors.h"
#include "host/native_runner.h"
#include "ole/variant_convert.h"
#include "rtl/format.h"
#include "rtl/unicode.h"

namespace qob {

namespace {

// The process-wide list of controls; nothing in the library reads it, hosts may.
struct ControlList {
  std::mutex Lock;
  std::vector<TQOBScriptControl*> Controls;
};

ControlList& Controls() {
  static ControlList list;
  return list;
}

std::atomic<TRunnerFactory>& RunnerFactorySlot(TQOBScriptLangKind AKind) {
  // Indexed by family: no engine runner yet, the native runner from the start.
  static std::atomic<TRunnerFactory> slots[] = {nullptr, &TNativeRunner::Create};
  return slots[AKind];
}

// The IDispatch that a named object's Variant holds.
ComPtr<IDispatch> DispatchOf(const Variant& AObj) {
  Variant converted = VarAsType(AObj, varDispatch);
  if (!converted.VDispatch) throw EVariantTypeCastError();
  return ComPtr<IDispatch>(converted.VDispatch);
}

constexpr std::u16string_view kLanguageNames[] = {u"slVBScript", u"slJScript", u"slPerl",
                                                  u"slRexx",     u"slTCL",     u"slPython",
                                                  u"slLua",      u"slPascal",  u"slNativeVb"};
constexpr TTypeRecord kScriptLanguageType{tkEnumeration, u"TQOBScriptLanguage", kLanguageNames};

TQOBScriptControl& Control(TPersistent& AInstance) {
  return static_cast<TQOBScriptControl&>(AInstance);
}
const TQOBScriptControl& Control(const TPersistent& AInstance) {
  return static_cast<const TQOBScriptControl&>(AInstance);
}

// The published properties, so that a host's loading code and event hooks
// find them by name. Registered with the class, before any control exists.
const bool kPropertiesPublished = [] {
  RegisterPublishedProperties(
      TQOBScriptControl::StaticClass(),
      {
          {u"About", &kStringType, [](const TPersistent& c) { return Variant(Control(c).About()); },
           [](TPersistent& c, const Variant& v) { Control(c).SetAbout(VarToStr(v)); }},
          {u"Active", &kBooleanType,
           [](const TPersistent& c) { return Variant(Control(c).Active()); },
           [](TPersistent& c, const Variant& v) { Control(c).SetActive(VarToBool(v)); }},
          {u"Source", &kStringType,
           [](const TPersistent& c) { return Variant(Control(c).Source().Text()); },
           [](TPersistent& c, const Variant& v) {
             Control(c).Source().SetText(VarToStr(v).view());
           }},
          {u"DebugName", &kStringType,
           [](const TPersistent& c) { return Variant(Control(c).DebugName()); },
           [](TPersistent& c, const Variant& v) { Control(c).SetDebugName(VarToStr(v)); }},
          {u"Language", &kScriptLanguageType,
           [](const TPersistent& c) {
             return Variant(static_cast<int32_t>(Control(c).Language()));
           },
           [](TPersistent& c, const Variant& v) {
             const int32_t ordinal = VarToInt32(v);
             if (ordinal < kScriptLanguageType.MinValue || ordinal > kScriptLanguageType.MaxValue())
               throw ERangeError();
             Control(c).SetLanguage(static_cast<TQOBScriptLanguage>(ordinal));
           }},
          {u"ExceptionSourceInfo", &kBooleanType,
           [](const TPersistent& c) { return Variant(Control(c).ExceptionSourceInfo()); },
           [](TPersistent& c, const Variant& v) {
             Control(c).SetExceptionSourceInfo(VarToBool(v));
           }},
          {u"BeforePrepare", &kNotifyEventType, nullptr, nullptr,
           [](const TPersistent& c) { return Control(c).BeforePrepare(); },
           [](TPersistent& c, const TMethod& m) { Control(c).SetBeforePrepare(m); }},
          {u"BeforeOpen", &kNotifyEventType, nullptr, nullptr,
           [](const TPersistent& c) { return Control(c).BeforeOpen(); },
           [](TPersistent& c, const TMethod& m) { Control(c).SetBeforeOpen(m); }},
          {u"AfterClose", &kNotifyEventType, nullptr, nullptr,
           [](const TPersistent& c) { return Control(c).AfterClose(); },
           [](TPersistent& c, const TMethod& m) { Control(c).SetAfterClose(m); }},
      });
  return true;
}();

}  // namespace

std::vector<TQOBScriptControl*> ScriptControlList() {
  ControlList& list = Controls();
  std::lock_guard lock(list.Lock);
  return list.Controls;
}

TRunnerFactory SetRunnerFactory(TQOBScriptLangKind AKind, TRunnerFactory AFactory) {
  return RunnerFactorySlot(AKind).exchange(AFactory);
}

TQOBScriptControl::TQOBScriptControl(TComponent* AOwner) : TComponent(AOwner) {
  ControlList& list = Controls();
  std::lock_guard lock(list.Lock);
  list.Controls.push_back(this);
}

TQOBScriptControl::~TQOBScriptControl() {
  Destroying();
  {
    ControlList& list = Controls();
    std::lock_guard lock(list.Lock);
    std::erase(list.Controls, this);
  }
  if (State() != ssInactive) {
    try {
      Close(false, true);
    } catch (...) {
      // Destruction raises nothing; whatever the runner failed to close goes with it.
      ReleaseRunner();
    }
  }
  FDebugger = nullptr;
  FDebugModule = nullptr;
  FEventHandlers.clear();
}

void TQOBScriptControl::CheckState(std::initializer_list<TQOBScriptControlState> AStates) const {
  if (std::find(AStates.begin(), AStates.end(), State()) == AStates.end())
    throw EQOBScriptControl(WideString(SInvalidScriptControlState));
}

TRunnerBase& TQOBScriptControl::ActiveRunner() const {
  CheckState({ssActive});
  return *FRunner;
}

void TQOBScriptControl::SetActive(bool AValue) {
  if (ComponentState() & csLoading) {
    FLoadingActive = AValue;
    return;
  }
  if (AValue == Active()) return;
  if (AValue)
    Open(true);
  else
    Close(false, true);
}

void TQOBScriptControl::SetDebugger(TQOBScriptDebugger* AValue) {
  CheckState({ssInactive});
  if (AValue == FDebugger) return;
  throw EQOBScriptControl(WideString(SDebuggerNotAvailable));
}

WideString TQOBScriptControl::DebugName() const {
  // The name is that of the debug module, and modules belong to a debugger,
  // which cannot be attached in this build: there is never a module.
  return WideString();
}

void TQOBScriptControl::SetDebugName(const WideString& AValue) {
  if (ComponentState() & csLoading) {
    FLoadingDebugName = AValue;
    return;
  }
  if (AValue == DebugName()) return;
  // Without a debugger a non-empty name is not kept; an empty one clears the module.
  if (AValue.empty()) SetDebugModule(nullptr);
}

void TQOBScriptControl::SetDebugModule(TQOBDebugModule* AValue) {
  if (AValue == FDebugModule) return;
  // Only modules of the control's own debugger are accepted, and there is
  // no debugger to own one: any other module is ignored.
}

void TQOBScriptControl::SetLanguage(TQOBScriptLanguage AValue) {
  CheckState({ssInactive});
  FLanguage = AValue;
}

void TQOBScriptControl::SetExceptionSourceInfo(bool AValue) {
  CheckState({ssInactive});
  FExceptionSourceInfo = AValue;
}

ComPtr<IDispatch> TQOBScriptControl::CodeObject() const {
  CheckState({ssPrepared, ssActive});
  return FCodeObject;
}

Variant TQOBScriptControl::Script() const {
  CheckState({ssPrepared, ssActive});
  return Variant(FCodeObject.get());
}

void TQOBScriptControl::Loaded() {
  TComponent::Loaded();
  SetDebugName(FLoadingDebugName);
  FLoadingDebugName = WideString();
  if (std::exchange(FLoadingActive, false)) SetActive(true);
}

void TQOBScriptControl::Prepare() {
  CheckState({ssInactive});
  DoBeforePrepare();
  TRunnerFactory factory = RunnerFactorySlot(LangKindOf(FLanguage)).load();
  if (!factory)
    throw EOleSysError(Format(SCannotCreateScriptEngine, {EngineNameOf(FLanguage)}),
                       REGDB_E_CLASSNOTREG);
  std::unique_ptr<TRunnerBase> runner = factory(this, FExceptionSourceInfo);
  try {
    auto holder = ComPtr<TNamedValuesHolder>(new TNamedValuesHolder());
    for (TNamedItem* item : FNamedItems)
      if (item->Kind == nikValue) holder->SetValue(item->Name, &item->Value);
    FNamedValuesHolder = ComPtr<IQOBNamedValuesHolder>(holder.get());
    runner->Prepare(nullptr);  // no debugger bridge: a debugger cannot be attached yet
    FCodeObject = runner->GetCodeObject();
  } catch (...) {
    runner.reset();
    FCodeObject.reset();
    // The holder points into the named items, which may go once inactive.
    if (FNamedValuesHolder) FNamedValuesHolder->Detach();
    FNamedValuesHolder.reset();
    throw;
  }
  FRunner = std::move(runner);
  FState = ssPrepared;
}

void TQOBScriptControl::Open(bool ACloseOnRuntimeError) {
  CheckState({ssInactive, ssPrepared});
  if (State() == ssInactive) Prepare();
  DoBeforeOpen();
  // Active before the global code runs, so that it may already call back.
  FState = ssActive;
  try {
    FRunner->Open();
  } catch (...) {
    // The script's error is the one to report, even when closing fails too
    // (an AfterClose handler that raises, say).
    if (ACloseOnRuntimeError) try {
        Close(false, true);
      } catch (...) {
      }
    throw;
  }
}

void TQOBScriptControl::Close(bool AClearObjects, bool AClearEventHandler) {
  if (State() != ssInactive) {
    FRunner->Close();
    ReleaseRunner();
  }
  if (AClearObjects) ClearObjects();
  if (AClearEventHandler) ClearEventHandlers();
  DoAfterClose();
}

void TQOBScriptControl::ReleaseRunner() noexcept {
  FCodeObject.reset();
  // Scripts elsewhere may still hold the holder; it must not reach the items any more.
  if (FNamedValuesHolder) FNamedValuesHolder->Detach();
  FNamedValuesHolder.reset();
  FRunner.reset();
  FState = ssInactive;
}

void TQOBScriptControl::Abort() {
  CheckState({ssPrepared, ssActive});
  FRunner->Abort();
}

void TQOBScriptControl::AddOrSetValue(const WideString& AName, const Variant& AValue) {
  WideString key = UpperCase(AName.view());
  TNamedItem* item = FNamedItems.Find(key.view());
  if (item && item->Kind != nikValue)
    throw EOleSysError(Format(SValueItemRequired, {AName}), E_FAIL);
  // A reference would point into the caller's frame; keep the value itself.
  Variant value(AValue.Deref());
  if (!item) {
    auto created =
        std::make_unique<TNamedItem>(TNamedItem{nikValue, std::move(key), AName, {}, false});
    item = created.get();
    FNamedItems.Add(std::move(created));
  }
  item->Value = std::move(value);
  if (State() != ssInactive) FNamedValuesHolder->SetValue(item->Name, &item->Value);
}

bool TQOBScriptControl::TryReadValue(const WideString& AName, Variant& AResult) const {
  AResult.Clear();
  const TNamedItem* item = FNamedItems.Find(UpperCase(AName.view()).view());
  if (!item || item->Kind != nikValue) return false;
  AResult = item->Value;
  return true;
}

void TQOBScriptControl::AddObject(const WideString& AName, const Variant& AObj,
                                  bool APublishMembers) {
  ComPtr<IDispatch> object = DispatchOf(AObj);
  WideString key = UpperCase(AName.view());
  if (FNamedItems.Find(key.view())) throw EOleSysError(Format(SNamedItemExists, {AName}), E_FAIL);
  auto created = std::make_unique<TNamedItem>(
      TNamedItem{nikObject, key, AName, Variant(object.get()), APublishMembers});
  TNamedItem& item = *created;
  FNamedItems.Add(std::move(created));
  if (State() == ssInactive) return;
  try {
    FRunner->AddNamedObjectToEngine(item);
  } catch (...) {
    FNamedItems.Remove(key.view());
    throw;
  }
}

void TQOBScriptControl::RemoveObject(const WideString& AName) {
  CheckState({ssInactive});
  FNamedItems.Remove(UpperCase(AName.view()).view());
}

void TQOBScriptControl::ClearObjects() {
  CheckState({ssInactive});
  FNamedItems.Clear();
}

void TQOBScriptControl::ClearEventHandlers() {
  FEventHandlers.clear();
}

TQOBScriptEventHandler* TQOBScriptControl::GetEventHandler(
    const WideString& AProcName, const TQOBScriptEventHandlerClass& AHandlerClass) {
  for (const auto& handler : FEventHandlers)
    if (handler->ClassType() == AHandlerClass.ClassType &&
        SameText(handler->ProcName().view(), AProcName.view()))
      return handler.get();
  FEventHandlers.push_back(AHandlerClass.Create(this, AProcName));
  return FEventHandlers.back().get();
}

std::unique_ptr<TObject> TQOBScriptControl::PrepareExpr(const WideString& AExpression) {
  CheckState({ssPrepared, ssActive});
  return FRunner->PrepareExpr(AExpression);
}

std::unique_ptr<TObject> TQOBScriptControl::PrepareStmt(const WideString& AStatement) {
  CheckState({ssPrepared, ssActive});
  return FRunner->PrepareStmt(AStatement);
}

Variant TQOBScriptControl::Eval(const WideString& AExpression) {
  return ActiveRunner().Eval(AExpression);
}

Variant TQOBScriptControl::Eval(TObject* APreparedExpr) {
  return ActiveRunner().Eval(APreparedExpr);
}

void TQOBScriptControl::ExecuteStatement(const WideString& AStatement) {
  ActiveRunner().ExecStmt(AStatement);
}

void TQOBScriptControl::ExecuteStatement(TObject* APreparedStmt) {
  ActiveRunner().ExecStmt(APreparedStmt);
}

Variant TQOBScriptControl::RunProc(const WideString& AName) {
  return ActiveRunner().RunProc(AName);
}

Variant TQOBScriptControl::RunProc(const WideString& AName, std::span<const Variant> AArgs) {
  return ActiveRunner().RunProc(AName, AArgs);
}

Variant TQOBScriptControl::ReadVar(const WideString& AName) {
  return ActiveRunner().ReadVar(AName);
}

void TQOBScriptControl::WriteVar(const WideString& AName, const Variant& AValue) {
  ActiveRunner().WriteVar(AName, AValue);
}

void TQOBScriptControl::DoBeforePrepare() {
  CallNotifyEvent(FBeforePrepare, this);
}

void TQOBScriptControl::DoBeforeOpen() {
  CallNotifyEvent(FBeforeOpen, this);
}

void TQOBScriptControl::DoAfterClose() {
  CallNotifyEvent(FAfterClose, this);
}

}  // namespace qob
