// Compiling Pascal-like scripts: scanning, parsing and emitting byte code,
// per script of N typical procedures. Compile time should grow linearly.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "compiler/name_table.h"
#include "pascal/pas_parser.h"

namespace {

using namespace qob;

std::u16string MakeScript(int AProcs) {
  std::u16string text = u"var Total = 0;\r\n";
  for (int i = 0; i < AProcs; ++i) {
    const std::u16string n = Utf8ToUtf16(std::to_string(i));
    text += u"function Work" + n +
            u"(a; var b);\r\nvar i, s = '';\r\nbegin\r\n"
            u"  for i := 1 to a do begin\r\n"
            u"    if (i mod 3 = 0) or (i > 10) then s := s + 'x' else Continue;\r\n"
            u"    case i of 1: b := b + 1; 2..5: b := b * 2; else b := b - i; end;\r\n"
            u"  end;\r\n"
            u"  try Total := Total + Length(s); except on E: Exception do raise; end;\r\n"
            u"  Result := {comment} b; // done\r\nend;\r\n";
  }
  return text + u"begin Total := Work0(10, Total); end;\r\n";
}

class TBenchCallbacks final : public IQOBParserCallbacks {
 public:
  TQOBNameId GetNameId(std::u16string_view AName) override { return QOBNameId(AName); }
  void GlobalStmtParsed(std::unique_ptr<IQOBEmitable> AStmt) override {
    Stmts.push_back(std::move(AStmt));
  }
  void GlobalObjParsed(std::unique_ptr<TQOBGlobalObject>& AObj, bool& ADuplicateName) override {
    ADuplicateName = false;
    Globals.push_back(std::move(AObj));
  }
  void UsedUnitParsed(const WideString&, bool& ADuplicateName) override { ADuplicateName = false; }

  std::vector<std::unique_ptr<IQOBEmitable>> Stmts;
  std::vector<std::unique_ptr<TQOBGlobalObject>> Globals;
};

class TNoGlobals final : public TQOBAbstractNamespace {
 public:
  TNoGlobals() : TQOBAbstractNamespace(nullptr) {}
  TQOBNameSearchRes Find(TQOBThread*, TQOBNameId, const WideString&) override { return {}; }
  void EnumDebugVars(bool, const TQOBNamespaceEnumVarsProc&) override {}
};

void BM_ScanTokens(benchmark::State& state) {
  const WideString source(MakeScript(static_cast<int>(state.range(0))));
  int64_t tokens = 0;
  for (auto _ : state) {
    TQOBPasScanner scanner(true);
    scanner.Start(source);
    while (scanner.Token() != TQOBPasToken::ptEOf) {
      scanner.SkipToken();
      ++tokens;
    }
  }
  state.SetItemsProcessed(tokens);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(source.size() * sizeof(char16_t)));
}
BENCHMARK(BM_ScanTokens)->Arg(100)->Arg(1000);

void BM_ParseScript(benchmark::State& state) {
  const WideString source(MakeScript(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    TBenchCallbacks cbs;
    TQOBPasParser parser(&cbs);
    parser.Parse(source);
    benchmark::DoNotOptimize(cbs.Globals.size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));  // procedures
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseScript)->RangeMultiplier(10)->Range(10, 1000)->Complexity();

void BM_ParseAndEmit(benchmark::State& state) {
  const WideString source(MakeScript(static_cast<int>(state.range(0))));
  TNoGlobals globals;
  for (auto _ : state) {
    TBenchCallbacks cbs;
    TQOBPasParser parser(&cbs);
    parser.Parse(source);
    for (auto& g : cbs.Globals)
      if (auto* proc = dynamic_cast<TQOBProcObject*>(g.get())) proc->EmitByteCode(&globals);
    TQOBByteCode global;
    global.BeginEmit(u"Global code", &globals, 0);
    for (auto& stmt : cbs.Stmts) stmt->Emit(&globals, &global);
    global.Emit(icRet);
    global.EndEmit();
    benchmark::DoNotOptimize(global.StackSize());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));  // procedures
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseAndEmit)->RangeMultiplier(10)->Range(10, 1000)->Complexity();

}  // namespace
