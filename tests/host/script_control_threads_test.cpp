#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/script_control.h"
#include "ole/variant_convert.h"
#include "rtl/dialogs.h"
#include "rtl/threads.h"

namespace qob {
namespace {

// Records what scripts show and answers input boxes, noting the threads.
class RecordingUserInterface final : public IUserInterface {
 public:
  void ShowMessage(const WideString& AText) override {
    std::lock_guard lock(FLock);
    Shown.push_back(AText.ToUtf8());
    Threads.push_back(CurrentThreadId());
    MessageShown.SetEvent();
  }
  int MsgBox(const WideString& AText, int, const WideString&) override {
    ShowMessage(AText);
    return 1;
  }
  bool InputQuery(const WideString&, const WideString& APrompt, WideString& AValue) override {
    std::lock_guard lock(FLock);
    Shown.push_back("asked: " + APrompt.ToUtf8() + " (" + AValue.ToUtf8() + ")");
    Threads.push_back(CurrentThreadId());
    AValue = u"typed";
    return true;
  }
  void Beep() override {}

  std::vector<std::string> Shown;
  std::vector<uint64_t> Threads;
  TEvent MessageShown;

 private:
  std::mutex FLock;
};

class ScriptThreadsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetUserInterface(&ui); }
  void TearDown() override { SetUserInterface(nullptr); }

  std::unique_ptr<TQOBScriptControl> PascalControl(std::u16string_view ASource) {
    auto control = std::make_unique<TQOBScriptControl>(nullptr);
    control->SetLanguage(slPascal);
    control->Source().SetText(ASource);
    return control;
  }

  RecordingUserInterface ui;
};

TEST_F(ScriptThreadsTest, DialogsOfAWorkerThreadReachTheUserInterfaceHook) {
  auto control = PascalControl(
      u"procedure Ask;\nvar V;\nbegin\n  V := 'default';\n"
      u"  if InputQuery('Title', 'Name?', V) then ShowMessage('got ' + V);\nend;\n");
  uint64_t worker = 0;
  std::thread thread([&] {
    worker = CurrentThreadId();
    control->Open(true);
    control->RunProc(u"Ask");
    control->Close(true, true);
  });
  thread.join();
  EXPECT_EQ(ui.Shown, (std::vector<std::string>{"asked: Name? (default)", "got typed"}));
  EXPECT_EQ(ui.Threads, (std::vector<uint64_t>{worker, worker}));
  EXPECT_NE(worker, CurrentThreadId());
}

// Abort from another thread stops a script that would never end; the
// control can then be closed and opened again.
TEST_F(ScriptThreadsTest, AbortStopsAScriptRunningOnAnotherThread) {
  auto control = PascalControl(
      u"procedure Spin;\nbegin\n  ShowMessage('spinning');\n  while True do ;\nend;\n"
      u"function Answer;\nbegin\n  Result := 42;\nend;\n");
  control->SetExceptionSourceInfo(false);
  control->Open(true);
  std::u16string error;
  std::thread thread([&] {
    try {
      control->RunProc(u"Spin");
    } catch (const Exception& e) {
      error = e.Message().str();
    }
  });
  ASSERT_TRUE(ui.MessageShown.WaitFor(60000));
  control->Abort();
  thread.join();
  EXPECT_EQ(error, u"Script execution has been aborted.");
  EXPECT_THROW(control->RunProc(u"Answer"), Exception);  // the aborted module is gone
  control->Close(false, true);
  control->Open(true);
  EXPECT_EQ(VarToInt32(control->RunProc(u"Answer")), 42);
}

}  // namespace
}  // namespace qob
