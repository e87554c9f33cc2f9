// The instruction families of the interpreter, driven by hand-written byte code.
#include <gtest/gtest.h>

#include "ole/safearray.h"
#include "ole/variant_convert.h"
#include "ole/variant_ops.h"
#include "vm/vm_arrays.h"
#include "vm/vm_test_support.h"

namespace qob::vmtest {
namespace {

// Runs ABody as function F next to a few helpers and answers F's result.
// Helpers: procedure Proc0; function Blank, which sets no result; function Echo(p) = p; procedures
// SetValue(p), SetByRef(var p), SetThroughRef(p) and SetConst(const p), each assigning 'set' to p;
// variable Nothing (a nil object); host object Host published with its members (ArgCount, SetFirst,
// Value).
Variant RunAsF(const TBody& ABody) {
  auto setter = [](TQOBParamKind AKind) {
    return [AKind](TAsm& a) {
      a.Lit(Variant(u"set"));
      a.Emit(icAssignArg, TQOBParamInfo{0, static_cast<uint16_t>(AKind)});
      a.Emit(icRet);
    };
  };
  TTestScript script;
  script.Proc(u"Proc0", 0, false, [](TAsm& a) { a.Emit(icRet); })
      .Proc(u"Blank", 0, true, [](TAsm& a) { a.Emit(icRet); })
      .Proc(u"Echo", 1, true,
            [](TAsm& a) {
              a.Emit(icPushArg, TQOBParamInfo{0, pkSimple});
              a.Emit(icAssignResult);
              a.Emit(icRet);
            })
      .Proc(u"SetValue", 1, false, setter(pkSimple))
      .Proc(u"SetByRef", 1, false, setter(pkByRef))
      .Proc(u"SetConst", 1, false, setter(pkConst))
      .Proc(u"SetThroughRef", 1, false,
            [](TAsm& a) {
              a.Emit(icPushArgRef, TQOBParamInfo{0, pkSimple});
              a.Lit(Variant(u"set"));
              a.Emit(icAssignLValue);
              a.Emit(icRet);
            })
      .Var(u"Nothing", Variant(static_cast<IDispatch*>(nullptr)))
      .Var(u"GVar")
      .Const(u"GConst", Variant(0))
      .Proc(u"F", 0, true, [&](TAsm& a) {
        ABody(a);
        a.Emit(icAssignResult);
        a.Emit(icRet);
      });
  auto vm = script.NewMachine();
  vm->Initialize(WideString(u"text"));
  auto host = THostObject::New();
  host->Member(u"ArgCount",
               [](uint16_t, DISPPARAMS* p, Variant* r) {
                 if (r) *r = Variant(static_cast<int32_t>(p->cArgs));
                 return S_OK;
               })
      .Member(u"SetFirst", [](uint16_t, DISPPARAMS* p, Variant*) {
        Variant& first = p->rgvarg[p->cArgs - 1];
        if (!first.IsRef()) return DISP_E_TYPEMISMATCH;
        first.Deref() = Variant(u"set by host");
        return S_OK;
      });
  host->FDefault = [](uint16_t, DISPPARAMS* p, Variant* r) {
    if (r) *r = Variant(VarToInt32(p->rgvarg[0]) * 10);
    return S_OK;
  };
  vm->AddExternObject(host.get(), WideString(u"Host"), true);
  vm->Open();
  Variant result = vm->RunProc(WideString(u"F"));
  EXPECT_TRUE(ThreadAtRest());
  return result;
}

// A for loop over local I summing into local Sum; the result is Sum.
TBody SumLoop(int32_t AFrom, int32_t ATo, int32_t AStep) {
  return [=](TAsm& a) {
    const int32_t sum = a.bc.AddLocalVar();
    const int32_t i = a.bc.AddLocalVar();
    TQOBLabel* body = a.Label();
    TQOBLabel* done = a.Label();
    const bool stepped = AStep != 1 && AStep != -1;
    TQOBFor* loop = a.bc.AddFor(body, i, stepped);
    a.Emit(icPush0);
    a.Emit(icAssignLocalVar, sum);
    if (stepped) {
      a.Lit(Variant(AStep));
      a.Emit(icAssignLocalVar, loop->FStepVar);
    }
    a.Lit(Variant(ATo));
    a.Emit(icAssignLocalVar, loop->FToVar);
    a.Lit(Variant(AFrom));
    a.Emit(icForInitLocal, loop);
    a.Emit(icPushLocalVar, i);
    a.Emit(icPushLocalVar, loop->FToVar);
    a.Emit(AStep > 0 ? icGreater : icLess);
    a.Emit(icPopJmpIfTrue, done);
    a.Bind(body);
    a.Emit(icPushLocalVar, sum);
    a.Emit(icPushLocalVar, i);
    a.Emit(icPlus);
    a.Emit(icAssignLocalVar, sum);
    if (stepped) {
      a.Emit(icForIncStep, loop);
      a.Emit(icForJmpStep, loop);
    } else if (AStep > 0) {
      a.Emit(icForInc, loop);
      a.Emit(icForJmpIfLE, loop);
    } else {
      a.Emit(icForDec, loop);
      a.Emit(icForJmpIfGE, loop);
    }
    a.Bind(done);
    a.Emit(icPushLocalVar, sum);
  };
}

// case ASelector of 1: 'one'; 3..5: 'few' else 'many'
TBody CaseOf(int32_t ASelector) {
  return [=](TAsm& a) {
    TQOBLabel* one = a.Label();
    TQOBLabel* few = a.Label();
    TQOBLabel* done = a.Label();
    a.Lit(Variant(ASelector));
    a.Lit(Variant(1));
    a.Emit(icCaseJmpIfEqual, one);
    a.Lit(Variant(3));
    a.Lit(Variant(5));
    a.Emit(icCaseJmpIfInRange, few);
    a.Emit(icPop);
    a.Lit(Variant(u"many"));
    a.Emit(icJump, done);
    a.Bind(one);
    a.Lit(Variant(u"one"));
    a.Emit(icJump, done);
    a.Bind(few);
    a.Lit(Variant(u"few"));
    a.Bind(done);
  };
}

// A set constructor: AElements are single members or {lo, hi} ranges.
TBody Set(std::vector<std::vector<int32_t>> AElements) {
  return [=](TAsm& a) {
    a.Emit(icPush0);
    for (const auto& e : AElements) {
      for (int32_t v : e) a.Lit(Variant(v));
      a.Emit(e.size() == 1 ? icAddValToSet : icAddRangeToSet);
    }
  };
}

TBody Binary(Variant ALeft, Variant ARight, TQOBInstrCode AOp) {
  return [=](TAsm& a) {
    a.Lit(ALeft);
    a.Lit(ARight);
    a.Emit(AOp);
  };
}

// Calls global AName with AArgs; the result is the call's result slot.
TBody CallName(std::u16string AName, TQOBBracketType ABracket, std::vector<Variant> AArgs,
               TQOBInstrCode ACode = icGlobCall) {
  return [=](TAsm& a) {
    a.Emit(icPushUnassigned);
    for (const Variant& v : AArgs) a.Lit(v);
    a.Call(ACode, AName, ABracket, static_cast<int32_t>(AArgs.size()));
  };
}

TEST(InterpreterTest, InstructionsComputeTheirValues) {
  struct Case {
    const char* name;
    TBody body;
    Variant expected;
  };
  const Case cases[] = {
      {"push 0", [](TAsm& a) { a.Emit(icPush0); }, Variant(0)},
      {"integer add", Binary(Variant(2), Variant(3), icPlus), Variant(5)},
      {"integer subtract", Binary(Variant(7), Variant(10), icMinus), Variant(-3)},
      {"integer multiply", Binary(Variant(6), Variant(7), icMultiply), Variant(42)},
      {"integer divide", Binary(Variant(7), Variant(2), icIntDiv), Variant(3)},
      {"real divide", Binary(Variant(7), Variant(2), icDivide), Variant(3.5)},
      {"concatenate", Binary(Variant(u"a"), Variant(1), icStrConcat), Variant(u"a1")},
      {"less", Binary(Variant(1), Variant(2), icLess), Variant(true)},
      {"greater or equal", Binary(Variant(1), Variant(2), icGreaterEqual), Variant(false)},
      {"equal strings", Binary(Variant(u"x"), Variant(u"x"), icEqual), Variant(true)},
      {"identity of non-objects", Binary(Variant(1), Variant(1), icRefEqual), Variant(false)},
      {"unary minus",
       [](TAsm& a) {
         a.Lit(Variant(5));
         a.Emit(icUnaryMinus);
       },
       Variant(-5)},
      {"unary not",
       [](TAsm& a) {
         a.Lit(Variant(true));
         a.Emit(icUnaryNot);
       },
       Variant(false)},
      {"set with a range", Set({{1}, {3, 5}}), Variant(0b111010)},
      {"range from high to low adds nothing", Set({{5, 3}}), Variant(0)},
      {"member of a set",
       [](TAsm& a) {
         a.Lit(Variant(3));
         Set({{1}, {3, 5}})(a);
         a.Emit(icIn);
       },
       Variant(true)},
      {"element beyond 31 is in no set",
       [](TAsm& a) {
         a.Lit(Variant(40));
         a.Lit(Variant(-1));
         a.Emit(icIn);
       },
       Variant(false)},
      {"for to", SumLoop(1, 10, 1), Variant(55)},
      {"for downto", SumLoop(10, 1, -1), Variant(55)},
      {"for with step", SumLoop(1, 10, 3), Variant(22)},
      {"for with negative step", SumLoop(10, 1, -4), Variant(18)},
      {"for that runs no time", SumLoop(5, 1, 1), Variant(0)},
      {"case label", CaseOf(1), Variant(u"one")},
      {"case range low end", CaseOf(3), Variant(u"few")},
      {"case range high end", CaseOf(5), Variant(u"few")},
      {"case else", CaseOf(6), Variant(u"many")},
      {"jump if false keeps its operand",
       [](TAsm& a) {
         TQOBLabel* skip = a.Label();
         a.Lit(Variant(false));
         a.Emit(icJmpIfFalse, skip);
         a.Emit(icPop);
         a.Lit(Variant(u"not jumped"));
         a.Bind(skip);
       },
       Variant(false)},
      {"pop and jump if equal",
       [](TAsm& a) {
         TQOBLabel* equal = a.Label();
         TQOBLabel* done = a.Label();
         a.Lit(Variant(4));
         a.Lit(Variant(4.0));
         a.Emit(icPopJmpIfEqual, equal);
         a.Lit(Variant(u"different"));
         a.Emit(icJump, done);
         a.Bind(equal);
         a.Lit(Variant(u"equal"));
         a.Bind(done);
       },
       Variant(u"equal")},
      {"function call", CallName(u"Echo", bkRound, {Variant(u"hi")}), Variant(u"hi")},
      {"a call resets its result slot",
       [](TAsm& a) {
         a.Lit(Variant(u"stale"));
         a.Emit(icPop);
         a.Emit(icPush, 1);  // the slot again, its contents unspecified
         a.Call(icGlobCall, u"Blank", bkRound, 0);
       },
       Variant()},
      {"host member published",
       CallName(u"ArgCount", bkRound, std::vector<Variant>(63, Variant(0))), Variant(63)},
      {"host default member by index", CallName(u"Host", bkBlock, {Variant(4)}), Variant(40)},
      {"local variable by name and reference",
       [](TAsm& a) {
         const int32_t local = a.bc.AddLocalVar();
         a.scope->Add(u"L", TQOBNameSearchRes::LocalVar(local));
         a.Emit(icPushUnassigned);
         a.Call(icGlobCallRef, u"L", bkNon, 0);
         a.Lit(Variant(u"through name"));
         a.Emit(icAssignLValue);
         a.Emit(icPushLocalVar, local);
       },
       Variant(u"through name")},
      {"result by reference",
       [](TAsm& a) {
         a.Emit(icPushResultRef);
         a.Lit(Variant(u"r"));
         a.Emit(icAssignLValue);
         a.Emit(icPushResult);
       },
       Variant(u"r")},
      {"global variable and constant assigned directly",
       [](TAsm& a) {
         a.Lit(Variant(u"var"));
         a.Emit(icAssignGlobalVar, a.Global(u"GVar"));
         a.Lit(Variant(u"+const"));
         a.Emit(icAssignGlobalConst, a.Global(u"GConst"));
         a.Emit(icPushUnassigned);
         a.Call(icGlobCall, u"GVar", bkNon, 0);
         a.Emit(icPushUnassigned);
         a.Call(icGlobCall, u"GConst", bkNon, 0);
         a.Emit(icStrConcat);
       },
       Variant(u"var+const")},
      {"another namespace with a local constant",
       [](TAsm& a) {
         static const Variant seven(7);
         static TTestScope scope(nullptr);
         scope.Add(u"K", TQOBNameSearchRes::LocalConstant(&seven));
         a.Emit(icSetNamespace, &scope);
         a.Emit(icPushUnassigned);
         a.Call(icGlobCall, u"K", bkNon, 0);
       },
       Variant(7)},
      {"element assigned and read without a name",
       [](TAsm& a) {
         const int32_t arr = a.bc.AddLocalVar();
         a.Lit(Variant(1));
         a.Lit(Variant(3));
         a.Emit(icArrayCreate, a.bc.AddArray(1, varVariant));
         a.Emit(icAssignLocalVar, arr);
         a.Emit(icPushLocalVarRef, arr);
         a.Lit(Variant(2));
         a.Lit(Variant(u"x"));
         a.Call(icAssignUnnamedCall, u"", bkBlock, 1, true, true);
         a.Emit(icPushUnassigned);
         a.Emit(icPushLocalVarRef, arr);
         a.Lit(Variant(2));
         a.Call(icUnnamedCallRef, u"", bkBlock, 1, true);
       },
       Variant(u"x")},
      {"for over a variable given by reference",
       [](TAsm& a) {
         const int32_t sum = a.bc.AddLocalVar();
         const int32_t i = a.bc.AddLocalVar();
         TQOBLabel* body = a.Label();
         TQOBFor* loop = a.bc.AddFor(body, false);
         a.Emit(icPush0);
         a.Emit(icAssignLocalVar, sum);
         a.Lit(Variant(3));
         a.Emit(icAssignLocalVar, loop->FToVar);
         a.Emit(icPushLocalVarRef, i);
         a.Lit(Variant(1));
         a.Emit(icForInitLValue, loop);
         a.Bind(body);
         a.Emit(icPushLocalVar, sum);
         a.Emit(icPushLocalVar, i);
         a.Emit(icPlus);
         a.Emit(icAssignLocalVar, sum);
         a.Emit(icForInc, loop);
         a.Emit(icForJmpIfLE, loop);
         a.Emit(icPushLocalVar, sum);
       },
       Variant(6)},
      {"local variable by reference",
       [](TAsm& a) {
         const int32_t local = a.bc.AddLocalVar();
         a.Emit(icPushLocalVarRef, local);
         a.Lit(Variant(u"through ref"));
         a.Emit(icAssignLValue);
         a.Emit(icPushLocalVar, local);
       },
       Variant(u"through ref")},
  };
  for (const Case& c : cases) {
    const Variant result = RunAsF(c.body);
    EXPECT_EQ(result.VType, c.expected.VType) << c.name;
    EXPECT_EQ(VarToStr(result).ToUtf8(), VarToStr(c.expected).ToUtf8()) << c.name;
  }
  // Integer overflow goes to the general addition, which widens the type.
  EXPECT_EQ(VarToDouble(RunAsF(Binary(Variant(2147483647), Variant(1), icPlus))), 2147483648.0);
}

TEST(InterpreterTest, MisusedInstructionsRaiseRunTimeErrors) {
  auto pseudo = [](std::u16string AName, TQOBBracketType ABracket, bool AResUsed,
                   TQOBInstrCode ACode = icGlobCall) {
    return [=](TAsm& a) {
      a.Emit(icPushUnassigned);
      a.Call(ACode, AName, ABracket, 0, false, false, AResUsed);
    };
  };
  auto memberOf = [](Variant AObject) {
    return [=](TAsm& a) {
      a.Emit(icPushUnassigned);
      a.Lit(AObject);
      a.Call(icMemberCall, u"Anything", bkNon, 0, true);
    };
  };
  auto callWithLocal = [](std::u16string AProc) {
    return [=](TAsm& a) {
      const int32_t local = a.bc.AddLocalVar();
      a.Emit(icPushUnassigned);
      a.Emit(icPushLocalVarRef, local);
      a.Call(icGlobCall, AProc, bkRound, 1, false, false, false);
    };
  };
  struct Case {
    const char* name;
    TBody body;
    const char* raised;
  };
  const Case cases[] = {
      {"unknown name", CallName(u"NoSuch", bkNon, {}),
       "EQOBVMRuntime: Undeclared identifier: 'NoSuch'"},
      {"Break outside a loop", pseudo(u"Break", bkNon, false),
       "EQOBVMRuntime: BREAK or CONTINUE outside of loop"},
      {"Exit with brackets", pseudo(u"Exit", bkRound, false),
       "EQOBVMRuntime: Invalid type cast or type mismatch"},
      {"Exit as a value", pseudo(u"Exit", bkNon, true),
       "EQOBVMRuntime: Invalid type cast or type mismatch"},
      {"Exit by reference", pseudo(u"Exit", bkNon, false, icGlobCallRef),
       "EQOBVMRuntime: Invalid type cast or type mismatch"},
      {"result of a procedure", CallName(u"Proc0", bkRound, {}),
       "EQOBVMRuntime: Invalid type cast or type mismatch"},
      {"an argument too many", CallName(u"Echo", bkRound, {Variant(1), Variant(2)}),
       "EQOBVMRuntime: Invalid argument count"},
      {"square brackets after a procedure", CallName(u"Echo", bkBlock, {Variant(1)}),
       "EQOBVMRuntime: Invalid type cast or type mismatch"},
      {"64 arguments to a host member",
       CallName(u"ArgCount", bkRound, std::vector<Variant>(64, Variant(0))),
       "EQOBVMRuntime: Invalid argument count"},
      {"member of Empty", memberOf(Variant()), "EQOBVMRuntime: Object required but nil found"},
      {"member of nil", memberOf(Variant(static_cast<IDispatch*>(nullptr))),
       "EQOBVMRuntime: Object required but nil found"},
      {"member of an Integer", memberOf(Variant(3)),
       "EVariantTypeCastError: Invalid variant type conversion"},
      {"set element above 31", Set({{40}}),
       "EQOBVMRuntime: Constant expression violates subrange bounds"},
      {"set range below 0", Set({{-1, 3}}),
       "EQOBVMRuntime: Constant expression violates subrange bounds"},
      {"assignment through a non-reference",
       [](TAsm& a) {
         a.Lit(Variant(1));
         a.Lit(Variant(2));
         a.Emit(icAssignLValue);
         a.Emit(icPush0);
       },
       "EQOBVMRuntime: Invalid assignment"},
      {"loop variable that is no reference",
       [](TAsm& a) {
         TQOBLabel* body = a.Label();
         TQOBFor* loop = a.bc.AddFor(body, false);
         a.Lit(Variant(1));
         a.Lit(Variant(1));
         a.Emit(icForInitLValue, loop);
         a.Bind(body);
         a.Emit(icPush0);
       },
       "EQOBVMRuntime: For loop control variable must be simple local variable"},
      {"assignment to a constant parameter", callWithLocal(u"SetConst"),
       "EQOBVMRuntime: Invalid assignment"},
      {"round brackets on a value", CallName(u"Nothing", bkRound, {}),
       "EQOBVMRuntime: Invalid type cast or type mismatch"},
      {"unnamed call with round brackets",
       [](TAsm& a) {
         a.Emit(icPushUnassigned);
         a.Lit(Variant(1));
         a.Call(icUnnamedCall, u"", bkRound, 0, true);
       },
       "EQOBVMRuntime: Invalid type cast or type mismatch"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Raised([&] { RunAsF(c.body); }), c.raised) << c.name;
    EXPECT_TRUE(ThreadAtRest()) << c.name;
  }
}

TEST(InterpreterTest, ParametersChangeTheCallersVariableOnlyByReference) {
  // The caller passes a reference to its local in every case.
  auto callSetter = [](std::u16string AProc) {
    return [=](TAsm& a) {
      const int32_t local = a.bc.AddLocalVar();
      a.Lit(Variant(u"caller's"));
      a.Emit(icAssignLocalVar, local);
      a.Emit(icPushUnassigned);
      a.Emit(icPushLocalVarRef, local);
      a.Call(icGlobCall, AProc, bkRound, 1, false, false, false);
      a.Emit(icPop);
      a.Emit(icPushLocalVar, local);
    };
  };
  EXPECT_EQ(RunAsF(callSetter(u"SetValue")).StringView(), u"caller's");
  EXPECT_EQ(RunAsF(callSetter(u"SetThroughRef")).StringView(), u"caller's");
  EXPECT_EQ(RunAsF(callSetter(u"SetByRef")).StringView(), u"set");
  EXPECT_EQ(RunAsF(callSetter(u"SetFirst")).StringView(), u"set by host");
}

TEST(InterpreterTest, ExitLeavesTheActivationAndVbStyleCallsRecurseThroughTheResultName) {
  // Function Fact(n) in the VB manner: Fact = n * Fact(n - 1), Fact = 1 at 0;
  // an Exit after the base case leaves before the assignment below it.
  TTestScript script;
  script.Proc(u"Fact", 1, true, [](TAsm& a) {
    a.scope->Add(u"Fact", TQOBNameSearchRes::Result());
    a.scope->Add(u"N", TQOBNameSearchRes::Param(0, pkSimple));
    TQOBLabel* recurse = a.Label();
    a.Emit(icPushArg, TQOBParamInfo{0, pkSimple});
    a.Lit(Variant(0));
    a.Emit(icPopJmpIfNotEqual, recurse);
    a.Lit(Variant(1));
    a.Call(icAssignGlobCall, u"Fact", bkNon, 0, false, true);
    a.Emit(icPushUnassigned);
    a.Call(icGlobCall, u"Exit", bkNon, 0, false, false, false);
    a.Bind(recurse);
    a.Emit(icPushUnassigned);
    a.Call(icGlobCall, u"N", bkNon, 0);
    a.Emit(icPushUnassigned);
    a.Emit(icPushArg, TQOBParamInfo{0, pkSimple});
    a.Lit(Variant(1));
    a.Emit(icMinus);
    a.Call(icGlobCall, u"fact", bkVbRound, 1);
    a.Emit(icMultiply);
    a.Call(icAssignGlobCall, u"Fact", bkNon, 0, false, true);
    a.Emit(icRet);
  });
  auto vm = script.Run();
  const Variant five[] = {Variant(5)};
  EXPECT_EQ(vm->RunProc(WideString(u"Fact"), five).VInteger, 120);
  EXPECT_TRUE(ThreadAtRest());
}

TEST(InterpreterTest, ArrayElementsAreReadAndWrittenInPlace) {
  // G[2] := G[1] + 1 on a global array, through names.
  TTestScript script;
  const TSafeArrayBound bounds[] = {{1, 3}};
  script.Var(u"G", VarArrayCreate(bounds)).Proc(u"Bump", 0, false, [](TAsm& a) {
    a.Lit(Variant(2));
    a.Emit(icPushUnassigned);
    a.Lit(Variant(1));
    a.Call(icGlobCall, u"G", bkBlock, 1);
    a.Lit(Variant(1));
    a.Emit(icPlus);
    a.Call(icAssignGlobCall, u"G", bkBlock, 1, false, true);
    a.Emit(icRet);
  });
  auto vm = script.NewMachine();
  vm->Initialize(WideString(u"text"));
  Variant& g = vm->GlobalVars()[0]->Value;
  const TSafeArray* array = g.VArray;
  const int32_t one[] = {1};
  SafeArrayElement(*g.VArray, one) = Variant(41);
  vm->Open();
  vm->RunProc(WideString(u"Bump"));
  EXPECT_EQ(g.VArray, array);
  const int32_t two[] = {2};
  EXPECT_EQ(SafeArrayElement(*g.VArray, two).VInteger, 42);
}

TEST(InterpreterTest, ArraysAreCreatedAndRedimensioned) {
  // A local array 1..10 holding its indexes, redimensioned to ANewLow..ANewHigh;
  // the result is the array.
  auto redim = [](int32_t ANewLow, int32_t ANewHigh, int32_t ADims, bool APreserve) {
    return [=](TAsm& a) {
      const int32_t arr = a.bc.AddLocalVar();
      a.scope->Add(u"Arr", TQOBNameSearchRes::LocalVar(arr));
      a.Lit(Variant(1));
      a.Lit(Variant(10));
      a.Emit(icArrayCreate, a.bc.AddArray(1, varVariant));
      a.Emit(icAssignLocalVar, arr);
      for (int32_t i = 1; i <= 10; ++i) {
        a.Lit(Variant(i));
        a.Lit(Variant(i));
        a.Call(icAssignGlobCall, u"Arr", bkBlock, 1, false, true);
      }
      for (int32_t d = 0; d < ADims; ++d) {
        a.Lit(Variant(ANewLow));
        a.Lit(Variant(ANewHigh));
      }
      a.Emit(icArrayRedimLocal, a.bc.AddArrayRedim(ADims, varVariant, arr, APreserve));
      a.Emit(icPushLocalVar, arr);
    };
  };
  const Variant kept = RunAsF(redim(5, 20, 1, true));
  ASSERT_TRUE(kept.IsArray());
  EXPECT_EQ(SafeArrayLowBound(*kept.VArray, 1), 5);
  EXPECT_EQ(SafeArrayHighBound(*kept.VArray, 1), 20);
  for (int32_t i = 5; i <= 20; ++i) {
    const int32_t at[] = {i};
    const Variant& element = SafeArrayElement(*kept.VArray, at);
    if (i <= 10) {
      EXPECT_EQ(element.VInteger, i) << i;
    } else {
      EXPECT_TRUE(element.IsEmpty()) << i;
    }
  }
  const Variant fresh = RunAsF(redim(0, 1, 1, false));
  const int32_t zero[] = {0};
  EXPECT_TRUE(SafeArrayElement(*fresh.VArray, zero).IsEmpty());

  auto create = [](int32_t ADims, int32_t AHigh) {
    return [=](TAsm& a) {
      for (int32_t d = 0; d < ADims; ++d) {
        a.Lit(Variant(1));
        a.Lit(Variant(AHigh));
      }
      a.Emit(icArrayCreate, a.bc.AddArray(ADims, varInteger));
    };
  };
  const Variant matrix = RunAsF(create(2, 3));
  EXPECT_EQ(matrix.VType, varArray | varInteger);
  EXPECT_EQ(SafeArrayDimCount(*matrix.VArray), 2);

  struct Case {
    const char* name;
    TBody body;
    const char* raised;
  };
  const Case cases[] = {
      {"30 dimensions", create(30, 1), "EQOBVMRuntime: Invalid argument count"},
      {"more elements than an array may hold", create(2, 1000000),
       "EVariantArrayCreateError: Error creating variant or safe array"},
      {"preserving redim to another dimension count", redim(1, 2, 2, true),
       "EQOBVMRuntime: Invalid argument count"},
      {"index outside the bounds",
       [](TAsm& a) {
         const int32_t arr = a.bc.AddLocalVar();
         a.scope->Add(u"Arr", TQOBNameSearchRes::LocalVar(arr));
         a.Lit(Variant(1));
         a.Lit(Variant(2));
         a.Emit(icArrayCreate, a.bc.AddArray(1, varVariant));
         a.Emit(icAssignLocalVar, arr);
         a.Emit(icPushUnassigned);
         a.Lit(Variant(3));
         a.Call(icGlobCall, u"Arr", bkBlock, 1);
       },
       "EVariantBadIndexError: Variant or safe array index out of bounds"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Raised([&] { RunAsF(c.body); }), c.raised) << c.name;
    EXPECT_TRUE(ThreadAtRest()) << c.name;
  }
  // A descriptor with a negative dimension count is refused before anything is allocated.
  TQOBArray negative;
  negative.FDimCount = -1;
  EXPECT_EQ(Raised([&] { QOBArrayCreate(negative, nullptr); }),
            "EVariantArrayCreateError: Error creating variant or safe array");
}

TEST(InterpreterTest, HostHooksAnswerIsNewAndEventHandlers) {
  TTestScript script;
  static const WideString handlerName(u"OnClick");
  script
      .Proc(u"IsTest", 0, true,
            [](TAsm& a) {
              a.Lit(Variant(u"object"));
              a.Lit(Variant(u"type"));
              a.Emit(icIs);
              a.Emit(icAssignResult);
              a.Emit(icRet);
            })
      .Proc(u"NewObject", 0, true,
            [](TAsm& a) {
              a.Emit(icPushUnassigned);
              a.Lit(Variant(u"TThing"));
              a.Lit(Variant(1));
              a.Lit(Variant(2));
              a.Call(icNewUnnamedCall, u"", bkRound, 2, true);
              a.Emit(icAssignResult);
              a.Emit(icRet);
            })
      .Proc(u"Handler", 0, true, [](TAsm& a) {
        a.Emit(icEventHandlerMake, &handlerName);
        a.Emit(icAssignResult);
        a.Emit(icRet);
      });
  auto vm = script.Run();
  // Unassigned hooks give their neutral answers.
  EXPECT_EQ(vm->RunProc(WideString(u"IsTest")).VBoolean, VARIANT_FALSE);
  EXPECT_TRUE(vm->RunProc(WideString(u"NewObject")).IsEmpty());
  EXPECT_TRUE(vm->RunProc(WideString(u"Handler")).IsEmpty());

  vm->OnIsTest = [](TQOBVirtMachine*, const Variant& AObj, const Variant& AType, bool& AResult) {
    AResult = AObj.StringView() == u"object" && AType.StringView() == u"type";
  };
  vm->OnNew = [](TQOBVirtMachine*, const Variant& AType, Variant* AArgs, int32_t AArgCount,
                 Variant& AResult) {
    AResult = VarCat(AType, Variant(VarToInt32(AArgs[0]) + VarToInt32(AArgs[AArgCount - 1])));
  };
  vm->OnEventMake = [](TQOBVirtMachine*, const WideString& AProcName, Variant& AResult) {
    AResult = Variant(WideString(u"handler for " + AProcName.str()));
  };
  EXPECT_EQ(vm->RunProc(WideString(u"IsTest")).VBoolean, VARIANT_TRUE);
  EXPECT_EQ(vm->RunProc(WideString(u"NewObject")).StringView(), u"TThing3");
  EXPECT_EQ(vm->RunProc(WideString(u"Handler")).StringView(), u"handler for OnClick");
}

// Calls OnRelease when its last reference goes.
class TReleaseWatcher final : public DispatchObject {
 public:
  explicit TReleaseWatcher(std::function<void()> AOnRelease) : FOnRelease(std::move(AOnRelease)) {}
  ~TReleaseWatcher() override { FOnRelease(); }
  HRESULT GetIDsOfNames(REFIID, const char16_t**, uint32_t, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS*, Variant*, EXCEPINFO*,
                 uint32_t*) override {
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  std::function<void()> FOnRelease;
};

TEST(InterpreterTest, SlotsBeingReleasedAreNotLentToCodeTheReleaseRuns) {
  // Leave: L1 := 'stale'; L0 := a watched object. Releasing L0 at the exit
  // runs Peek, whose locals must start out empty.
  TTestScript script;
  script
      .Proc(u"Leave", 0, false,
            [](TAsm& a) {
              const int32_t watched = a.bc.AddLocalVar();
              const int32_t stale = a.bc.AddLocalVar();
              a.Lit(Variant(u"stale"));
              a.Emit(icAssignLocalVar, stale);
              a.Emit(icPushUnassigned);
              a.Call(icGlobCall, u"MakeWatched", bkNon, 0);
              a.Emit(icAssignLocalVar, watched);
              a.Emit(icRet);
            })
      .Proc(u"Peek", 0, true, [](TAsm& a) {
        // Result := L0 & L1 & L2 of its own, empty when they start out empty.
        for (int32_t i = 0; i < 3; ++i) {
          a.Emit(icPushLocalVar, a.bc.AddLocalVar());
          if (i > 0) a.Emit(icStrConcat);
        }
        a.Emit(icAssignResult);
        a.Emit(icRet);
      });
  auto vm = script.NewMachine();
  vm->Initialize(WideString(u"text"));
  Variant peeked(u"not run");
  auto maker = THostObject::New();
  maker->Member(u"MakeWatched", [&](uint16_t, DISPPARAMS*, Variant* AResult) {
    ComPtr<IDispatch> watched(
        new TReleaseWatcher([&] { peeked = vm->RunProc(WideString(u"Peek")); }));
    if (AResult) *AResult = Variant(watched.get());
    return S_OK;
  });
  vm->AddExternObject(maker.get(), WideString(u"Maker"), true);
  vm->Open();
  vm->RunProc(WideString(u"Leave"));
  EXPECT_EQ(VarToStr(peeked).ToUtf8(), "");
  EXPECT_TRUE(ThreadAtRest());
}

}  // namespace
}  // namespace qob::vmtest
