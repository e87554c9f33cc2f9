// EndEmit: label resolution, jump-chain shortening and the stack-depth
// analysis that sizes an activation's slot block.
#include <algorithm>
#include <vector>

#include "vm/bytecode.h"

namespace qob {

namespace {

// A pending walk of the stack-depth analysis: an entry point and the operand
// depth it is entered with.
struct TJump {
  int32_t FInstr;
  int32_t FStackLength;
};

// The analysis is a fixed point over the operand depth on entry to every
// instruction: a walk stops where it meets an instruction already entered
// with at least its depth, so each instruction is re-walked only when a
// deeper path reaches it.
class StackDepthAnalysis {
 public:
  StackDepthAnalysis(const TQOBInstr* ACode, int32_t ACount, void (*AFail)(const char*))
      : FCode(ACode), FCount(ACount), FEntryDepth(static_cast<size_t>(ACount), -1), FFail(AFail) {
    // No execution of balanced code is deeper than every instruction's growth
    // added up; a deeper figure means a loop that keeps pushing.
    for (int32_t i = 0; i < FCount; ++i) FDepthBound += std::max<int64_t>(0, Growth(FCode[i]));
  }

  void Seed(const TQOBInstr* AInstr, int32_t ADepth) { Add(AInstr, ADepth); }

  int32_t Run() {
    while (!FWork.empty()) {
      const TJump jump = FWork.back();
      FWork.pop_back();
      Walk(jump.FInstr, jump.FStackLength);
    }
    return FMaxDepth;
  }

 private:
  static int64_t Growth(const TQOBInstr& AInstr) {
    switch (AInstr.Code) {
      case icPush:
        return AInstr.Data.Int;
      case icPush0:
      case icPushUnassigned:
      case icPushLiteral:
      case icPushLocalVar:
      case icPushLocalConst:
      case icPushArg:
      case icPushResult:
      case icPushLocalVarRef:
      case icPushArgRef:
      case icPushResultRef:
      case icExceptToVar:
      case icEventHandlerMake:
        return 1;
      default:
        return 0;
    }
  }

  void Add(const TQOBInstr* ATarget, int64_t ADepth) {
    if (!ATarget) FFail("jump to a label that is not bound to an instruction");
    if (ADepth < 0) FFail("operand stack underflow");
    const int32_t index = static_cast<int32_t>(ATarget - FCode);
    if (FEntryDepth[index] >= ADepth) return;
    FWork.push_back({index, static_cast<int32_t>(ADepth)});
  }
  void AddLabel(const TQOBLabel* ALabel, int64_t ADepth) {
    if (!ALabel) FFail("jump through a nil label");
    Add(ALabel->Target(), ADepth);
  }
  // Break, Continue and Exit leave through the labels of their call
  // descriptor with the operand stack emptied.
  void AddCallLabels(const TQOBCall* ACall) {
    for (const TQOBLabel* label : {ACall->FBreakLabel, ACall->FContinueLabel, ACall->FExitLabel})
      if (label) AddLabel(label, 0);
  }

  void Walk(int32_t AIndex, int64_t ADepth) {
    for (int32_t i = AIndex;; ++i) {
      if (i >= FCount) FFail("code runs past its last instruction");
      if (FEntryDepth[i] >= ADepth) return;
      FEntryDepth[i] = static_cast<int32_t>(ADepth);
      const TQOBInstr& instr = FCode[i];
      int64_t d = ADepth;
      switch (instr.Code) {
        case icRet:
        case icRaiseEBCFromFinally:
        case icFinallyRet:
        case isReraise:
          return;
        case icRaise:
          Check(d - 1);
          return;
        case icJump:
          AddLabel(instr.Data.Label, d);
          return;
        case icPop:
          d -= 1;
          break;
        case icPush:
          d += instr.Data.Int;
          break;
        case icPush0:
        case icPushUnassigned:
        case icPushLiteral:
        case icPushLocalVar:
        case icPushLocalConst:
        case icPushArg:
        case icPushResult:
        case icPushLocalVarRef:
        case icPushArgRef:
        case icPushResultRef:
        case icExceptToVar:
        case icEventHandlerMake:
          d += 1;
          break;
        case icUnaryPlus:
        case icUnaryMinus:
        case icUnaryNot:
        case icExceptDone:
        case icSetNamespace:
        case icForInc:
        case icForIncStep:
        case icForDec:
          break;
        case icJmpIfTrue:
        case icJmpIfFalse:
          AddLabel(instr.Data.Label, d);
          break;
        case icPopJmpIfTrue:
        case icPopJmpIfFalse:
          d -= 1;
          AddLabel(instr.Data.Label, d);
          break;
        case icPopJmpIfEqual:
        case icPopJmpIfNotEqual:
          d -= 2;
          AddLabel(instr.Data.Label, d);
          break;
        case icAddValToSet:
          d -= 1;
          break;
        case icAddRangeToSet:
          d -= 2;
          break;
        case icGlobCall:
        case icMemberCall:
        case icUnnamedCall:
        case icGlobCallRef:
        case icMemberCallRef:
        case icUnnamedCallRef:
        case icNewUnnamedCall:
          AddCallLabels(instr.Data.Call);
          d -= instr.Data.Call->FResOffset;
          break;
        case icAssignGlobCall:
          AddCallLabels(instr.Data.Call);
          d -= instr.Data.Call->FArgsOffset + 1;
          break;
        case icAssignMemberCall:
        case icAssignUnnamedCall:
          AddCallLabels(instr.Data.Call);
          d -= instr.Data.Call->FObjectOffset + 1;
          break;
        case icAssignLValue:
          d -= 2;
          break;
        case icAssignLocalVar:
        case icAssignArg:
        case icAssignResult:
        case icAssignGlobalVar:
        case icAssignGlobalConst:
          d -= 1;
          break;
        case icForInitLValue:
          d -= 2;
          break;
        case icForInitLocal:
          d -= 1;
          break;
        case icForJmpIfLE:
        case icForJmpIfGE:
        case icForJmpStep:
          AddLabel(instr.Data.For->FJmpLabel, d);
          break;
        case icCaseJmpIfEqual:
          AddLabel(instr.Data.Label, d - 2);
          d -= 1;
          break;
        case icCaseJmpIfInRange:
          AddLabel(instr.Data.Label, d - 3);
          d -= 2;
          break;
        case icCallFinally:
          // The finally code runs at this depth and returns to the next instruction.
          AddLabel(instr.Data.Try->FFinallyLabel, d);
          break;
        case icExceptJmpIfIs:
          d -= 1;
          AddLabel(instr.Data.ExcJump->FLabel, d);
          break;
        case icArrayCreate:
          d -= instr.Data.Array->FArgsOffset;
          break;
        case icArrayRedimLValue:
          d -= instr.Data.ArrayRedim->FArrayOffset + 1;
          break;
        case icArrayRedimLocal:
          d -= instr.Data.ArrayRedim->FArgsOffset + 1;
          break;
        default:
          if (instr.Code >= icGreater && instr.Code <= icPower) {
            d -= 1;  // binary operators and comparisons
            break;
          }
          FFail("unexpected instruction code in emitted code");
      }
      Check(d);
      ADepth = d;
    }
  }

  void Check(int64_t ADepth) {
    if (ADepth < 0) FFail("operand stack underflow");
    if (ADepth > FDepthBound) FFail("operand stack grows without bound in a loop");
    FMaxDepth = std::max(FMaxDepth, static_cast<int32_t>(ADepth));
  }

  const TQOBInstr* FCode;
  int32_t FCount;
  std::vector<int32_t> FEntryDepth;  // deepest entry seen per instruction, -1: not reached
  std::vector<TJump> FWork;
  int64_t FDepthBound = 0;
  int32_t FMaxDepth = 0;
  void (*FFail)(const char*);
};

}  // namespace

void TQOBByteCode::EndEmit() {
  RequireOpen();
  ResolveLabels();
  ShortenJumpChains();
  ComputeStackSize();
  // FTryArray has been filled in creation order by BeginProtectedBlock.
  FFinished = true;
}

void TQOBByteCode::ResolveLabels() {
  // Labels that were never bound (or bound past the last instruction) keep a
  // null target; the analysis rejects any reachable jump through them.
  for (TQOBLabel* label : FLabels)
    label->FTarget =
        (label->FIndex >= 0 && label->FIndex < FCount) ? &FCode[label->FIndex] : nullptr;
}

void TQOBByteCode::ShortenJumpChains() {
  // visitedBy[i] = 1 + the number of the label whose walk last passed instruction i.
  std::vector<uint32_t> visitedBy(static_cast<size_t>(FCount), 0);
  uint32_t walk = 0;
  for (TQOBLabel* label : FLabels) {
    TQOBInstr* target = label->FTarget;
    if (!target) continue;
    ++walk;
    visitedBy[IndexOf(target)] = walk;
    while (target->Code == icJump && target->Data.Label) {
      TQOBInstr* next = target->Data.Label->FTarget;
      if (!next || visitedBy[IndexOf(next)] == walk) break;  // unbound, or a cycle of jumps
      visitedBy[IndexOf(next)] = walk;
      target = next;
    }
    label->FTarget = target;
  }
}

void TQOBByteCode::ComputeStackSize() {
  if (FCount == 0) {
    FStackSize = 0;
    FStackLocalsOffset = 0;
    return;
  }
  StackDepthAnalysis analysis(FCode.get(), FCount, &TQOBByteCode::AssertionFailure);
  analysis.Seed(&FCode[0], 0);
  // The interpreter empties the operand stack before it enters a handler.
  for (TQOBTry* block : FTryArray)
    if (block->FHandlerLabel) analysis.Seed(block->FHandlerLabel->Target(), 0);
  const int32_t maxDepth = analysis.Run();
  FStackSize = maxDepth + FLocalVarCount;
  FStackLocalsOffset = FLocalVarCount - 1;
}

}  // namespace qob
