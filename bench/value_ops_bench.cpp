// Cost of the value operations as the interpreter calls them, one operator
// instruction per iteration.
#include <benchmark/benchmark.h>

#include "vm/value_ops.h"

namespace qob {
namespace {

void BM_IntegerAdd(benchmark::State& state) {
  Variant counter(0);
  const Variant one(1);
  for (auto _ : state) {
    QOBBinaryOp(counter, one, counter, opAdd);
    benchmark::DoNotOptimize(counter);
  }
}
BENCHMARK(BM_IntegerAdd);

void BM_DoubleAdd(benchmark::State& state) {
  Variant sum(0.0);
  const Variant step(0.5);
  for (auto _ : state) {
    QOBBinaryOp(sum, step, sum, opAdd);
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_DoubleAdd);

void BM_IntegerCompare(benchmark::State& state) {
  const Variant index(12345);
  const Variant limit(100000);
  for (auto _ : state) benchmark::DoNotOptimize(QOBCompare(index, limit, opLess));
}
BENCHMARK(BM_IntegerCompare);

void BM_StringConcat(benchmark::State& state) {
  const Variant left(u"Hello, ");
  const Variant right(u"world");
  Variant result;
  for (auto _ : state) {
    QOBBinaryOp(left, right, result, opConcat);
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_StringConcat);

}  // namespace
}  // namespace qob
