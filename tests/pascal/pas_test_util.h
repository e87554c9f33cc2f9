// Helpers shared by the Pascal front-end tests.
#pragma once

#include <string>
#include <string_view>

#include "ole/widestring.h"

namespace qob::testing {

// UTF-8 of a UTF-16 text: comparisons then print readably when they fail.
inline std::string U8(std::u16string_view text) {
  return Utf16ToUtf8(text);
}

}  // namespace qob::testing
