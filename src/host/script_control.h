// TQOBScriptControl: the component through which an application runs one
// script. It holds the source, the language, the named objects and values
// published to the script and its event handlers; from Prepare to Close it
// owns a runner of its language's family, to which every script operation goes.
#pragma once

#include <atomic>
#include <initializer_list>
#include <memory>
#include <span>
#include <vector>

#include "host/named_items.h"
#include "host/named_values_holder.h"
#include "host/notify_event.h"
#include "host/runner.h"
#include "host/script_event_handler.h"
#include "host/script_language.h"
#include "host/script_source.h"
#include "ole/variant.h"
#include "rtl/component.h"

namespace qob {

class TQOBScriptDebugger;
class TQOBDebugModule;

class TQOBScriptControl : public TComponent {
  QOB_CLASS(TQOBScriptControl, TComponent)
 public:
  explicit TQOBScriptControl(TComponent* AOwner);
  ~TQOBScriptControl() override;

  // Properties.
  const WideString& About() const noexcept { return FAbout; }
  void SetAbout(const WideString& AValue) { FAbout = AValue; }
  bool Active() const noexcept { return State() == ssActive; }
  // True opens (closing again on a runtime error), false closes and frees the
  // event handlers. While loading, true is applied in Loaded.
  void SetActive(bool AValue);
  TScriptSourceStrings& Source() noexcept { return FSource; }
  const TScriptSourceStrings& Source() const noexcept { return FSource; }
  void SetSource(const TScriptSourceStrings& AValue) { FSource.Assign(AValue); }
  TQOBScriptDebugger* Debugger() const noexcept { return FDebugger; }
  void SetDebugger(TQOBScriptDebugger* AValue);
  WideString DebugName() const;
  void SetDebugName(const WideString& AValue);
  TQOBScriptLanguage Language() const noexcept { return FLanguage; }
  void SetLanguage(TQOBScriptLanguage AValue);
  bool ExceptionSourceInfo() const noexcept { return FExceptionSourceInfo; }
  void SetExceptionSourceInfo(bool AValue);
  const TNotifyEvent& BeforePrepare() const noexcept { return FBeforePrepare; }
  void SetBeforePrepare(const TNotifyEvent& AValue) noexcept { FBeforePrepare = AValue; }
  const TNotifyEvent& BeforeOpen() const noexcept { return FBeforeOpen; }
  void SetBeforeOpen(const TNotifyEvent& AValue) noexcept { FBeforeOpen = AValue; }
  const TNotifyEvent& AfterClose() const noexcept { return FAfterClose; }
  void SetAfterClose(const TNotifyEvent& AValue) noexcept { FAfterClose = AValue; }
  TQOBScriptControlState State() const noexcept { return FState.load(std::memory_order_acquire); }
  // Prepared or active only.
  ComPtr<IDispatch> CodeObject() const;
  Variant Script() const;
  TQOBDebugModule* DebugModule() const noexcept { return FDebugModule; }
  void SetDebugModule(TQOBDebugModule* AValue);

  // Life cycle.
  void Prepare();
  void Open(bool ACloseOnRuntimeError);
  void Close(bool AClearObjects, bool AClearEventHandler);
  // Stops script code of this control running on any thread with "Script
  // execution has been aborted.". Callable from any thread while the control
  // is prepared or active, but not while another thread closes it; the
  // script cannot run again until the control is closed and reopened.
  void Abort();

  // Named objects and values, and event handlers.
  void AddOrSetValue(const WideString& AName, const Variant& AValue);
  bool TryReadValue(const WideString& AName, Variant& AResult) const;
  void AddObject(const WideString& AName, const Variant& AObj, bool APublishMembers);
  void RemoveObject(const WideString& AName);
  void ClearObjects();
  void ClearEventHandlers();
  // The control's handler of that class for the procedure (letter case
  // ignored), created on first use.
  TQOBScriptEventHandler* GetEventHandler(const WideString& AProcName,
                                          const TQOBScriptEventHandlerClass& AHandlerClass);

  // Script operations. Texts go to the runner unchanged.
  std::unique_ptr<TObject> PrepareExpr(const WideString& AExpression);
  std::unique_ptr<TObject> PrepareStmt(const WideString& AStatement);
  Variant Eval(const WideString& AExpression);
  Variant Eval(TObject* APreparedExpr);
  void ExecuteStatement(const WideString& AStatement);
  void ExecuteStatement(TObject* APreparedStmt);
  Variant RunProc(const WideString& AName);
  Variant RunProc(const WideString& AName, std::span<const Variant> AArgs);
  Variant ReadVar(const WideString& AName);
  void WriteVar(const WideString& AName, const Variant& AValue);

  // What runners read while they prepare.
  const TNamedItems& NamedItems() const noexcept { return FNamedItems; }
  IQOBNamedValuesHolder* NamedValuesHolder() const noexcept { return FNamedValuesHolder.get(); }

  void Loaded() override;

 protected:
  virtual void DoBeforePrepare();
  virtual void DoBeforeOpen();
  virtual void DoAfterClose();

 private:
  friend class TScriptSourceStrings;

  // Raises "Invalid script control state" unless the state is one of AStates.
  void CheckState(std::initializer_list<TQOBScriptControlState> AStates) const;
  TRunnerBase& ActiveRunner() const;
  void ReleaseRunner() noexcept;

  WideString FAbout;
  std::atomic<TQOBScriptControlState> FState{ssInactive};
  std::unique_ptr<TRunnerBase> FRunner;
  ComPtr<IDispatch> FCodeObject;
  ComPtr<IQOBNamedValuesHolder> FNamedValuesHolder;
  TNamedItems FNamedItems;
  std::vector<std::unique_ptr<TQOBScriptEventHandler>> FEventHandlers;
  TScriptSourceStrings FSource{this};
  TQOBScriptDebugger* FDebugger = nullptr;
  TQOBScriptLanguage FLanguage = slVBScript;
  bool FExceptionSourceInfo = true;
  TNotifyEvent FAfterClose;
  TNotifyEvent FBeforePrepare;
  TNotifyEvent FBeforeOpen;
  TQOBDebugModule* FDebugModule = nullptr;
  WideString FLoadingDebugName;
  bool FLoadingActive = false;
};

// Every script control that exists, in creation order (a snapshot).
std::vector<TQOBScriptControl*> ScriptControlList();

// Creates the runner of a language family for a control that is being
// prepared, with the control's ExceptionSourceInfo.
using TRunnerFactory = std::unique_ptr<TRunnerBase> (*)(TQOBScriptControl* AControl,
                                                        bool AAddSrcInfo);
// Installs the runner of a family (null: none) and answers the previous
// one. The native family's runner is installed from the start; without a
// runner for the engine family, preparing its languages fails with "Can't
// create script engine '%s'".
TRunnerFactory SetRunnerFactory(TQOBScriptLangKind AKind, TRunnerFactory AFactory);

}  // namespace qob
