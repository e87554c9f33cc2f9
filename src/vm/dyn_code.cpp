#include "vm/dyn_code.h"

#include <mutex>

#include "compiler/compile_error.h"
#include "compiler/name_table.h"
#include "rtl/exceptions.h"
#include "vm/virt_machine.h"

namespace qob {

namespace {

// The prepared code behind a host's TObject; anything else is a caller's mistake.
const TPreparedDynCode& PreparedOf(const TQOBVirtMachine& AVM, TObject* APrepared) {
  if (!APrepared || !APrepared->Is<TPreparedDynCode>()) throw EInvalidCast();
  const auto& prepared = static_cast<const TPreparedDynCode&>(*APrepared);
  if (prepared.VM() != &AVM) throw EInvalidArgument();
  return prepared;
}

}  // namespace

// ------------------------------------------------------ parser callbacks

TVMEvalParserCallbacks& TVMEvalParserCallbacks::Instance() {
  static TVMEvalParserCallbacks callbacks;
  return callbacks;
}

TQOBNameId TVMEvalParserCallbacks::GetNameId(std::u16string_view AName) {
  return QOBNameId(AName);
}

void TVMEvalParserCallbacks::GlobalStmtParsed(std::unique_ptr<IQOBEmitable> /*AStmt*/) {}

void TVMEvalParserCallbacks::GlobalObjParsed(std::unique_ptr<TQOBGlobalObject>& /*AObj*/,
                                             bool& ADuplicateName) {
  ADuplicateName = true;
}

void TVMEvalParserCallbacks::UsedUnitParsed(const WideString& /*AName*/, bool& ADuplicateName) {
  ADuplicateName = true;
}

// ---------------------------------------------------------- prepared code

TPreparedDynCode::TPreparedDynCode(TQOBVirtMachine* AVM)
    : FVM(AVM), FVMId(AVM->Id()), FModuleGeneration(AVM->ModuleGeneration()) {}

// Breakpoints are not kept for dynamic code yet; once they are, the records
// pointing into this byte code must go before it does.
TPreparedDynCode::~TPreparedDynCode() = default;

void TPreparedDynCode::PrepareExpr(const WideString& AExpr, TQOBAbstractNamespace* ADebugNS) {
  Prepare(AExpr, TKind::kExpression, ADebugNS ? ADebugNS : FVM->GlobalNamespace());
}

void TPreparedDynCode::PrepareStmt(const WideString& AStmt) {
  Prepare(AStmt, TKind::kStatement, FVM->GlobalNamespace());
}

void TPreparedDynCode::Prepare(const WideString& AText, TKind AKind,
                               TQOBAbstractNamespace* AScope) {
  FSource.SetText(AText);
  FModuleGeneration = FVM->ModuleGeneration();
  try {
    {
      std::unique_ptr<IQOBParserBase> parser =
          FVM->Language()->CreateParser(&TVMEvalParserCallbacks::Instance());
      FParsed = AKind == TKind::kExpression ? parser->ParseExpr(AText) : parser->ParseStmt(AText);
    }
    auto code = std::make_unique<TQOBByteCode>();
    code->BeginEmit(AText, AScope, 0);
    FParsed->Emit(AScope, code.get());
    if (AKind == TKind::kExpression) code->Emit(icAssignResult);
    code->Emit(icRet);
    code->EndEmit();
    FByteCode = std::move(code);
  } catch (EQOBCompileBase& e) {
    if (FVM->OnFormatException) {
      int32_t line;
      int32_t column;
      FSource.PosToLine(e.SourcePos(), line, column);
      FVM->OnFormatException(this, line, column, e);
    }
    throw;
  }
}

void TPreparedDynCode::Execute(Variant& AResult) const {
  // Entering checks that the machine is still the one it was prepared on
  // (a destroyed machine's slot may have a new owner) and is active.
  TQOBVMEntry entry(FVMId);
  if (!FByteCode || entry.VM().ModuleGeneration() != FModuleGeneration)
    throw EQOBVirtMachine(kVMShouldBeActiveMsg);
  const TQOBVMInterpretContext context{FByteCode.get(), nullptr, &AResult, &FSource};
  entry.VM().Execute(entry.Thread(), context);
}

// ---------------------------------------------------- the machine's side

std::unique_ptr<TObject> TQOBVirtMachine::PrepareExpr(const WideString& AExpr) {
  std::lock_guard guard(FSection);
  RequireCompiled(kVMShouldBeInitializedMsg);
  auto prepared = std::make_unique<TPreparedDynCode>(this);
  prepared->PrepareExpr(AExpr);
  return prepared;
}

std::unique_ptr<TObject> TQOBVirtMachine::PrepareStmt(const WideString& AStmt) {
  std::lock_guard guard(FSection);
  RequireCompiled(kVMShouldBeInitializedMsg);
  auto prepared = std::make_unique<TPreparedDynCode>(this);
  prepared->PrepareStmt(AStmt);
  return prepared;
}

Variant TQOBVirtMachine::Eval(TObject* APreparedExpr) {
  Variant result;
  PreparedOf(*this, APreparedExpr).Execute(result);
  // A reference would point into the machine; hand out the value itself.
  if (result.IsRef()) return result.Deref();
  return result;
}

void TQOBVirtMachine::ExecStmt(TObject* APreparedStmt) {
  // A prepared expression run as a statement still needs somewhere to put its value.
  Variant discarded;
  PreparedOf(*this, APreparedStmt).Execute(discarded);
}

Variant TQOBVirtMachine::Eval(const WideString& AExpr) {
  const std::unique_ptr<TObject> prepared = PrepareExpr(AExpr);
  return Eval(prepared.get());
}

void TQOBVirtMachine::ExecStmt(const WideString& AStmt) {
  const std::unique_ptr<TObject> prepared = PrepareStmt(AStmt);
  ExecStmt(prepared.get());
}

}  // namespace qob
