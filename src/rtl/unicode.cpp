#include "rtl/unicode.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace qob {

namespace {

icu::UnicodeString AliasOf(std::u16string_view text) {
  // Read-only alias: no copy of the caller's characters.
  return icu::UnicodeString(false, text.data(), static_cast<int32_t>(text.size()));
}

WideString ToWide(const icu::UnicodeString& s) {
  return WideString(std::u16string_view(s.getBuffer(), static_cast<size_t>(s.length())));
}

// The collation locale of the user ("de_DE.UTF-8" -> "de_DE"); the C locale collates by root.
icu::Locale UserCollationLocale() {
  for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (!value || !*value) continue;
    std::string tag(value);
    tag = tag.substr(0, tag.find_first_of(".@"));
    if (tag == "C" || tag == "POSIX") break;
    return icu::Locale(tag.c_str());
  }
  return icu::Locale::getRoot();
}

// Collators are built once; ICU allows concurrent compare() on a shared instance.
struct Collators {
  std::unique_ptr<icu::Collator> CaseSensitive;
  std::unique_ptr<icu::Collator> CaseInsensitive;

  Collators() {
    const icu::Locale locale = UserCollationLocale();
    UErrorCode status = U_ZERO_ERROR;
    CaseSensitive.reset(icu::Collator::createInstance(locale, status));
    if (U_FAILURE(status) || !CaseSensitive) {
      status = U_ZERO_ERROR;
      CaseSensitive.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
    }
    if (CaseSensitive) {
      CaseInsensitive.reset(CaseSensitive->clone());
      CaseInsensitive->setStrength(icu::Collator::SECONDARY);
    }
  }
};

const Collators& UserCollators() {
  static const Collators collators;
  return collators;
}

int Compare(const icu::Collator* collator, std::u16string_view a, std::u16string_view b) {
  if (!collator) return CompareStr(a, b);
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult result = collator->compare(
      a.data(), static_cast<int32_t>(a.size()), b.data(), static_cast<int32_t>(b.size()), status);
  if (U_FAILURE(status)) return CompareStr(a, b);
  return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

}  // namespace

namespace {

bool IsAscii(std::u16string_view text) {
  for (const char16_t c : text)
    if (c >= 0x80) return false;
  return true;
}

// ASCII text (most names) maps letter by letter; full casing of anything else may change
// the length (ß -> SS), which ICU handles.
WideString MapAscii(std::u16string_view text, char16_t from, char16_t to) {
  auto map = [&](char16_t c) -> char16_t {
    return c >= from && c <= from + 25 ? c - from + to : c;
  };
  char16_t small[64];
  if (text.size() <= std::size(small)) {
    for (size_t i = 0; i < text.size(); ++i) small[i] = map(text[i]);
    return WideString(small, text.size());
  }
  std::u16string mapped(text);
  for (char16_t& c : mapped) c = map(c);
  return WideString(mapped);
}

}  // namespace

WideString UpperCase(std::u16string_view text) {
  if (IsAscii(text)) return MapAscii(text, u'a', u'A');
  icu::UnicodeString s(text.data(), static_cast<int32_t>(text.size()));
  s.toUpper(icu::Locale::getRoot());
  return ToWide(s);
}

WideString LowerCase(std::u16string_view text) {
  if (IsAscii(text)) return MapAscii(text, u'A', u'a');
  icu::UnicodeString s(text.data(), static_cast<int32_t>(text.size()));
  s.toLower(icu::Locale::getRoot());
  return ToWide(s);
}

int CompareStr(std::u16string_view a, std::u16string_view b) noexcept {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return static_cast<int>(a[i]) - static_cast<int>(b[i]);
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int AnsiCompareStr(std::u16string_view a, std::u16string_view b) {
  return Compare(UserCollators().CaseSensitive.get(), a, b);
}

int AnsiCompareText(std::u16string_view a, std::u16string_view b) {
  return Compare(UserCollators().CaseInsensitive.get(), a, b);
}

bool SameText(std::u16string_view a, std::u16string_view b) {
  // Full case folding, the same in every locale (like name matching).
  return AliasOf(a).caseCompare(AliasOf(b), U_FOLD_CASE_DEFAULT) == 0;
}

std::u16string_view TrimView(std::u16string_view text) noexcept {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && text[begin] <= u' ') ++begin;
  while (end > begin && text[end - 1] <= u' ') --end;
  return text.substr(begin, end - begin);
}

}  // namespace qob
