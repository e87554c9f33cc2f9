// Raising exceptions from script code and the exception-state chain of an
// activation: the exceptions its running handlers own.
#include <algorithm>

#include "vm/interpreter.h"
#include "vm/vm_runtime_error.h"

namespace qob {

void TQOBInterpreter::Raise(TQOBCallStackFrame& F, TQOBThread& T, const Variant& AValue) {
  TQOBVirtMachine& vm = *F.VM;
  std::exception_ptr object;
  if (vm.OnVarToException) vm.OnVarToException(&vm, AValue, object);
  if (!object) EQOBVMRuntime::RaiseError(retCannotRaiseNil);
  // An object a handler of this thread still owns cannot be raised again:
  // two owners would free it twice.
  const auto& states = T.ExceptionStates();
  if (std::any_of(states.begin(), states.end(),
                  [&](const TQOBExceptionState& AState) { return AState.Object == object; }))
    EQOBVMRuntime::RaiseError(retCannotRaiseLocked);
  std::rethrow_exception(object);
}

TQOBExceptionState& TQOBInterpreter::StateOf(TQOBCallStackFrame& F, TQOBThread& T,
                                             int32_t AExceptionVar) {
  auto& states = T.ExceptionStates();
  for (size_t i = states.size(); i > F.ExcBase; --i)
    if (states[i - 1].ExceptionVar == AExceptionVar) return states[i - 1];
  // Handler code runs only after its entry was made.
  EQOBVMRuntime::RaiseError(retIEInvalidInstr);
}

void TQOBInterpreter::ExceptDone(TQOBCallStackFrame& F, TQOBThread& T) {
  auto& states = T.ExceptionStates();
  if (states.size() > F.ExcBase) states.pop_back();
}

bool TQOBInterpreter::ExceptionIs(TQOBCallStackFrame& F, TQOBThread& T, const TQOBExcJump& AClause,
                                  const Variant& AType) {
  TQOBVirtMachine& vm = *F.VM;
  bool result = false;
  // A copy: the hook is host code that may enter handlers of its own, and
  // the thread's list of exception states may move while it runs.
  const std::exception_ptr object = StateOf(F, T, AClause.FTry->FExceptionVar).Object;
  if (vm.OnExceptionIsTest) vm.OnExceptionIsTest(&vm, object, AType, result);
  return result;
}

void TQOBInterpreter::ExceptToVar(TQOBCallStackFrame& F, TQOBThread& T, int32_t AExceptionVar,
                                  Variant& ATarget) {
  TQOBVirtMachine& vm = *F.VM;
  // A copy: clearing the target may release an object whose release runs
  // script, and that script's handlers may move the thread's state list.
  const std::exception_ptr object = StateOf(F, T, AExceptionVar).Object;
  ATarget.Clear();
  if (vm.OnExceptionToVar) vm.OnExceptionToVar(&vm, object, ATarget);
}

}  // namespace qob
