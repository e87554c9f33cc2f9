#include "rtl/dialogs.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <vector>

namespace qob {
namespace {

// Runs the console dialogs against string streams in place of stdin and stdout.
class ConsoleDialogs : public testing::Test {
 protected:
  void SetUp() override {
    SetUserInterface(nullptr);
    FOldOut = std::cout.rdbuf(FOut.rdbuf());
    FOldIn = std::cin.rdbuf(FIn.rdbuf());
  }
  void TearDown() override {
    std::cout.rdbuf(FOldOut);
    std::cin.rdbuf(FOldIn);
    std::cin.clear();
  }

  std::ostringstream FOut;
  std::istringstream FIn;
  std::streambuf* FOldOut = nullptr;
  std::streambuf* FOldIn = nullptr;
};

TEST_F(ConsoleDialogs, MessagesPrintTheirTextAndAnswerWithTheDefaultButton) {
  ShowMessage(u"héllo");
  EXPECT_EQ(MsgBox(u"plain"), 1);
  EXPECT_EQ(FOut.str(), "héllo\nplain\n");
  const struct {
    int Flags;
    int Button;
  } cases[] = {
      {0x0, 1}, {0x1, 1},   {0x101, 2}, {0x2, 3}, {0x202, 5}, {0x3, 6},
      {0x4, 6}, {0x104, 7}, {0x5, 4},   {0x6, 2}, {0x204, 6}, {0x7F, 1},
  };
  for (const auto& c : cases) EXPECT_EQ(MsgBox(u"?", c.Flags), c.Button) << std::hex << c.Flags;
}

TEST_F(ConsoleDialogs, InputReadsLinesUntilEndOfInput) {
  FIn.str("Bob\r\n\nlast");
  WideString value = u"default";
  EXPECT_TRUE(InputQuery(u"Caption", u"Name?", value));
  EXPECT_EQ(value.ToUtf8(), "Bob");
  EXPECT_EQ(InputBox(u"Caption", u"Empty?", u"x").ToUtf8(), "");  // confirmed empty
  EXPECT_EQ(InputBox(u"Caption", u"Last?", u"x").ToUtf8(), "last");
  value = u"kept";
  EXPECT_FALSE(InputQuery(u"Caption", u"More?", value));
  EXPECT_EQ(value.ToUtf8(), "kept");
  EXPECT_EQ(InputBox(u"Caption", u"Again?", u"fallback").ToUtf8(), "fallback");
  EXPECT_EQ(FOut.str(), "Name?\nEmpty?\nLast?\nMore?\nAgain?\n");
}

class RecordingUserInterface : public IUserInterface {
 public:
  void ShowMessage(const WideString& text) override { Calls.push_back("show " + text.ToUtf8()); }
  int MsgBox(const WideString& text, int flags, const WideString& caption) override {
    Calls.push_back("box " + text.ToUtf8() + " " + caption.ToUtf8());
    return flags + 1;
  }
  bool InputQuery(const WideString&, const WideString& prompt, WideString& value) override {
    Calls.push_back("input " + prompt.ToUtf8() + " " + value.ToUtf8());
    value = u"typed";
    return true;
  }
  void Beep() override { Calls.push_back("beep"); }
  std::vector<std::string> Calls;
};

TEST_F(ConsoleDialogs, AnInstalledInterfaceTakesOverUntilReset) {
  RecordingUserInterface recorder;
  SetUserInterface(&recorder);
  EXPECT_EQ(&UserInterface(), &recorder);
  ShowMessage(u"a");
  EXPECT_EQ(MsgBox(u"b", 4, u"c"), 5);
  EXPECT_EQ(InputBox(u"t", u"p", u"d").ToUtf8(), "typed");
  Beep();
  EXPECT_EQ(recorder.Calls, (std::vector<std::string>{"show a", "box b c", "input p d", "beep"}));
  EXPECT_EQ(FOut.str(), "");
  SetUserInterface(nullptr);
  EXPECT_NE(&UserInterface(), &recorder);
  ShowMessage(u"back");
  EXPECT_EQ(FOut.str(), "back\n");
}

}  // namespace
}  // namespace qob
