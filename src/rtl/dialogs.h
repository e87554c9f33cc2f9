// The user-interface hook: message box, input box and beep. One process-wide
// implementation; the default writes to stdout and reads stdin: a message prints its text
// and a newline, a message box answers with its default button, an input box prints its
// prompt and a newline and reads one line (end of input cancels).
#pragma once

#include "ole/widestring.h"

namespace qob {

class IUserInterface {
 public:
  virtual ~IUserInterface() = default;
  virtual void ShowMessage(const WideString& text) = 0;
  // Buttons and icon as the message-box flags; returns the button pressed
  // (1 OK, 2 Cancel, 6 Yes, 7 No, ...).
  virtual int MsgBox(const WideString& text, int flags, const WideString& caption) = 0;
  // False when the user cancelled; `value` holds the default on entry.
  virtual bool InputQuery(const WideString& caption, const WideString& prompt,
                          WideString& value) = 0;
  virtual void Beep() = 0;
};

// The installed hook (the console one unless a host set another).
IUserInterface& UserInterface();
// Installs `ui` (not owned; nullptr restores the console default). Safe from any thread.
void SetUserInterface(IUserInterface* ui);

void ShowMessage(const WideString& text);
int MsgBox(const WideString& text, int flags = 0, const WideString& caption = {});
WideString InputBox(const WideString& caption, const WideString& prompt,
                    const WideString& defaultValue);
bool InputQuery(const WideString& caption, const WideString& prompt, WideString& value);
void Beep();

}  // namespace qob
