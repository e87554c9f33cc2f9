// TNativeRunner: runs the library's own languages on the virtual machine.
#pragma once

#include <memory>

#include "host/runner.h"

namespace qob {

class TQOBVirtMachine;
class TQOBScriptControl;

class TNativeRunner final : public TRunnerBase {
 public:
  TNativeRunner(TQOBScriptControl* ASControl, bool AAddSrcInfo) noexcept;
  ~TNativeRunner() override;

  static std::unique_ptr<TRunnerBase> Create(TQOBScriptControl* ASControl, bool AAddSrcInfo);

  TQOBScriptLangKind GetLangKind() override { return slkNative; }
  void Prepare(TRunnerDebugBase* ARunnerDebug) override;
  void Open() override;
  void Close() override;
  void AddNamedObjectToEngine(const TNamedItem& AItem) override;
  Variant RunProc(const WideString& AName) override;
  Variant RunProc(const WideString& AName, std::span<const Variant> AArgs) override;
  Variant ReadVar(const WideString& AName) override;
  void WriteVar(const WideString& AName, const Variant& AValue) override;
  std::unique_ptr<TObject> PrepareExpr(const WideString& AExpr) override;
  std::unique_ptr<TObject> PrepareStmt(const WideString& AStmt) override;
  Variant Eval(TObject* APreparedExpr) override;
  Variant Eval(const WideString& AExpr) override;
  void ExecStmt(TObject* APreparedStmt) override;
  void ExecStmt(const WideString& AStmt) override;
  ComPtr<IDispatch> GetCodeObject() override;
  void Abort() override;

 private:
  TQOBVirtMachine& VM() const;

  TQOBScriptControl* FSControl;
  bool FAddSrcInfo;
  std::unique_ptr<TQOBVirtMachine> FVM;
  TRunnerDebugBase* FRunnerDebug = nullptr;
};

}  // namespace qob
