#include "ole/variant_convert.h"

#include <cfloat>
#include <cmath>
#include <limits>
#include <memory>

#include "ole/decimal.h"
#include "ole/safearray.h"
#include "ole/variant_support.h"
#include "rtl/datetime.h"
#include "rtl/exceptions.h"
#include "rtl/format_settings.h"
#include "rtl/numconv.h"

namespace qob {

using namespace variant_detail;

namespace {

// A numeric source value in its exact form, before it is fitted to the target.
struct Number {
  enum class Kind { kInteger, kFloat, kCurrency, kDecimal } kind = Kind::kInteger;
  int64_t integer = 0;
  double real = 0;
  TDecimal decimal{};
};

Number IntegerNumber(int64_t value) {
  Number n;
  n.integer = value;
  return n;
}

Number FloatNumber(double value) {
  Number n;
  n.kind = Number::Kind::kFloat;
  n.real = value;
  return n;
}

bool IsIntegerTarget(TVarType type) {
  switch (type) {
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
      return true;
    default:
      return false;
  }
}

// A string read as a number for `target`: integers exactly where the text is
// a whole number, currency exactly, Decimal with all its digits; "True" and
// "False" count as -1 and 0.
Number ParseNumber(std::u16string_view text, TVarType target) {
  Number n;
  if (IsIntegerTarget(target) && TryStrToInt64(text, n.integer)) return n;
  if (target == varCurrency && TryStrToCurr(text, n.integer)) {
    n.kind = Number::Kind::kCurrency;
    return n;
  }
  if (target == varDecimal) {
    switch (TryStrToDecimal(text, n.decimal, FormatSettings().DecimalSeparator)) {
      case DecimalParseResult::kOk:
        n.kind = Number::Kind::kDecimal;
        return n;
      case DecimalParseResult::kOverflow:
        RaiseOverflowError(varOleStr, target);
      case DecimalParseResult::kInvalid:
        break;
    }
  }
  switch (ReadFloatText(text, n.real)) {
    case FloatTextResult::kOk:
      n.kind = Number::Kind::kFloat;
      return n;
    case FloatTextResult::kTooLarge:
      RaiseOverflowError(varOleStr, target);
    case FloatTextResult::kInvalid:
      break;
  }
  bool flag = false;
  if (TryParseBooleanText(text, flag)) return IntegerNumber(flag ? -1 : 0);
  RaiseCastError(varOleStr, target);
}

Number ReadNumber(const Variant& v, TVarType target) {
  switch (v.VType) {
    case varEmpty:
    case varBoolean:
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
      return IntegerNumber(IntegerValue(v));
    case varSingle:
    case varDouble:
    case varDate:
      return FloatNumber(DoubleValue(v));
    case varCurrency: {
      Number n = IntegerNumber(v.VCurrency);
      n.kind = Number::Kind::kCurrency;
      return n;
    }
    case varDecimal: {
      Number n;
      n.kind = Number::Kind::kDecimal;
      n.decimal = v.Decimal();
      return n;
    }
    case varOleStr:
      return ParseNumber(v.StringView(), target);
    case varError:
      if (IsIntegerTarget(target)) return IntegerNumber(v.VError);
      break;
    default:
      break;
  }
  RaiseCastError(v.VType, target);
}

int64_t WholeNumber(const Number& n, TVarType from, TVarType to) {
  int64_t value = 0;
  switch (n.kind) {
    case Number::Kind::kInteger:
      return n.integer;
    case Number::Kind::kFloat:
      if (!TryRoundToInt64(n.real, value)) RaiseOverflowError(from, to);
      return value;
    case Number::Kind::kCurrency:
      return CurrencyToWhole(n.integer);
    case Number::Kind::kDecimal:
      if (!TryDecimalToInt64(n.decimal, value)) RaiseOverflowError(from, to);
      return value;
  }
  return value;
}

double RealNumber(const Number& n) {
  switch (n.kind) {
    case Number::Kind::kInteger:
      return static_cast<double>(n.integer);
    case Number::Kind::kFloat:
      return n.real;
    case Number::Kind::kCurrency:
      return static_cast<double>(n.integer) / static_cast<double>(kCurrencyScale);
    case Number::Kind::kDecimal:
      return DecimalToDouble(n.decimal);
  }
  return 0;
}

bool IsNonZero(const Number& n) {
  switch (n.kind) {
    case Number::Kind::kInteger:
    case Number::Kind::kCurrency:
      return n.integer != 0;
    case Number::Kind::kFloat:
      return n.real != 0;
    case Number::Kind::kDecimal:
      return !DecimalIsZero(n.decimal);
  }
  return false;
}

template <class T>
T FitInteger(const Number& n, TVarType from, TVarType to) {
  const int64_t value = WholeNumber(n, from, to);
  if (value < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
      value > static_cast<int64_t>(std::numeric_limits<T>::max()))
    RaiseOverflowError(from, to);
  return static_cast<T>(value);
}

Variant NumberAsType(const Number& n, TVarType from, TVarType to) {
  switch (to) {
    case varSmallint:
      return Variant::FromSmallint(FitInteger<int16_t>(n, from, to));
    case varInteger:
      return Variant(FitInteger<int32_t>(n, from, to));
    case varShortInt:
      return Variant::FromShortInt(FitInteger<int8_t>(n, from, to));
    case varByte:
      return Variant::FromByte(FitInteger<uint8_t>(n, from, to));
    case varWord:
      return Variant::FromWord(FitInteger<uint16_t>(n, from, to));
    case varLongWord:
      return Variant::FromLongWord(FitInteger<uint32_t>(n, from, to));
    case varInt64:
      return Variant(WholeNumber(n, from, to));
    case varSingle: {
      const double d = RealNumber(n);
      if (std::isfinite(d) && std::fabs(d) > FLT_MAX) RaiseOverflowError(from, to);
      return Variant::FromSingle(static_cast<float>(d));
    }
    case varDouble:
      return Variant(RealNumber(n));
    case varDate: {
      const double d = RealNumber(n);
      if (!(d >= kMinDate && d < kMaxDateExclusive)) RaiseOverflowError(from, to);
      return Variant::FromDate(d);
    }
    case varCurrency: {
      int64_t scaled = 0;
      bool ok = true;
      switch (n.kind) {
        case Number::Kind::kInteger:
          ok = !__builtin_mul_overflow(n.integer, kCurrencyScale, &scaled);
          break;
        case Number::Kind::kFloat:
          ok = TryCurrencyFromDouble(n.real, scaled);
          break;
        case Number::Kind::kCurrency:
          scaled = n.integer;
          break;
        case Number::Kind::kDecimal:
          ok = TryDecimalToCurrency(n.decimal, scaled);
          break;
      }
      if (!ok) RaiseOverflowError(from, to);
      return Variant::FromCurrency(scaled);
    }
    case varDecimal: {
      TDecimal d{};
      switch (n.kind) {
        case Number::Kind::kInteger:
          d = DecimalFromInt64(n.integer);
          break;
        case Number::Kind::kFloat:
          if (!TryDecimalFromDouble(n.real, d)) RaiseOverflowError(from, to);
          break;
        case Number::Kind::kCurrency:
          d = DecimalFromCurrency(n.integer);
          break;
        case Number::Kind::kDecimal:
          d = n.decimal;
          break;
      }
      return Variant::FromDecimal(d);
    }
    case varBoolean:
      return Variant(IsNonZero(n));
    default:
      RaiseCastError(from, to);
  }
}

const WideString& TrueText() {
  static const WideString text(u"True");
  return text;
}

const WideString& FalseText() {
  static const WideString text(u"False");
  return text;
}

// Text of a loaded scalar; Null reads as empty text here (VarToStr).
WideString ScalarToText(const Variant& v) {
  switch (v.VType) {
    case varEmpty:
    case varNull:
      return {};
    case varOleStr:
      return v.String();
    case varBoolean:
      return v.VBoolean != 0 ? TrueText() : FalseText();
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varInt64:
      return IntToStr(IntegerValue(v));
    case varLongWord:
      return UIntToStr(v.VLongWord);
    case varSingle:
      return SingleToStr(v.VSingle);
    case varDouble:
      return FloatToStr(v.VDouble);
    case varCurrency:
      return CurrToStr(v.VCurrency);
    case varDate:
      return DateTimeToStr(v.VDate);
    case varDecimal:
      return WideString(DecimalToString(v.Decimal(), FormatSettings().DecimalSeparator));
    default:
      RaiseCastError(v.VType, varOleStr);
  }
}

Variant ArrayAsType(const Variant& v, TVarType type) {
  if (!v.IsArray() || !v.VArray) RaiseCastError(v.VType, type);
  const TVarType element = type & varTypeMask;
  auto copy = std::make_unique<TSafeArray>();
  copy->ElementType = element;
  copy->Bounds = v.VArray->Bounds;
  copy->Elements.reserve(v.VArray->Elements.size());
  for (const Variant& item : v.VArray->Elements)
    copy->Elements.push_back(element == varVariant ? item : VarAsType(item, element));
  return Variant::FromArray(copy.release());
}

Variant InterfaceAsType(const Variant& v, TVarType type) {
  IUnknown* object = v.VType == varDispatch ? v.VDispatch : v.VUnknown;
  if (!object)
    return type == varDispatch ? Variant(static_cast<IDispatch*>(nullptr))
                               : Variant::FromUnknown(nullptr);
  if (type == varUnknown) {
    ComPtr<IUnknown> unknown;
    if (Failed(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(unknown.put()))))
      RaiseCastError(v.VType, type);
    return Variant::FromUnknown(unknown.get());
  }
  ComPtr<IDispatch> dispatch;
  if (Failed(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.put()))) ||
      !dispatch)
    RaiseCastError(v.VType, type);
  return Variant(dispatch.get());
}

bool IsScalarType(TVarType type) {
  return type <= varInt64 && type != 15 && type != varVariant;
}

}  // namespace

Variant VarAsType(const Variant& value, TVarType type) {
  Variant holder;
  const Variant& v = LoadValue(value, holder);
  if (v.VType == type || type == varVariant) return v;
  if (type & varArray) return ArrayAsType(v, type);
  if (!IsScalarType(type)) throw EVariantBadVarTypeError();
  if (v.IsArray()) RaiseCastError(v.VType, type);
  switch (v.VType) {
    case varNull:
      RaiseNullError();
    case varDispatch:
    case varUnknown: {
      if (type == varDispatch || type == varUnknown) return InterfaceAsType(v, type);
      Variant scalarHolder;
      const Variant* scalar = v.VType == varDispatch ? ScalarValue(v, scalarHolder) : nullptr;
      if (!scalar) RaiseCastError(v.VType, type);
      return VarAsType(*scalar, type);
    }
    default:
      break;
  }
  switch (type) {
    case varOleStr:
      return Variant(ScalarToText(v));
    case varDate:
      if (v.VType == varOleStr) {
        TDateTime date = 0;
        if (!TryStrToDateTime(v.StringView(), date)) RaiseCastError(v.VType, type);
        // The same range as for numbers: years 100 to 9999.
        if (!(date >= kMinDate && date < kMaxDateExclusive)) RaiseOverflowError(v.VType, type);
        return Variant::FromDate(date);
      }
      break;
    case varBoolean:
      if (v.VType == varOleStr) {
        bool flag = false;
        if (TryParseBooleanText(v.StringView(), flag)) return Variant(flag);
      }
      break;
    case varDispatch:
    case varUnknown:
      if (v.VType == varEmpty) return InterfaceAsType(v, type);
      RaiseCastError(v.VType, type);
    case varError:
      if (IsIntegerKind(KindOf(v.VType)) && v.VType != varEmpty)
        return Variant::FromError(
            FitInteger<int32_t>(IntegerNumber(IntegerValue(v)), v.VType, type));
      RaiseCastError(v.VType, type);
    case varEmpty:
    case varNull:
      RaiseCastError(v.VType, type);
    default:
      break;
  }
  return NumberAsType(ReadNumber(v, type), v.VType, type);
}

int32_t VarToInt32(const Variant& value) {
  const Variant& v = value.Deref();
  if (v.VType == varInteger) return v.VInteger;
  return VarAsType(v, varInteger).VInteger;
}

int64_t VarToInt64(const Variant& value) {
  const Variant& v = value.Deref();
  if (v.VType == varInt64) return v.VInt64;
  return VarAsType(v, varInt64).VInt64;
}

double VarToDouble(const Variant& value) {
  const Variant& v = value.Deref();
  if (v.VType == varDouble) return v.VDouble;
  return VarAsType(v, varDouble).VDouble;
}

bool VarToBool(const Variant& value) {
  const Variant& v = value.Deref();
  if (v.VType == varBoolean) return v.VBoolean != 0;
  return VarAsType(v, varBoolean).VBoolean != 0;
}

int64_t VarToCurrency(const Variant& value) {
  return VarAsType(value, varCurrency).VCurrency;
}

double VarToDate(const Variant& value) {
  return VarAsType(value, varDate).VDate;
}

WideString VarToStr(const Variant& value) {
  const Variant& v = value.Deref();
  if (v.VType == varOleStr) return v.String();
  Variant holder;
  const Variant* scalar = ScalarValue(v, holder);
  if (!scalar) RaiseCastError(varDispatch, varOleStr);
  if (scalar->IsArray()) RaiseCastError(scalar->VType, varOleStr);
  return ScalarToText(*scalar);
}

std::u16string_view VarTypeName(TVarType type) {
  static constexpr std::u16string_view kNames[] = {
      u"Empty",   u"Null",   u"Smallint", u"Integer", u"Single",  u"Double",   u"Currency",
      u"Date",    u"String", u"Dispatch", u"Error",   u"Boolean", u"Variant",  u"Unknown",
      u"Decimal", u"",       u"ShortInt", u"Byte",    u"Word",    u"LongWord", u"Int64"};
  static constexpr std::u16string_view kArrayNames[] = {
      u"Array Empty",    u"Array Null",     u"Array Smallint", u"Array Integer",
      u"Array Single",   u"Array Double",   u"Array Currency", u"Array Date",
      u"Array String",   u"Array Dispatch", u"Array Error",    u"Array Boolean",
      u"Array Variant",  u"Array Unknown",  u"Array Decimal",  u"",
      u"Array ShortInt", u"Array Byte",     u"Array Word",     u"Array LongWord",
      u"Array Int64"};
  constexpr size_t kCount = sizeof(kNames) / sizeof(kNames[0]);
  if (type == varVariantRef) return u"Variant";
  const TVarType base = type & varTypeMask;
  if (base < kCount && !kNames[base].empty()) {
    if ((type & ~varByRef) == base) return kNames[base];
    if ((type & ~varByRef) == (varArray | base)) return kArrayNames[base];
  }
  return u"Unknown type";
}

}  // namespace qob
