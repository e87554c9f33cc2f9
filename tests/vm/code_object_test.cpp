// The code object: a module's globals through IDispatch, and the direct
// calls another module's interpreter makes on it.
#include "vm/code_object.h"

#include <gtest/gtest.h>

#include "vm/vm_test_support.h"

namespace qob::vmtest {
namespace {

// Globals in parse order: Sum = 1, Nop = 2, V = 3, C = 4, Fail = 5.
void DeclareModule(TTestScript& AScript) {
  AScript
      .Proc(u"Sum", 2, true,
            [](TAsm& a) {
              a.Emit(icPushArg, TQOBParamInfo{0, pkSimple});
              a.Emit(icPushArg, TQOBParamInfo{1, pkSimple});
              a.Emit(icPlus);
              a.Emit(icAssignResult);
              a.Emit(icRet);
            })
      .Proc(u"Nop", 0, false, [](TAsm& a) { a.Emit(icRet); })
      .Var(u"V", Variant(5))
      .Const(u"C", Variant(7))
      .Proc(u"Fail", 0, false, [](TAsm& a) {
        a.Emit(icPushUnassigned);
        a.Call(icGlobCall, u"Missing", bkNon, 0, false, false, false);
        a.Emit(icRet);
      });
}

struct TInvokeOutcome {
  HRESULT hr;
  Variant result;
  EXCEPINFO info;
};

// Invokes with AArgs given first argument first (they are passed last-first).
TInvokeOutcome Invoke(IDispatch* AObj, DISPID AId, uint16_t AFlags, std::vector<Variant> AArgs,
                      bool AWantResult = true) {
  std::vector<Variant> reversed(AArgs.rbegin(), AArgs.rend());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<uint32_t>(reversed.size()), 0};
  TInvokeOutcome out;
  out.hr = AObj->Invoke(AId, IID_NULL, 0, AFlags, &params, AWantResult ? &out.result : nullptr,
                        &out.info, nullptr);
  return out;
}

TEST(CodeObjectTest, IDispatchAnswersByDispatchIdInParseOrder) {
  TTestScript script;
  DeclareModule(script);
  auto vm = script.Run();
  ComPtr<IDispatch> code = vm->CodeObject();

  struct NameCase {
    const char16_t* name;
    HRESULT hr;
    DISPID id;
  };
  for (const NameCase& c : {NameCase{u"sUM", S_OK, 1}, NameCase{u"c", S_OK, 4},
                            NameCase{u"Exit", DISP_E_UNKNOWNNAME, -1},
                            NameCase{u"NoSuchName", DISP_E_UNKNOWNNAME, -1}}) {
    DISPID id = 42;
    const char16_t* names[] = {c.name};
    EXPECT_EQ(code->GetIDsOfNames(IID_NULL, names, 1, 0, &id), c.hr) << Utf16ToUtf8(c.name);
    EXPECT_EQ(id, c.id) << Utf16ToUtf8(c.name);
  }
  const char16_t* noName[] = {nullptr};
  DISPID unset = 42;
  EXPECT_EQ(code->GetIDsOfNames(IID_NULL, noName, 1, 0, &unset), E_INVALIDARG);

  constexpr uint16_t kGet = DISPATCH_PROPERTYGET;
  constexpr uint16_t kPut = DISPATCH_PROPERTYPUT;
  constexpr uint16_t kCall = DISPATCH_METHOD;
  struct InvokeCase {
    const char* name;
    DISPID id;
    uint16_t flags;
    std::vector<Variant> args;
    bool wantResult;
    HRESULT hr;
    Variant result;
  };
  const InvokeCase cases[] = {
      {"dispatch id 0", 0, kGet, {}, true, DISP_E_MEMBERNOTFOUND, {}},
      {"dispatch id past the last", 6, kGet, {}, true, DISP_E_MEMBERNOTFOUND, {}},
      {"get of a variable", 3, kGet, {}, true, S_OK, Variant(5)},
      {"get or call of a variable", 3, kGet | kCall, {}, true, S_OK, Variant(5)},
      {"get with an argument", 3, kGet, {Variant(1)}, true, DISP_E_BADPARAMCOUNT, {}},
      {"put on a constant", 4, kPut, {Variant(1)}, false, DISP_E_TYPEMISMATCH, {}},
      {"call of a function", 1, kCall, {Variant(2), Variant(3)}, true, S_OK, Variant(5)},
      {"call with too few arguments", 1, kCall, {Variant(2)}, true, DISP_E_BADPARAMCOUNT, {}},
      {"get of a function", 1, kGet, {}, true, DISP_E_TYPEMISMATCH, {}},
      {"result of a procedure", 2, kCall, {}, true, DISP_E_TYPEMISMATCH, {}},
      {"call of a procedure", 2, kCall, {}, false, S_OK, {}},
  };
  for (const InvokeCase& c : cases) {
    TInvokeOutcome out = Invoke(code.get(), c.id, c.flags, c.args, c.wantResult);
    EXPECT_EQ(out.hr, c.hr) << c.name;
    EXPECT_EQ(out.result.VType, c.result.VType) << c.name;
    EXPECT_EQ(out.result.VInteger, c.result.VInteger) << c.name;
    EXPECT_TRUE(ThreadAtRest()) << c.name;
  }

  EXPECT_EQ(Invoke(code.get(), 3, kPut, {Variant(9)}, false).hr, S_OK);
  EXPECT_EQ(vm->ReadVar(WideString(u"V")).VInteger, 9);

  TInvokeOutcome failed = Invoke(code.get(), 5, kCall, {}, false);
  EXPECT_EQ(failed.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(failed.info.bstrSource.view(), u"QOB-Tresk Pascal script VM.");
  EXPECT_EQ(failed.info.bstrDescription.view(), u"Undeclared identifier: 'Missing'");
  EXPECT_EQ(failed.info.scode, E_FAIL);
  EXPECT_TRUE(ThreadAtRest());

  uint32_t count = 5;
  EXPECT_EQ(code->GetTypeInfoCount(&count), E_NOTIMPL);
  EXPECT_EQ(count, 0u);
}

TEST(CodeObjectTest, KeptAfterCloseItAnswersInactiveAndNeverIndexesPastTheCurrentModule) {
  TTestScript script;
  DeclareModule(script);
  auto vm = script.Run();
  ComPtr<IDispatch> code = vm->CodeObject();
  vm->Close();
  TInvokeOutcome closed = Invoke(code.get(), 3, DISPATCH_PROPERTYGET, {});
  EXPECT_EQ(closed.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(closed.info.bstrDescription.view(), u"Virtual machine should be active.");

  // The same machine with a smaller module: Sum only.
  script.Language().Declarations.resize(1);
  vm->Initialize(WideString(u"text"));
  vm->Open();
  EXPECT_EQ(Invoke(code.get(), 3, DISPATCH_PROPERTYGET, {}).hr, DISP_E_MEMBERNOTFOUND);
  TInvokeOutcome sum = Invoke(code.get(), 1, DISPATCH_METHOD, {Variant(1), Variant(2)});
  EXPECT_EQ(sum.hr, S_OK);
  EXPECT_EQ(sum.result.VInteger, 3);

  // A module that gives the old numbers to other globals: W = 1, Sum = 2, ...
  vm->Close();
  script.Language().Declarations.clear();
  script.Var(u"W", Variant(8));
  DeclareModule(script);
  vm->Initialize(WideString(u"text"));
  vm->Open();
  for (DISPID moved : {1, 3, 4})
    EXPECT_EQ(Invoke(code.get(), moved, DISPATCH_PROPERTYGET, {}).hr, DISP_E_MEMBERNOTFOUND)
        << moved;
  EXPECT_EQ(Invoke(code.get(), 1, DISPATCH_METHOD, {Variant(1), Variant(2)}).hr,
            DISP_E_MEMBERNOTFOUND);

  // A machine destroyed and another one in its slot.
  const int32_t slot = vm->Id().Index;
  vm.reset();
  auto successor = script.Run();
  EXPECT_EQ(successor->Id().Index, slot);
  TInvokeOutcome stale = Invoke(code.get(), 1, DISPATCH_METHOD, {Variant(1), Variant(2)});
  EXPECT_EQ(stale.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(stale.info.bstrDescription.view(), u"Virtual machine should be active.");
}

TEST(CodeObjectTest, AnotherModuleCallsItsGlobalsDirectly) {
  TTestScript target;
  DeclareModule(target);
  auto a = target.Run();

  // Caller functions, each reading one member of the other module "A".
  TTestScript caller;
  auto member = [&](std::u16string AName, std::function<void(TAsm&)> AMember) {
    caller.Proc(AName, 0, true, [=](TAsm& a) {
      a.Emit(icPushUnassigned);  // result slot of the member call
      a.Emit(icPushUnassigned);
      a.Call(icGlobCall, u"A", bkNon, 0);
      AMember(a);
      a.Emit(icAssignResult);
      a.Emit(icRet);
    });
  };
  member(u"ReadV", [](TAsm& a) { a.Call(icMemberCall, u"v", bkNon, 0, true); });
  member(u"CallSum", [](TAsm& a) {
    a.Lit(Variant(20));
    a.Lit(Variant(22));
    a.Call(icMemberCall, u"Sum", bkRound, 2, true);
  });
  member(u"VWithRoundBrackets", [](TAsm& a) { a.Call(icMemberCall, u"V", bkRound, 0, true); });
  member(u"ResultOfNop", [](TAsm& a) { a.Call(icMemberCall, u"Nop", bkRound, 0, true); });
  member(u"Unknown", [](TAsm& a) { a.Call(icMemberCall, u"NoSuch", bkNon, 0, true); });
  member(u"FailThere",
         [](TAsm& a) { a.Call(icMemberCall, u"Fail", bkRound, 0, true, false, false); });
  caller.Proc(u"SetV", 0, false, [](TAsm& a) {
    a.Emit(icPushUnassigned);
    a.Call(icGlobCall, u"A", bkNon, 0);
    a.Lit(Variant(11));
    a.Call(icAssignMemberCall, u"V", bkNon, 0, true, true);
    a.Emit(icRet);
  });
  // "Sum" without the object: a member published by the other module.
  caller.Proc(u"PublishedSum", 0, true, [](TAsm& a) {
    a.Emit(icPushUnassigned);
    a.Lit(Variant(1));
    a.Lit(Variant(1));
    a.Call(icGlobCall, u"Sum", bkRound, 2);
    a.Emit(icAssignResult);
    a.Emit(icRet);
  });
  auto b = caller.NewMachine();
  b->Initialize(WideString(u"text"));
  b->AddExternObject(a->CodeObject().get(), WideString(u"A"), true);
  b->Open();

  EXPECT_EQ(b->RunProc(WideString(u"ReadV")).VInteger, 5);
  EXPECT_EQ(b->RunProc(WideString(u"CallSum")).VInteger, 42);
  EXPECT_EQ(b->RunProc(WideString(u"PublishedSum")).VInteger, 2);
  b->RunProc(WideString(u"SetV"));
  EXPECT_EQ(a->ReadVar(WideString(u"V")).VInteger, 11);
  struct Case {
    const char16_t* proc;
    const char* raised;
  };
  for (const Case& c : {Case{u"VWithRoundBrackets", "Invalid type cast or type mismatch"},
                        Case{u"ResultOfNop", "Invalid type cast or type mismatch"},
                        Case{u"Unknown", "Undeclared identifier: 'NoSuch'"},
                        Case{u"FailThere", "Undeclared identifier: 'Missing'"}}) {
    EXPECT_EQ(Raised([&] { b->RunProc(WideString(c.proc)); }),
              std::string("EQOBVMRuntime: ") + c.raised)
        << Utf16ToUtf8(c.proc);
    EXPECT_TRUE(ThreadAtRest());
  }
  a->Close();
  EXPECT_EQ(Raised([&] { b->RunProc(WideString(u"ReadV")); }),
            "EQOBVirtMachine: Virtual machine should be active.");
}

}  // namespace
}  // namespace qob::vmtest
