// Message box, input box and beep, through the host's user-interface hook.
#include "ole/variant_convert.h"
#include "pascal/pas_builtins.h"
#include "rtl/dialogs.h"

namespace qob::pas_builtins {

void TShowMessage::DoExecute(const TQOBCall&, Variant* AArgs, Variant&) {
  ShowMessage(VarToStr(Arg(AArgs, 0)));
}

// The edit field starts with Value's text; only a confirmed input is written
// back, so cancelling leaves the variable as it was.
void TInputQuery::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const WideString caption = VarToStr(Arg(AArgs, 0));
  const WideString prompt = VarToStr(Arg(AArgs, 1));
  WideString value = VarToStr(Arg(AArgs, 2));
  const bool confirmed = InputQuery(caption, prompt, value);
  if (confirmed) SetVarArg(AArgs[2], Variant(value));
  AResult = Variant(confirmed);
}

void TBeep::DoExecute(const TQOBCall&, Variant*, Variant&) {
  Beep();
}

}  // namespace qob::pas_builtins
