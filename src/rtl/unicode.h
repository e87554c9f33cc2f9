// Unicode text helpers (ICU): casing and comparison.
#pragma once

#include <string_view>

#include "ole/widestring.h"

namespace qob {

// Full Unicode casing, the same in every locale (no Turkish dotted i).
WideString UpperCase(std::u16string_view text);
WideString LowerCase(std::u16string_view text);
// Ordinal comparison of code units: <0, 0, >0.
int CompareStr(std::u16string_view a, std::u16string_view b) noexcept;
// Locale-aware comparison (the user's collation), case-sensitive and insensitive.
int AnsiCompareStr(std::u16string_view a, std::u16string_view b);
int AnsiCompareText(std::u16string_view a, std::u16string_view b);
bool SameText(std::u16string_view a, std::u16string_view b);
// Leading and trailing characters up to U+0020 removed.
std::u16string_view TrimView(std::u16string_view text) noexcept;

}  // namespace qob
