// The source suffix of error messages: which script and where.
#pragma once

#include <string_view>

#include "ole/widestring.h"

namespace qob {

// True when the message already names a position: its last '[' is followed
// by "line:".
bool HasSourceInfo(std::u16string_view AMessage) noexcept;

// The message with "\r\nSource: $<source> [line: <line>, pos: <pos>]"
// appended, unless it already carries source information. An error passes
// through several activations on its way out and is described once, at the
// innermost one.
WideString AddSourceInfo(const WideString& AMessage, const void* ASource, int ALine, int APos);

}  // namespace qob
