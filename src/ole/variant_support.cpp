#include "ole/variant_support.h"

#include <cmath>
#include <string>

#include "ole/decimal.h"
#include "ole/safearray.h"
#include "ole/variant_convert.h"
#include "rtl/exceptions.h"
#include "rtl/numconv.h"

namespace qob::variant_detail {

namespace {

// An object's default value may be another object; a cycle must not hang.
constexpr int kMaxDefaultValueDepth = 8;

Variant LoadByRef(const Variant& v) {
  if (!v.VPointer) throw EVariantBadVarTypeError();
  const TVarType base = static_cast<TVarType>(v.VType & ~varByRef);
  const void* p = v.VPointer;
  if (base & varArray) {
    const TSafeArray* array = *static_cast<TSafeArray* const*>(p);
    return array ? Variant::FromArray(SafeArrayCopy(*array)) : Variant();
  }
  switch (base) {
    case varSmallint:
      return Variant::FromSmallint(*static_cast<const int16_t*>(p));
    case varInteger:
      return Variant(*static_cast<const int32_t*>(p));
    case varSingle:
      return Variant::FromSingle(*static_cast<const float*>(p));
    case varDouble:
      return Variant(*static_cast<const double*>(p));
    case varCurrency:
      return Variant::FromCurrency(*static_cast<const int64_t*>(p));
    case varDate:
      return Variant::FromDate(*static_cast<const double*>(p));
    case varOleStr: {
      WideString::Rep* rep = *static_cast<WideString::Rep* const*>(p);
      WideString::AddRef(rep);
      return Variant(WideString::Adopt(rep));
    }
    case varDispatch:
      return Variant(*static_cast<IDispatch* const*>(p));
    case varError:
      return Variant::FromError(*static_cast<const HRESULT*>(p));
    case varBoolean:
      return Variant(*static_cast<const int16_t*>(p) != 0);
    case varUnknown:
      return Variant::FromUnknown(*static_cast<IUnknown* const*>(p));
    case varDecimal:
      return Variant::FromDecimal(*static_cast<const TDecimal*>(p));
    case varShortInt:
      return Variant::FromShortInt(*static_cast<const int8_t*>(p));
    case varByte:
      return Variant::FromByte(*static_cast<const uint8_t*>(p));
    case varWord:
      return Variant::FromWord(*static_cast<const uint16_t*>(p));
    case varLongWord:
      return Variant::FromLongWord(*static_cast<const uint32_t*>(p));
    case varInt64:
      return Variant(*static_cast<const int64_t*>(p));
    default:
      throw EVariantBadVarTypeError();
  }
}

}  // namespace

const Variant& LoadValue(const Variant& value, Variant& holder) {
  const Variant& v = value.Deref();
  if ((v.VType & varByRef) == 0) return v;
  if (v.VType == varVariantRef) return VarUnassigned();  // a nil reference
  holder = LoadByRef(v);
  return holder;
}

bool TryDefaultValue(IDispatch* object, Variant& result) {
  if (!object) return false;
  DISPPARAMS params;
  EXCEPINFO excepInfo;
  Variant out;
  const HRESULT hr = object->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &params, &out,
                                    &excepInfo, nullptr);
  if (Succeeded(hr)) {
    result = std::move(out);
    return true;
  }
  if (hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_UNKNOWNNAME || hr == E_NOTIMPL ||
      hr == DISP_E_BADPARAMCOUNT)
    return false;
  if (hr == DISP_E_EXCEPTION)
    throw EOleException(excepInfo.bstrDescription, excepInfo.scode != S_OK ? excepInfo.scode : hr,
                        excepInfo.bstrSource, excepInfo.bstrHelpFile,
                        static_cast<int>(excepInfo.dwHelpContext));
  throw EOleSysError(WideString(), hr);
}

const Variant* ScalarValue(const Variant& value, Variant& holder) {
  const Variant* v = &LoadValue(value, holder);
  for (int depth = 0; v->VType == varDispatch; ++depth) {
    Variant next;
    if (depth == kMaxDefaultValueDepth || !TryDefaultValue(v->VDispatch, next)) return nullptr;
    Variant loadedHolder;
    Variant loaded(LoadValue(next, loadedHolder));
    holder = std::move(loaded);
    v = &holder;
  }
  return v;
}

void RaiseCastError(TVarType from, TVarType to) {
  std::u16string text = u"Could not convert variant of type (";
  text += VarTypeName(from);
  text += u") into type (";
  text += VarTypeName(to);
  text += u")";
  throw EVariantTypeCastError(WideString(text));
}

void RaiseOverflowError(TVarType from, TVarType to) {
  std::u16string text = u"Arithmetic overflow converting variant of type (";
  text += VarTypeName(from);
  text += u") into type (";
  text += VarTypeName(to);
  text += u")";
  throw EVariantOverflowError(WideString(text));
}

void RaiseNullError() {
  throw EVariantError();
}

bool TryRoundToInt64(double value, int64_t& result) noexcept {
  const double r = std::nearbyint(value);  // the default mode rounds ties to even
  if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) return false;
  result = static_cast<int64_t>(r);
  return true;
}

bool TryCurrencyFromDouble(double value, int64_t& scaled) noexcept {
  return TryRoundToInt64(value * static_cast<double>(kCurrencyScale), scaled);
}

int64_t CurrencyToWhole(int64_t scaled) noexcept {
  int64_t q = scaled / kCurrencyScale;
  const int64_t r = scaled % kCurrencyScale;  // carries the sign of `scaled`
  const int64_t half = kCurrencyScale / 2;
  if (r > half || (r == half && (q & 1) != 0)) ++q;
  if (r < -half || (r == -half && (q & 1) != 0)) --q;
  return q;
}

bool TryParseBooleanText(std::u16string_view text, bool& value) noexcept {
  size_t begin = 0, end = text.size();
  while (begin < end && text[begin] <= u' ') ++begin;
  while (end > begin && text[end - 1] <= u' ') --end;
  const std::u16string_view word = text.substr(begin, end - begin);
  auto same = [word](std::u16string_view lower) {
    if (word.size() != lower.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
      char16_t c = word[i];
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
      if (c != lower[i]) return false;
    }
    return true;
  };
  if (same(u"true")) {
    value = true;
    return true;
  }
  if (same(u"false")) {
    value = false;
    return true;
  }
  return false;
}

VarKind KindOf(TVarType type) noexcept {
  switch (type) {
    case varEmpty:
      return VarKind::kEmpty;
    case varNull:
      return VarKind::kNull;
    case varBoolean:
      return VarKind::kBoolean;
    case varByte:
      return VarKind::kByte;
    case varSmallint:
    case varShortInt:
      return VarKind::kSmallint;
    case varInteger:
    case varWord:
      return VarKind::kInteger;
    case varInt64:
    case varLongWord:
      return VarKind::kInt64;
    case varSingle:
      return VarKind::kSingle;
    case varDouble:
      return VarKind::kDouble;
    case varCurrency:
      return VarKind::kCurrency;
    case varDate:
      return VarKind::kDate;
    case varDecimal:
      return VarKind::kDecimal;
    case varOleStr:
      return VarKind::kString;
    default:
      return VarKind::kOther;
  }
}

bool IsIntegerKind(VarKind kind) noexcept {
  return kind == VarKind::kEmpty || kind == VarKind::kBoolean || kind == VarKind::kByte ||
         kind == VarKind::kSmallint || kind == VarKind::kInteger || kind == VarKind::kInt64;
}

int64_t IntegerValue(const Variant& v) noexcept {
  switch (v.VType) {
    case varBoolean:
      return v.VBoolean != 0 ? -1 : 0;
    case varByte:
      return v.VByte;
    case varSmallint:
      return v.VSmallInt;
    case varShortInt:
      return v.VShortInt;
    case varInteger:
      return v.VInteger;
    case varWord:
      return v.VWord;
    case varLongWord:
      return v.VLongWord;
    case varInt64:
      return v.VInt64;
    default:
      return 0;
  }
}

double DoubleValue(const Variant& v) noexcept {
  switch (v.VType) {
    case varSingle:
      return v.VSingle;
    case varDouble:
      return v.VDouble;
    case varDate:
      return v.VDate;
    case varCurrency:
      return static_cast<double>(v.VCurrency) / static_cast<double>(kCurrencyScale);
    case varDecimal:
      return DecimalToDouble(v.Decimal());
    default:
      return static_cast<double>(IntegerValue(v));
  }
}

int64_t CurrencyValue(const Variant& v) {
  if (v.VType == varCurrency) return v.VCurrency;
  int64_t scaled = 0;
  if (v.VType == varDecimal) {
    if (!TryDecimalToCurrency(v.Decimal(), scaled)) RaiseOverflowError(v.VType, varCurrency);
    return scaled;
  }
  if (IsIntegerKind(KindOf(v.VType))) {
    if (__builtin_mul_overflow(IntegerValue(v), kCurrencyScale, &scaled))
      RaiseOverflowError(v.VType, varCurrency);
    return scaled;
  }
  if (!TryCurrencyFromDouble(DoubleValue(v), scaled)) RaiseOverflowError(v.VType, varCurrency);
  return scaled;
}

TDecimal DecimalValue(const Variant& v) {
  switch (v.VType) {
    case varDecimal:
      return v.Decimal();
    case varCurrency:
      return DecimalFromCurrency(v.VCurrency);
    case varSingle:
    case varDouble:
    case varDate: {
      TDecimal d;
      if (!TryDecimalFromDouble(DoubleValue(v), d)) RaiseOverflowError(v.VType, varDecimal);
      return d;
    }
    default:
      return DecimalFromInt64(IntegerValue(v));
  }
}

double StringToDouble(std::u16string_view text) {
  double value = 0;
  switch (ReadFloatText(text, value)) {
    case FloatTextResult::kOk:
      return value;
    case FloatTextResult::kTooLarge:
      RaiseOverflowError(varOleStr, varDouble);
    case FloatTextResult::kInvalid:
      break;
  }
  bool flag = false;
  if (TryParseBooleanText(text, flag)) return flag ? -1.0 : 0.0;
  RaiseCastError(varOleStr, varDouble);
}

}  // namespace qob::variant_detail
