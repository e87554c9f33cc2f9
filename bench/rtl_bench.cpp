// Conversions that scripts run in loops: integer and float text, and Format.
#include <benchmark/benchmark.h>

#include "rtl/format.h"
#include "rtl/numconv.h"

namespace {

const qob::TFormatSettings kSettings = qob::TFormatSettings::Invariant();

void BM_IntToStr(benchmark::State& state) {
  int64_t value = 1234567;
  for (auto _ : state) {
    benchmark::DoNotOptimize(qob::IntToStr(value));
    value += 7919;
  }
}
BENCHMARK(BM_IntToStr);

void BM_StrToFloat(benchmark::State& state) {
  const std::u16string_view texts[] = {u"3.14159", u"-2.5E-3", u"123456.789", u"1e100"};
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(qob::StrToFloat(texts[i++ & 3], kSettings));
  }
}
BENCHMARK(BM_StrToFloat);

void BM_FloatToStr(benchmark::State& state) {
  double value = 0.1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(qob::FloatToStr(value, kSettings));
    value += 1.37;
  }
}
BENCHMARK(BM_FloatToStr);

void BM_FormatIntAndString(benchmark::State& state) {
  const qob::WideString name(u"name");
  int32_t value = 42;
  for (auto _ : state) {
    const qob::FormatArg args[] = {value++, name};
    benchmark::DoNotOptimize(qob::Format(u"%d %s", args, kSettings));
  }
}
BENCHMARK(BM_FormatIntAndString);

}  // namespace
