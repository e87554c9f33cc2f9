#include <gtest/gtest.h>

#include <string>

#include "host/host_errors.h"
#include "host/named_values_holder.h"
#include "host/script_control.h"
#include "host/source_info.h"
#include "ole/variant_convert.h"
#include "vm/vm_runtime_error.h"

namespace qob {
namespace {

std::unique_ptr<TQOBScriptControl> PascalControl(std::u16string_view ASource) {
  auto control = std::make_unique<TQOBScriptControl>(nullptr);
  control->SetLanguage(slPascal);
  control->Source().SetText(ASource);
  return control;
}

// The message of what ACall raises.
template <class F>
std::u16string ErrorOf(F&& ACall) {
  try {
    ACall();
  } catch (const Exception& e) {
    return e.Message().str();
  }
  ADD_FAILURE() << "nothing raised";
  return {};
}

TEST(NativeRunnerTest, ScriptsReadAndWriteNamedValuesInPlace) {
  auto control = PascalControl(
      u"procedure Bump;\n"
      u"begin\n  Counter := Counter + Step;\nend;\n"
      u"function Late;\n"
      u"begin\n  Result := Added * 2;\nend;\n"
      u"begin\n  Counter := 5;\nend;\n");
  control->AddOrSetValue(u"Counter", Variant(1));
  control->AddOrSetValue(u"Step", Variant(10));
  control->Open(true);
  Variant value;
  ASSERT_TRUE(control->TryReadValue(u"counter", value));
  EXPECT_EQ(VarToInt32(value), 5);

  control->AddOrSetValue(u"Step", Variant(100));  // the script sees the host's change
  control->RunProc(u"Bump");
  ASSERT_TRUE(control->TryReadValue(u"COUNTER", value));
  EXPECT_EQ(VarToInt32(value), 105);

  control->AddOrSetValue(u"Added", Variant(21));  // published after preparation
  EXPECT_EQ(VarToInt32(control->RunProc(u"Late")), 42);
}

TEST(NativeRunnerTest, ObjectsAddedAfterOpenServeLaterCalls) {
  auto callee = PascalControl(u"function Twice(X);\nbegin\n  Result := X * 2;\nend;\n");
  callee->Open(true);
  auto caller = PascalControl(u"function Run(X);\nbegin\n  Result := Helper.Twice(X) + 1;\nend;\n");
  caller->Open(true);
  const Variant three[] = {Variant(3)};
  EXPECT_TRUE(ErrorOf([&] {
                caller->RunProc(u"Run", three);
              }).starts_with(u"Undeclared identifier: 'Helper'"));
  caller->AddObject(u"Helper", callee->Script(), false);
  EXPECT_EQ(VarToInt32(caller->RunProc(u"Run", three)), 7);
}

// Each script's code object is published into the other; calls go both ways.
TEST(NativeRunnerTest, TwoScriptsCallEachOtherThroughTheirCodeObjects) {
  auto a = PascalControl(
      u"var Calls = 0;\n"
      u"function Main(N);\nbegin\n  Result := ScriptB.Calc(N) + 1;\nend;\n"
      u"function F(X);\nbegin\n  Calls := Calls + 1;\n  Result := X * 10;\nend;\n");
  auto b = PascalControl(u"function Calc(N);\nbegin\n  Result := ScriptA.F(N) + N;\nend;\n");
  a->Prepare();
  b->Prepare();
  a->AddObject(u"ScriptB", b->Script(), false);
  b->AddObject(u"ScriptA", a->Script(), false);
  a->Open(true);
  b->Open(true);
  const Variant four[] = {Variant(4)};
  EXPECT_EQ(VarToInt32(a->RunProc(u"Main", four)), 45);
  EXPECT_EQ(VarToInt32(a->ReadVar(u"Calls")), 1);
  // The code object stays the same from preparation on.
  EXPECT_EQ(a->Script().VDispatch, a->CodeObject().get());
}

// With ExceptionSourceInfo the message names the script once, at the place
// where the error happened, however many activations it passes; without it
// the message is the error's own.
TEST(NativeRunnerTest, ErrorMessagesCarryTheSourceSuffixOnce) {
  const char16_t* source =
      u"procedure Inner;\nbegin\n  X := 1 div Zero;\nend;\n"
      u"procedure Outer;\nbegin\n  Inner;\nend;\n";
  std::u16string messages[2];
  for (bool withInfo : {false, true}) {
    auto control = PascalControl(source);
    control->SetExceptionSourceInfo(withInfo);
    control->AddOrSetValue(u"Zero", Variant(0));
    control->Open(true);
    messages[withInfo] = ErrorOf([&] { control->RunProc(u"Outer"); });
  }
  EXPECT_FALSE(HasSourceInfo(messages[0])) << WideString(messages[0]).ToUtf8();
  EXPECT_TRUE(messages[1].starts_with(messages[0] + u"\r\nSource: $"));
  // Line 2 is Inner's division, not Outer's call on line 6.
  EXPECT_NE(messages[1].find(u" [line: 2, pos: "), std::u16string::npos)
      << WideString(messages[1]).ToUtf8();
  EXPECT_EQ(messages[1].find(u"Source:"), messages[1].rfind(u"Source:"));

  // Compile errors alike; the control stays inactive without a runner.
  for (bool withInfo : {false, true}) {
    auto control = PascalControl(u"begin\n  X := ;\nend;\n");
    control->SetExceptionSourceInfo(withInfo);
    const std::u16string message = ErrorOf([&] { control->Open(true); });
    EXPECT_EQ(HasSourceInfo(message), withInfo) << WideString(message).ToUtf8();
    EXPECT_EQ(control->State(), ssInactive);
  }
}

TEST(NativeRunnerTest, ExpressionsAndStatementsRunInTheScriptsScope) {
  auto control = PascalControl(
      u"var Count = 1;\n"
      u"function Twice(X);\nbegin\n  Result := X * 2;\nend;\n");
  control->AddOrSetValue(u"Base", Variant(100));
  control->Prepare();
  std::unique_ptr<TObject> expression = control->PrepareExpr(u"Twice(Count) + Base");
  control->Open(true);
  EXPECT_EQ(VarToInt32(control->Eval(expression.get())), 102);
  control->ExecuteStatement(u"Count := Count + 4");
  EXPECT_EQ(VarToInt32(control->Eval(expression.get())), 110);

  std::unique_ptr<TObject> statement = control->PrepareStmt(u"Base := Base + Count");
  control->ExecuteStatement(statement.get());
  control->ExecuteStatement(statement.get());
  Variant base;
  ASSERT_TRUE(control->TryReadValue(u"Base", base));
  EXPECT_EQ(VarToInt32(base), 110);
  EXPECT_EQ(VarToInt32(control->ReadVar(u"Count")), 5);

  // Errors in the text point into the text itself.
  const std::u16string message = ErrorOf([&] { control->Eval(u"1 +"); });
  EXPECT_NE(message.find(u"[line: 0, pos: "), std::u16string::npos) << WideString(message).ToUtf8();
  control->Close(false, true);
  EXPECT_THROW(control->Eval(expression.get()), EQOBScriptControl);
}

TEST(NativeRunnerTest, RuntimeErrorInGlobalCodeFollowsCloseOnRuntimeError) {
  for (bool closeOnError : {true, false}) {
    auto control = PascalControl(u"begin\n  Missing;\nend;\n");
    control->SetExceptionSourceInfo(false);
    EXPECT_EQ(ErrorOf([&] { control->Open(closeOnError); }), u"Undeclared identifier: 'Missing'");
    EXPECT_EQ(control->State(), closeOnError ? ssInactive : ssActive);
  }
}

// One script hands its named values holder to another and then closes: the
// other must get an error when it uses the holder, not freed memory.
TEST(NativeRunnerTest, AHolderKeptByAnotherScriptOutlivesItsControlSafely) {
  auto keeper = PascalControl(
      u"var Kept;\n"
      u"function ReadIt;\nbegin\n  Result := Kept.Counter;\nend;\n");
  keeper->Open(true);
  auto owner = PascalControl(
      u"procedure Leak;\nbegin\n  Keeper.Kept := QOBVALHLDR_AC3E_247A909A71EC;\nend;\n");
  owner->AddOrSetValue(u"Counter", Variant(u"secret"));
  owner->AddObject(u"Keeper", keeper->Script(), false);
  owner->Open(true);
  owner->RunProc(u"Leak");
  EXPECT_EQ(VarToStr(keeper->RunProc(u"ReadIt")).view(), u"secret");

  owner.reset();
  const std::u16string message = ErrorOf([&] { keeper->RunProc(u"ReadIt"); });
  EXPECT_NE(message.find(HResultText(DISP_E_MEMBERNOTFOUND).view()), std::u16string::npos)
      << WideString(message).ToUtf8();
}

}  // namespace
}  // namespace qob
