#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "compiler/compile_error.h"
#include "rtl/exceptions.h"
#include "vm/bytecode.h"

namespace qob {
namespace {

// Starts a byte code the way a code generator does.
struct OpenByteCode {
  TQOBByteCode bc;
  explicit OpenByteCode(int32_t ASourcePos = 1) { bc.BeginEmit(u"test", nullptr, ASourcePos); }
  void Push(int n) {
    for (int i = 0; i < n; ++i) bc.Emit(icPush0);
  }
  void Pop(int n) {
    for (int i = 0; i < n; ++i) bc.Emit(icPop);
  }
};

// A protected block with its two locals and labels, as try/finally uses it.
TQOBTry* BeginTry(TQOBByteCode& bc) {
  TQOBTry* t = bc.BeginProtectedBlock();
  t->FFinallyRetVar = bc.AddLocalVar();
  t->FExceptionVar = bc.AddLocalVarArray(2);
  t->FFinallyLabel = bc.CreateLabel();
  t->FHandlerLabel = bc.CreateLabel();
  return t;
}

// A loop whose only way to `ALeave` is the Break/Continue/Exit pseudo-call:
// code at `ALeave` is reachable through the call descriptor alone.
void LoopLeftThroughPseudoCall(OpenByteCode& o, TQOBLabel* TQOBCall::*ALabelField) {
  TQOBByteCode& bc = o.bc;
  TQOBLabel* top = bc.CreateLabel();
  TQOBLabel* leave = bc.CreateLabel();
  TQOBCall* call = bc.AddCall(1, u"Leave", bkNon, 0, false, false, false);
  call->*ALabelField = leave;
  bc.BindLabel(top);
  o.Push(1);  // result slot
  bc.Emit(icGlobCall, call);
  o.Pop(1);
  bc.Emit(icJump, top);
  bc.BindLabel(leave);
  o.Push(6);
  o.Pop(6);
  bc.Emit(icRet);
}

struct StackCase {
  const char* name;
  std::function<void(OpenByteCode&)> build;
  int32_t stackSize;
  int32_t localsOffset;
};

TEST(EmitterTest, StackSizeCoversTheDeepestOperandStackOfEveryPath) {
  const StackCase cases[] = {
      {"empty code", [](OpenByteCode&) {}, 0, 0},
      {"three locals, expression four deep",
       [](OpenByteCode& o) {
         for (int i = 0; i < 3; ++i) o.bc.AddLocalVar();
         for (int i = 0; i < 4; ++i) o.bc.Emit(icPushLocalVar, i % 3);
         for (int i = 0; i < 3; ++i) o.bc.Emit(icPlus);
         o.bc.Emit(icAssignLocalVar, 0);
         o.bc.Emit(icRet);
       },
       7, 2},
      {"deeper code only on the jump target of a branch",
       [](OpenByteCode& o) {
         TQOBLabel* other = o.bc.CreateLabel();
         TQOBLabel* done = o.bc.CreateLabel();
         o.Push(1);
         o.bc.Emit(icPopJmpIfFalse, other);
         o.Push(1);
         o.Pop(1);
         o.bc.Emit(icJump, done);
         o.bc.BindLabel(other);
         o.Push(3);
         o.Pop(3);
         o.bc.BindLabel(done);
         o.bc.Emit(icRet);
       },
       3, -1},
      {"for loop with a local loop variable",
       [](OpenByteCode& o) {
         TQOBByteCode& bc = o.bc;
         const int32_t i = bc.AddLocalVar();
         TQOBLabel* body = bc.CreateLabel();
         TQOBLabel* test = bc.CreateLabel();
         TQOBFor* f = bc.AddFor(body, i, false);
         o.Push(1);
         bc.Emit(icAssignLocalVar, f->FToVar);
         o.Push(1);
         bc.Emit(icForInitLocal, f);
         bc.Emit(icJump, test);
         bc.BindLabel(body);
         o.Push(2);
         bc.Emit(icPlus);
         o.Pop(1);
         bc.Emit(icForInc, f);
         bc.BindLabel(test);
         bc.Emit(icForJmpIfLE, f);
         bc.Emit(icRet);
       },
       2 + 3, 2},
      {"calls with results, an object and an assigned value",
       [](OpenByteCode& o) {
         TQOBByteCode& bc = o.bc;
         o.Push(3);  // result slot and two arguments
         bc.Emit(icGlobCall, bc.AddCall(1, u"F", bkRound, 2, false, false, true));
         o.Push(3);  // result slot, object, one argument
         bc.Emit(icMemberCall, bc.AddCall(2, u"M", bkRound, 1, true, false, true));
         bc.Emit(icPlus);
         o.Push(3);  // object, argument, assigned value
         bc.Emit(icAssignMemberCall, bc.AddCall(3, u"P", bkBlock, 1, true, true, false));
         o.Pop(1);
         bc.Emit(icRet);
       },
       4, -1},
      {"statements after try/finally deeper than anything before",
       [](OpenByteCode& o) {
         TQOBByteCode& bc = o.bc;
         TQOBLabel* after = bc.CreateLabel();
         TQOBTry* t = BeginTry(bc);
         o.Push(1);
         o.Pop(1);
         bc.EndProtectedBlock();
         bc.Emit(icCallFinally, t);
         bc.Emit(icJump, after);
         bc.BindLabel(t->FHandlerLabel);
         bc.Emit(icCallFinally, t);
         bc.Emit(isReraise, t->FExceptionVar);
         bc.BindLabel(t->FFinallyLabel);
         o.Push(2);
         o.Pop(2);
         bc.Emit(icFinallyRet, t);
         bc.BindLabel(after);
         o.Push(5);
         o.Pop(5);
         bc.Emit(icRet);
       },
       5 + 3, 2},
      {"except handler reached only through the handler label",
       [](OpenByteCode& o) {
         TQOBByteCode& bc = o.bc;
         TQOBLabel* after = bc.CreateLabel();
         TQOBTry* t = BeginTry(bc);
         o.Push(1);
         o.Pop(1);
         bc.EndProtectedBlock();
         bc.Emit(icJump, after);
         bc.BindLabel(t->FHandlerLabel);
         o.Push(4);
         o.Pop(4);
         bc.Emit(icExceptDone);
         bc.Emit(icJump, after);
         bc.BindLabel(after);
         bc.Emit(icRet);
       },
       4 + 3, 2},
      {"code reached only through a Break label",
       [](OpenByteCode& o) { LoopLeftThroughPseudoCall(o, &TQOBCall::FBreakLabel); }, 6, -1},
      {"code reached only through a Continue label",
       [](OpenByteCode& o) { LoopLeftThroughPseudoCall(o, &TQOBCall::FContinueLabel); }, 6, -1},
      {"code reached only through an Exit label",
       [](OpenByteCode& o) { LoopLeftThroughPseudoCall(o, &TQOBCall::FExitLabel); }, 6, -1},
      {"case label tests pop differently on the jump path",
       [](OpenByteCode& o) {
         TQOBByteCode& bc = o.bc;
         TQOBLabel* one = bc.CreateLabel();
         TQOBLabel* range = bc.CreateLabel();
         TQOBLabel* done = bc.CreateLabel();
         o.Push(2);  // selector, value
         bc.Emit(icCaseJmpIfEqual, one);
         o.Push(2);  // selector, lo, hi
         bc.Emit(icCaseJmpIfInRange, range);
         o.Pop(1);
         bc.Emit(icJump, done);
         bc.BindLabel(one);
         o.Push(1);
         o.Pop(1);
         bc.Emit(icJump, done);
         bc.BindLabel(range);
         o.Push(2);
         o.Pop(2);
         bc.BindLabel(done);
         bc.Emit(icRet);
       },
       3, -1},
      {"array creation and both re-dimension forms",
       [](OpenByteCode& o) {
         TQOBByteCode& bc = o.bc;
         const int32_t arr = bc.AddLocalVar();
         o.Push(4);
         bc.Emit(icArrayCreate, bc.AddArray(2, varVariant));
         bc.Emit(icAssignLocalVar, arr);
         o.Push(2);
         bc.Emit(icArrayRedimLocal, bc.AddArrayRedim(1, varVariant, arr, true));
         bc.Emit(icPushLocalVarRef, arr);
         o.Push(2);
         bc.Emit(icArrayRedimLValue, bc.AddArrayRedim(1, varVariant, false));
         bc.Emit(icRet);
       },
       4 + 1, 0},
      {"result slots of a call chain reserved at once",
       [](OpenByteCode& o) {
         o.bc.Emit(icPush, 3);
         o.Push(1);
         o.Pop(4);
         o.bc.Emit(icRet);
       },
       4, -1},
  };
  for (const StackCase& c : cases) {
    SCOPED_TRACE(c.name);
    OpenByteCode o;
    c.build(o);
    o.bc.EndEmit();
    EXPECT_EQ(o.bc.StackSize(), c.stackSize);
    EXPECT_EQ(o.bc.StackLocalsOffset(), c.localsOffset);
  }
}

TEST(EmitterTest, LabelsBecomeInstructionPointersAndJumpChainsAreShortened) {
  OpenByteCode o;
  TQOBByteCode& bc = o.bc;
  TQOBLabel* first = bc.CreateLabel();
  TQOBLabel* second = bc.CreateLabel();
  TQOBLabel* final = bc.CreateLabel();
  TQOBLabel* plain = bc.CreateLabel();
  bc.Emit(icJump, first);  // 0
  bc.BindLabel(first);
  bc.Emit(icJump, second);  // 1
  bc.BindLabel(second);
  bc.Emit(icJump, final);  // 2
  bc.BindLabel(plain);
  bc.Emit(icPush0);  // 3
  bc.BindLabel(final);
  bc.Emit(icRet);  // 4
  bc.EndEmit();
  EXPECT_EQ(first->Target(), bc.Code() + 4);
  EXPECT_EQ(second->Target(), bc.Code() + 4);
  EXPECT_EQ(final->Target(), bc.Code() + 4);
  EXPECT_EQ(plain->Target(), bc.Code() + 3);
}

TEST(EmitterTest, JumpsThatTargetEachOtherDoNotHangEndEmit) {
  OpenByteCode o;
  TQOBByteCode& bc = o.bc;
  TQOBLabel* a = bc.CreateLabel();
  TQOBLabel* b = bc.CreateLabel();
  bc.Emit(icRet);
  bc.BindLabel(a);
  bc.Emit(icJump, b);
  bc.BindLabel(b);
  bc.Emit(icJump, a);
  bc.EndEmit();
  for (TQOBLabel* l : {a, b}) {
    const int32_t index = bc.IndexOf(l->Target());
    EXPECT_TRUE(index == 1 || index == 2) << index;
  }
}

TEST(EmitterTest, InstructionsKeepTheirFieldsAsTheArrayGrows) {
  OpenByteCode o;
  for (int32_t i = 0; i < 100; ++i) {
    int32_t old;
    o.bc.BeginSourcePos(1000 + i, old);
    o.bc.Emit(icPushLocalVar, i);
    o.bc.Emit(icPop);
    o.bc.EndSourcePos(old);
  }
  o.bc.Emit(icRet);
  o.bc.EndEmit();
  ASSERT_EQ(o.bc.Count(), 201);
  for (int32_t i = 0; i < 100; ++i) {
    const TQOBInstr& instr = o.bc.Code()[2 * i];
    EXPECT_EQ(instr.Code, icPushLocalVar);
    EXPECT_EQ(instr.Data.Int, i);
    EXPECT_EQ(instr.SourcePos(), 1000 + i);
  }
  EXPECT_EQ(o.bc.Code()[200].SourcePos(), 1);
  EXPECT_EQ(o.bc.MinSourcePos(), 1);
  EXPECT_EQ(o.bc.MaxSourcePos(), 1099);
}

TEST(EmitterTest, TryIndexNamesTheInnermostOpenProtectedBlock) {
  OpenByteCode o;
  TQOBByteCode& bc = o.bc;
  bc.Emit(icPush0);
  TQOBTry* outer = bc.BeginProtectedBlock();
  bc.Emit(icPush0);
  TQOBTry* inner = bc.BeginProtectedBlock();
  bc.Emit(icPush0);
  bc.EndProtectedBlock();
  bc.Emit(icPush0);
  bc.EndProtectedBlock();
  bc.Emit(icPop);
  bc.Emit(icPop);
  bc.Emit(icPop);
  bc.Emit(icPop);
  bc.Emit(icRet);
  bc.EndEmit();
  EXPECT_EQ(inner->Parent(), outer);
  EXPECT_EQ(outer->Parent(), nullptr);
  const uint8_t expected[] = {255, 0, 1, 0, 255};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(bc.Code()[i].TryIndex, expected[i]) << i;
  ASSERT_EQ(bc.TryCount(), 2);
  EXPECT_EQ(bc.Trys()[0], outer);
  EXPECT_EQ(bc.Trys()[1], inner);
}

TEST(EmitterTest, AtMost255ProtectedBlocksAndTheNextIsACompileError) {
  OpenByteCode o(77);
  TQOBByteCode& bc = o.bc;
  TQOBTry* last = nullptr;
  for (int i = 0; i < 255; ++i) {
    last = bc.BeginProtectedBlock();
    bc.Emit(icPush0);
    bc.Emit(icPop);
    bc.EndProtectedBlock();
  }
  EXPECT_EQ(last->Index(), 254);
  EXPECT_EQ(bc.Code()[bc.Count() - 1].TryIndex, 254);
  try {
    bc.BeginProtectedBlock();
    FAIL() << "the 256th protected block was accepted";
  } catch (const EQOBCompileBase& e) {
    EXPECT_EQ(e.SourcePos(), 77);
    EXPECT_NE(e.Message().view().find(u"255"), std::u16string_view::npos);
  }
  EXPECT_EQ(bc.TryCount(), 255);
  bc.Emit(icRet);
  bc.EndEmit();
  EXPECT_EQ(bc.Trys()[254], last);
}

TEST(EmitterTest, HandlerRangesOfNestedHandlersLieInsideTheEnclosingRange) {
  OpenByteCode o;
  TQOBByteCode& bc = o.bc;
  TQOBTry* outer = bc.BeginProtectedBlock();
  bc.EndProtectedBlock();
  bc.BeginExcHdrCode(outer);
  TQOBTry* nested = bc.BeginProtectedBlock();
  bc.EndProtectedBlock();
  bc.BeginExcHdrCode(nested);
  bc.EndExcHdrCode(nested);
  bc.EndExcHdrCode(outer);
  EXPECT_LT(outer->HdrHierLow(), nested->HdrHierLow());
  EXPECT_GT(outer->HdrHierHigh(), nested->HdrHierHigh());
  EXPECT_TRUE(outer->HandlerRangeContains(nested->HdrHierLow()));
  EXPECT_FALSE(nested->HandlerRangeContains(outer->HdrHierLow()));
}

TEST(EmitterTest, BreakableBitsAndFirstBreakInstructionInARange) {
  OpenByteCode o;
  TQOBByteCode& bc = o.bc;
  struct Emitted {
    int32_t pos;
    bool breakable;
  };
  const Emitted emitted[] = {{10, true}, {11, false}, {20, true}, {20, false}, {30, true}};
  for (const Emitted& e : emitted) {
    int32_t old;
    bc.BeginSourcePos(e.pos, old);
    if (e.breakable) bc.SetNextInstrBreakable();
    bc.Emit(icPush0);
    bc.EndSourcePos(old);
  }
  // A cancelled request marks nothing.
  bc.SetNextInstrBreakable();
  bc.ManualResetNextInstrBreakable();
  int32_t old;
  bc.BeginSourcePos(40, old);
  bc.Emit(icRet);
  bc.EndSourcePos(old);
  bc.EndEmit();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(bc.Code()[i].IsBreakable(), emitted[i].breakable) << i;
  EXPECT_FALSE(bc.Code()[5].IsBreakable());
  EXPECT_EQ(bc.Code()[5].SourcePos(), 40);
  EXPECT_EQ(bc.CurSourcePos(), 1);

  struct Query {
    int32_t start, length;
    int expectedIndex;  // -1: none
  };
  const Query queries[] = {
      {10, 1, 0},  {1, 10, 0}, {11, 9, -1}, {11, 10, 2},   {20, 1, 2},  {21, 9, -1},
      {21, 10, 4}, {30, 1, 4}, {1, 9, -1},  {31, 100, -1}, {10, 0, -1}, {-5, 100, 0},
  };
  for (const Query& q : queries) {
    const TQOBInstr* found = bc.GetFirstBreakInstr(q.start, q.length);
    EXPECT_EQ(found ? bc.IndexOf(found) : -1, q.expectedIndex)
        << "range " << q.start << " length " << q.length;
  }
}

TEST(EmitterTest, DescriptorsGetTheirOffsetsAndSlots) {
  struct CallCase {
    int32_t args;
    bool hasObject, hasValue, resUsed;
    int32_t argsOffset, objectOffset, resOffset;
  };
  const CallCase calls[] = {
      {0, false, false, true, -1, 0, 0}, {2, false, false, false, 1, 2, 2},
      {2, true, false, true, 1, 2, 3},   {1, true, true, false, 1, 2, 3},
      {0, false, true, false, 0, 1, 1},
  };
  OpenByteCode o;
  TQOBByteCode& bc = o.bc;
  for (const CallCase& c : calls) {
    TQOBCall* call = bc.AddCall(5, u"Name", bkVbRound, c.args, c.hasObject, c.hasValue, c.resUsed);
    EXPECT_EQ(call->FArgsOffset, c.argsOffset);
    EXPECT_EQ(call->FObjectOffset, c.objectOffset);
    EXPECT_EQ(call->FResOffset, c.resOffset);
    EXPECT_EQ(call->FResMask, c.resUsed ? 0xFFFFFFFFu : 0u);
    EXPECT_EQ(call->FArgCount, c.args);
    EXPECT_EQ(call->FStrName.view(), u"Name");
    EXPECT_EQ(call->FBreakLabel, nullptr);
  }

  TQOBFor* stepped = bc.AddFor(nullptr, true);
  EXPECT_EQ(stepped->FStepVar, 0);
  EXPECT_EQ(stepped->FToVar, 1);
  EXPECT_EQ(stepped->FLoopVarRef, 2);
  TQOBFor* local = bc.AddFor(nullptr, 0, false);
  EXPECT_EQ(local->FStepVar, -1);
  EXPECT_EQ(local->FToVar, 3);
  EXPECT_EQ(local->FLoopVarRef, 4);
  EXPECT_EQ(local->FLoopLocalVar, 0);
  EXPECT_EQ(bc.AddLocalVarArray(2), 5);
  EXPECT_EQ(bc.AddLocalVar(), 7);

  TQOBArrayRedim* redim = bc.AddArrayRedim(3, varInteger, 6, true);
  EXPECT_EQ(redim->FArgsOffset, 5);
  EXPECT_EQ(redim->FArrayOffset, 6);
  EXPECT_EQ(redim->FArrayLocalVar, 6);
  EXPECT_TRUE(redim->FPreserve);
  EXPECT_EQ(bc.AddArray(2, varDouble)->FArgsOffset, 3);
}

TEST(EmitterTest, GeneratorMistakesAreAssertionFailures) {
  const std::pair<const char*, std::function<void()>> mistakes[] = {
      {"emit before a source position is set",
       [] {
         TQOBByteCode bc;
         bc.Emit(icRet);
       }},
      {"emit after EndEmit",
       [] {
         OpenByteCode o;
         o.bc.Emit(icRet);
         o.bc.EndEmit();
         o.bc.Emit(icRet);
       }},
      {"jump to a label never bound",
       [] {
         OpenByteCode o;
         o.bc.Emit(icJump, o.bc.CreateLabel());
         o.bc.EndEmit();
       }},
      {"code that runs past its end",
       [] {
         OpenByteCode o;
         o.bc.Emit(icPush0);
         o.bc.EndEmit();
       }},
      {"pop from an empty operand stack",
       [] {
         OpenByteCode o;
         o.bc.Emit(icPop);
         o.bc.Emit(icRet);
         o.bc.EndEmit();
       }},
      {"a loop that keeps pushing",
       [] {
         OpenByteCode o;
         TQOBLabel* top = o.bc.CreateLabel();
         o.bc.BindLabel(top);
         o.bc.Emit(icPush0);
         o.bc.Emit(icJump, top);
         o.bc.EndEmit();
       }},
      {"a breakpoint code emitted",
       [] {
         OpenByteCode o;
         o.bc.Emit(icBreak);
         o.bc.Emit(icRet);
         o.bc.EndEmit();
       }},
      {"end of a protected block that was never opened",
       [] {
         OpenByteCode o;
         o.bc.EndProtectedBlock();
       }},
  };
  for (const auto& [name, mistake] : mistakes) {
    SCOPED_TRACE(name);
    EXPECT_THROW(mistake(), EAssertionFailed);
  }
}

TEST(EmitterTest, InstructionCodesHaveTheirNamesAndOperators) {
  EXPECT_EQ(QOBInstrCodeName(icBreak), "icBreak");
  EXPECT_EQ(QOBInstrCodeName(icPushLiteral), "icPushLiteral");
  EXPECT_EQ(QOBInstrCodeName(isReraise), "isReraise");
  EXPECT_EQ(QOBInstrCodeName(icEventHandlerMake), "icEventHandlerMake");
  EXPECT_EQ(QOBInstrCodeName(91), "?");
  EXPECT_EQ(QOBInstrOperator(icPlus), opAdd);
  EXPECT_EQ(QOBInstrOperator(icRefNotEqual), opIdentityNotEqual);
  EXPECT_EQ(QOBInstrOperator(icStrConcat), opConcat);
  EXPECT_EQ(QOBInstrOperator(icIntDiv), opIntDivide);
}

}  // namespace
}  // namespace qob
