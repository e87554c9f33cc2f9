// A runner that records what the control asks of it, for testing the
// control without a language behind it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/runner.h"
#include "host/script_control.h"
#include "ole/dispatch_object.h"

namespace qob::testing {

// What the fake runners of a test do and record. One script at a time.
struct FakeScript {
  std::vector<std::string> Log;
  std::function<void()> OnPrepare;  // may raise, like a compile error
  std::function<void()> OnOpen;     // may raise, like a runtime error
  std::vector<std::string> EngineObjects;
  int LiveRunners = 0;
};

class FakeCodeObject final : public DispatchObject {
 public:
  HRESULT GetIDsOfNames(REFIID, const char16_t**, uint32_t, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS*, Variant*, EXCEPINFO*,
                 uint32_t*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
};

class FakeRunner final : public TRunnerBase {
 public:
  static inline FakeScript* Script = nullptr;

  static std::unique_ptr<TRunnerBase> Create(TQOBScriptControl*, bool) {
    return std::make_unique<FakeRunner>();
  }

  FakeRunner() { ++Script->LiveRunners; }
  ~FakeRunner() override { --Script->LiveRunners; }

  TQOBScriptLangKind GetLangKind() override { return slkNative; }
  void Prepare(TRunnerDebugBase*) override {
    Script->Log.push_back("runner.Prepare");
    if (Script->OnPrepare) Script->OnPrepare();
    FCodeObject = ComPtr<IDispatch>(new FakeCodeObject());
  }
  void Open() override {
    Script->Log.push_back("runner.Open");
    if (Script->OnOpen) Script->OnOpen();
  }
  void Close() override { Script->Log.push_back("runner.Close"); }
  void AddNamedObjectToEngine(const TNamedItem& AItem) override {
    Script->EngineObjects.push_back(AItem.Name.ToUtf8());
  }
  Variant RunProc(const WideString&) override { return Variant(1); }
  Variant RunProc(const WideString&, std::span<const Variant>) override { return Variant(2); }
  Variant ReadVar(const WideString&) override { return Variant(3); }
  void WriteVar(const WideString&, const Variant&) override {}
  std::unique_ptr<TObject> PrepareExpr(const WideString&) override {
    return std::make_unique<TObject>();
  }
  std::unique_ptr<TObject> PrepareStmt(const WideString&) override {
    return std::make_unique<TObject>();
  }
  Variant Eval(TObject*) override { return Variant(4); }
  Variant Eval(const WideString&) override { return Variant(5); }
  void ExecStmt(TObject*) override {}
  void ExecStmt(const WideString&) override {}
  ComPtr<IDispatch> GetCodeObject() override { return FCodeObject; }
  void Abort() override { Script->Log.push_back("runner.Abort"); }

 private:
  ComPtr<IDispatch> FCodeObject;
};

}  // namespace qob::testing
