#include <gtest/gtest.h>

#include <functional>

#include "fake_runner.h"
#include "host/host_errors.h"
#include "host/named_values_holder.h"
#include "host/script_control.h"

namespace qob {
namespace {

using testing::FakeCodeObject;
using testing::FakeRunner;
using testing::FakeScript;

class NamedItemsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeRunner::Script = &script;
    previousFactory = SetRunnerFactory(slkNative, &FakeRunner::Create);
    control = std::make_unique<TQOBScriptControl>(nullptr);
    control->SetLanguage(slPascal);
  }
  void TearDown() override {
    control.reset();
    SetRunnerFactory(slkNative, previousFactory);
    FakeRunner::Script = nullptr;
  }

  void BringTo(TQOBScriptControlState AState) {
    control->Close(false, false);
    if (AState == ssPrepared) control->Prepare();
    if (AState == ssActive) control->Open(false);
  }

  ComPtr<IDispatch> Holder() {
    return ComPtr<IQOBNamedValuesHolder>(control->NamedValuesHolder()).As<IDispatch>(IID_IDispatch);
  }

  static DISPID IdOf(IDispatch* AHolder, const char16_t* AName) {
    DISPID id = 0;
    EXPECT_EQ(AHolder->GetIDsOfNames(IID_NULL, &AName, 1, 0, &id), S_OK) << "no id for the name";
    return id;
  }

  FakeScript script;
  TRunnerFactory previousFactory = nullptr;
  std::unique_ptr<TQOBScriptControl> control;
  ComPtr<IDispatch> someObject{new FakeCodeObject()};
};

void ExpectOleError(const std::function<void()>& ACall, std::u16string_view AMessage) {
  try {
    ACall();
    ADD_FAILURE() << "nothing raised";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), E_FAIL);
    EXPECT_EQ(e.Message().view(), AMessage);
  }
}

TEST_F(NamedItemsTest, OneNameIsEitherAnObjectOrAValueInAnyLetterCase) {
  for (TQOBScriptControlState state : {ssInactive, ssPrepared, ssActive}) {
    SCOPED_TRACE(state);
    control->Close(true, true);
    BringTo(state);
    control->AddObject(u"Form", Variant(someObject.get()), true);
    ExpectOleError([&] { control->AddOrSetValue(u"FORM", Variant(1)); },
                   u"Value named item required. 'FORM' is an object.");
    ExpectOleError([&] { control->AddObject(u"form", Variant(someObject.get()), false); },
                   u"Object or value named 'form' already exists.");
    control->AddOrSetValue(u"x", Variant(1));
    ExpectOleError([&] { control->AddObject(u"X", Variant(someObject.get()), false); },
                   u"Object or value named 'X' already exists.");

    Variant value(u"stale");
    EXPECT_TRUE(control->TryReadValue(u"X", value));
    EXPECT_EQ(value.VInteger, 1);
    EXPECT_FALSE(control->TryReadValue(u"form", value));
    EXPECT_TRUE(value.IsEmpty());
    EXPECT_FALSE(control->TryReadValue(u"never", value));
    EXPECT_TRUE(value.IsEmpty());
  }
}

TEST_F(NamedItemsTest, ObjectsReachTheRunnerAtPreparationOrAtOnce) {
  control->AddObject(u"Early", Variant(someObject.get()), true);
  control->AddOrSetValue(u"Value", Variant(1));
  control->Prepare();
  // The fake runner is told about objects added while it exists.
  control->AddObject(u"Late", Variant(someObject.get()), false);
  EXPECT_EQ(script.EngineObjects, std::vector<std::string>{"Late"});

  EXPECT_THROW(control->AddObject(u"NotAnObject", Variant(42), false), EVariantError);
  Variant none;
  EXPECT_FALSE(control->TryReadValue(u"NotAnObject", none));
}

TEST_F(NamedItemsTest, RemovingNeedsAnInactiveControlAndToleratesMissingNames) {
  control->AddOrSetValue(u"V", Variant(1));
  control->RemoveObject(u"missing");
  control->RemoveObject(u"v");
  Variant value;
  EXPECT_FALSE(control->TryReadValue(u"V", value));
  control->AddOrSetValue(u"V", Variant(2));  // the name is free again
  EXPECT_TRUE(control->TryReadValue(u"V", value));
}

TEST_F(NamedItemsTest, HolderAnswersLikeAnAutomationObject) {
  control->AddOrSetValue(u"Counter", Variant(5));
  control->AddObject(u"Obj", Variant(someObject.get()), false);
  control->Prepare();
  ComPtr<IDispatch> holder = Holder();
  ASSERT_TRUE(holder);

  uint32_t typeInfoCount = 99;
  EXPECT_EQ(holder->GetTypeInfoCount(&typeInfoCount), S_OK);
  EXPECT_EQ(typeInfoCount, 0u);
  ITypeInfo* info = nullptr;
  EXPECT_EQ(holder->GetTypeInfo(0, 0, &info), E_NOTIMPL);

  const char16_t* names[] = {u"Unknown", u"Counter"};
  DISPID ids[2] = {7, 7};
  EXPECT_EQ(holder->GetIDsOfNames(IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], DISPID_UNKNOWN);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  const char16_t* objectName = u"Obj";
  EXPECT_EQ(holder->GetIDsOfNames(IID_NULL, &objectName, 1, 0, ids), DISP_E_UNKNOWNNAME);

  const DISPID counter = IdOf(holder.get(), u"cOUNTER");
  EXPECT_EQ(counter, 1);
  Variant arg(9);
  const struct {
    DISPID id;
    uint16_t flags;
    uint32_t args;
    HRESULT expected;
  } calls[] = {
      {0, DISPATCH_PROPERTYGET, 0, DISP_E_MEMBERNOTFOUND},
      {counter + 1, DISPATCH_PROPERTYGET, 0, DISP_E_MEMBERNOTFOUND},
      {-1, DISPATCH_PROPERTYGET, 0, DISP_E_MEMBERNOTFOUND},
      {counter, DISPATCH_PROPERTYGET, 1, DISP_E_BADPARAMCOUNT},
      {counter, DISPATCH_PROPERTYPUT, 0, DISP_E_BADPARAMCOUNT},
      {counter, DISPATCH_METHOD, 0, DISP_E_TYPEMISMATCH},
      {counter, DISPATCH_PROPERTYPUTREF, 1, DISP_E_TYPEMISMATCH},
      {counter, DISPATCH_METHOD | DISPATCH_PROPERTYGET, 0, S_OK},
  };
  for (const auto& c : calls) {
    SCOPED_TRACE(::testing::Message() << "id " << c.id << " flags " << c.flags);
    DISPPARAMS params{&arg, nullptr, c.args, 0};
    Variant result;
    EXPECT_EQ(holder->Invoke(c.id, IID_NULL, 0, c.flags, &params, &result, nullptr, nullptr),
              c.expected);
    if (c.expected == S_OK) {
      EXPECT_EQ(result.VInteger, 5);
    }
  }
}

TEST_F(NamedItemsTest, ScriptWritesThroughTheHolderReachTheControlsValue) {
  control->AddOrSetValue(u"Counter", Variant(1));
  control->Open(false);
  ComPtr<IDispatch> holder = Holder();
  Variant stored(5);
  Variant reference = Variant::RefTo(&stored);  // a script passes its slot by reference
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{&reference, &putId, 1, 1};
  ASSERT_EQ(holder->Invoke(IdOf(holder.get(), u"Counter"), IID_NULL, 0, DISPATCH_PROPERTYPUT,
                           &params, nullptr, nullptr, nullptr),
            S_OK);
  stored = Variant(6);  // the value was copied, not the reference
  Variant value;
  EXPECT_TRUE(control->TryReadValue(u"counter", value));
  EXPECT_EQ(value.Type(), varInteger);
  EXPECT_EQ(value.VInteger, 5);

  // A value added after preparation gets the next id; a changed one keeps its id.
  control->AddOrSetValue(u"Later", Variant(u"text"));
  control->AddOrSetValue(u"Counter", Variant(8));
  EXPECT_EQ(IdOf(holder.get(), u"Later"), 2);
  EXPECT_EQ(IdOf(holder.get(), u"Counter"), 1);
  Variant result;
  DISPPARAMS none{};
  ASSERT_EQ(holder->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(result.VInteger, 8);
}

// A script elsewhere may keep the holder after this control closed and freed
// its items; it must get an error, never a freed value.
TEST_F(NamedItemsTest, HolderKeptAfterCloseNoLongerReachesTheItems) {
  control->AddOrSetValue(u"Counter", Variant(u"text"));
  control->Open(false);
  ComPtr<IDispatch> kept = Holder();
  const DISPID id = IdOf(kept.get(), u"Counter");
  control->Close(true, true);
  control.reset();

  Variant result;
  DISPPARAMS none{};
  EXPECT_EQ(kept->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  Variant arg(1);
  DISPPARAMS one{&arg, nullptr, 1, 0};
  EXPECT_EQ(kept->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &one, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_TRUE(result.IsEmpty());
}

TEST_F(NamedItemsTest, EveryPreparationBuildsANewHolder) {
  control->AddOrSetValue(u"A", Variant(1));
  control->Prepare();
  ComPtr<IQOBNamedValuesHolder> first(control->NamedValuesHolder());
  control->Close(false, false);
  EXPECT_EQ(control->NamedValuesHolder(), nullptr);
  control->Prepare();
  EXPECT_NE(control->NamedValuesHolder(), first.get());
  EXPECT_EQ(IdOf(Holder().get(), u"a"), 1);
}

}  // namespace
}  // namespace qob
