#include "rtl/dialogs.h"

#include <unistd.h>

#include <atomic>
#include <iostream>
#include <mutex>
#include <string>

namespace qob {

namespace {

// Message-box button ids by button set (the low four flag bits); the user of a console
// cannot press anything, so the box answers with its default button.
int DefaultButton(int flags) {
  static constexpr int kButtons[][3] = {
      {1, 0, 0},    // OK
      {1, 2, 0},    // OK, Cancel
      {3, 4, 5},    // Abort, Retry, Ignore
      {6, 7, 2},    // Yes, No, Cancel
      {6, 7, 0},    // Yes, No
      {4, 2, 0},    // Retry, Cancel
      {2, 10, 11},  // Cancel, Try again, Continue
  };
  const int set = flags & 0xF;
  if (set >= static_cast<int>(std::size(kButtons))) return 1;
  const int chosen = (flags >> 8) & 0xF;  // the default-button flags 0x100, 0x200
  const int button = chosen < 3 ? kButtons[set][chosen] : 0;
  return button ? button : kButtons[set][0];
}

// Writes to standard output and reads standard input; one dialog at a time.
class ConsoleUserInterface final : public IUserInterface {
 public:
  void ShowMessage(const WideString& text) override {
    std::lock_guard<std::mutex> lock(FLock);
    std::cout << text.ToUtf8() << '\n' << std::flush;
  }

  int MsgBox(const WideString& text, int flags, const WideString&) override {
    ShowMessage(text);
    return DefaultButton(flags);
  }

  bool InputQuery(const WideString&, const WideString& prompt, WideString& value) override {
    std::lock_guard<std::mutex> lock(FLock);
    std::cout << prompt.ToUtf8() << '\n' << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return false;  // end of input: cancelled
    if (!line.empty() && line.back() == '\r') line.pop_back();
    value = WideString::FromUtf8(line);
    return true;
  }

  void Beep() override {
    // Only a terminal can ring; a bell character in redirected output would be noise.
    if (isatty(STDERR_FILENO)) std::cerr << '\a' << std::flush;
  }

 private:
  std::mutex FLock;
};

ConsoleUserInterface& Console() {
  static ConsoleUserInterface console;
  return console;
}

std::atomic<IUserInterface*> installed{nullptr};

}  // namespace

IUserInterface& UserInterface() {
  IUserInterface* ui = installed.load(std::memory_order_acquire);
  return ui ? *ui : Console();
}

void SetUserInterface(IUserInterface* ui) {
  installed.store(ui, std::memory_order_release);
}

void ShowMessage(const WideString& text) {
  UserInterface().ShowMessage(text);
}

int MsgBox(const WideString& text, int flags, const WideString& caption) {
  return UserInterface().MsgBox(text, flags, caption);
}

WideString InputBox(const WideString& caption, const WideString& prompt,
                    const WideString& defaultValue) {
  WideString value = defaultValue;
  return UserInterface().InputQuery(caption, prompt, value) ? value : defaultValue;
}

bool InputQuery(const WideString& caption, const WideString& prompt, WideString& value) {
  return UserInterface().InputQuery(caption, prompt, value);
}

void Beep() {
  UserInterface().Beep();
}

}  // namespace qob
