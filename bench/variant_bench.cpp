// The general Variant path: copies, arithmetic, comparison and conversions
// that the interpreter falls back to.
#include <benchmark/benchmark.h>

#include "ole/variant.h"
#include "ole/variant_convert.h"
#include "ole/variant_ops.h"
#include "rtl/format_settings.h"

namespace qob {
namespace {

void BM_CopyIntegerVariant(benchmark::State& state) {
  const Variant source(12345);
  for (auto _ : state) {
    Variant copy(source);
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_CopyIntegerVariant);

void BM_CopyStringVariant(benchmark::State& state) {
  const Variant source(u"a string that is shared, never copied");
  for (auto _ : state) {
    Variant copy(source);
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_CopyStringVariant);

void BM_VarAddDoubles(benchmark::State& state) {
  const Variant a(1.5), b(2.25);
  for (auto _ : state) benchmark::DoNotOptimize(VarAdd(a, b));
}
BENCHMARK(BM_VarAddDoubles);

void BM_VarAddSmallintOverflow(benchmark::State& state) {
  const Variant a = Variant::FromSmallint(32767), b = Variant::FromSmallint(1);
  for (auto _ : state) benchmark::DoNotOptimize(VarAdd(a, b));
}
BENCHMARK(BM_VarAddSmallintOverflow);

void BM_VarCmpStrings(benchmark::State& state) {
  const Variant a(u"Variant comparison left"), b(u"Variant comparison right");
  for (auto _ : state) benchmark::DoNotOptimize(VarCmp(a, b));
}
BENCHMARK(BM_VarCmpStrings);

void BM_VarCmpStringsIgnoringCase(benchmark::State& state) {
  const Variant a(u"Variant Comparison"), b(u"variant comparison");
  for (auto _ : state) benchmark::DoNotOptimize(VarCmp(a, b, kCompareIgnoreCase));
}
BENCHMARK(BM_VarCmpStringsIgnoringCase);

void BM_IntegerToString(benchmark::State& state) {
  FormatSettings() = TFormatSettings::Invariant();
  const Variant value(1234567);
  for (auto _ : state) benchmark::DoNotOptimize(VarAsType(value, varOleStr));
}
BENCHMARK(BM_IntegerToString);

void BM_StringToDouble(benchmark::State& state) {
  FormatSettings() = TFormatSettings::Invariant();
  const Variant value(u"12345.678");
  for (auto _ : state) benchmark::DoNotOptimize(VarAsType(value, varDouble));
}
BENCHMARK(BM_StringToDouble);

void BM_VarCatStrings(benchmark::State& state) {
  const Variant a(u"left half "), b(u"right half");
  for (auto _ : state) benchmark::DoNotOptimize(VarCat(a, b));
}
BENCHMARK(BM_VarCatStrings);

void BM_DecimalDivision(benchmark::State& state) {
  const Variant a = VarAsType(Variant(u"1"), varDecimal), b = VarAsType(Variant(u"3"), varDecimal);
  for (auto _ : state) benchmark::DoNotOptimize(VarDiv(a, b));
}
BENCHMARK(BM_DecimalDivision);

}  // namespace
}  // namespace qob
