// The machine's lifecycle, global name resolution and host entry points.
#include <gtest/gtest.h>

#include "vm/vm_test_support.h"

namespace qob::vmtest {
namespace {

// Function AName returns the value of the global name AReadName.
TTestScript& Reader(TTestScript& AScript, std::u16string AName, std::u16string AReadName) {
  return AScript.Proc(AName, 0, true, [AReadName](TAsm& a) {
    a.Emit(icPushUnassigned);
    a.Call(icGlobCall, AReadName, bkNon, 0);
    a.Emit(icAssignResult);
    a.Emit(icRet);
  });
}

TEST(VirtMachineTest, OperationsInTheWrongStateRaiseLifecycleErrors) {
  TTestScript script;
  script.Proc(u"P", 0, false, [](TAsm& a) { a.Emit(icRet); }).Var(u"V");
  const WideString text(u"text");
  struct Case {
    const char* name;
    std::function<void(TQOBVirtMachine&)> act;
    const char* raised;
  };
  const Case cases[] = {
      {"Initialize twice",
       [&](TQOBVirtMachine& vm) {
         vm.Initialize(text);
         vm.Initialize(text);
       },
       "EQOBVirtMachine: Virtual machine should be not initialized."},
      {"Open before Initialize", [](TQOBVirtMachine& vm) { vm.Open(); },
       "EQOBVirtMachine: Virtual machine should be initialized."},
      {"Open twice",
       [&](TQOBVirtMachine& vm) {
         vm.Initialize(text);
         vm.Open();
         vm.Open();
       },
       "EQOBVirtMachine: Virtual machine should be initialized."},
      {"RunProc before Open",
       [&](TQOBVirtMachine& vm) {
         vm.Initialize(text);
         vm.RunProc(WideString(u"P"));
       },
       "EQOBVirtMachine: Virtual machine should be active."},
      {"ReadVar after Close",
       [&](TQOBVirtMachine& vm) {
         vm.Initialize(text);
         vm.Open();
         vm.Close();
         vm.ReadVar(WideString(u"V"));
       },
       "EQOBVirtMachine: Virtual machine should be active."},
      {"AddExternObject before Initialize",
       [](TQOBVirtMachine& vm) { vm.AddExternObject(nullptr, WideString(u"X"), false); },
       "EQOBVirtMachine: Virtual machine should be initialized."},
      {"CodeObject before Initialize", [](TQOBVirtMachine& vm) { vm.CodeObject(); },
       "EQOBVirtMachine: Virtual machine should be initialized."},
      {"Close in every state",
       [&](TQOBVirtMachine& vm) {
         vm.Close();
         vm.Initialize(text);
         vm.Close();
         vm.Initialize(text);
         vm.Open();
         vm.Close();
         vm.Close();
       },
       ""},
  };
  for (const Case& c : cases) {
    auto vm = script.NewMachine();
    EXPECT_EQ(Raised([&] { c.act(*vm); }), c.raised) << c.name;
    EXPECT_TRUE(ThreadAtRest()) << c.name;
  }
}

TEST(VirtMachineTest, CompileErrorReachesTheHostWithLineAndColumnAndLeavesNothingCompiled) {
  TTestScript script;
  script.Var(u"V");
  script.Language().CompileErrorAt = 5;  // the 'c' after "ab" CR LF
  auto vm = script.NewMachine();
  int32_t line = -2;
  int32_t column = -2;
  vm->OnFormatException = [&](TObject*, int32_t ALine, int32_t ALinePos, Exception&) {
    line = ALine;
    column = ALinePos;
  };
  EXPECT_EQ(Raised([&] { vm->Initialize(WideString(u"ab\r\ncd")); }),
            "EQOBCompileBase: Syntax error");
  EXPECT_EQ(line, 1);
  EXPECT_EQ(column, 1);
  EXPECT_EQ(vm->State(), msUninitialized);
  EXPECT_TRUE(vm->GlobalVars().empty());

  script.Language().CompileErrorAt = 0;
  vm->Initialize(WideString(u"ab\r\ncd"));
  EXPECT_EQ(vm->State(), msInitialized);
  EXPECT_EQ(vm->GlobalVars().size(), 1u);
}

TEST(VirtMachineTest, ModuleGlobalsHideHostObjectsWhichHideBuiltInsAndPublishedMembersComeLast) {
  TTestScript script;
  script.Var(u"Shadowed", Variant(1))
      .Intrinsic(u"Hidden", [](Variant*, int32_t, Variant& r) { r = Variant(u"built-in"); })
      .Intrinsic(u"Both", [](Variant*, int32_t, Variant& r) { r = Variant(u"built-in"); })
      .Intrinsic(u"OnlyBuiltIn", [](Variant*, int32_t, Variant& r) { r = Variant(u"built-in"); });
  for (const char16_t* name : {u"Shadowed", u"Hidden", u"Both", u"OnlyBuiltIn", u"Member"})
    Reader(script, std::u16string(u"Read") + name, name);
  auto vm = script.NewMachine();
  vm->Initialize(WideString(u"text"));
  auto shadowing = THostObject::New();
  auto hiding = THostObject::New();
  auto publisher = THostObject::New();
  publisher->Value(u"Member", Variant(u"member")).Value(u"Both", Variant(u"member"));
  EXPECT_TRUE(vm->AddExternObject(shadowing.get(), WideString(u"Shadowed"), false));
  EXPECT_TRUE(vm->AddExternObject(hiding.get(), WideString(u"HIDDEN"), false));
  EXPECT_TRUE(vm->AddExternObject(publisher.get(), WideString(u"Publisher"), true));
  EXPECT_FALSE(vm->AddExternObject(publisher.get(), WideString(u"publisher"), false));
  vm->Open();

  auto read = [&](const char16_t* AName) {
    return vm->RunProc(WideString(std::u16string(u"Read") + AName));
  };
  EXPECT_EQ(read(u"Shadowed").VInteger, 1);
  const Variant hidden = read(u"Hidden");
  ASSERT_EQ(hidden.VType, varDispatch);
  EXPECT_EQ(hidden.VDispatch, static_cast<IDispatch*>(hiding.get()));
  EXPECT_EQ(read(u"Member").StringView(), u"member");
  EXPECT_EQ(read(u"Both").StringView(), u"member");
  EXPECT_EQ(read(u"OnlyBuiltIn").StringView(), u"built-in");
}

TEST(VirtMachineTest, RegistrationsAfterOpenAreSeenAndCloseForgetsThem) {
  TTestScript script;
  Reader(script, u"ReadLate", u"Late");
  auto vm = script.Run();
  EXPECT_EQ(Raised([&] { vm->RunProc(WideString(u"ReadLate")); }),
            "EQOBVMRuntime: Undeclared identifier: 'Late'");
  auto late = THostObject::New();
  late->Value(u"Late", Variant(7));
  vm->AddExternObject(late.get(), WideString(u"LateHost"), true);
  EXPECT_EQ(vm->RunProc(WideString(u"ReadLate")).VInteger, 7);

  vm->Close();
  vm->Initialize(WideString(u"text"));
  vm->Open();
  EXPECT_EQ(Raised([&] { vm->RunProc(WideString(u"ReadLate")); }),
            "EQOBVMRuntime: Undeclared identifier: 'Late'");
}

// A call that has found a built-in keeps it only while no host object is
// added: a later object of the same name, or a published member, hides it.
TEST(VirtMachineTest, HostObjectsAddedLaterHideABuiltInAlreadyFound) {
  TTestScript script;
  script.Intrinsic(u"Named", [](Variant*, int32_t, Variant& r) { r = Variant(u"built-in"); })
      .Intrinsic(u"Member", [](Variant*, int32_t, Variant& r) { r = Variant(u"built-in"); });
  Reader(script, u"ReadNamed", u"Named");
  Reader(script, u"ReadMember", u"Member");
  auto vm = script.Run();
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(vm->RunProc(WideString(u"ReadNamed")).StringView(), u"built-in");
    EXPECT_EQ(vm->RunProc(WideString(u"ReadMember")).StringView(), u"built-in");
  }
  auto named = THostObject::New();
  auto publisher = THostObject::New();
  publisher->Value(u"Member", Variant(u"member"));
  vm->AddExternObject(named.get(), WideString(u"Named"), false);
  vm->AddExternObject(publisher.get(), WideString(u"Publisher"), true);
  const Variant found = vm->RunProc(WideString(u"ReadNamed"));
  ASSERT_EQ(found.VType, varDispatch);
  EXPECT_EQ(found.VDispatch, static_cast<IDispatch*>(named.get()));
  EXPECT_EQ(vm->RunProc(WideString(u"ReadMember")).StringView(), u"member");
}

TEST(VirtMachineTest, HostEntryPointsCheckWhatANameIs) {
  TTestScript script;
  script.Proc(u"P", 0, false, [](TAsm& a) { a.Emit(icRet); })
      .Var(u"V", Variant(1))
      .Const(u"C", Variant(2));
  auto vm = script.Run();
  struct Case {
    const char* name;
    std::function<void()> act;
    const char* raised;
  };
  const Case cases[] = {
      {"RunProc of a variable", [&] { vm->RunProc(WideString(u"V")); },
       "EQOBVMRuntime: Procedural type required."},
      {"ReadVar of a procedure", [&] { vm->ReadVar(WideString(u"P")); },
       "EQOBVMRuntime: Variable or constant required."},
      {"ReadVar of a procedure earlier run",
       [&] {
         vm->RunProc(WideString(u"p"));
         vm->ReadVar(WideString(u"p"));
       },
       "EQOBVMRuntime: Variable or constant required."},
      {"WriteVar of a constant", [&] { vm->WriteVar(WideString(u"c"), Variant(3)); },
       "EQOBVMRuntime: Invalid assignment"},
      {"RunProc of an unknown name", [&] { vm->RunProc(WideString(u"noSuch")); },
       "EQOBVMRuntime: Undeclared identifier: 'noSuch'"},
      {"ReadVar of a built-in", [&] { vm->ReadVar(WideString(u"Exit")); },
       "EQOBVMRuntime: Undeclared identifier: 'Exit'"},
      {"RunProc with an argument too many",
       [&] {
         const Variant args[] = {Variant(1)};
         vm->RunProc(WideString(u"P"), args);
       },
       "EQOBVMRuntime: Invalid argument count"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Raised(c.act), c.raised) << c.name;
    EXPECT_TRUE(ThreadAtRest()) << c.name;
  }
  vm->WriteVar(WideString(u"v"), Variant(u"new"));
  EXPECT_EQ(vm->ReadVar(WideString(u"V")).StringView(), u"new");
  EXPECT_EQ(vm->ReadVar(WideString(u"C")).VInteger, 2);

  // A debugger sees the globals: constants first, then variables; no locals.
  std::u16string shown;
  const TQOBNamespaceEnumVarsProc show = [&](const WideString& AName,
                                             const TQOBNameSearchRes& ARes) {
    shown += AName.str() + (ARes.ObjKind == srGlobalConst ? u";" : u"?");
  };
  vm->GlobalNamespace()->EnumDebugVars(false, show);
  vm->GlobalNamespace()->EnumDebugVars(true, show);
  EXPECT_EQ(shown, u"C;V;");
}

TEST(VirtMachineTest, RunProcGivesTheProcedureItsOwnArgumentSlots) {
  TTestScript script;
  // Assign(value, byRef): value := 'changed'; byRef := 'changed'; Result := value.
  script.Proc(u"Assign", 2, true, [](TAsm& a) {
    a.Lit(Variant(u"changed"));
    a.Emit(icAssignArg, TQOBParamInfo{0, pkSimple});
    a.Lit(Variant(u"changed"));
    a.Emit(icAssignArg, TQOBParamInfo{1, pkByRef});
    a.Emit(icPushArg, TQOBParamInfo{0, pkSimple});
    a.Emit(icAssignResult);
    a.Emit(icRet);
  });
  auto vm = script.Run();
  Variant hostVariable(u"host");
  const Variant args[] = {Variant(u"argument"), Variant::RefTo(&hostVariable)};
  EXPECT_EQ(vm->RunProc(WideString(u"Assign"), args).StringView(), u"changed");
  EXPECT_EQ(args[0].StringView(), u"argument");
  EXPECT_EQ(hostVariable.StringView(), u"changed");
  EXPECT_TRUE(ThreadAtRest());
}

TEST(VirtMachineTest, OpenRunsTheGlobalStatementsAsAnOrdinaryEntry) {
  // The global code calls a host object that calls back into the machine.
  TTestScript script;
  script.Var(u"Log", Variant(u""))
      .Proc(u"Note", 0, false,
            [](TAsm& a) {
              a.Emit(icPushUnassigned);
              a.Call(icGlobCall, u"Log", bkNon, 0);
              a.Lit(Variant(u"+note"));
              a.Emit(icStrConcat);
              a.Call(icAssignGlobCall, u"Log", bkNon, 0, false, true);
              a.Emit(icRet);
            })
      .Stmt([](TAsm& a) {
        a.Emit(icPushUnassigned);  // the member call's result slot
        a.Emit(icPushUnassigned);
        a.Call(icGlobCall, u"Host", bkNon, 0);  // the object
        a.Call(icMemberCall, u"CallBack", bkRound, 0, true, false, false);
        a.Emit(icPop);
      });
  auto vm = script.NewMachine();
  vm->Initialize(WideString(u"text"));
  auto host = THostObject::New();
  host->Member(u"CallBack", [&](uint16_t, DISPPARAMS*, Variant*) {
    EXPECT_TRUE(vm->CodeObject());  // needs the machine's section
    vm->RunProc(WideString(u"Note"));
    return S_OK;
  });
  vm->AddExternObject(host.get(), WideString(u"Host"), false);
  vm->Open();
  EXPECT_EQ(vm->ReadVar(WideString(u"Log")).StringView(), u"+note");
  EXPECT_EQ(vm->State(), msActive);
}

TEST(VirtMachineTest, CloseFromAThreadRunningInTheMachineIsRefused) {
  TTestScript script;
  script.Proc(u"P", 0, false, [](TAsm& a) {
    a.Emit(icPushUnassigned);
    a.Call(icGlobCall, u"CloseMachine", bkNon, 0, false, false, false);
    a.Emit(icPop);
    a.Emit(icRet);
  });
  auto vm = script.NewMachine();
  vm->Initialize(WideString(u"text"));
  std::string raised;
  auto host = THostObject::New();
  host->Member(u"CloseMachine", [&](uint16_t, DISPPARAMS*, Variant*) {
    raised = Raised([&] { vm->Close(); });
    return S_OK;
  });
  vm->AddExternObject(host.get(), WideString(u"Host"), true);
  vm->Open();
  vm->RunProc(WideString(u"P"));
  EXPECT_EQ(raised,
            "EQOBVirtMachine: Virtual machine cannot be closed by a thread that is running in it.");
  EXPECT_EQ(vm->State(), msActive);
}

TEST(VirtMachineDeathTest, DestroyingTheMachineFromInsideStopsWithAClearMessage) {
  EXPECT_DEATH(
      {
        TTestScript script;
        script.Proc(u"P", 0, false, [](TAsm& a) {
          a.Emit(icPushUnassigned);
          a.Call(icGlobCall, u"DestroyMachine", bkNon, 0, false, false, false);
          a.Emit(icPop);
          a.Emit(icRet);
        });
        auto vm = script.NewMachine();
        vm->Initialize(WideString(u"text"));
        auto host = THostObject::New();
        host->Member(u"DestroyMachine", [&](uint16_t, DISPPARAMS*, Variant*) {
          vm.reset();
          return S_OK;
        });
        vm->AddExternObject(host.get(), WideString(u"Host"), true);
        vm->Open();
        vm->RunProc(WideString(u"P"));
      },
      "destroyed by a thread running in it");
}

TEST(VirtMachineTest, SourcePositionsMapToLinesAndBack) {
  // 40 characters on line 0 so that checkpoints (every 32) come into play.
  const std::u16string first(40, u'x');
  const TQOBVMSource source(WideString(first + u"\r\nab\rc\n\nend"));
  struct PosCase {
    int32_t pos, line, column;
  };
  const PosCase positions[] = {
      {1, 0, 1},   {33, 0, 33},  {41, 0, 41},  // the CR of CR LF
      {42, 0, 42},                             // the LF of CR LF stays on its line
      {43, 1, 1},  {45, 1, 3},                 // lone CR
      {46, 2, 1},  {47, 2, 2},                 // lone LF
      {48, 3, 1},  {49, 4, 1},   {51, 4, 3},
      {52, 4, 4},  // one past the end: after the last character
      {0, -1, -1}, {53, -1, -1},
  };
  for (const PosCase& c : positions) {
    int32_t line;
    int32_t column;
    source.PosToLine(c.pos, line, column);
    EXPECT_EQ(line, c.line) << "position " << c.pos;
    EXPECT_EQ(column, c.column) << "position " << c.pos;
  }
  struct LineCase {
    int32_t line, pos, length;
  };
  const LineCase lines[] = {{0, 1, 40}, {1, 43, 2}, {2, 46, 1}, {3, 48, 0},
                            {4, 49, 3}, {5, -1, 0}, {-1, -1, 0}};
  for (const LineCase& c : lines) {
    int32_t pos;
    int32_t length;
    source.LineToPos(c.line, pos, length);
    EXPECT_EQ(pos, c.pos) << "line " << c.line;
    EXPECT_EQ(length, c.length) << "line " << c.line;
  }
  int32_t pos;
  int32_t length;
  TQOBVMSource().LineToPos(0, pos, length);
  EXPECT_EQ(pos, -1);
}

TEST(VirtMachineTest, EndOfTextAfterFinalLineBreakIsOnTheLastLine) {
  // The script control ends every line with CR LF; errors at the end of the
  // text must point after the last character of the last real line.
  struct EndCase {
    std::u16string text;
    int32_t line, column, lastLine;
  };
  const EndCase cases[] = {
      {u"begin\r\n  Show(1)\r\n", 1, 10, 1},
      {u"ab\n", 0, 3, 0},
      {u"ab\r", 0, 3, 0},
      {u"ab\r\n\r\n", 1, 1, 1},
  };
  for (const EndCase& c : cases) {
    const TQOBVMSource source{WideString(c.text)};
    int32_t line;
    int32_t column;
    source.PosToLine(static_cast<int32_t>(c.text.size()) + 1, line, column);
    EXPECT_EQ(line, c.line) << c.text.size();
    EXPECT_EQ(column, c.column) << c.text.size();
    int32_t pos;
    int32_t length;
    source.LineToPos(c.lastLine, pos, length);
    EXPECT_GT(pos, 0);
    source.LineToPos(c.lastLine + 1, pos, length);
    EXPECT_EQ(pos, -1) << "no line after the final break";
  }
}

}  // namespace
}  // namespace qob::vmtest
