// Raising EConvertError with a message that quotes the offending text.
#pragma once

#include <string_view>

namespace qob {

// `pattern` holds one "%s", replaced by `text`.
[[noreturn]] void RaiseConvertError(std::u16string_view pattern, std::u16string_view text);

}  // namespace qob
