// Exceptions inside byte code: try/except and try/finally, the exception
// state of running handlers, raising, positions reported to the host, and
// nesting that would overflow the stack.
#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "vm/vm_test_support.h"

namespace qob::vmtest {
namespace {

std::atomic<int> gLiveTracked{0};

// An exception whose objects are counted, to see when one is freed.
class ETracked : public Exception {
  QOB_CLASS(ETracked, Exception)
 public:
  explicit ETracked(WideString AMessage) : Exception(std::move(AMessage)) { ++gLiveTracked; }
  ETracked(const ETracked& AOther) : Exception(AOther) { ++gLiveTracked; }
  ~ETracked() override { --gLiveTracked; }
};

std::u16string MessageOf(const std::exception_ptr& AObject) {
  try {
    std::rethrow_exception(AObject);
  } catch (const Exception& e) {
    return e.Message().str();
  } catch (...) {
    return u"?";
  }
}

// Exceptions as these scripts see them: a handled exception becomes an
// Integer (its index in Handled); raising a string makes a new ETracked,
// raising an Integer raises that handled object again.
struct TExceptionHooks {
  std::vector<std::exception_ptr> Handled;
  std::exception_ptr LastMade;

  void Install(TQOBVirtMachine& AVM) {
    AVM.OnVarToException = [this](TQOBVirtMachine*, const Variant& V, std::exception_ptr& AResult) {
      if (V.VType == varInteger) {
        AResult = Handled.at(static_cast<size_t>(V.VInteger));
      } else if (V.IsString()) {
        AResult = LastMade = std::make_exception_ptr(ETracked(V.String()));
      }
    };
    AVM.OnExceptionIsTest = [](TQOBVirtMachine*, const std::exception_ptr& E, const Variant& AType,
                               bool& AResult) {
      try {
        std::rethrow_exception(E);
      } catch (const Exception& e) {
        AResult = e.ClassName() == AType.StringView();
      } catch (...) {
      }
    };
    AVM.OnExceptionToVar = [this](TQOBVirtMachine*, const std::exception_ptr& E, Variant& AResult) {
      Handled.push_back(E);
      AResult = Variant(static_cast<int32_t>(Handled.size() - 1));
    };
  }
};

// The script's built-ins: Message(E) and Live (live ETracked objects).
void AddBuiltIns(TTestScript& AScript, TExceptionHooks& AHooks) {
  AScript
      .Intrinsic(u"Message",
                 [&AHooks](Variant* AArgs, int32_t, Variant& AResult) {
                   AResult = Variant(WideString(MessageOf(
                       AHooks.Handled.at(static_cast<size_t>(AArgs[0].Deref().VInteger)))));
                 })
      .Intrinsic(u"Live", [](Variant*, int32_t, Variant& AResult) {
        AResult = Variant(gLiveTracked.load());
      });
}

void RaiseText(TAsm& a, const char16_t* AText) {
  a.Lit(Variant(AText));
  a.Emit(icRaise);
}

// Calls procedure AName; its result slot and AArgs arguments are on the stack.
void CallName(TAsm& a, std::u16string_view AName, int32_t AArgs) {
  a.Call(icGlobCall, AName, AArgs ? bkRound : bkNon, AArgs, false, false, false);
  a.Emit(icPop);
}

void CallNoArgs(TAsm& a, std::u16string_view AName) {
  a.Emit(icPushUnassigned);
  CallName(a, AName, 0);
}

// try AProtected except AHandler end, laid out as the code generators do.
TQOBTry* TryExcept(TAsm& a, const TBody& AProtected,
                   const std::function<void(TAsm&, TQOBTry*)>& AHandler) {
  TQOBTry* t = a.BeginTry(false);
  TQOBLabel* done = a.Label();
  AProtected(a);
  a.bc.EndProtectedBlock();
  a.Emit(icJump, done);
  a.Bind(t->FHandlerLabel);
  a.bc.BeginExcHdrCode(t);
  AHandler(a, t);
  a.Emit(icExceptDone);
  a.bc.EndExcHdrCode(t);
  a.Bind(done);
  return t;
}

// Result := Message(E) for the exception handled by block T.
void ResultIsMessageOf(TAsm& a, TQOBTry* T) {
  a.Emit(icPushUnassigned);
  a.Emit(icExceptToVar, T->FExceptionVar);
  a.Call(icGlobCall, u"Message", bkRound, 1);
  a.Emit(icAssignResult);
}

// try AProtected finally AFinally end. AProtected gets the block to route
// its leaving jumps through the finally statements.
TQOBTry* TryFinally(TAsm& a, const std::function<void(TAsm&, TQOBTry*)>& AProtected,
                    const TBody& AFinally) {
  TQOBTry* t = a.BeginTry(true);
  TQOBLabel* done = a.Label();
  AProtected(a, t);
  a.bc.EndProtectedBlock();
  a.Emit(icCallFinally, t);
  a.Emit(icJump, done);
  a.Bind(t->FHandlerLabel);
  a.Emit(icCallFinally, t);
  a.Emit(isReraise, t->FExceptionVar);
  a.Bind(t->FFinallyLabel);
  a.bc.BeginExcHdrCode(t);
  AFinally(a);
  a.bc.EndExcHdrCode(t);
  a.Emit(icFinallyRet, t);
  a.Bind(done);
  return t;
}

// Global Log := Log + AText.
void AppendToLog(TAsm& a, const char16_t* AText) {
  a.Emit(icPushUnassigned);
  a.Call(icGlobCall, u"Log", bkNon, 0);
  a.Lit(Variant(AText));
  a.Emit(icStrConcat);
  a.Call(icAssignGlobCall, u"Log", bkNon, 0, false, true);
}

struct TScriptRun {
  TTestScript script;
  TExceptionHooks hooks;
  std::unique_ptr<TQOBVirtMachine> vm;

  explicit TScriptRun(const std::function<void(TTestScript&)>& ADeclare) {
    AddBuiltIns(script, hooks);
    script.Var(u"Log", Variant(u""));
    ADeclare(script);
    vm = script.NewMachine();
    hooks.Install(*vm);
    vm->Initialize(WideString(u"line0\nline1\nline2\nline3"));
    vm->Open();
  }
  Variant Call(const char16_t* AName) { return vm->RunProc(WideString(AName)); }
  std::u16string Log() { return vm->ReadVar(WideString(u"Log")).String().str(); }
};

TEST(InterpreterExceptionsTest, ExceptHandlersCatchRunTimeErrorsAndNestedHandlersKeepTheirEntries) {
  TScriptRun run([](TTestScript& s) {
    // try Missing except Result := Message(E) end
    s.Proc(u"CatchRunTimeError", 0, true, [](TAsm& a) {
      TryExcept(
          a, [](TAsm& a) { CallNoArgs(a, u"Missing"); }, ResultIsMessageOf);
      a.Emit(icRet);
    });
    // try raise 'outer' except try raise 'inner' except end; Result := Message(E) end
    s.Proc(u"CaughtInsideTheHandler", 0, true, [](TAsm& a) {
      TryExcept(
          a, [](TAsm& a) { RaiseText(a, u"outer"); },
          [](TAsm& a, TQOBTry* outer) {
            TryExcept(
                a, [](TAsm& a) { RaiseText(a, u"inner"); }, [](TAsm&, TQOBTry*) {});
            ResultIsMessageOf(a, outer);
          });
      a.Emit(icRet);
    });
    // try try raise 'first' except raise 'second' end except Result := Live end
    s.Proc(u"CaughtOutsideTheHandler", 0, true, [](TAsm& a) {
      TryExcept(
          a,
          [](TAsm& a) {
            TryExcept(
                a, [](TAsm& a) { RaiseText(a, u"first"); },
                [](TAsm& a, TQOBTry*) { RaiseText(a, u"second"); });
          },
          [](TAsm& a, TQOBTry*) {
            a.Emit(icPushUnassigned);
            a.Call(icGlobCall, u"Live", bkNon, 0);
            a.Emit(icAssignResult);
          });
      a.Emit(icRet);
    });
  });
  EXPECT_EQ(run.Call(u"CatchRunTimeError").StringView(), u"Undeclared identifier: 'Missing'");
  EXPECT_EQ(run.Call(u"CaughtInsideTheHandler").StringView(), u"outer");
  // Nothing outlives its owners: the handled list and the last made object.
  run.hooks.Handled.clear();
  run.hooks.LastMade = nullptr;
  EXPECT_EQ(gLiveTracked.load(), 0);
  // Only 'second' is alive while the outer handler runs: 'first' was freed.
  EXPECT_EQ(run.Call(u"CaughtOutsideTheHandler").VInteger, 1);
  run.hooks.LastMade = nullptr;
  EXPECT_EQ(gLiveTracked.load(), 0);
  EXPECT_TRUE(ThreadAtRest());
}

// try ARaise except on EQOBVMRuntime do Result := 'run time'; on ETracked do
// Result := 'tracked' [else Result := 'other'] end
void Classify(TAsm& a, const TBody& ARaise, bool AWithElse) {
  TQOBTry* t = a.BeginTry(false);
  TQOBLabel* done = a.Label();
  TQOBLabel* noMatch = a.Label();
  ARaise(a);
  a.bc.EndProtectedBlock();
  a.Emit(icJump, done);
  a.Bind(t->FHandlerLabel);
  a.bc.BeginExcHdrCode(t);
  std::vector<std::pair<TQOBLabel*, const char16_t*>> clauses;
  for (auto [type, text] :
       {std::pair{u"EQOBVMRuntime", u"run time"}, std::pair{u"ETracked", u"tracked"}}) {
    clauses.emplace_back(a.Label(), text);
    a.Lit(Variant(type));
    a.Emit(icExceptJmpIfIs, a.bc.AddExcJmp(t, clauses.back().first));
  }
  a.Emit(icJump, noMatch);
  for (auto [label, text] : clauses) {
    a.Bind(label);
    a.Lit(Variant(text));
    a.Emit(icAssignResult);
    a.Emit(icExceptDone);
    a.Emit(icJump, done);
  }
  a.Bind(noMatch);
  if (AWithElse) {
    a.Lit(Variant(u"other"));
    a.Emit(icAssignResult);
    a.Emit(icExceptDone);
  } else {
    a.Emit(isReraise, t->FExceptionVar);
  }
  a.bc.EndExcHdrCode(t);
  a.Bind(done);
  a.Emit(icRet);
}

TEST(InterpreterExceptionsTest, ExceptionTypeClausesChooseTheirHandlerOrRaiseAgain) {
  TScriptRun run([](TTestScript& s) {
    s.Intrinsic(u"FailWithEConvert", [](Variant*, int32_t, Variant&) {
      throw EConvertError(WideString(u"not a number"));
    });
    s.Proc(u"RunTime", 0, true, [](TAsm& a) {
      Classify(
          a, [](TAsm& a) { CallNoArgs(a, u"Missing"); }, true);
    });
    s.Proc(u"Tracked", 0, true, [](TAsm& a) {
      Classify(
          a, [](TAsm& a) { RaiseText(a, u"x"); }, true);
    });
    s.Proc(u"Other", 0, true, [](TAsm& a) {
      Classify(
          a, [](TAsm& a) { CallNoArgs(a, u"FailWithEConvert"); }, true);
    });
    s.Proc(u"Unhandled", 0, true, [](TAsm& a) {
      Classify(
          a, [](TAsm& a) { CallNoArgs(a, u"FailWithEConvert"); }, false);
    });
  });
  EXPECT_EQ(run.Call(u"RunTime").StringView(), u"run time");
  EXPECT_EQ(run.Call(u"Tracked").StringView(), u"tracked");
  EXPECT_EQ(run.Call(u"Other").StringView(), u"other");
  EXPECT_EQ(Raised([&] { run.Call(u"Unhandled"); }), "EConvertError: not a number");
  EXPECT_TRUE(ThreadAtRest());
}

TEST(InterpreterExceptionsTest, FinallyRunsOnEveryWayOutAndRaisesTheSameObjectAgain) {
  TScriptRun run([](TTestScript& s) {
    // for I := 1 to 4 do try if I = 2 then Continue; if I = 4 then Break;
    //   Log += 'b' finally Log += 'f' end; Log += 'e'
    s.Proc(u"Loop", 0, false, [](TAsm& a) {
      const int32_t i = a.bc.AddLocalVar();
      TQOBLabel* body = a.Label();
      TQOBLabel* next = a.Label();
      TQOBLabel* end = a.Label();
      TQOBFor* loop = a.bc.AddFor(body, i, false);
      a.Lit(Variant(4));
      a.Emit(icAssignLocalVar, loop->FToVar);
      a.Lit(Variant(1));
      a.Emit(icForInitLocal, loop);
      a.Bind(body);
      TQOBLabel* continueVia = a.Label();
      TQOBLabel* breakVia = a.Label();
      TQOBTry* t = TryFinally(
          a,
          [&](TAsm& a, TQOBTry*) {
            for (auto [value, name, label] :
                 {std::tuple{2, u"Continue", continueVia}, std::tuple{4, u"Break", breakVia}}) {
              TQOBLabel* skip = a.Label();
              a.Emit(icPushLocalVar, i);
              a.Lit(Variant(value));
              a.Emit(icPopJmpIfNotEqual, skip);
              a.Emit(icPushUnassigned);
              TQOBCall* call = a.Call(icGlobCall, name, bkNon, 0, false, false, false);
              (value == 2 ? call->FContinueLabel : call->FBreakLabel) = label;
              a.Emit(icPop);
              a.Bind(skip);
            }
            AppendToLog(a, u"b");
          },
          [](TAsm& a) { AppendToLog(a, u"f"); });
      a.Emit(icJump, next);
      a.Bind(continueVia);
      a.Emit(icCallFinally, t);
      a.Emit(icJump, next);
      a.Bind(breakVia);
      a.Emit(icCallFinally, t);
      a.Emit(icJump, end);
      a.Bind(next);
      a.Emit(icForInc, loop);
      a.Emit(icForJmpIfLE, loop);
      a.Bind(end);
      AppendToLog(a, u"e");
      a.Emit(icRet);
    });
    // try Exit finally Log += 'x' end; Log += 'never'
    s.Proc(u"ExitThroughFinally", 0, false, [](TAsm& a) {
      TQOBLabel* exitVia = a.Label();
      TQOBTry* t = TryFinally(
          a,
          [&](TAsm& a, TQOBTry*) {
            a.Emit(icPushUnassigned);
            a.Call(icGlobCall, u"Exit", bkNon, 0, false, false, false)->FExitLabel = exitVia;
            a.Emit(icPop);
          },
          [](TAsm& a) { AppendToLog(a, u"x"); });
      AppendToLog(a, u"never");
      a.Emit(icRet);
      a.Bind(exitVia);
      a.Emit(icCallFinally, t);
      a.Emit(icRet);
    });
    // try raise 'boom' finally Log += 'finally' end
    s.Proc(u"RaiseThroughFinally", 0, false, [](TAsm& a) {
      TryFinally(
          a, [](TAsm& a, TQOBTry*) { RaiseText(a, u"boom"); },
          [](TAsm& a) { AppendToLog(a, u"finally"); });
      a.Emit(icRet);
    });
    // try finally Exit end: the code generator turns the Exit into icRaiseEBCFromFinally.
    s.Proc(u"ExitOutOfFinally", 0, false, [](TAsm& a) {
      TryFinally(
          a, [](TAsm&, TQOBTry*) {}, [](TAsm& a) { a.Emit(icRaiseEBCFromFinally); });
      a.Emit(icRet);
    });
  });
  run.Call(u"Loop");
  EXPECT_EQ(run.Log(), u"bffbffe");
  run.vm->WriteVar(WideString(u"Log"), Variant(u""));
  run.Call(u"ExitThroughFinally");
  EXPECT_EQ(run.Log(), u"x");

  run.vm->WriteVar(WideString(u"Log"), Variant(u""));
  std::exception_ptr caught;
  try {
    run.Call(u"RaiseThroughFinally");
  } catch (...) {
    caught = std::current_exception();
  }
  EXPECT_EQ(run.Log(), u"finally");
  ASSERT_TRUE(caught);
  EXPECT_EQ(caught, run.hooks.LastMade);
  EXPECT_EQ(Raised([&] { run.Call(u"ExitOutOfFinally"); }),
            "EQOBVMRuntime: Cannot BREAK, CONTINUE or EXIT out of a FINALLY clause");
  EXPECT_TRUE(ThreadAtRest());
}

TEST(InterpreterExceptionsTest, RaisingChecksTheObject) {
  TScriptRun run([](TTestScript& s) {
    // try raise 'x' except raise E end
    s.Proc(u"RaiseHandled", 0, false, [](TAsm& a) {
      TryExcept(
          a, [](TAsm& a) { RaiseText(a, u"x"); },
          [](TAsm& a, TQOBTry* t) {
            a.Emit(icExceptToVar, t->FExceptionVar);
            a.Emit(icRaise);
          });
      a.Emit(icRet);
    });
    // try raise 'x' except E2 := E end; raise E2
    s.Proc(u"RaiseFinished", 0, false, [](TAsm& a) {
      const int32_t kept = a.bc.AddLocalVar();
      TryExcept(
          a, [](TAsm& a) { RaiseText(a, u"x"); },
          [kept](TAsm& a, TQOBTry* t) {
            a.Emit(icExceptToVar, t->FExceptionVar);
            a.Emit(icAssignLocalVar, kept);
          });
      a.Emit(icPushLocalVar, kept);
      a.Emit(icRaise);
    });
    // RaiseArg(E): raise E
    s.Proc(u"RaiseArg", 1, false, [](TAsm& a) {
      a.Emit(icPushArg, TQOBParamInfo{0, pkSimple});
      a.Emit(icRaise);
    });
    // try raise 'x' except RaiseArg(E) end: a handler further out still owns E.
    s.Proc(u"RaiseHandledElsewhere", 0, false, [](TAsm& a) {
      TryExcept(
          a, [](TAsm& a) { RaiseText(a, u"x"); },
          [](TAsm& a, TQOBTry* t) {
            a.Emit(icPushUnassigned);
            a.Emit(icExceptToVar, t->FExceptionVar);
            CallName(a, u"RaiseArg", 1);
          });
      a.Emit(icRet);
    });
    s.Proc(u"RaiseNothing", 0, false, [](TAsm& a) {
      a.Emit(icPushUnassigned);
      a.Emit(icRaise);
    });
  });
  EXPECT_EQ(Raised([&] { run.Call(u"RaiseHandled"); }),
            "EQOBVMRuntime: Cannot raise locked exception");
  EXPECT_EQ(Raised([&] { run.Call(u"RaiseHandledElsewhere"); }),
            "EQOBVMRuntime: Cannot raise locked exception");
  EXPECT_EQ(Raised([&] { run.Call(u"RaiseFinished"); }), "ETracked: x");
  EXPECT_EQ(Raised([&] { run.Call(u"RaiseNothing"); }),
            "EQOBVMRuntime: Cannot raise nil exception");
  EXPECT_TRUE(ThreadAtRest());
}

TEST(InterpreterExceptionsTest, EveryActivationReportsItsPositionInnermostFirst) {
  TScriptRun run([](TTestScript& s) {
    s.Proc(u"Inner", 0, false, [](TAsm& a) {
      a.At(9);  // line 1, column 3
      RaiseText(a, u"deep");
    });
    s.Proc(u"Outer", 0, false, [](TAsm& a) {
      a.At(19);  // line 3, column 1
      CallNoArgs(a, u"Inner");
      a.Emit(icRet);
    });
  });
  std::vector<std::pair<int32_t, int32_t>> reported;
  run.vm->OnFormatException = [&](TObject*, int32_t ALine, int32_t ALinePos, Exception& E) {
    reported.emplace_back(ALine, ALinePos);
    E.SetMessage(E.Message().str() + u"+");
  };
  EXPECT_EQ(Raised([&] { run.Call(u"Outer"); }), "ETracked: deep++");
  EXPECT_EQ(reported, (std::vector<std::pair<int32_t, int32_t>>{{1, 3}, {3, 1}}));
}

TEST(InterpreterExceptionsTest, APendingBreakRequestDoesNotSkipAHandler) {
  TQOBVirtMachine* machine = nullptr;
  TScriptRun run([&](TTestScript& s) {
    s.Intrinsic(u"InterruptAndFail", [&](Variant*, int32_t, Variant&) {
      machine->Interrupt();
      throw ETracked(WideString(u"failed"));
    });
    s.Proc(u"F", 0, true, [](TAsm& a) {
      TryExcept(
          a, [](TAsm& a) { CallNoArgs(a, u"InterruptAndFail"); }, ResultIsMessageOf);
      a.Emit(icRet);
    });
  });
  machine = run.vm.get();
  EXPECT_EQ(run.Call(u"F").StringView(), u"failed");
}

TEST(InterpreterExceptionsTest, NestingTooDeepIsAStackOverflowThatScriptsAndHostsCatch) {
  TScriptRun run([](TTestScript& s) {
    s.Proc(u"Recurse", 0, false, [](TAsm& a) {
      CallNoArgs(a, u"Recurse");
      a.Emit(icRet);
    });
    s.Proc(u"CatchIt", 0, true, [](TAsm& a) {
      TryExcept(
          a, [](TAsm& a) { CallNoArgs(a, u"Recurse"); }, ResultIsMessageOf);
      a.Emit(icRet);
    });
    // Depth(N): Depth(N - 1) while N > 0
    s.Proc(u"Depth", 1, false, [](TAsm& a) {
      TQOBLabel* done = a.Label();
      a.Emit(icPushArg, TQOBParamInfo{0, pkSimple});
      a.Emit(icPush0);
      a.Emit(icPopJmpIfEqual, done);
      a.Emit(icPushUnassigned);
      a.Emit(icPushArg, TQOBParamInfo{0, pkSimple});
      a.Lit(Variant(1));
      a.Emit(icMinus);
      CallName(a, u"Depth", 1);
      a.Bind(done);
      a.Emit(icRet);
    });
  });
  EXPECT_EQ(run.Call(u"CatchIt").StringView(), u"Stack overflow");
  EXPECT_EQ(Raised([&] { run.Call(u"Recurse"); }), "EQOBVMRuntime: Stack overflow");
  EXPECT_TRUE(ThreadAtRest());

  const int32_t defaultLimit = ScriptCallDepthLimit();
  SetScriptCallDepthLimit(50);
  const Variant shallow[] = {Variant(48)};
  const Variant deep[] = {Variant(50)};
  run.vm->RunProc(WideString(u"Depth"), shallow);
  EXPECT_EQ(Raised([&] { run.vm->RunProc(WideString(u"Depth"), deep); }),
            "EQOBVMRuntime: Stack overflow");
  SetScriptCallDepthLimit(defaultLimit);
  EXPECT_TRUE(ThreadAtRest());
  EXPECT_EQ(TVMIndexes::CurrentThread()->StackPool().BlockCount(), 1);
}

TEST(InterpreterExceptionsTest, ACancelledThreadLeavesThroughScriptHandlers) {
  std::atomic<bool> waiting{false};
  TScriptRun run([&waiting](TTestScript& s) {
    s.Intrinsic(u"Wait", [&waiting](Variant*, int32_t, Variant&) {
      waiting = true;
      for (;;) std::this_thread::sleep_for(std::chrono::milliseconds(1));  // a cancellation point
    });
    s.Proc(u"WaitInTry", 0, false, [](TAsm& a) {
      TryExcept(
          a, [](TAsm& a) { CallNoArgs(a, u"Wait"); }, [](TAsm&, TQOBTry*) {});
      a.Emit(icRet);
    });
  });
  // The cancellation unwinds through the script's handler instead of being
  // swallowed there (which would abort the process).
  auto body = [](void* AVM) -> void* {
    static_cast<TQOBVirtMachine*>(AVM)->RunProc(WideString(u"WaitInTry"));
    return nullptr;
  };
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, nullptr, body, run.vm.get()), 0);
  while (!waiting) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  pthread_cancel(thread);
  void* outcome = nullptr;
  pthread_join(thread, &outcome);
  EXPECT_EQ(outcome, PTHREAD_CANCELED);
}

}  // namespace
}  // namespace qob::vmtest
