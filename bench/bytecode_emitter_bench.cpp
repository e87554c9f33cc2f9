// Emitting and finishing a large procedure: the analysis in EndEmit must stay
// linear in the code size for code with many branches.
#include <benchmark/benchmark.h>

#include "vm/bytecode.h"

namespace {

// ANumStatements "if a then x := a + b" statements, each a forward branch.
void EmitIfChain(qob::TQOBByteCode& bc, int ANumStatements) {
  using namespace qob;
  bc.BeginEmit(u"bench", nullptr, 1);
  const int32_t x = bc.AddLocalVar();
  for (int i = 0; i < ANumStatements; ++i) {
    TQOBLabel* skip = bc.CreateLabel();
    bc.SetNextInstrBreakable();
    bc.Emit(icPushLocalVar, x);
    bc.Emit(icPopJmpIfFalse, skip);
    bc.Emit(icPushLocalVar, x);
    bc.Emit(icPush0);
    bc.Emit(icPlus);
    bc.Emit(icAssignLocalVar, x);
    bc.BindLabel(skip);
  }
  bc.Emit(icRet);
  bc.EndEmit();
}

void BM_EmitIfChain(benchmark::State& state) {
  for (auto _ : state) {
    qob::TQOBByteCode bc;
    EmitIfChain(bc, static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(bc.StackSize());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_EmitIfChain)->RangeMultiplier(10)->Range(100, 100000)->Complexity();

}  // namespace
