// The compile error: an exception with the 1-based character position in the
// compiled text where compilation stopped. Each front end raises a subclass.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "ole/widestring.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"

namespace qob {

class EQOBCompileBase : public Exception {
  QOB_CLASS(EQOBCompileBase, Exception)
 public:
  EQOBCompileBase(WideString Msg, int32_t ASourcePos)
      : Exception(std::move(Msg)), FSourcePos(ASourcePos) {}
  // The message formatted with Args in the manner of Format.
  EQOBCompileBase(std::u16string_view Msg, int32_t ASourcePos,
                  std::initializer_list<FormatArg> Args)
      : Exception(Format(Msg, Args)), FSourcePos(ASourcePos) {}

  int32_t SourcePos() const noexcept { return FSourcePos; }

 private:
  int32_t FSourcePos;
};

// Raised by a front end for a global or used unit whose name is taken; the
// argument is the declared name.
inline constexpr std::u16string_view kQOBDuplicateNameMsg =
    u"Object or value named '%s' already exists.";

}  // namespace qob
