#include "host/native_runner.h"

#include "host/host_errors.h"
#include "host/script_control.h"
#include "host/source_info.h"
#include "pascal/pas_language.h"
#include "rtl/format.h"
#include "vm/virt_machine.h"

namespace qob {

namespace {

// The global name under which a script finds the named values holder; its
// members (the values) are published as globals of their own.
constexpr std::u16string_view kNamedValuesHolderName = u"QOBVALHLDR_AC3E_247A909A71EC";

// A fresh language object for every preparation: the machine keeps it.
ComPtr<IQOBLanguage> CreateLanguage(TQOBScriptLanguage ALanguage) {
  switch (ALanguage) {
    case slPascal:
      return ComPtr<IQOBLanguage>(new TQOBPasLanguage());
    case slNativeVb:
      // The VB-like front end is not part of this build yet.
      throw EOleSysError(Format(SCannotCreateScriptEngine, {EngineNameOf(ALanguage)}),
                         REGDB_E_CLASSNOTREG);
    default:
      // Runners are chosen by their language's family: never reached.
      throw EAssertionFailed();
  }
}

}  // namespace

TNativeRunner::TNativeRunner(TQOBScriptControl* ASControl, bool AAddSrcInfo) noexcept
    : FSControl(ASControl), FAddSrcInfo(AAddSrcInfo) {}

std::unique_ptr<TRunnerBase> TNativeRunner::Create(TQOBScriptControl* ASControl, bool AAddSrcInfo) {
  return std::make_unique<TNativeRunner>(ASControl, AAddSrcInfo);
}

TNativeRunner::~TNativeRunner() {
  try {
    Close();
  } catch (...) {
    // Close refuses only when called from inside the machine; nothing to add here.
  }
}

TQOBVirtMachine& TNativeRunner::VM() const {
  if (!FVM) throw EQOBScriptControl(WideString(SInvalidScriptControlState));
  return *FVM;
}

void TNativeRunner::Prepare(TRunnerDebugBase* ARunnerDebug) {
  ComPtr<IQOBLanguage> language = CreateLanguage(FSControl->Language());
  try {
    FVM = std::make_unique<TQOBVirtMachine>(language.get());
    const WideString text = FSControl->Source().Text();
    FRunnerDebug = ARunnerDebug;
    if (FAddSrcInfo) {
      TQOBScriptControl* control = FSControl;
      FVM->OnFormatException = [control](TObject*, int32_t ALine, int32_t ALinePos, Exception& E) {
        E.SetMessage(AddSourceInfo(E.Message(), control, ALine, ALinePos));
      };
    }
    FVM->Initialize(text);
    AddNamedObjectsToEngine(*FSControl);
    ComPtr<IDispatch> holder =
        ComPtr<IQOBNamedValuesHolder>(FSControl->NamedValuesHolder()).As<IDispatch>(IID_IDispatch);
    FVM->AddExternObject(holder.get(), WideString(kNamedValuesHolderName), true);
  } catch (...) {
    Close();
    throw;
  }
}

void TNativeRunner::Open() {
  VM().Open();
}

void TNativeRunner::Close() {
  if (!FVM) return;
  FVM->Close();
  FVM.reset();
  FRunnerDebug = nullptr;
}

void TNativeRunner::Abort() {
  // Closing the machine makes every running instruction raise the abort
  // error and waits until all threads have left; the module is gone after it.
  if (FVM) FVM->Close();
}

void TNativeRunner::AddNamedObjectToEngine(const TNamedItem& AItem) {
  VM().AddExternObject(AItem.Value.Deref().VDispatch, AItem.Name, AItem.PubMembers);
}

Variant TNativeRunner::RunProc(const WideString& AName) {
  return VM().RunProc(AName);
}

Variant TNativeRunner::RunProc(const WideString& AName, std::span<const Variant> AArgs) {
  return VM().RunProc(AName, AArgs);
}

Variant TNativeRunner::ReadVar(const WideString& AName) {
  return VM().ReadVar(AName);
}

void TNativeRunner::WriteVar(const WideString& AName, const Variant& AValue) {
  VM().WriteVar(AName, AValue);
}

std::unique_ptr<TObject> TNativeRunner::PrepareExpr(const WideString& AExpr) {
  return VM().PrepareExpr(AExpr);
}

std::unique_ptr<TObject> TNativeRunner::PrepareStmt(const WideString& AStmt) {
  return VM().PrepareStmt(AStmt);
}

Variant TNativeRunner::Eval(TObject* APreparedExpr) {
  return VM().Eval(APreparedExpr);
}

Variant TNativeRunner::Eval(const WideString& AExpr) {
  return VM().Eval(AExpr);
}

void TNativeRunner::ExecStmt(TObject* APreparedStmt) {
  VM().ExecStmt(APreparedStmt);
}

void TNativeRunner::ExecStmt(const WideString& AStmt) {
  VM().ExecStmt(AStmt);
}

ComPtr<IDispatch> TNativeRunner::GetCodeObject() {
  return VM().CodeObject();
}

}  // namespace qob
