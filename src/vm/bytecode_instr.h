// The instruction set of the byte code and the records its instructions
// point to. Instructions are fixed-size records in one contiguous array; the
// interpreter advances by one record and jumps by pointer.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>
#include <vector>

#include "compiler/keyed_tables.h"
#include "compiler/name_search.h"
#include "ole/variant.h"
#include "ole/widestring.h"
#include "vm/value_ops.h"

namespace qob {

class TQOBAbstractNamespace;
class TQOBGlobalObject;
class TQOBGlobalValuedObject;
struct TQOBInstr;

// Stack effects are listed as "consumes -> leaves"; S is the top slot.
enum TQOBInstrCode : uint8_t {
  icBreak = 0,             // breakpoint trap; never emitted
  icBreakpointJmp = 1,     // Data.Instr: continue there (interpreter scratch only)
  icRet = 2,               // leave the activation
  icJump = 3,              // Data.Label
  icPop = 4,               // v ->
  icPush = 5,              // Data.Int = N: -> N reserved slots
  icPush0 = 6,             // -> Integer 0
  icPushUnassigned = 7,    // -> Unassigned
  icPushLiteral = 8,       // Data.Literal: -> copy
  icPushLocalVar = 9,      // Data.Int = local slot: -> copy
  icPushLocalConst = 10,   // Data.Literal: -> copy
  icPushArg = 11,          // Data.Param: -> copy of the final value
  icPushResult = 12,       // -> copy of the result variable
  icPushLocalVarRef = 13,  // Data.Int = local slot: -> ref
  icPushArgRef = 14,       // Data.Param: -> ref (a copy for pkConst)
  icPushResultRef = 15,    // -> ref to the result variable
  icGreater = 16,          // a, b -> Boolean
  icGreaterEqual = 17,
  icLess = 18,
  icLessEqual = 19,
  icIn = 20,  // element, set -> Boolean
  icIs = 21,  // object, type -> Boolean
  icEqual = 22,
  icRefEqual = 23,
  icNotEqual = 24,
  icRefNotEqual = 25,
  icPlus = 26,  // a, b -> r
  icStrConcat = 27,
  icMinus = 28,
  icImp = 29,
  icEqv = 30,
  icOr = 31,
  icXor = 32,
  icMultiply = 33,
  icDivide = 34,
  icIntDiv = 35,
  icMod = 36,
  icAnd = 37,
  icShl = 38,
  icShr = 39,
  icPower = 40,
  icUnaryPlus = 41,         // v -> v
  icUnaryMinus = 42,        // v -> r
  icUnaryNot = 43,          // v -> r
  icJmpIfTrue = 44,         // Data.Label: v -> v
  icJmpIfFalse = 45,        // Data.Label: v -> v
  icPopJmpIfTrue = 46,      // Data.Label: v ->
  icPopJmpIfFalse = 47,     // Data.Label: v ->
  icPopJmpIfEqual = 48,     // Data.Label: a, b ->
  icPopJmpIfNotEqual = 49,  // Data.Label: a, b ->
  icAddValToSet = 50,       // set, e -> set'
  icAddRangeToSet = 51,     // set, lo, hi -> set'
  icGlobCall = 52,          // Data.Call: result slot, args -> result
  icMemberCall = 53,        // Data.Call: result slot, object, args -> result
  icUnnamedCall = 54,       // Data.Call: result slot, value, args -> result
  icGlobCallRef = 55,
  icMemberCallRef = 56,
  icUnnamedCallRef = 57,
  icNewUnnamedCall = 58,     // Data.Call: result slot, type, args -> result
  icAssignGlobCall = 59,     // Data.Call: args, value ->
  icAssignMemberCall = 60,   // Data.Call: object, args, value ->
  icAssignUnnamedCall = 61,  // Data.Call: target, args, value ->
  icAssignLValue = 62,       // ref, value ->
  icAssignLocalVar = 63,     // Data.Int = local slot: value ->
  icAssignArg = 64,          // Data.Param: value ->
  icAssignResult = 65,       // value ->
  icAssignGlobalVar = 66,    // Data.GlobalObject: value ->
  icAssignGlobalConst = 67,  // Data.GlobalObject: value ->
  icForInitLValue = 68,      // Data.For: ref, start ->
  icForInitLocal = 69,       // Data.For: start ->
  icForInc = 70,             // Data.For
  icForIncStep = 71,
  icForDec = 72,
  icForJmpIfLE = 73,  // Data.For: jumps to FJmpLabel
  icForJmpIfGE = 74,
  icForJmpStep = 75,
  icCaseJmpIfEqual = 76,    // Data.Label: sel, v -> sel (no jump) or -> (jump)
  icCaseJmpIfInRange = 77,  // Data.Label: sel, lo, hi -> sel (no jump) or -> (jump)
  icRaise = 78,             // v -> (does not continue)
  isReraise = 79,           // Data.Int = FExceptionVar of the protected block
  icRaiseEBCFromFinally = 80,
  icCallFinally = 81,    // Data.Try
  icFinallyRet = 82,     // Data.Try
  icExceptJmpIfIs = 83,  // Data.ExcJump: type ->
  icExceptDone = 84,
  icExceptToVar = 85,       // Data.Int = FExceptionVar: -> value
  icSetNamespace = 86,      // Data.Namespace
  icArrayCreate = 87,       // Data.Array: 2*d bounds -> array
  icArrayRedimLValue = 88,  // Data.ArrayRedim: ref, 2*d bounds ->
  icArrayRedimLocal = 89,   // Data.ArrayRedim: 2*d bounds ->
  icEventHandlerMake = 90,  // Data.ProcName: -> handler
};
inline constexpr int kQOBInstrCodeCount = 91;
inline constexpr uint8_t kQOBMaxInstrCode = 90;

// The instruction's name as written above ("icPushLiteral"); "?" past the set.
std::string_view QOBInstrCodeName(uint8_t ACode) noexcept;

// The operator code of a binary operator or comparison instruction
// (icGreater..icPower other than icIn and icIs).
constexpr TQOBOperator QOBInstrOperator(TQOBInstrCode ACode) noexcept {
  switch (ACode) {
    case icGreater:
      return opGreater;
    case icGreaterEqual:
      return opGreaterEqual;
    case icLess:
      return opLess;
    case icLessEqual:
      return opLessEqual;
    case icEqual:
      return opEqual;
    case icRefEqual:
      return opIdentityEqual;
    case icNotEqual:
      return opNotEqual;
    case icRefNotEqual:
      return opIdentityNotEqual;
    case icPlus:
      return opAdd;
    case icStrConcat:
      return opConcat;
    case icMinus:
      return opSubtract;
    case icImp:
      return opImp;
    case icEqv:
      return opEqv;
    case icOr:
      return opOr;
    case icXor:
      return opXor;
    case icMultiply:
      return opMultiply;
    case icDivide:
      return opDivide;
    case icIntDiv:
      return opIntDivide;
    case icMod:
      return opModulus;
    case icAnd:
      return opAnd;
    case icShl:
      return opShl;
    case icShr:
      return opShr;
    case icPower:
      return opPower;
    default:
      return opAdd;  // not an operator instruction
  }
}

// How the name of a call was written.
enum TQOBBracketType : uint8_t {
  bkNon,      // no brackets
  bkVbRound,  // VB-style parentheses: a call or an index
  bkRound,    // round brackets: a call
  bkBlock,    // square brackets: an index
};

// Base of the auxiliary records a byte code owns.
class TQOBByteCodeItem {
 public:
  TQOBByteCodeItem() = default;
  TQOBByteCodeItem(const TQOBByteCodeItem&) = delete;
  TQOBByteCodeItem& operator=(const TQOBByteCodeItem&) = delete;
  virtual ~TQOBByteCodeItem() = default;
};

// A jump target. While emitting it knows the index of the instruction it is
// bound to (-1 while unbound); EndEmit turns that into the instruction pointer.
class TQOBLabel : public TQOBByteCodeItem {
 public:
  TQOBInstr* Target() const noexcept { return FTarget; }
  int32_t BoundIndex() const noexcept { return FIndex; }
  bool IsBound() const noexcept { return FIndex >= 0; }

 private:
  friend class TQOBByteCode;
  int32_t FIndex = -1;
  TQOBInstr* FTarget = nullptr;
};

// Call descriptor. The offsets are distances in slots from the top slot S:
// first argument at S-FArgsOffset, object at S-FObjectOffset, result slot at
// S-FResOffset; an assign-call's value is at S.
class TQOBCall : public TQOBByteCodeItem {
 public:
  TQOBNameId FName = kQOBNoName;
  WideString FStrName;
  TQOBBracketType FBracketType = bkNon;
  int32_t FArgCount = 0;
  int32_t FArgsOffset = 0;
  int32_t FResOffset = 0;
  int32_t FObjectOffset = 0;
  uint32_t FResMask = 0;  // 0: result discarded; all ones: result used
  // Targets of the Break, Continue and Exit pseudo-calls; nil where not allowed.
  TQOBLabel* FBreakLabel = nullptr;
  TQOBLabel* FContinueLabel = nullptr;
  TQOBLabel* FExitLabel = nullptr;
  // The module global the name was found to be, once found: see
  // TQOBInterpreter::ResolveName.
  mutable std::atomic<TQOBGlobalObject*> FResolvedGlobal{nullptr};
  // The local variable or parameter of the byte code's own scope that the
  // name was found to be: the search kind in the low byte, the slot index or
  // the packed TQOBParamInfo in the high word; 0 until found.
  mutable std::atomic<uint64_t> FResolvedLocal{0};
  // The built-in the name was found to be, and the count of host-object
  // changes it was found at: a host object added later may hide a built-in,
  // so the answer holds while the count stays the same.
  mutable std::atomic<TQOBGlobalObject*> FResolvedIntrinsic{nullptr};
  mutable std::atomic<int32_t> FIntrinsicChangeNumber{-1};

  bool IsResUsed() const noexcept { return FResMask != 0; }
};

// For-loop descriptor; the slots are local slot indexes.
class TQOBFor : public TQOBByteCodeItem {
 public:
  TQOBLabel* FJmpLabel = nullptr;  // the loop body
  int32_t FToVar = -1;             // final value
  int32_t FStepVar = -1;           // step, -1 without an explicit step
  int32_t FLoopVarRef = -1;        // address of the loop variable
  int32_t FLoopLocalVar = -1;      // the loop variable when it is a local
};

// A protected block (try/finally or try/except).
class TQOBTry : public TQOBByteCodeItem {
 public:
  int32_t Index() const noexcept { return FIndex; }
  TQOBTry* Parent() const noexcept { return FParent; }
  TQOBLabel* FinallyLabel() const noexcept { return FFinallyLabel; }
  int32_t FinallyRetVar() const noexcept { return FFinallyRetVar; }
  int32_t ExceptionVar() const noexcept { return FExceptionVar; }
  TQOBLabel* HandlerLabel() const noexcept { return FHandlerLabel; }
  int32_t HdrHierLow() const noexcept { return FHdrHierLow; }
  int32_t HdrHierHigh() const noexcept { return FHdrHierHigh; }

  // Labels at which a finally call of this block may return.
  void AddKnownFinallyRet(TQOBLabel* ALabel) { FKnownFRets.push_back(ALabel); }
  int32_t KnownFinallyRetCount() const noexcept { return static_cast<int32_t>(FKnownFRets.size()); }
  TQOBLabel* KnownFinallyRets(int32_t AIndex) const { return FKnownFRets.at(AIndex); }
  // Whether the handler range of this block contains AHdrHierId.
  bool HandlerRangeContains(int32_t AHdrHierId) const noexcept {
    return FHdrHierLow <= AHdrHierId && AHdrHierId <= FHdrHierHigh;
  }

  int32_t FIndex = 0;  // creation index, the value stamped into TryIndex
  TQOBTry* FParent = nullptr;
  int32_t FFinallyRetVar = -1;  // local slot: where a finally call returns
  int32_t FExceptionVar = -1;   // first of two local slots: the exception state
  TQOBLabel* FFinallyLabel = nullptr;
  TQOBLabel* FHandlerLabel = nullptr;
  int32_t FHdrHierHigh = -1;
  int32_t FHdrHierLow = -1;
  std::vector<TQOBLabel*> FKnownFRets;  // the labels belong to the byte code
};

// One exception-type clause of an except block.
class TQOBExcJump : public TQOBByteCodeItem {
 public:
  TQOBTry* Try_() const noexcept { return FTry; }
  TQOBLabel* Label_() const noexcept { return FLabel; }

  TQOBTry* FTry = nullptr;
  TQOBLabel* FLabel = nullptr;
};

// Array creation: 2*FDimCount bounds (lower, upper per dimension, first
// dimension first), the first at S-FArgsOffset.
class TQOBArray : public TQOBByteCodeItem {
 public:
  int32_t FArgsOffset = 0;  // 2*FDimCount-1
  TVarType FElemVarType = varVariant;
  int32_t FDimCount = 0;
};

// Re-dimensioning; the array reference (icArrayRedimLValue) is at S-FArrayOffset.
class TQOBArrayRedim : public TQOBArray {
 public:
  bool FPreserve = false;
  int32_t FArrayOffset = 0;     // 2*FDimCount
  int32_t FArrayLocalVar = -1;  // local slot of the array (icArrayRedimLocal)
};

// The operand of an instruction: one pointer-sized value.
union TQOBInstrData {
  void* Ptr;
  intptr_t Int;  // a count or a local slot index
  TQOBParamInfo Param;
  TQOBLabel* Label;
  const Variant* Literal;
  TQOBCall* Call;
  TQOBFor* For;
  TQOBTry* Try;
  TQOBExcJump* ExcJump;
  TQOBArray* Array;
  TQOBArrayRedim* ArrayRedim;
  TQOBAbstractNamespace* Namespace;
  TQOBGlobalValuedObject* GlobalObject;
  const WideString* ProcName;
  TQOBInstr* Instr;

  constexpr TQOBInstrData() noexcept : Ptr(nullptr) {}
  constexpr TQOBInstrData(int32_t AInt) noexcept : Int(AInt) {}                           // NOLINT
  TQOBInstrData(TQOBParamInfo AParam) noexcept : Int(0) { Param = AParam; }               // NOLINT
  constexpr TQOBInstrData(TQOBLabel* ALabel) noexcept : Label(ALabel) {}                  // NOLINT
  constexpr TQOBInstrData(const Variant* ALiteral) noexcept : Literal(ALiteral) {}        // NOLINT
  constexpr TQOBInstrData(TQOBCall* ACall) noexcept : Call(ACall) {}                      // NOLINT
  constexpr TQOBInstrData(TQOBFor* AFor) noexcept : For(AFor) {}                          // NOLINT
  constexpr TQOBInstrData(TQOBTry* ATry) noexcept : Try(ATry) {}                          // NOLINT
  constexpr TQOBInstrData(TQOBExcJump* AJump) noexcept : ExcJump(AJump) {}                // NOLINT
  constexpr TQOBInstrData(TQOBArray* AArray) noexcept : Array(AArray) {}                  // NOLINT
  constexpr TQOBInstrData(TQOBArrayRedim* ARedim) noexcept : ArrayRedim(ARedim) {}        // NOLINT
  constexpr TQOBInstrData(TQOBAbstractNamespace* ANs) noexcept : Namespace(ANs) {}        // NOLINT
  constexpr TQOBInstrData(TQOBGlobalValuedObject* AObj) noexcept : GlobalObject(AObj) {}  // NOLINT
  constexpr TQOBInstrData(const WideString* AProcName) noexcept : ProcName(AProcName) {}  // NOLINT
  constexpr TQOBInstrData(TQOBInstr* AInstr) noexcept : Instr(AInstr) {}                  // NOLINT
};
static_assert(sizeof(TQOBInstrData) == sizeof(void*));

inline constexpr uint8_t kQOBNoTryIndex = 255;  // no protected block encloses it
inline constexpr uint32_t kQOBBreakableBit = 0x80000000u;
inline constexpr uint32_t kQOBSourcePosMask = 0x7FFFFFFFu;

// One instruction.
struct TQOBInstr {
  TQOBInstrData Data;
  uint32_t SourceInfo;  // bits 0..30 source position, bit 31 breakable
  uint8_t Code;         // a TQOBInstrCode
  uint8_t TryIndex;     // innermost enclosing protected block, kQOBNoTryIndex for none

  int32_t SourcePos() const noexcept {
    return static_cast<int32_t>(SourceInfo & kQOBSourcePosMask);
  }
  bool IsBreakable() const noexcept { return (SourceInfo & kQOBBreakableBit) != 0; }
};
static_assert(sizeof(TQOBInstr) == 16, "instructions are fixed-size 16-byte records");

}  // namespace qob
