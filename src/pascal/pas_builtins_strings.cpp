// String built-ins. Index arithmetic is done in 64 bits so that huge
// indexes and counts clamp to the text instead of overflowing.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ole/safearray.h"
#include "ole/variant_convert.h"
#include "pascal/pas_builtins.h"
#include "rtl/unicode.h"
#include "vm/vm_invoke.h"

namespace qob::pas_builtins {

namespace {

char16_t AsciiUpper(char16_t c) noexcept {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

char16_t AsciiLower(char16_t c) noexcept {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

template <class Map>
WideString MapChars(const Variant& AValue, Map AMap) {
  std::u16string text(VarToStr(AValue).view());
  for (char16_t& c : text) c = AMap(c);
  return WideString(text);
}

// Ordinal comparison, optionally folding ASCII letters to upper case.
int32_t CompareOrdinal(std::u16string_view A, std::u16string_view B, bool AIgnoreCase) {
  const size_t common = std::min(A.size(), B.size());
  for (size_t i = 0; i < common; ++i) {
    const char16_t a = AIgnoreCase ? AsciiUpper(A[i]) : A[i];
    const char16_t b = AIgnoreCase ? AsciiUpper(B[i]) : B[i];
    if (a != b) return static_cast<int32_t>(a) - static_cast<int32_t>(b);
  }
  return A.size() < B.size() ? -1 : (A.size() > B.size() ? 1 : 0);
}

int32_t Sign(int AValue) noexcept {
  return AValue < 0 ? -1 : (AValue > 0 ? 1 : 0);
}

bool IsBlankChar(char16_t c) noexcept {
  return c <= u' ';
}

bool IsAsciiLetter(char16_t c) noexcept {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The part of a text of ALength characters that starts at the 1-based
// AIndex (below 1 counts as 1) and runs at most ACount characters, as a
// 0-based offset and a length; empty when AIndex is past the end or ACount
// is not positive.
struct TTextRange {
  size_t Offset = 0;
  size_t Length = 0;
};

TTextRange ClampRange(size_t ALength, int64_t AIndex, int64_t ACount) {
  const int64_t length = static_cast<int64_t>(ALength);
  const int64_t first = std::max<int64_t>(AIndex, 1);
  if (first > length || ACount <= 0) return {};
  const int64_t count = std::min(ACount, length - first + 1);
  return {static_cast<size_t>(first - 1), static_cast<size_t>(count)};
}

// Copy of an array: elements Index .. Index+Count-1 of dimension 1, clamped
// to its bounds, as a new array indexed from 0; the empty value when none.
Variant CopyArray(const TSafeArray& AArray, int64_t AIndex, int64_t ACount) {
  const int64_t low = SafeArrayLowBound(AArray, 1);
  const int64_t high = SafeArrayHighBound(AArray, 1);
  const int64_t lo = std::max(low, AIndex);
  const int64_t hi = std::min(high, lo + ACount - 1);
  if (hi < lo) return Variant();
  const TSafeArrayBound bound{0, static_cast<int32_t>(hi - lo + 1)};
  TSafeArray* copy = SafeArrayCreate(AArray.ElementType, std::span(&bound, 1));
  Variant result = Variant::FromArray(copy);
  // Further dimensions, if any, are read at their lower bounds.
  std::vector<int32_t> index(AArray.Bounds.size());
  for (size_t d = 0; d < index.size(); ++d) index[d] = AArray.Bounds[d].LowBound;
  for (int64_t i = lo; i <= hi; ++i) {
    index[0] = static_cast<int32_t>(i);
    const int32_t target = static_cast<int32_t>(i - lo);
    SafeArrayElement(*copy, std::span(&target, 1)) = SafeArrayGetElement(AArray, index);
  }
  return result;
}

}  // namespace

void TLowerCase::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(MapChars(Arg(AArgs, 0), AsciiLower));
}

void TUpperCase::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(MapChars(Arg(AArgs, 0), AsciiUpper));
}

void TAnsiLowerCase::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(LowerCase(VarToStr(Arg(AArgs, 0))));
}

void TAnsiUpperCase::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(UpperCase(VarToStr(Arg(AArgs, 0))));
}

void TCompareStr::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(CompareOrdinal(VarToStr(Arg(AArgs, 0)), VarToStr(Arg(AArgs, 1)), false));
}

void TCompareText::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(CompareOrdinal(VarToStr(Arg(AArgs, 0)), VarToStr(Arg(AArgs, 1)), true));
}

void TAnsiCompareStr::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(Sign(AnsiCompareStr(VarToStr(Arg(AArgs, 0)), VarToStr(Arg(AArgs, 1)))));
}

void TAnsiCompareText::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(Sign(AnsiCompareText(VarToStr(Arg(AArgs, 0)), VarToStr(Arg(AArgs, 1)))));
}

void TTrim::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(WideString(TrimView(VarToStr(Arg(AArgs, 0)))));
}

void TTrimLeft::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const WideString text = VarToStr(Arg(AArgs, 0));
  std::u16string_view view = text.view();
  while (!view.empty() && IsBlankChar(view.front())) view.remove_prefix(1);
  AResult = Variant(WideString(view));
}

void TTrimRight::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const WideString text = VarToStr(Arg(AArgs, 0));
  std::u16string_view view = text.view();
  while (!view.empty() && IsBlankChar(view.back())) view.remove_suffix(1);
  AResult = Variant(WideString(view));
}

void TPos::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const WideString sub = VarToStr(Arg(AArgs, 0));
  const WideString text = VarToStr(Arg(AArgs, 1));
  const size_t at = sub.empty() ? std::u16string_view::npos : text.view().find(sub.view());
  AResult = Variant(at == std::u16string_view::npos ? 0 : static_cast<int32_t>(at + 1));
}

void TCopy::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const Variant& source = Arg(AArgs, 0);
  const int64_t index = VarToInt32(Arg(AArgs, 1));
  const int64_t count = VarToInt32(Arg(AArgs, 2));
  if (const TSafeArray* array = QOBArrayOf(source)) {
    AResult = CopyArray(*array, index, count);
    return;
  }
  const WideString text = VarToStr(source);
  const TTextRange range = ClampRange(text.size(), index, count);
  AResult = Variant(WideString(text.view().substr(range.Offset, range.Length)));
}

void TInsert::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  (void)AResult;
  const WideString source = VarToStr(Arg(AArgs, 0));
  const WideString target = VarToStr(Arg(AArgs, 1));
  const int64_t index = VarToInt32(Arg(AArgs, 2));
  if (!IsVarArg(AArgs[1])) return;
  const int64_t offset = std::clamp<int64_t>(index - 1, 0, static_cast<int64_t>(target.size()));
  std::u16string text(target.view());
  text.insert(static_cast<size_t>(offset), source.view());
  SetVarArg(AArgs[1], Variant(WideString(text)));
}

void TDelete::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  (void)AResult;
  const WideString target = VarToStr(Arg(AArgs, 0));
  const int64_t index = VarToInt32(Arg(AArgs, 1));
  const int64_t count = VarToInt32(Arg(AArgs, 2));
  if (!IsVarArg(AArgs[0])) return;
  // Deleting from outside the text changes nothing.
  if (index < 1) return;
  const TTextRange range = ClampRange(target.size(), index, count);
  if (range.Length == 0) return;
  std::u16string text(target.view());
  text.erase(range.Offset, range.Length);
  SetVarArg(AArgs[0], Variant(WideString(text)));
}

void TChr::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const auto code = static_cast<char16_t>(VarToInt32(Arg(AArgs, 0)) & 0xFFFF);
  AResult = Variant(WideString(std::u16string_view(&code, 1)));
}

void TOrd::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const Variant& value = Arg(AArgs, 0);
  if (value.IsString()) {
    const std::u16string_view text = value.StringView();
    AResult = Variant(text.empty() ? 0 : static_cast<int32_t>(text.front()));
  } else {
    AResult = Variant(VarToInt32(value));
  }
}

void TIsValidIdent::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const WideString text = VarToStr(Arg(AArgs, 0));
  bool valid = !text.empty() && (IsAsciiLetter(text[0]) || text[0] == u'_');
  for (size_t i = 1; valid && i < text.size(); ++i) {
    const char16_t c = text[i];
    valid = IsAsciiLetter(c) || c == u'_' || (c >= u'0' && c <= u'9');
  }
  AResult = Variant(valid);
}

}  // namespace qob::pas_builtins
