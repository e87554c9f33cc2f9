// The interpreter's speed: the dispatch loop on an integer counting loop, the
// value operations as instructions reach them, script calls and array
// elements. Each benchmark iteration runs one script loop of kTurns turns;
// "items" are loop turns, so ns per turn = 1e9 / items_per_second.
#include <benchmark/benchmark.h>

#include "../tests/vm/vm_test_support.h"
#include "ole/safearray.h"

namespace qob::vmtest {
namespace {

constexpr int32_t kTurns = 100000;

// Function Loop(N): repeats ABody N times on local I (0 .. N-1) with an
// accumulator local Acc, and answers Acc.
void DeclareLoop(TTestScript& AScript, std::u16string AName, const Variant& AStart,
                 std::function<void(TAsm&, int32_t AAcc, int32_t AI)> ABody) {
  AScript.Proc(AName, 1, true, [=](TAsm& a) {
    const int32_t acc = a.bc.AddLocalVar();
    const int32_t i = a.bc.AddLocalVar();
    TQOBLabel* top = a.Label();
    a.Lit(AStart);
    a.Emit(icAssignLocalVar, acc);
    a.Emit(icPush0);
    a.Emit(icAssignLocalVar, i);
    a.Bind(top);
    ABody(a, acc, i);
    a.Emit(icPushLocalVar, i);
    a.Lit(Variant(1));
    a.Emit(icPlus);
    a.Emit(icAssignLocalVar, i);
    a.Emit(icPushLocalVar, i);
    a.Emit(icPushArg, TQOBParamInfo{0, pkSimple});
    a.Emit(icLess);
    a.Emit(icPopJmpIfTrue, top);
    a.Emit(icPushLocalVar, acc);
    a.Emit(icAssignResult);
    a.Emit(icRet);
  });
}

void RunLoop(benchmark::State& AState, TTestScript& AScript, const char16_t* AName) {
  auto vm = AScript.Run();
  const Variant turns[] = {Variant(kTurns)};
  const WideString name(AName);
  for (auto _ : AState) benchmark::DoNotOptimize(vm->RunProc(name, turns));
  AState.SetItemsProcessed(AState.iterations() * kTurns);
}

// Eight instructions per turn: the counter's add, compare and branch.
void BM_CountingLoop(benchmark::State& state) {
  TTestScript script;
  DeclareLoop(script, u"Count", Variant(0), [](TAsm&, int32_t, int32_t) {});
  RunLoop(state, script, u"Count");
}
BENCHMARK(BM_CountingLoop);

// for I := 1 to N do Acc := Acc + I, through the for-loop instructions.
void BM_ForLoopSum(benchmark::State& state) {
  TTestScript script;
  script.Proc(u"Sum", 1, true, [](TAsm& a) {
    const int32_t acc = a.bc.AddLocalVar();
    const int32_t i = a.bc.AddLocalVar();
    TQOBLabel* body = a.Label();
    TQOBFor* loop = a.bc.AddFor(body, i, false);
    a.Emit(icPush0);
    a.Emit(icAssignLocalVar, acc);
    a.Emit(icPushArg, TQOBParamInfo{0, pkSimple});
    a.Emit(icAssignLocalVar, loop->FToVar);
    a.Lit(Variant(1));
    a.Emit(icForInitLocal, loop);
    a.Bind(body);
    a.Emit(icPushLocalVar, acc);
    a.Emit(icPushLocalVar, i);
    a.Emit(icPlus);
    a.Emit(icAssignLocalVar, acc);
    a.Emit(icForInc, loop);
    a.Emit(icForJmpIfLE, loop);
    a.Emit(icPushLocalVar, acc);
    a.Emit(icAssignResult);
    a.Emit(icRet);
  });
  RunLoop(state, script, u"Sum");
}
BENCHMARK(BM_ForLoopSum);

// Acc := Acc + I * 0.5: Double arithmetic through the value operations.
void BM_DoubleArithmetic(benchmark::State& state) {
  TTestScript script;
  DeclareLoop(script, u"Doubles", Variant(0.0), [](TAsm& a, int32_t acc, int32_t i) {
    a.Emit(icPushLocalVar, acc);
    a.Emit(icPushLocalVar, i);
    a.Lit(Variant(0.5));
    a.Emit(icMultiply);
    a.Emit(icPlus);
    a.Emit(icAssignLocalVar, acc);
  });
  RunLoop(state, script, u"Doubles");
}
BENCHMARK(BM_DoubleArithmetic);

// Acc := Acc + (I mod 7) and (I xor 3): Integer operators without an in-line path.
void BM_IntegerOperators(benchmark::State& state) {
  TTestScript script;
  DeclareLoop(script, u"Ints", Variant(0), [](TAsm& a, int32_t acc, int32_t i) {
    a.Emit(icPushLocalVar, acc);
    a.Emit(icPushLocalVar, i);
    a.Lit(Variant(7));
    a.Emit(icMod);
    a.Emit(icPushLocalVar, i);
    a.Lit(Variant(3));
    a.Emit(icXor);
    a.Emit(icAnd);
    a.Emit(icPlus);
    a.Emit(icAssignLocalVar, acc);
  });
  RunLoop(state, script, u"Ints");
}
BENCHMARK(BM_IntegerOperators);

// Acc := Inc(Acc): one script function call per turn, bound by name.
void BM_ScriptCall(benchmark::State& state) {
  TTestScript script;
  script.Proc(u"Inc", 1, true, [](TAsm& a) {
    a.Emit(icPushArg, TQOBParamInfo{0, pkSimple});
    a.Lit(Variant(1));
    a.Emit(icPlus);
    a.Emit(icAssignResult);
    a.Emit(icRet);
  });
  DeclareLoop(script, u"Calls", Variant(0), [](TAsm& a, int32_t acc, int32_t) {
    a.Emit(icPushUnassigned);
    a.Emit(icPushLocalVar, acc);
    a.Call(icGlobCall, u"Inc", bkRound, 1);
    a.Emit(icAssignLocalVar, acc);
  });
  RunLoop(state, script, u"Calls");
}
BENCHMARK(BM_ScriptCall);

// G[I mod 100] := G[I mod 100] + 1 on a global array of 100 elements.
void BM_ArrayElement(benchmark::State& state) {
  TTestScript script;
  const TSafeArrayBound bounds[] = {{0, 100}};
  Variant array = VarArrayCreate(bounds);
  for (int32_t k = 0; k < 100; ++k) {
    const int32_t at[] = {k};
    SafeArrayElement(*array.VArray, at) = Variant(0);
  }
  script.Var(u"G", array);
  DeclareLoop(script, u"Elements", Variant(0), [](TAsm& a, int32_t, int32_t i) {
    auto index = [&] {
      a.Emit(icPushLocalVar, i);
      a.Lit(Variant(100));
      a.Emit(icMod);
    };
    index();
    a.Emit(icPushUnassigned);
    index();
    a.Call(icGlobCall, u"G", bkBlock, 1);
    a.Lit(Variant(1));
    a.Emit(icPlus);
    a.Call(icAssignGlobCall, u"G", bkBlock, 1, false, true);
  });
  RunLoop(state, script, u"Elements");
}
BENCHMARK(BM_ArrayElement);

}  // namespace
}  // namespace qob::vmtest
