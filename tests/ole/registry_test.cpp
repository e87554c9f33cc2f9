#include <gtest/gtest.h>

#include "ole/dispatch_object.h"
#include "ole/ole_registry.h"
#include "rtl/exceptions.h"

namespace qob {
namespace {

// Counts live instances so tests can see who holds references.
class Tracked final : public DispatchObject {
 public:
  explicit Tracked(int* live) : live_(live) { ++*live_; }
  ~Tracked() override { --*live_; }
  HRESULT GetIDsOfNames(REFIID, const char16_t**, uint32_t, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS*, Variant*, EXCEPINFO*,
                 uint32_t*) override {
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  int* live_;
};

// An object that offers no IDispatch.
class PlainUnknown final : public ComObject<IUnknown, IID_IUnknown> {};

void ExpectOleError(const std::function<void()>& call, HRESULT code, std::u16string_view text) {
  try {
    call();
    ADD_FAILURE() << "no exception";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), code);
    EXPECT_EQ(e.Message().view(), text);
  }
}

TEST(OleClassRegistryTest, CreatesRegisteredClassesByProgIdIgnoringCase) {
  int live = 0;
  RegisterOleClass(u"Demo.Counter", [&live] { return ComPtr<IDispatch>(new Tracked(&live)); });
  ComPtr<IDispatch> first = CreateOleObject(u"demo.COUNTER");
  ComPtr<IDispatch> second = CreateOleObject(u"Demo.Counter");
  ASSERT_TRUE(first && second);
  EXPECT_NE(first.get(), second.get());
  EXPECT_EQ(live, 2);

  UnregisterOleClass(u"DEMO.counter");
  ExpectOleError([] { CreateOleObject(u"Demo.Counter"); }, CO_E_CLASSSTRING,
                 u"Invalid class string: Demo.Counter");
  first.reset();
  second.reset();
  EXPECT_EQ(live, 0);
}

TEST(OleClassRegistryTest, FactoryWithoutObjectIsAnError) {
  RegisterOleClass(u"Demo.Empty", [] { return ComPtr<IDispatch>(); });
  ExpectOleError([] { CreateOleObject(u"Demo.Empty"); }, CLASS_E_CLASSNOTAVAILABLE,
                 u"ClassFactory cannot supply requested class: Demo.Empty");
  UnregisterOleClass(u"Demo.Empty");
}

TEST(RunningObjectTableTest, HoldsRegisteredObjectsUntilRevoked) {
  ExpectOleError([] { GetActiveOleObject(u"Demo.Server"); }, MK_E_UNAVAILABLE,
                 u"Operation unavailable: Demo.Server");
  int live = 0;
  {
    ComPtr<IDispatch> server(new Tracked(&live));
    RegisterActiveObject(u"Demo.Server", server.get());
  }
  EXPECT_EQ(live, 1) << "the table keeps its own reference";
  ComPtr<IDispatch> found = GetActiveOleObject(u"DEMO.SERVER");
  ASSERT_TRUE(found);

  // A new registration replaces and releases the old object.
  RegisterActiveObject(u"demo.server", ComPtr<IDispatch>(new Tracked(&live)).get());
  EXPECT_NE(GetActiveOleObject(u"Demo.Server").get(), found.get());
  found.reset();
  EXPECT_EQ(live, 1);

  RevokeActiveObject(u"Demo.Server");
  EXPECT_EQ(live, 0);
  ExpectOleError([] { GetActiveOleObject(u"Demo.Server"); }, MK_E_UNAVAILABLE,
                 u"Operation unavailable: Demo.Server");
  RevokeActiveObject(u"Demo.Server");  // revoking twice is harmless
}

TEST(RunningObjectTableTest, RejectsObjectsWithoutDispatch) {
  RegisterActiveObject(u"Demo.Plain", ComPtr<IUnknown>(new PlainUnknown).get());
  ExpectOleError([] { GetActiveOleObject(u"Demo.Plain"); }, E_NOINTERFACE,
                 u"No such interface supported: Demo.Plain");
  RevokeActiveObject(u"Demo.Plain");
  ExpectOleError([] { RegisterActiveObject(u"Demo.Null", nullptr); }, E_INVALIDARG,
                 u"The parameter is incorrect.");
}

}  // namespace
}  // namespace qob
