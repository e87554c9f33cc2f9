// Threads in one machine: running in parallel, Close aborting them from
// another thread and waiting for them, stack limits of secondary threads,
// and the clean-up of records of ended threads.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "vm/vm_test_support.h"

namespace qob::vmtest {
namespace {

// Spin: Arrive; try repeat until False except Caught end.
void DeclareSpinner(TTestScript& AScript, std::atomic<int>& AArrived, std::atomic<int>& ACaught) {
  AScript.Intrinsic(u"Arrive", [&AArrived](Variant*, int32_t, Variant&) { ++AArrived; })
      .Intrinsic(u"Caught", [&ACaught](Variant*, int32_t, Variant&) { ++ACaught; });
  auto spin = [](TAsm& a) {
    a.Emit(icPushUnassigned);
    a.Call(icGlobCall, u"Arrive", bkNon, 0, false, false, false);
    a.Emit(icPop);
    TQOBTry* t = a.BeginTry(false);
    TQOBLabel* loop = a.Label();
    TQOBLabel* done = a.Label();
    a.Bind(loop);
    a.Lit(Variant(1));
    a.Lit(Variant(1));
    a.Emit(icPlus);
    a.Emit(icPop);
    a.Emit(icJump, loop);
    a.bc.EndProtectedBlock();
    a.Bind(t->FHandlerLabel);
    a.bc.BeginExcHdrCode(t);
    a.Emit(icPushUnassigned);
    a.Call(icGlobCall, u"Caught", bkNon, 0, false, false, false);
    a.Emit(icPop);
    a.Emit(icExceptDone);
    a.bc.EndExcHdrCode(t);
    a.Bind(done);
  };
  AScript.Proc(u"Spin", 0, false, [spin](TAsm& a) {
    spin(a);
    a.Emit(icRet);
  });
}

void WaitFor(const std::atomic<int>& ACounter, int AValue) {
  while (ACounter.load() < AValue) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Counts the activations an exception leaves, slowly: the report comes from
// inside the machine, so Close must not return before the last one.
void CountReportsSlowly(TQOBVirtMachine& AVM, std::atomic<int>& AReports) {
  AVM.OnFormatException = [&AReports](TObject*, int32_t, int32_t, Exception&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ++AReports;
  };
}

TEST(VMThreadsTest, CloseFromAThirdThreadAbortsBothRunnersAndWaitsForThem) {
  std::atomic<int> arrived{0};
  std::atomic<int> caught{0};
  TTestScript script;
  DeclareSpinner(script, arrived, caught);
  auto vm = script.Run();
  std::atomic<int> reports{0};
  CountReportsSlowly(*vm, reports);

  std::string raised[2];
  std::thread runners[2];
  for (int i = 0; i < 2; ++i)
    runners[i] = std::thread([&, i] {
      raised[i] = Raised([&] { vm->RunProc(WideString(u"Spin")); });
      EXPECT_TRUE(ThreadAtRest());
    });
  WaitFor(arrived, 2);
  int reportsWhenClosed = -1;
  std::thread closer([&] {
    vm->Close();
    reportsWhenClosed = reports.load();
  });
  closer.join();
  for (std::thread& runner : runners) runner.join();
  EXPECT_EQ(reportsWhenClosed, 2);
  for (const std::string& r : raised)
    EXPECT_EQ(r, "EQOBVMRuntime: Script execution has been aborted.");
  EXPECT_EQ(caught.load(), 0);  // no script handler sees an abort
  EXPECT_EQ(vm->State(), msUninitialized);
}

TEST(VMThreadsTest, CloseAbortsAnEndlessMainBlockRunningInOpen) {
  std::atomic<int> arrived{0};
  std::atomic<int> caught{0};
  TTestScript script;
  DeclareSpinner(script, arrived, caught);
  script.Stmt([](TAsm& a) {
    a.Emit(icPushUnassigned);
    a.Call(icGlobCall, u"Spin", bkNon, 0, false, false, false);
    a.Emit(icPop);
  });
  auto vm = script.NewMachine();
  vm->Initialize(WideString(u"text"));
  std::atomic<int> reports{0};
  CountReportsSlowly(*vm, reports);
  std::string raised;
  std::thread opener([&] { raised = Raised([&] { vm->Open(); }); });
  WaitFor(arrived, 1);
  vm->Close();
  EXPECT_EQ(reports.load(), 2);  // Spin and the global code
  opener.join();
  EXPECT_EQ(raised, "EQOBVMRuntime: Script execution has been aborted.");
  // The machine can be compiled and run again afterwards.
  vm->Initialize(WideString(u"text"));
  EXPECT_EQ(vm->State(), msInitialized);
}

// Runs AFunc on a thread with a stack of AStackSize bytes.
void RunOnSmallStack(size_t AStackSize, std::function<void()> AFunc) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, AStackSize);
  pthread_t thread;
  auto body = [](void* AArg) -> void* {
    (*static_cast<std::function<void()>*>(AArg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, body, &AFunc), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

TEST(VMThreadsTest, EndlessRecursionOnASmallStackIsAStackOverflow) {
  TTestScript script;
  script.Proc(u"Recurse", 0, false, [](TAsm& a) {
    a.Emit(icPushUnassigned);
    a.Call(icGlobCall, u"Recurse", bkNon, 0, false, false, false);
    a.Emit(icPop);
    a.Emit(icRet);
  });
  auto vm = script.Run();
  std::string raised;
  bool atRest = false;
  RunOnSmallStack(256 * 1024, [&] {
    raised = Raised([&] { vm->RunProc(WideString(u"Recurse")); });
    atRest = ThreadAtRest();
  });
  EXPECT_EQ(raised, "EQOBVMRuntime: Stack overflow");
  EXPECT_TRUE(atRest);
}

TEST(VMThreadsTest, RecordsOfEndedThreadsAreFreedWhenANewThreadEnters) {
  TTestScript script;
  script.Proc(u"P", 0, false, [](TAsm& a) { a.Emit(icRet); });
  auto vm = script.Run();
  TVMIndexes& index = TVMIndexes::Instance();
  std::thread([&] { vm->RunProc(WideString(u"P")); }).join();
  const int32_t withEndedThread = index.ThreadCount();
  int32_t whileSecondRuns = 0;
  std::thread([&] {
    vm->RunProc(WideString(u"P"));
    whileSecondRuns = index.ThreadCount();
  }).join();
  EXPECT_EQ(whileSecondRuns, withEndedThread);
}

}  // namespace
}  // namespace qob::vmtest
