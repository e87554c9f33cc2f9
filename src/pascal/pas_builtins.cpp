#include "pascal/pas_builtins.h"

#include "vm/vm_runtime_error.h"

namespace qob {

// Procedures give no value; constants take no brackets; square brackets
// never call a built-in.
void TPasIntrinsic::Execute(TQOBVMBase*, TQOBCall* ACall, Variant* AArgs, Variant& AResult) {
  const TQOBBracketType brackets = ACall->FBracketType;
  if (brackets == bkBlock || brackets == bkVbRound) EQOBVMRuntime::RaiseError(retTypeMismatch);
  switch (FKind) {
    case bokProcedure:
      if (ACall->IsResUsed()) EQOBVMRuntime::RaiseError(retTypeMismatch);
      break;
    case bokConstant:
      if (brackets == bkRound) EQOBVMRuntime::RaiseError(retTypeMismatch);
      break;
    case bokFunction:
      break;
  }
  if (FArgsCount != kPasAnyArgCount && ACall->FArgCount != FArgsCount)
    EQOBVMRuntime::RaiseError(retInvalidParamCount);
  DoExecute(*ACall, AArgs, AResult);
}

namespace pas_builtins {

void SetVarArg(Variant& AArg, Variant AValue) {
  if (IsVarArg(AArg)) AArg.Deref() = std::move(AValue);
}

void RaiseParamCount() {
  EQOBVMRuntime::RaiseError(retInvalidParamCount);
}

}  // namespace pas_builtins

}  // namespace qob
