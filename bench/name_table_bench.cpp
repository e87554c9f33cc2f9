// Name lookups on the compile path and on late-bound run-time lookups.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "compiler/name_table.h"

namespace {

std::vector<std::u16string> MakeNames(std::u16string_view APrefix, int ACount) {
  std::vector<std::u16string> names;
  for (int i = 0; i < ACount; ++i) {
    const std::string digits = std::to_string(i);
    names.push_back(std::u16string(APrefix) + std::u16string(digits.begin(), digits.end()));
  }
  for (const auto& n : names) qob::QOBNameTable().GetNameIndex(n, true);
  return names;
}

// Existing identifiers in source spelling (mixed case), as a parser asks for them.
void BM_LookupAsciiName(benchmark::State& state) {
  static const std::vector<std::u16string> names = MakeNames(u"benchVariable_", 1000);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(qob::QOBNameTable().GetNameIndex(names[i], true));
    i = (i + 1) % names.size();
  }
}
BENCHMARK(BM_LookupAsciiName)->ThreadRange(1, 2);

void BM_LookupNonAsciiName(benchmark::State& state) {
  static const std::vector<std::u16string> names = MakeNames(u"größeÄnderung_", 1000);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(qob::QOBNameTable().GetNameIndex(names[i], true));
    i = (i + 1) % names.size();
  }
}
BENCHMARK(BM_LookupNonAsciiName);

// A run-time lookup of a name that was never declared (host member names).
void BM_LookupUnknownName(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(qob::QOBNameTable().GetNameIndex(u"NeverDeclaredAnywhere", false));
}
BENCHMARK(BM_LookupUnknownName);

}  // namespace
