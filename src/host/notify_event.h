// Notify events: bound methods that receive the sender only. They are held
// as TMethod so that they can live in published event properties.
#pragma once

#include "rtl/persistent.h"

namespace qob {

using TNotifyEvent = TMethod;
// The type record of notify event properties.
inline constexpr TTypeRecord kNotifyEventType{tkMethod, u"TNotifyEvent"};
// The code of a notify event: the bound object, then the sender.
using TNotifyEventCode = void (*)(void* AData, TObject* ASender);

inline TNotifyEvent MakeNotifyEvent(TNotifyEventCode ACode, void* AData) noexcept {
  return {reinterpret_cast<TMethod::TCode>(ACode), AData};
}

// A notify event bound to `AObject`'s member function `Method`.
template <class C, void (C::*Method)(TObject*)>
TNotifyEvent MakeNotifyEvent(C* AObject) noexcept {
  return MakeNotifyEvent(
      [](void* AData, TObject* ASender) { (static_cast<C*>(AData)->*Method)(ASender); }, AObject);
}

inline void CallNotifyEvent(const TNotifyEvent& AEvent, TObject* ASender) {
  if (AEvent.Assigned()) reinterpret_cast<TNotifyEventCode>(AEvent.Code)(AEvent.Data, ASender);
}

}  // namespace qob
