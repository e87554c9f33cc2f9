// Comparison and concatenation of Variants.
#include <cmath>

#include "ole/decimal.h"
#include "ole/variant_convert.h"
#include "ole/variant_ops.h"
#include "ole/variant_support.h"
#include "rtl/datetime.h"
#include "rtl/exceptions.h"
#include "rtl/numconv.h"
#include "rtl/unicode.h"

namespace qob {

using namespace variant_detail;

namespace {

template <class T>
int Order(T a, T b) {
  if (a < b) return VARCMP_LT;
  if (b < a) return VARCMP_GT;
  return VARCMP_EQ;
}

bool IsAscii(std::u16string_view text) {
  for (char16_t c : text)
    if (c >= 0x80) return false;
  return true;
}

char16_t AsciiUpper(char16_t c) {
  return c >= u'a' && c <= u'z' ? c - (u'a' - u'A') : c;
}

int CompareStrings(std::u16string_view a, std::u16string_view b, unsigned flags) {
  if ((flags & kCompareIgnoreCase) == 0) return Order(a.compare(b), 0);
  if (IsAscii(a) && IsAscii(b)) {
    // The common case needs no upper-cased copies.
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
      const char16_t x = AsciiUpper(a[i]), y = AsciiUpper(b[i]);
      if (x != y) return Order(x, y);
    }
    return Order(a.size(), b.size());
  }
  const WideString ua = UpperCase(a), ub = UpperCase(b);
  return Order(ua.view().compare(ub.view()), 0);
}

bool IsFloatKind(VarKind k) {
  return k == VarKind::kSingle || k == VarKind::kDouble || k == VarKind::kDate;
}

// Both operands are numeric (Empty, Boolean, integers, floats, Currency, Date, Decimal).
int CompareNumbers(const Variant& l, const Variant& r) {
  const VarKind lk = KindOf(l.VType), rk = KindOf(r.VType);
  if (lk == VarKind::kDecimal || rk == VarKind::kDecimal) {
    // A Double beyond the Decimal range still orders correctly as a Double.
    const Variant& other = lk == VarKind::kDecimal ? r : l;
    if (IsFloatKind(KindOf(other.VType)) && !(std::fabs(DoubleValue(other)) < 7.9e28))
      return Order(DoubleValue(l), DoubleValue(r));
    return Order(DecimalCompare(DecimalValue(l), DecimalValue(r)), 0);
  }
  if (IsIntegerKind(lk) && IsIntegerKind(rk)) return Order(IntegerValue(l), IntegerValue(r));
  if ((lk == VarKind::kCurrency || IsIntegerKind(lk)) &&
      (rk == VarKind::kCurrency || IsIntegerKind(rk))) {
    auto scaled = [](const Variant& v, VarKind k) {
      return k == VarKind::kCurrency ? static_cast<__int128>(v.VCurrency)
                                     : static_cast<__int128>(IntegerValue(v)) * kCurrencyScale;
    };
    return Order(scaled(l, lk), scaled(r, rk));
  }
  // A Single against a floating value compares at Single precision, as OLE does.
  if ((lk == VarKind::kSingle && IsFloatKind(rk)) || (rk == VarKind::kSingle && IsFloatKind(lk)))
    return Order(static_cast<float>(DoubleValue(l)), static_cast<float>(DoubleValue(r)));
  return Order(DoubleValue(l), DoubleValue(r));
}

// A string against a number compares numerically when the string reads as a
// number (or, against a Date, as a date); otherwise the string is greater.
int CompareStringWithNumber(std::u16string_view text, const Variant& number, bool textOnLeft) {
  double value = 0;
  bool numeric = TryStrToFloat(text, value);
  if (!numeric && number.VType == varDate) numeric = TryStrToDateTime(text, value);
  if (!numeric) return textOnLeft ? VARCMP_GT : VARCMP_LT;
  const Variant parsed(value);
  return textOnLeft ? CompareNumbers(parsed, number) : CompareNumbers(number, parsed);
}

Variant Concatenate(const WideString& a, const WideString& b) {
  if (a.empty()) return Variant(b);
  if (b.empty()) return Variant(a);
  return Variant(a + b);  // one allocation for the joined text
}

}  // namespace

int VarCmp(const Variant& left, const Variant& right, unsigned flags) {
  const Variant& dl = left.Deref();
  const Variant& dr = right.Deref();
  if (dl.VType == varOleStr && dr.VType == varOleStr)
    return CompareStrings(dl.StringView(), dr.StringView(), flags);
  if (dl.VType == varInteger && dr.VType == varInteger) return Order(dl.VInteger, dr.VInteger);
  if (dl.VType == varDouble && dr.VType == varDouble) return Order(dl.VDouble, dr.VDouble);

  Variant leftHolder, rightHolder;
  const Variant* l = ScalarValue(left, leftHolder);
  const Variant* r = ScalarValue(right, rightHolder);
  if (!l || !r) throw EVariantInvalidOpError();
  if (l->VType == varNull || r->VType == varNull) return VARCMP_NULL;
  if (l->VType == varError || r->VType == varError) {
    if (l->VType != r->VType) RaiseCastError(varError, l->VType == varError ? r->VType : l->VType);
    return Order(l->VError, r->VError);
  }
  const VarKind lk = KindOf(l->VType), rk = KindOf(r->VType);
  if (lk == VarKind::kOther || rk == VarKind::kOther) throw EVariantInvalidOpError();
  if (lk == VarKind::kString || rk == VarKind::kString) {
    if (lk == rk) return CompareStrings(l->StringView(), r->StringView(), flags);
    if (lk == VarKind::kEmpty || rk == VarKind::kEmpty)
      return CompareStrings(l->StringView(), r->StringView(), flags);  // Empty reads as ""
    return lk == VarKind::kString ? CompareStringWithNumber(l->StringView(), *r, true)
                                  : CompareStringWithNumber(r->StringView(), *l, false);
  }
  return CompareNumbers(*l, *r);
}

Variant VarCat(const Variant& left, const Variant& right) {
  const Variant& dl = left.Deref();
  const Variant& dr = right.Deref();
  if (dl.VType == varOleStr && dr.VType == varOleStr) return Concatenate(dl.String(), dr.String());

  Variant leftHolder, rightHolder;
  const Variant* l = ScalarValue(left, leftHolder);
  const Variant* r = ScalarValue(right, rightHolder);
  if (!l || !r) throw EVariantInvalidOpError();
  if (l->VType == varNull && r->VType == varNull) return Variant::Null();
  for (const Variant* v : {l, r}) {
    if (v->VType == varError) RaiseCastError(varError, varOleStr);
    if (KindOf(v->VType) == VarKind::kOther) throw EVariantInvalidOpError();
  }
  return Concatenate(VarToStr(*l), VarToStr(*r));
}

}  // namespace qob
