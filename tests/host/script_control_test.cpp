#include "host/script_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>

#include "fake_runner.h"
#include "host/host_errors.h"
#include "ole/variant_convert.h"

namespace qob {
namespace {

using testing::FakeRunner;
using testing::FakeScript;

// Records into the script's log when an event fires.
struct EventRecorder {
  std::vector<std::string>* Log;
  std::string Name;
  static void Fire(void* AData, TObject*) {
    auto* self = static_cast<EventRecorder*>(AData);
    self->Log->push_back(self->Name);
  }
  TNotifyEvent Event() { return MakeNotifyEvent(&EventRecorder::Fire, this); }
};

class CountingHandler : public TQOBScriptEventHandler {
  QOB_CLASS(CountingHandler, TQOBScriptEventHandler)
 public:
  using TQOBScriptEventHandler::TQOBScriptEventHandler;
  ~CountingHandler() override { ++Freed; }
  TMethod GetHandler() override { return {}; }
  static inline int Freed = 0;
};

class OtherHandler : public TQOBScriptEventHandler {
  QOB_CLASS(OtherHandler, TQOBScriptEventHandler)
 public:
  using TQOBScriptEventHandler::TQOBScriptEventHandler;
  TMethod GetHandler() override { return {}; }
};

class ScriptControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeRunner::Script = &script;
    previousFactory = SetRunnerFactory(slkNative, &FakeRunner::Create);
    control = std::make_unique<TQOBScriptControl>(nullptr);
    control->SetLanguage(slPascal);
    control->SetBeforePrepare(beforePrepare.Event());
    control->SetBeforeOpen(beforeOpen.Event());
    control->SetAfterClose(afterClose.Event());
    CountingHandler::Freed = 0;
  }
  void TearDown() override {
    control.reset();
    SetRunnerFactory(slkNative, previousFactory);
    FakeRunner::Script = nullptr;
  }

  void BringTo(TQOBScriptControlState AState) {
    if (AState == ssPrepared) control->Prepare();
    if (AState == ssActive) control->Open(false);
    script.Log.clear();
  }

  FakeScript script;
  TRunnerFactory previousFactory = nullptr;
  EventRecorder beforePrepare{&script.Log, "BeforePrepare"};
  EventRecorder beforeOpen{&script.Log, "BeforeOpen"};
  EventRecorder afterClose{&script.Log, "AfterClose"};
  std::unique_ptr<TQOBScriptControl> control;
};

template <class E>
void ExpectRaises(const std::function<void()>& ACall, std::u16string_view AMessage) {
  try {
    ACall();
    ADD_FAILURE() << "nothing raised";
  } catch (const E& e) {
    EXPECT_EQ(e.Message().view(), AMessage);
  }
}

TEST_F(ScriptControlTest, FreshControlIsInactiveVBScriptWithSourceInfoAndListed) {
  TQOBScriptControl fresh(nullptr);
  EXPECT_EQ(fresh.State(), ssInactive);
  EXPECT_EQ(fresh.Language(), slVBScript);
  EXPECT_TRUE(fresh.ExceptionSourceInfo());
  EXPECT_FALSE(fresh.Active());
  EXPECT_EQ(fresh.DebugName().view(), u"");
  auto listed = ScriptControlList();
  EXPECT_NE(std::find(listed.begin(), listed.end(), &fresh), listed.end());
  {
    TQOBScriptControl second(nullptr);
    EXPECT_EQ(ScriptControlList().size(), listed.size() + 1);
  }
  EXPECT_EQ(ScriptControlList(), listed);
}

// Every operation with an allowed set, tried in every state: outside its set
// it raises the state error and neither the state nor the runner sees anything.
TEST_F(ScriptControlTest, OperationsCheckTheirAllowedStates) {
  TObject prepared;
  const std::set<TQOBScriptControlState> inactive{ssInactive}, open{ssInactive, ssPrepared},
      prepared_or_active{ssPrepared, ssActive}, active{ssActive};
  const struct {
    const char* name;
    std::function<void(TQOBScriptControl&)> call;
    std::set<TQOBScriptControlState> allowed;
  } operations[] = {
      {"Source.Add", [](auto& c) { c.Source().Add(u"x"); }, inactive},
      {"SetLanguage", [](auto& c) { c.SetLanguage(slPascal); }, inactive},
      {"SetExceptionSourceInfo", [](auto& c) { c.SetExceptionSourceInfo(false); }, inactive},
      {"SetDebugger", [](auto& c) { c.SetDebugger(nullptr); }, inactive},
      {"RemoveObject", [](auto& c) { c.RemoveObject(u"x"); }, inactive},
      {"ClearObjects", [](auto& c) { c.ClearObjects(); }, inactive},
      {"Prepare", [](auto& c) { c.Prepare(); }, inactive},
      {"Open", [](auto& c) { c.Open(false); }, open},
      {"CodeObject", [](auto& c) { c.CodeObject(); }, prepared_or_active},
      {"Script", [](auto& c) { c.Script(); }, prepared_or_active},
      {"PrepareExpr", [](auto& c) { c.PrepareExpr(u"1"); }, prepared_or_active},
      {"PrepareStmt", [](auto& c) { c.PrepareStmt(u"x := 1"); }, prepared_or_active},
      {"Abort", [](auto& c) { c.Abort(); }, prepared_or_active},
      {"Eval(text)", [](auto& c) { c.Eval(u"1"); }, active},
      {"Eval(prepared)", [&](auto& c) { c.Eval(&prepared); }, active},
      {"ExecuteStatement(text)", [](auto& c) { c.ExecuteStatement(u"x := 1"); }, active},
      {"ExecuteStatement(prepared)", [&](auto& c) { c.ExecuteStatement(&prepared); }, active},
      {"RunProc", [](auto& c) { c.RunProc(u"P"); }, active},
      {"RunProc(args)", [](auto& c) { c.RunProc(u"P", std::vector<Variant>{Variant(1)}); }, active},
      {"ReadVar", [](auto& c) { c.ReadVar(u"V"); }, active},
      {"WriteVar", [](auto& c) { c.WriteVar(u"V", Variant(1)); }, active},
  };
  for (TQOBScriptControlState state : {ssInactive, ssPrepared, ssActive}) {
    for (const auto& op : operations) {
      SCOPED_TRACE(std::string(op.name) + " in state " + std::to_string(state));
      control = std::make_unique<TQOBScriptControl>(nullptr);
      control->SetLanguage(slPascal);
      BringTo(state);
      if (op.allowed.contains(state)) {
        EXPECT_NO_THROW(op.call(*control));
      } else {
        ExpectRaises<EQOBScriptControl>([&] { op.call(*control); }, SInvalidScriptControlState);
        EXPECT_EQ(control->State(), state);
        EXPECT_TRUE(script.Log.empty());
      }
    }
  }
}

TEST_F(ScriptControlTest, SourceCannotBeEditedOncePrepared) {
  control->Source().SetText(u"one\r\ntwo");
  for (TQOBScriptControlState state : {ssPrepared, ssActive}) {
    control->Close(false, false);
    BringTo(state);
    const WideString lines[] = {u"other"};
    const std::function<void()> edits[] = {
        [&] { control->Source().Put(0, u"changed"); },
        [&] { control->Source().Insert(0, u"new"); },
        [&] { control->Source().Delete(1); },
        [&] { control->Source().Clear(); },
        [&] { control->Source().SetText(u"replaced"); },
        [&] { control->Source().Assign(lines); },
    };
    for (const auto& edit : edits)
      ExpectRaises<EQOBScriptControl>(edit, SInvalidScriptControlState);
    EXPECT_EQ(control->Source().Text().view(), u"one\r\ntwo\r\n");
  }
}

TEST_F(ScriptControlTest, EventsAndRunnerCallsComeInOrder) {
  control->Open(false);
  EXPECT_EQ(script.Log, (std::vector<std::string>{"BeforePrepare", "runner.Prepare", "BeforeOpen",
                                                  "runner.Open"}));
  EXPECT_TRUE(control->Active());
  script.Log.clear();
  control->Close(false, false);
  EXPECT_EQ(script.Log, (std::vector<std::string>{"runner.Close", "AfterClose"}));
  EXPECT_EQ(script.LiveRunners, 0);
  script.Log.clear();
  control->Close(false, false);  // already inactive: AfterClose still fires
  EXPECT_EQ(script.Log, std::vector<std::string>{"AfterClose"});
}

TEST_F(ScriptControlTest, ActiveOpensAndClosesAndIgnoresTheCurrentValue) {
  control->SetActive(true);
  EXPECT_EQ(control->State(), ssActive);
  script.Log.clear();
  control->SetActive(true);
  EXPECT_TRUE(script.Log.empty());
  control->GetEventHandler(u"OnClick", TQOBScriptEventHandlerClass::Of<CountingHandler>());
  control->SetActive(false);
  EXPECT_EQ(control->State(), ssInactive);
  EXPECT_EQ(CountingHandler::Freed, 1);  // Active := False frees the event handlers
}

TEST_F(ScriptControlTest, FailedPrepareLeavesNoRunnerAndTheSameError) {
  script.OnPrepare = [] { throw EConvertError(u"compile failed"); };
  ExpectRaises<EConvertError>([&] { control->Prepare(); }, u"compile failed");
  EXPECT_EQ(control->State(), ssInactive);
  EXPECT_EQ(script.LiveRunners, 0);
  EXPECT_EQ(control->NamedValuesHolder(), nullptr);
  ExpectRaises<EQOBScriptControl>([&] { control->CodeObject(); }, SInvalidScriptControlState);
  // Through Open the failure is the same.
  ExpectRaises<EConvertError>([&] { control->Open(true); }, u"compile failed");
  EXPECT_EQ(control->State(), ssInactive);

  script.OnPrepare = nullptr;
  control->Prepare();
  EXPECT_EQ(control->State(), ssPrepared);
}

TEST_F(ScriptControlTest, EngineLanguagesFailToPrepareUntilTheirRunnerExists) {
  control->SetLanguage(slPerl);
  try {
    control->Prepare();
    ADD_FAILURE() << "Prepare of an engine language succeeded";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.Message().view(), u"Can't create script engine 'PerlScript'");
  }
  EXPECT_EQ(control->State(), ssInactive);
  EXPECT_EQ(script.LiveRunners, 0);
}

TEST_F(ScriptControlTest, FailedOpenClosesOnlyWhenAsked) {
  control->AddOrSetValue(u"Kept", Variant(7));
  script.OnOpen = [] { throw EConvertError(u"runtime error"); };
  for (bool closeOnError : {true, false}) {
    SCOPED_TRACE(closeOnError);
    CountingHandler::Freed = 0;
    control->GetEventHandler(u"OnClick", TQOBScriptEventHandlerClass::Of<CountingHandler>());
    script.Log.clear();
    ExpectRaises<EConvertError>([&] { control->Open(closeOnError); }, u"runtime error");
    Variant kept;
    EXPECT_TRUE(control->TryReadValue(u"kept", kept));
    EXPECT_EQ(kept.VInteger, 7);
    if (closeOnError) {
      EXPECT_EQ(control->State(), ssInactive);
      EXPECT_EQ(CountingHandler::Freed, 1);
      EXPECT_EQ(script.LiveRunners, 0);
    } else {
      EXPECT_EQ(control->State(), ssActive);  // the caller closes
      EXPECT_EQ(CountingHandler::Freed, 0);
      EXPECT_EQ(std::count(script.Log.begin(), script.Log.end(), "runner.Close"), 0);
      control->Close(true, true);
    }
  }
  // An AfterClose handler that raises does not hide the script's error.
  control->SetAfterClose(MakeNotifyEvent(
      [](void*, TObject*) { throw EConvertError(u"after close failed"); }, nullptr));
  ExpectRaises<EConvertError>([&] { control->Open(true); }, u"runtime error");
  EXPECT_EQ(control->State(), ssInactive);
}

TEST_F(ScriptControlTest, CloseClearsOnlyWhatItIsAsked) {
  const struct {
    bool clearObjects, clearHandlers;
  } cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.clearObjects) + std::to_string(c.clearHandlers));
    CountingHandler::Freed = 0;
    control->AddOrSetValue(u"V", Variant(1));
    control->GetEventHandler(u"OnClick", TQOBScriptEventHandlerClass::Of<CountingHandler>());
    control->Open(false);
    control->Close(c.clearObjects, c.clearHandlers);
    Variant value;
    EXPECT_EQ(control->TryReadValue(u"V", value), !c.clearObjects);
    EXPECT_EQ(CountingHandler::Freed, c.clearHandlers ? 1 : 0);
    control->ClearObjects();
    control->ClearEventHandlers();
  }
}

TEST_F(ScriptControlTest, DestroyingAPreparedControlClosesItQuietly) {
  control->SetAfterClose(
      MakeNotifyEvent([](void*, TObject*) { throw EConvertError(u"handler failed"); }, nullptr));
  control->Open(false);
  EXPECT_NO_THROW(control.reset());
  EXPECT_EQ(script.LiveRunners, 0);
}

// A host's loading code sets published properties by name; Active waits
// for Loaded, after everything it depends on has been set.
TEST_F(ScriptControlTest, PublishedPropertiesSetWhileLoadingApplyInLoaded) {
  TQOBScriptControl loaded(nullptr);
  const TClass controlClass = TQOBScriptControl::StaticClass();
  loaded.BeginLoading();
  const struct {
    const char16_t* name;
    Variant value;
  } properties[] = {
      {u"active", Variant(true)},  // streamed before what it depends on
      {u"Language", Variant(static_cast<int32_t>(slPascal))},
      {u"Source", Variant(u"begin end;")},
      {u"ExceptionSourceInfo", Variant(false)},
      {u"DebugName", Variant(u"Main")},
  };
  for (const auto& p : properties) {
    const TPropInfo* info = GetPropInfo(controlClass, p.name);
    ASSERT_NE(info, nullptr) << WideString(p.name).ToUtf8();
    SetPropValue(loaded, *info, p.value);
  }
  SetMethodProp(loaded, *GetPropInfo(controlClass, u"BeforeOpen"), beforeOpen.Event());
  EXPECT_THROW(SetPropValue(loaded, *GetPropInfo(controlClass, u"Language"), Variant(9)),
               ERangeError);
  EXPECT_EQ(loaded.State(), ssInactive);

  loaded.Loaded();
  EXPECT_EQ(loaded.State(), ssActive);
  EXPECT_EQ(loaded.Language(), slPascal);
  EXPECT_FALSE(loaded.ExceptionSourceInfo());
  EXPECT_EQ(loaded.Source().Text().view(), u"begin end;\r\n");
  EXPECT_EQ(script.Log, (std::vector<std::string>{"runner.Prepare", "BeforeOpen", "runner.Open"}));
  EXPECT_EQ(loaded.DebugName().view(), u"");  // no debugger: the name is not kept
  EXPECT_EQ(VarToBool(GetPropValue(loaded, *GetPropInfo(controlClass, u"Active"))), true);
}

TEST_F(ScriptControlTest, EventHandlersAreSharedPerClassAndProcedure) {
  auto counting = TQOBScriptEventHandlerClass::Of<CountingHandler>();
  auto other = TQOBScriptEventHandlerClass::Of<OtherHandler>();
  TQOBScriptEventHandler* first = control->GetEventHandler(u"OnClick", counting);
  EXPECT_EQ(first->Owner(), control.get());
  EXPECT_EQ(first->ProcName().view(), u"OnClick");
  EXPECT_EQ(control->GetEventHandler(u"ONCLICK", counting), first);
  TQOBScriptEventHandler* second = control->GetEventHandler(u"OnClick", other);
  EXPECT_NE(second, first);
  EXPECT_EQ(second->ClassType(), OtherHandler::StaticClass());
  EXPECT_NE(control->GetEventHandler(u"OnDblClick", counting), first);
}

}  // namespace
}  // namespace qob
