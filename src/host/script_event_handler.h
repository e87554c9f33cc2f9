// Script event handlers: objects that let a script procedure serve as the
// handler of an event property of a host object.
#pragma once

#include <memory>

#include "ole/widestring.h"
#include "rtl/object.h"
#include "rtl/persistent.h"

namespace qob {

class TQOBScriptControl;

// One handler per (event signature, procedure) of a control. A concrete class
// per event signature returns from GetHandler a bound method of that
// signature that runs the procedure ProcName of Owner.
class TQOBScriptEventHandler : public TObject {
  QOB_CLASS(TQOBScriptEventHandler, TObject)
 public:
  TQOBScriptEventHandler(TQOBScriptControl* AOwner, WideString AProcName)
      : FOwner(AOwner), FProcName(std::move(AProcName)) {}

  // The method to install in an event property.
  virtual TMethod GetHandler() = 0;

  TQOBScriptControl* Owner() const noexcept { return FOwner; }
  const WideString& ProcName() const noexcept { return FProcName; }

 private:
  TQOBScriptControl* FOwner;
  WideString FProcName;
};

// A handler class as a value, which event types name as their script handler
// class: its class record, to tell handlers of different signatures apart,
// and its constructor.
struct TQOBScriptEventHandlerClass {
  TClass ClassType;
  std::unique_ptr<TQOBScriptEventHandler> (*Create)(TQOBScriptControl* AOwner,
                                                    const WideString& AProcName);

  template <class THandler>
  static constexpr TQOBScriptEventHandlerClass Of() noexcept {
    return {THandler::StaticClass(),
            [](TQOBScriptControl* AOwner,
               const WideString& AProcName) -> std::unique_ptr<TQOBScriptEventHandler> {
              return std::make_unique<THandler>(AOwner, AProcName);
            }};
  }
};

}  // namespace qob
