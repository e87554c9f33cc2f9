// The dispatch loop. Every instruction code is masked with the machine's
// interrupt mask before the table jump, so noticing an abort or a break
// request costs one AND per instruction and no branch. Operands live in the
// activation's slot block; nothing here allocates per instruction beyond
// what the value operations themselves need.
#include "vm/interpreter.h"

#include <cxxabi.h>

#include <atomic>
#include <cassert>

#include "ole/variant_convert.h"
#include "vm/interpreter_fast_paths.h"
#include "vm/value_ops.h"
#include "vm/vm_arrays.h"
#include "vm/vm_invoke.h"
#include "vm/vm_runtime_error.h"

namespace qob {

namespace {

using fast::Compare;
using fast::SetBool;
using fast::SetInteger;

// The instruction code, read once per dispatch: a breakpoint may patch it
// from another thread at any time.
inline uint8_t CodeOf(const TQOBInstr* AIP) noexcept {
  return std::atomic_ref<uint8_t>(const_cast<uint8_t&>(AIP->Code)).load(std::memory_order_relaxed);
}

// An index into a name's value with one argument, the form the element paths take.
inline bool IsIndexing(const TQOBCall& C) noexcept {
  return (C.FBracketType == bkBlock || C.FBracketType == bkVbRound) && C.FArgCount == 1;
}

inline bool Truth(const Variant& AValue) {
  if (AValue.VType == varBoolean) return AValue.VBoolean != 0;
  return VarToBool(AValue.Deref());
}

inline int32_t SetMember(const Variant& AValue) {
  const int32_t e = VarToInt32(AValue.Deref());
  if (e < 0 || e > 31) EQOBVMRuntime::RaiseError(retViolatesBounds);
  return e;
}

inline Variant& ArgSlot(const TQOBCallStackFrame& F, TQOBParamInfo AParam) noexcept {
  return F.Ctx->Args[AParam.Index];
}

// What icPushArgRef pushes for a parameter of the given kind.
void PushArgRef(Variant& ASlot, TQOBParamKind AKind, Variant& ATarget) {
  switch (AKind) {
    case pkSimple:
      // The parameter gets its own value before anything can write through
      // it, so a value parameter never changes the caller's variable.
      if (ASlot.IsRef()) {
        Variant own(ASlot.Deref());
        ASlot = std::move(own);
      }
      ATarget = Variant::RefTo(&ASlot);
      break;
    case pkConst:
      ATarget = ASlot.Deref();
      break;
    case pkByRef:
      ATarget = Variant::RefTo(&ASlot.Deref());
      break;
  }
}

inline Variant& ResultSlot(const TQOBCallStackFrame& F) {
  if (!F.Ctx->Result) EQOBVMRuntime::RaiseError(retIEInvalidInstr);
  return *F.Ctx->Result;
}

// The loop variable of a for loop, bound by its init instruction.
inline Variant& LoopVar(Variant* AStack, const TQOBFor& AFor) {
  const Variant& binding = AStack[AFor.FLoopVarRef];
  if (binding.VType != varVariantRef) EQOBVMRuntime::RaiseError(retIEInvalidInstr);
  return *binding.VVariantRef;
}

// Where a finally call returns, kept in an Integer-typed slot that owns nothing.
inline void StoreReturnPoint(Variant& ASlot, const TQOBInstr* AInstr) noexcept {
  ASlot.Clear();
  ASlot.VType = varInt64;
  ASlot.VInt64 = static_cast<int64_t>(reinterpret_cast<intptr_t>(AInstr));
}

inline const TQOBInstr* ReturnPoint(const Variant& ASlot) {
  if (ASlot.VType != varInt64 || ASlot.VInt64 == 0) EQOBVMRuntime::RaiseError(retIEInvalidInstr);
  return reinterpret_cast<const TQOBInstr*>(static_cast<intptr_t>(ASlot.VInt64));
}

// Leaves the frame on every path: the stepping base, the call stack, the
// exception-state chain and the slot block return to what they were.
class TActivation {
 public:
  TActivation(TQOBVirtMachine& AVM, TQOBThread& AThread, const TQOBVMInterpretContext& AContext)
      : FThread(AThread), FSize(AContext.Code->StackSize()) {
    FFrame.Stack = AThread.StackPool().AsquireStack(FSize);
    FFrame.VM = &AVM;
    FFrame.Ctx = &AContext;
    FFrame.CurNS = AContext.Code->InitialNamespace();
    FFrame.IP = AContext.Code->Code();
    FFrame.ExcBase = AThread.ExceptionStates().size();
    FFrame.Depth = ++AThread.Depth;
    FFrame.Next = AThread.CallStack();
    AThread.SetCallStack(&FFrame);
  }
  ~TActivation() {
    TQOBSteppingBase& base = FThread.VMData(FFrame.VM->Id().Index)->SteppingBase();
    if (base == FFrame.Depth) base = kSteppingAnyFrame;
    auto& states = FThread.ExceptionStates();
    states.erase(states.begin() + static_cast<std::ptrdiff_t>(FFrame.ExcBase), states.end());
    FThread.SetCallStack(FFrame.Next);
    --FThread.Depth;
    FThread.StackPool().ReleaseStack(FSize);
  }
  TActivation(const TActivation&) = delete;
  TActivation& operator=(const TActivation&) = delete;

  TQOBCallStackFrame& Frame() noexcept { return FFrame; }

 private:
  TQOBThread& FThread;
  int32_t FSize;
  TQOBCallStackFrame FFrame;
};

}  // namespace

void TQOBVirtMachine::Execute(TQOBThread& AThread, const TQOBVMInterpretContext& AContext) {
  TQOBInterpreter::Execute(*this, AThread, AContext);
}

// A forced unwind carries no exception object, and the sanitizer's null
// check would report the reference that catches it.
__attribute__((no_sanitize("null"))) void TQOBInterpreter::Execute(
    TQOBVirtMachine& AVM, TQOBThread& AThread, const TQOBVMInterpretContext& AContext) {
  if (AThread.Depth >= ScriptCallDepthLimit() || !AThread.HasStackRoom())
    EQOBVMRuntime::RaiseError(retStackOverflow);
  TActivation activation(AVM, AThread, AContext);
  TQOBCallStackFrame& frame = activation.Frame();
  // The operand stack is empty when the top slot is the last local.
  Variant* const empty = frame.Stack + AContext.Code->StackLocalsOffset();
  for (;;) {
    try {
      Run(frame, AThread, empty);
      return;
    } catch (Exception& e) {
      if (!EnterHandler(frame, AThread, &e, std::current_exception())) throw;
    } catch (abi::__forced_unwind&) {
      throw;  // a thread being cancelled unwinds; no script handler may stop it
    } catch (...) {
      if (!EnterHandler(frame, AThread, nullptr, std::current_exception())) throw;
    }
  }
}

bool TQOBInterpreter::EnterHandler(TQOBCallStackFrame& F, TQOBThread& T, Exception* E,
                                   const std::exception_ptr& AObject) {
  TQOBVirtMachine& vm = *F.VM;
  const TQOBInstr* failing = F.IP;
  // The host learns the position in every activation the exception passes,
  // innermost first.
  if (E && vm.OnFormatException && !T.VMData(vm.Id().Index)->InBreak()) {
    const TQOBVMSource& source = F.Ctx->Source ? *F.Ctx->Source : vm.Source();
    int32_t line;
    int32_t column;
    source.PosToLine(failing->SourcePos(), line, column);
    vm.OnFormatException(&vm, line, column, *E);
  }
  // An abort passes every handler; a pending break request does not.
  if (failing->TryIndex == kQOBNoTryIndex || vm.IsAborting()) return false;
  const TQOBTry* block = F.Ctx->Code->Trys()[failing->TryIndex];
  auto& states = T.ExceptionStates();
  // Entries whose handler does not contain the failing code are finished.
  while (states.size() > F.ExcBase && !states.back().Try->HandlerRangeContains(block->FHdrHierLow))
    states.pop_back();
  F.Stack[block->FExceptionVar].Clear();
  F.Stack[block->FExceptionVar + 1].Clear();
  states.push_back({block, block->FExceptionVar, AObject});
  F.IP = block->FHandlerLabel->Target();
  return true;
}

const TQOBInstr* TQOBInterpreter::Interrupt(TQOBCallStackFrame& F, TQOBThread& /*T*/,
                                            const TQOBInstr* AIP) {
  TQOBVirtMachine& vm = *F.VM;
  vm.FTerminateFlag.store(0xFF, std::memory_order_relaxed);
  if (vm.IsAborting()) {
    // Stays 0: every further instruction of the machine raises again.
    vm.FTerminateFlag.store(0, std::memory_order_relaxed);
    EQOBVMRuntime::RaiseError(retAborted);
  }
  // A break request with nothing to stop at: run the instruction itself.
  if (CodeOf(AIP) != icBreak) return AIP;
  // A patched instruction, but this machine keeps no breakpoints.
  EQOBVMRuntime::RaiseError(retIENoBreakpointInfo);
}

// clang-format off
#define QOB_INSTRUCTIONS(X) \
  X(icBreak) X(icBreakpointJmp) X(icRet) X(icJump) X(icPop) X(icPush) X(icPush0)              \
  X(icPushUnassigned) X(icPushLiteral) X(icPushLocalVar) X(icPushLocalConst) X(icPushArg)       \
  X(icPushResult) X(icPushLocalVarRef) X(icPushArgRef) X(icPushResultRef) X(icGreater)          \
  X(icGreaterEqual) X(icLess) X(icLessEqual) X(icIn) X(icIs) X(icEqual) X(icRefEqual)           \
  X(icNotEqual) X(icRefNotEqual) X(icPlus) X(icStrConcat) X(icMinus) X(icImp) X(icEqv) X(icOr)  \
  X(icXor) X(icMultiply) X(icDivide) X(icIntDiv) X(icMod) X(icAnd) X(icShl) X(icShr)            \
  X(icPower) X(icUnaryPlus) X(icUnaryMinus) X(icUnaryNot) X(icJmpIfTrue) X(icJmpIfFalse)        \
  X(icPopJmpIfTrue) X(icPopJmpIfFalse) X(icPopJmpIfEqual) X(icPopJmpIfNotEqual)                 \
  X(icAddValToSet) X(icAddRangeToSet) X(icGlobCall) X(icMemberCall) X(icUnnamedCall)            \
  X(icGlobCallRef) X(icMemberCallRef) X(icUnnamedCallRef) X(icNewUnnamedCall)                   \
  X(icAssignGlobCall) X(icAssignMemberCall) X(icAssignUnnamedCall) X(icAssignLValue)            \
  X(icAssignLocalVar) X(icAssignArg) X(icAssignResult) X(icAssignGlobalVar)                     \
  X(icAssignGlobalConst) X(icForInitLValue) X(icForInitLocal) X(icForInc) X(icForIncStep)       \
  X(icForDec) X(icForJmpIfLE) X(icForJmpIfGE) X(icForJmpStep) X(icCaseJmpIfEqual)              \
  X(icCaseJmpIfInRange) X(icRaise) X(isReraise) X(icRaiseEBCFromFinally) X(icCallFinally)       \
  X(icFinallyRet) X(icExceptJmpIfIs) X(icExceptDone) X(icExceptToVar) X(icSetNamespace)         \
  X(icArrayCreate) X(icArrayRedimLValue) X(icArrayRedimLocal) X(icEventHandlerMake)
// clang-format on

namespace {
#define QOB_CODE_OF(name) name,
constexpr TQOBInstrCode kTableOrder[] = {QOB_INSTRUCTIONS(QOB_CODE_OF)};
#undef QOB_CODE_OF
constexpr bool TableInCodeOrder() {
  for (int i = 0; i < kQOBInstrCodeCount; ++i)
    if (kTableOrder[i] != i) return false;
  return sizeof(kTableOrder) / sizeof(kTableOrder[0]) == kQOBInstrCodeCount;
}
static_assert(TableInCodeOrder(), "the dispatch table must list every code in order");
}  // namespace

#define QOB_DISPATCH()                                                      \
  do {                                                                      \
    F.IP = ip;                                                              \
    goto* kTable[CodeOf(ip) & mask.load(std::memory_order_relaxed) & 0x7F]; \
  } while (0)
#define QOB_NEXT()  \
  do {              \
    ++ip;           \
    QOB_DISPATCH(); \
  } while (0)
#define QOB_JUMP(ALabel)     \
  do {                       \
    ip = (ALabel)->Target(); \
    QOB_DISPATCH();          \
  } while (0)
// Every write above the locals stays inside the activation's slot block.
#define QOB_PUSH()       \
  do {                   \
    ++S;                 \
    assert(S < slotEnd); \
  } while (0)
#define QOB_BINARY(AName, AOp)                      \
  L_##AName : QOBBinaryOp(S[-1], S[0], S[-1], AOp); \
  --S;                                              \
  QOB_NEXT();
#define QOB_BINARY_INLINE(AName, AOp)                \
  L_##AName : fast::BinaryInPlace<AOp>(S[-1], S[0]); \
  --S;                                               \
  QOB_NEXT();
#define QOB_COMPARE(AName, AOp)                          \
  L_##AName : SetBool(S[-1], Compare(S[-1], S[0], AOp)); \
  --S;                                                   \
  QOB_NEXT();

// The labelled instruction blocks read best as written. A computed goto
// runs no destructors, so no block keeps an object with one across the
// dispatch: such work lives in helper functions.
// clang-format off
void TQOBInterpreter::Run(TQOBCallStackFrame& F, TQOBThread& T, Variant* S) {
  TQOBVirtMachine& vm = *F.VM;
  const std::atomic<uint8_t>& mask = vm.FTerminateFlag;
  Variant* const stack = F.Stack;
  [[maybe_unused]] Variant* const slotEnd = stack + F.Ctx->Code->StackSize();
  const TQOBInstr* ip = F.IP;

#define QOB_LABEL_OF(name) &&L_##name,
#define QOB_INVALID8 \
  &&L_invalid, &&L_invalid, &&L_invalid, &&L_invalid, &&L_invalid, &&L_invalid, &&L_invalid, &&L_invalid,
  static const void* const kTable[128] = {
      QOB_INSTRUCTIONS(QOB_LABEL_OF)                       // 0..90
      QOB_INVALID8 QOB_INVALID8 QOB_INVALID8 QOB_INVALID8  // 91..122
      &&L_invalid, &&L_invalid, &&L_invalid, &&L_invalid, &&L_invalid};  // 123..127
#undef QOB_INVALID8
#undef QOB_LABEL_OF

  QOB_DISPATCH();

L_invalid:
  EQOBVMRuntime::RaiseError(retIEInvalidInstr);

L_icBreak:
  ip = Interrupt(F, T, ip);
  QOB_DISPATCH();

L_icBreakpointJmp:
  ip = ip->Data.Instr;
  QOB_DISPATCH();

L_icRet:
  return;

L_icJump:
  QOB_JUMP(ip->Data.Label);

L_icPop:
  --S;
  QOB_NEXT();

L_icPush:
  S += ip->Data.Int;
  assert(S < slotEnd);
  QOB_NEXT();

L_icPush0:
  QOB_PUSH();
  SetInteger(*S, 0);
  QOB_NEXT();

L_icPushUnassigned:
  QOB_PUSH();
  S->Clear();
  QOB_NEXT();

L_icPushLiteral:
L_icPushLocalConst:
  QOB_PUSH();
  *S = *ip->Data.Literal;
  QOB_NEXT();

L_icPushLocalVar:
  QOB_PUSH();
  *S = stack[ip->Data.Int];
  QOB_NEXT();

L_icPushArg:
  QOB_PUSH();
  *S = ArgSlot(F, ip->Data.Param).Deref();
  QOB_NEXT();

L_icPushResult:
  QOB_PUSH();
  *S = ResultSlot(F);
  QOB_NEXT();

L_icPushLocalVarRef:
  QOB_PUSH();
  *S = Variant::RefTo(&stack[ip->Data.Int]);
  QOB_NEXT();

L_icPushArgRef:
  QOB_PUSH();
  PushArgRef(ArgSlot(F, ip->Data.Param), ip->Data.Param.ParamKind(), *S);
  QOB_NEXT();

L_icPushResultRef:
  QOB_PUSH();
  *S = Variant::RefTo(&ResultSlot(F));
  QOB_NEXT();

  QOB_COMPARE(icGreater, opGreater)
  QOB_COMPARE(icGreaterEqual, opGreaterEqual)
  QOB_COMPARE(icLess, opLess)
  QOB_COMPARE(icLessEqual, opLessEqual)
  QOB_COMPARE(icEqual, opEqual)
  QOB_COMPARE(icRefEqual, opIdentityEqual)
  QOB_COMPARE(icNotEqual, opNotEqual)
  QOB_COMPARE(icRefNotEqual, opIdentityNotEqual)

L_icIn: {
  const int32_t e = VarToInt32(S[-1].Deref());
  const uint32_t set = static_cast<uint32_t>(VarToInt32(S[0].Deref()));
  SetBool(S[-1], e >= 0 && e <= 31 && ((set >> e) & 1u) != 0);
  --S;
  QOB_NEXT();
}

L_icIs: {
  bool result = false;
  if (vm.OnIsTest) vm.OnIsTest(&vm, S[-1], S[0], result);
  --S;
  SetBool(*S, result);
  QOB_NEXT();
}

  QOB_BINARY_INLINE(icPlus, opAdd)
  QOB_BINARY_INLINE(icMinus, opSubtract)
  QOB_BINARY_INLINE(icMultiply, opMultiply)
  QOB_BINARY_INLINE(icDivide, opDivide)
  QOB_BINARY_INLINE(icIntDiv, opIntDivide)
  QOB_BINARY_INLINE(icMod, opModulus)
  QOB_BINARY(icStrConcat, opConcat)
  QOB_BINARY(icImp, opImp)
  QOB_BINARY(icEqv, opEqv)
  QOB_BINARY(icOr, opOr)
  QOB_BINARY(icXor, opXor)
  QOB_BINARY(icAnd, opAnd)
  QOB_BINARY(icShl, opShl)
  QOB_BINARY(icShr, opShr)
  QOB_BINARY(icPower, opPower)

L_icUnaryPlus:
  QOB_NEXT();

L_icUnaryMinus:
  QOBNegate(*S, *S);
  QOB_NEXT();

L_icUnaryNot:
  QOBNot(*S, *S);
  QOB_NEXT();

L_icJmpIfTrue:
  if (Truth(*S)) QOB_JUMP(ip->Data.Label);
  QOB_NEXT();

L_icJmpIfFalse:
  if (!Truth(*S)) QOB_JUMP(ip->Data.Label);
  QOB_NEXT();

L_icPopJmpIfTrue: {
  const bool jump = Truth(*S);
  --S;
  if (jump) QOB_JUMP(ip->Data.Label);
  QOB_NEXT();
}

L_icPopJmpIfFalse: {
  const bool jump = !Truth(*S);
  --S;
  if (jump) QOB_JUMP(ip->Data.Label);
  QOB_NEXT();
}

L_icPopJmpIfEqual: {
  const bool jump = Compare(S[-1], S[0], opEqual);
  S -= 2;
  if (jump) QOB_JUMP(ip->Data.Label);
  QOB_NEXT();
}

L_icPopJmpIfNotEqual: {
  const bool jump = Compare(S[-1], S[0], opNotEqual);
  S -= 2;
  if (jump) QOB_JUMP(ip->Data.Label);
  QOB_NEXT();
}

L_icAddValToSet: {
  const int32_t e = SetMember(S[0]);
  const uint32_t set = static_cast<uint32_t>(VarToInt32(S[-1].Deref()));
  SetInteger(S[-1], static_cast<int32_t>(set | (1u << e)));
  --S;
  QOB_NEXT();
}

L_icAddRangeToSet: {
  const int32_t lo = SetMember(S[-1]);
  const int32_t hi = SetMember(S[0]);
  uint32_t set = static_cast<uint32_t>(VarToInt32(S[-2].Deref()));
  // A range whose lower bound lies above its upper bound adds nothing.
  for (int32_t e = lo; e <= hi; ++e) set |= 1u << e;
  SetInteger(S[-2], static_cast<int32_t>(set));
  S -= 2;
  QOB_NEXT();
}

L_icGlobCall: {
  const TQOBCall& C = *ip->Data.Call;
  Variant* R = S - C.FResOffset;
  TQOBGlobalObject* global = C.FResolvedGlobal.load(std::memory_order_acquire);
  if (global && global->FGlobalObjType == gtProcedure) {
    QOBCallProcedureChecked(vm, T, static_cast<TQOBProcObject*>(global), C.FBracketType,
                            C.FResMask, C.FArgCount, S - C.FArgsOffset, *R);
    S = R;
    QOB_NEXT();
  }
  if (const Variant* source = fast::KnownSource(F, C, global)) {
    if (C.FBracketType == bkNon) {
      *R = source->Deref();
      S = R;
      QOB_NEXT();
    }
    if (IsIndexing(C) && fast::ReadElement(source->Deref(), S[-C.FArgsOffset], *R)) {
      S = R;
      QOB_NEXT();
    }
  }
  goto L_generalGlobCall;
}

L_icGlobCallRef: {
  const TQOBCall& C = *ip->Data.Call;
  if (C.FBracketType == bkNon) {
    if (Variant* target = fast::KnownTarget(F, C)) {
      Variant* R = S - C.FResOffset;
      fast::SetRef(*R, target);
      S = R;
      QOB_NEXT();
    }
  } else if (IsIndexing(C)) {
    // Indexing reads the element whatever the reference form asked for.
    const Variant* source =
        fast::KnownSource(F, C, C.FResolvedGlobal.load(std::memory_order_acquire));
    Variant* R = S - C.FResOffset;
    if (source && fast::ReadElement(source->Deref(), S[-C.FArgsOffset], *R)) {
      S = R;
      QOB_NEXT();
    }
  }
  goto L_generalGlobCall;
}

L_generalGlobCall: {
  const TStep step = GlobCall(F, T, ip, S, CodeOf(ip) == icGlobCallRef);
  if (!step.Next) return;
  ip = step.Next;
  S = step.S;
  QOB_DISPATCH();
}

L_icMemberCall:
L_icMemberCallRef:
  S = MemberCall(F, T, *ip->Data.Call, S);
  QOB_NEXT();

L_icUnnamedCall:
L_icUnnamedCallRef:
  S = UnnamedCall(*ip->Data.Call, S);
  QOB_NEXT();

L_icNewUnnamedCall:
  S = NewCall(F, *ip->Data.Call, S);
  QOB_NEXT();

L_icAssignGlobCall: {
  const TQOBCall& C = *ip->Data.Call;
  if (Variant* target = fast::KnownTarget(F, C)) {
    if (C.FBracketType == bkNon) {
      *target = std::move(*S);
      --S;
      QOB_NEXT();
    }
    if (IsIndexing(C) && fast::WriteElement(target->Deref(), S[-C.FArgsOffset], *S)) {
      S -= C.FArgsOffset + 1;
      QOB_NEXT();
    }
  }
  S = AssignGlobCall(F, T, C, S);
  QOB_NEXT();
}

L_icAssignMemberCall:
  S = AssignMemberCall(T, *ip->Data.Call, S);
  QOB_NEXT();

L_icAssignUnnamedCall:
  S = AssignUnnamedCall(*ip->Data.Call, S);
  QOB_NEXT();

L_icAssignLValue:
  if (!S[-1].IsRef()) EQOBVMRuntime::RaiseError(retCannotAssign);
  S[-1].Deref() = S[0].Deref();
  S -= 2;
  QOB_NEXT();

L_icAssignLocalVar:
  stack[ip->Data.Int] = std::move(*S);
  --S;
  QOB_NEXT();

L_icAssignArg: {
  Variant& slot = ArgSlot(F, ip->Data.Param);
  switch (ip->Data.Param.ParamKind()) {
    case pkConst:
      EQOBVMRuntime::RaiseError(retCannotAssign);
    case pkByRef:
      slot.Deref() = std::move(*S);
      break;
    case pkSimple:
      slot = std::move(*S);
      break;
  }
  --S;
  QOB_NEXT();
}

L_icAssignResult:
  ResultSlot(F) = std::move(*S);
  --S;
  QOB_NEXT();

L_icAssignGlobalVar:
L_icAssignGlobalConst:
  ip->Data.GlobalObject->Value = std::move(*S);
  --S;
  QOB_NEXT();

L_icForInitLValue: {
  const TQOBFor& loop = *ip->Data.For;
  if (!S[-1].IsRef()) EQOBVMRuntime::RaiseError(retLoopVar);
  Variant& variable = S[-1].Deref();
  stack[loop.FLoopVarRef] = Variant::RefTo(&variable);
  variable = std::move(*S);
  S -= 2;
  QOB_NEXT();
}

L_icForInitLocal: {
  const TQOBFor& loop = *ip->Data.For;
  Variant& variable = stack[loop.FLoopLocalVar];
  stack[loop.FLoopVarRef] = Variant::RefTo(&variable);
  variable = std::move(*S);
  --S;
  QOB_NEXT();
}

L_icForInc:
  fast::StepInPlace(LoopVar(stack, *ip->Data.For), 1);
  QOB_NEXT();

L_icForIncStep: {
  const TQOBFor& loop = *ip->Data.For;
  fast::BinaryInPlace<opAdd>(LoopVar(stack, loop), stack[loop.FStepVar]);
  QOB_NEXT();
}

L_icForDec:
  fast::StepInPlace(LoopVar(stack, *ip->Data.For), -1);
  QOB_NEXT();

L_icForJmpIfLE: {
  const TQOBFor& loop = *ip->Data.For;
  if (Compare(LoopVar(stack, loop), stack[loop.FToVar], opLessEqual)) QOB_JUMP(loop.FJmpLabel);
  QOB_NEXT();
}

L_icForJmpIfGE: {
  const TQOBFor& loop = *ip->Data.For;
  if (Compare(LoopVar(stack, loop), stack[loop.FToVar], opGreaterEqual)) QOB_JUMP(loop.FJmpLabel);
  QOB_NEXT();
}

L_icForJmpStep: {
  const TQOBFor& loop = *ip->Data.For;
  const TQOBOperator op =
      Compare(stack[loop.FStepVar], VarIntZero(), opGreaterEqual) ? opLessEqual : opGreaterEqual;
  if (Compare(LoopVar(stack, loop), stack[loop.FToVar], op)) QOB_JUMP(loop.FJmpLabel);
  QOB_NEXT();
}

L_icCaseJmpIfEqual:
  if (Compare(S[0], S[-1], opEqual)) {
    S -= 2;
    QOB_JUMP(ip->Data.Label);
  }
  --S;
  QOB_NEXT();

L_icCaseJmpIfInRange:
  if (Compare(S[-2], S[-1], opGreaterEqual) && Compare(S[-2], S[0], opLessEqual)) {
    S -= 3;
    QOB_JUMP(ip->Data.Label);
  }
  S -= 2;
  QOB_NEXT();

L_icRaise:
  Raise(F, T, *S);

L_isReraise:
  std::rethrow_exception(StateOf(F, T, static_cast<int32_t>(ip->Data.Int)).Object);

L_icRaiseEBCFromFinally:
  EQOBVMRuntime::RaiseError(retEBCFromFinally);

L_icCallFinally: {
  const TQOBTry& block = *ip->Data.Try;
  // Run from the breakpoint scratch, the real next instruction is the one
  // the scratch jumps back to.
  const TQOBInstr* next = ip == &F.Scratch[0] ? F.Scratch[1].Data.Instr : ip + 1;
  StoreReturnPoint(stack[block.FFinallyRetVar], next);
  QOB_JUMP(block.FFinallyLabel);
}

L_icFinallyRet:
  ip = ReturnPoint(stack[ip->Data.Try->FFinallyRetVar]);
  QOB_DISPATCH();

L_icExceptJmpIfIs: {
  const bool matches = ExceptionIs(F, T, *ip->Data.ExcJump, *S);
  --S;
  if (matches) QOB_JUMP(ip->Data.ExcJump->FLabel);
  QOB_NEXT();
}

L_icExceptDone:
  ExceptDone(F, T);
  QOB_NEXT();

L_icExceptToVar:
  QOB_PUSH();
  ExceptToVar(F, T, static_cast<int32_t>(ip->Data.Int), *S);
  QOB_NEXT();

L_icSetNamespace:
  F.CurNS = ip->Data.Namespace;
  QOB_NEXT();

L_icArrayCreate: {
  const TQOBArray& array = *ip->Data.Array;
  S -= array.FArgsOffset;  // the bounds make way for the array
  *S = QOBArrayCreate(array, S);
  QOB_NEXT();
}

L_icArrayRedimLValue: {
  const TQOBArrayRedim& redim = *ip->Data.ArrayRedim;
  Variant& target = S[-redim.FArrayOffset];
  if (!target.IsRef()) EQOBVMRuntime::RaiseError(retCannotAssign);
  QOBArrayRedim(target.Deref(), redim, S - redim.FArgsOffset);
  S -= redim.FArrayOffset + 1;
  QOB_NEXT();
}

L_icArrayRedimLocal: {
  const TQOBArrayRedim& redim = *ip->Data.ArrayRedim;
  QOBArrayRedim(stack[redim.FArrayLocalVar].Deref(), redim, S - redim.FArgsOffset);
  S -= redim.FArgsOffset + 1;
  QOB_NEXT();
}

L_icEventHandlerMake:
  QOB_PUSH();
  S->Clear();
  vm.MakeEventHandler(*ip->Data.ProcName, *S);
  QOB_NEXT();
}
// clang-format on

}  // namespace qob
