// Dynamic code: an expression or statement given as text at run time,
// compiled once against a machine's module and executable any number of
// times, on any thread, while that module is running.
#pragma once

#include <cstdint>
#include <memory>

#include "compiler/language.h"
#include "ole/variant.h"
#include "rtl/object.h"
#include "vm/bytecode.h"
#include "vm/source_positions.h"
#include "vm/vm_threads.h"

namespace qob {

class TQOBVirtMachine;

// The parser callbacks of dynamic code (one per process): names go to the
// name table; declarations and used units are refused as duplicates, so
// dynamic code cannot add globals; global statements cannot occur.
class TVMEvalParserCallbacks final : public IQOBParserCallbacks {
 public:
  static TVMEvalParserCallbacks& Instance();

  TQOBNameId GetNameId(std::u16string_view AName) override;
  void GlobalStmtParsed(std::unique_ptr<IQOBEmitable> AStmt) override;
  void GlobalObjParsed(std::unique_ptr<TQOBGlobalObject>& AObj, bool& ADuplicateName) override;
  void UsedUnitParsed(const WideString& AName, bool& ADuplicateName) override;
};

// One compiled expression or statement with its own text, syntax tree and
// byte code. It belongs to the module that was running when it was
// prepared: once the machine is closed, or compiles another module, running
// it raises "Virtual machine should be active." (its names were resolved
// against the old module). Freeing it is always safe.
class TPreparedDynCode final : public TObject {
  QOB_CLASS(TPreparedDynCode, TObject)
 public:
  explicit TPreparedDynCode(TQOBVirtMachine* AVM);
  TPreparedDynCode(const TPreparedDynCode&) = delete;
  TPreparedDynCode& operator=(const TPreparedDynCode&) = delete;
  ~TPreparedDynCode() override;

  // Compiles an expression whose value becomes the result, in ADebugNS or,
  // when nil, in the machine's global scope. Compile errors reach the
  // machine's OnFormatException with their place in AExpr (Sender is this
  // object) and then propagate.
  void PrepareExpr(const WideString& AExpr, TQOBAbstractNamespace* ADebugNS = nullptr);
  // Compiles a statement in the machine's global scope.
  void PrepareStmt(const WideString& AStmt);

  // Runs the code on the calling thread; the value of an expression goes to
  // AResult. Run-time errors report positions within the dynamic text.
  void Execute(Variant& AResult) const;

  TQOBVirtMachine* VM() const noexcept { return FVM; }
  const TQOBVMSource& Source() const noexcept { return FSource; }
  TQOBByteCode* ByteCode() const noexcept { return FByteCode.get(); }

 private:
  enum class TKind : uint8_t { kExpression, kStatement };
  void Prepare(const WideString& AText, TKind AKind, TQOBAbstractNamespace* AScope);

  TQOBVirtMachine* FVM;
  TQOBVMId FVMId;              // the machine's identity, checked on every run
  uint64_t FModuleGeneration;  // the module the code was compiled against
  TQOBVMSource FSource;
  // The tree outlives the byte code: instructions point into it.
  std::unique_ptr<IQOBEmitable> FParsed;
  std::unique_ptr<TQOBByteCode> FByteCode;
};

}  // namespace qob
