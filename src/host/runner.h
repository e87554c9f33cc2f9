// TRunnerBase: what a script control hands every script operation to. One
// runner per preparation, chosen by the family of the control's language.
#pragma once

#include <memory>
#include <span>

#include "host/named_items.h"
#include "host/script_language.h"
#include "ole/variant.h"
#include "rtl/object.h"

namespace qob {

class TQOBScriptControl;
class TRunnerDebugBase;

class TRunnerBase {
 public:
  TRunnerBase() = default;
  TRunnerBase(const TRunnerBase&) = delete;
  TRunnerBase& operator=(const TRunnerBase&) = delete;
  virtual ~TRunnerBase() = default;

  virtual TQOBScriptLangKind GetLangKind() = 0;
  // Builds the script from the control's source; ARunnerDebug is the
  // debugger's bridge or null.
  virtual void Prepare(TRunnerDebugBase* ARunnerDebug) = 0;
  // Runs the script's global code.
  virtual void Open() = 0;
  // Releases what Prepare built; safe on a partly prepared runner.
  virtual void Close() = 0;
  virtual void AddNamedObjectToEngine(const TNamedItem& AItem) = 0;
  virtual Variant RunProc(const WideString& AName) = 0;
  virtual Variant RunProc(const WideString& AName, std::span<const Variant> AArgs) = 0;
  virtual Variant ReadVar(const WideString& AName) = 0;
  virtual void WriteVar(const WideString& AName, const Variant& AValue) = 0;
  // Compiled once, run many times; the caller owns the result.
  virtual std::unique_ptr<TObject> PrepareExpr(const WideString& AExpr) = 0;
  virtual std::unique_ptr<TObject> PrepareStmt(const WideString& AStmt) = 0;
  virtual Variant Eval(TObject* APreparedExpr) = 0;
  virtual Variant Eval(const WideString& AExpr) = 0;
  virtual void ExecStmt(TObject* APreparedStmt) = 0;
  virtual void ExecStmt(const WideString& AStmt) = 0;
  // Procedures as dispatch methods, global variables as dispatch properties.
  virtual ComPtr<IDispatch> GetCodeObject() = 0;
  // Makes script code running on any thread stop with "Script execution has
  // been aborted."; callable from any thread while the runner is prepared.
  virtual void Abort() = 0;

  // Hands every named object of ACtrl (not the values: those reach the script
  // through the named values holder) to AddNamedObjectToEngine.
  void AddNamedObjectsToEngine(const TQOBScriptControl& ACtrl);
};

}  // namespace qob
