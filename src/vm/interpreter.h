// The interpreter: one activation of a byte code on the calling thread, the
// dispatch loop, and the instruction families that do not fit in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>

#include "ole/variant.h"
#include "rtl/exceptions.h"
#include "vm/bytecode.h"
#include "vm/virt_machine.h"
#include "vm/vm_threads.h"

namespace qob {

// One running activation, on its thread's call stack while it runs. The
// debugger reads IP, Stack and CurNS while the activation is stopped.
struct TQOBCallStackFrame {
  TQOBCallStackFrame* Next = nullptr;  // the caller's frame
  TQOBVirtMachine* VM = nullptr;
  const TQOBVMInterpretContext* Ctx = nullptr;
  TQOBAbstractNamespace* CurNS = nullptr;
  const TQOBInstr* IP = nullptr;  // the instruction being executed
  Variant* Stack = nullptr;       // first slot of the activation's slot block
  // The activation's exception-state chain is the thread's entries from here
  // on; the last one is its head.
  size_t ExcBase = 0;
  int32_t Depth = 0;  // nesting depth on the thread, 1 for the outermost
  // Room for a displaced instruction and the jump back (breakpoints).
  TQOBInstr Scratch[2] = {};
};

class TQOBInterpreter {
 public:
  static void Execute(TQOBVirtMachine& AVM, TQOBThread& AThread,
                      const TQOBVMInterpretContext& AContext);

 private:
  // Where execution goes after an instruction: Next (nil when the activation
  // returns) with S as the top slot.
  struct TStep {
    const TQOBInstr* Next;
    Variant* S;
  };

  static void Run(TQOBCallStackFrame& F, TQOBThread& T, Variant* S);
  // Decides whether the exception that escaped F.IP enters a handler of the
  // activation; when it does, F.IP is the handler's first instruction.
  static bool EnterHandler(TQOBCallStackFrame& F, TQOBThread& T, Exception* E,
                           const std::exception_ptr& AObject);
  // The interrupt instruction: raises the abort, or tells which instruction
  // to dispatch instead.
  static const TQOBInstr* Interrupt(TQOBCallStackFrame& F, TQOBThread& T, const TQOBInstr* AIP);

  // Name, member, unnamed and object-creation calls (interpreter_calls.cpp).
  static TQOBNameSearchRes ResolveName(TQOBCallStackFrame& F, TQOBThread& T, const TQOBCall& C);
  static TStep GlobCall(TQOBCallStackFrame& F, TQOBThread& T, const TQOBInstr* AIP, Variant* S,
                        bool ARef);
  static Variant* MemberCall(TQOBCallStackFrame& F, TQOBThread& T, const TQOBCall& C, Variant* S);
  static Variant* UnnamedCall(const TQOBCall& C, Variant* S);
  static Variant* NewCall(TQOBCallStackFrame& F, const TQOBCall& C, Variant* S);
  static Variant* AssignGlobCall(TQOBCallStackFrame& F, TQOBThread& T, const TQOBCall& C,
                                 Variant* S);
  static Variant* AssignMemberCall(TQOBThread& T, const TQOBCall& C, Variant* S);
  static Variant* AssignUnnamedCall(const TQOBCall& C, Variant* S);

  // Raising and handling (interpreter_handlers.cpp).
  static void Raise(TQOBCallStackFrame& F, TQOBThread& T, const Variant& AValue);
  static TQOBExceptionState& StateOf(TQOBCallStackFrame& F, TQOBThread& T, int32_t AExceptionVar);
  static void ExceptDone(TQOBCallStackFrame& F, TQOBThread& T);
  static bool ExceptionIs(TQOBCallStackFrame& F, TQOBThread& T, const TQOBExcJump& AClause,
                          const Variant& AType);
  static void ExceptToVar(TQOBCallStackFrame& F, TQOBThread& T, int32_t AExceptionVar,
                          Variant& ATarget);
};

}  // namespace qob
