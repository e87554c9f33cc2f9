#include "ole/variant.h"

#include "ole/safearray.h"

namespace qob {

Variant Variant::FromSmallint(int16_t value) noexcept {
  Variant v;
  v.VType = varSmallint;
  v.VSmallInt = value;
  return v;
}

Variant Variant::FromShortInt(int8_t value) noexcept {
  Variant v;
  v.VType = varShortInt;
  v.VShortInt = value;
  return v;
}

Variant Variant::FromByte(uint8_t value) noexcept {
  Variant v;
  v.VType = varByte;
  v.VByte = value;
  return v;
}

Variant Variant::FromWord(uint16_t value) noexcept {
  Variant v;
  v.VType = varWord;
  v.VWord = value;
  return v;
}

Variant Variant::FromLongWord(uint32_t value) noexcept {
  Variant v;
  v.VType = varLongWord;
  v.VLongWord = value;
  return v;
}

Variant Variant::FromSingle(float value) noexcept {
  Variant v;
  v.VType = varSingle;
  v.VSingle = value;
  return v;
}

Variant Variant::FromCurrency(int64_t scaled) noexcept {
  Variant v;
  v.VType = varCurrency;
  v.VCurrency = scaled;
  return v;
}

Variant Variant::FromDate(double days) noexcept {
  Variant v;
  v.VType = varDate;
  v.VDate = days;
  return v;
}

Variant Variant::FromError(HRESULT code) noexcept {
  Variant v;
  v.VType = varError;
  v.VError = code;
  return v;
}

Variant Variant::FromDecimal(const TDecimal& value) noexcept {
  Variant v;
  std::memcpy(static_cast<TVarData*>(&v), &value, sizeof(TDecimal));
  v.VType = varDecimal;
  return v;
}

Variant Variant::RefTo(Variant* target) noexcept {
  Variant v;
  v.VType = varVariantRef;
  v.VVariantRef = target;
  return v;
}

Variant Variant::FromArray(TSafeArray* array) noexcept {
  Variant v;
  if (array) {
    v.VType = varArray | array->ElementType;
    v.VArray = array;
  }
  return v;
}

Variant Variant::FromUnknown(IUnknown* object) noexcept {
  Variant v;
  v.VType = varUnknown;
  v.VUnknown = object;
  if (object) object->AddRef();
  return v;
}

void Variant::SetString(const WideString& text) {
  Clear();
  WideString copy(text);
  VType = varOleStr;
  VOleStr = copy.Detach();
}

void Variant::SetDispatch(IDispatch* object) noexcept {
  if (object) object->AddRef();
  Clear();
  VType = varDispatch;
  VDispatch = object;
}

WideString Variant::String() const noexcept {
  if (VType != varOleStr) return {};
  WideString::AddRef(VOleStr);
  return WideString::Adopt(VOleStr);
}

void Variant::CopySlow(const Variant& other) {
  if ((other.VType & (varArray | varByRef)) == varArray) {
    TSafeArray* copy = other.VArray ? SafeArrayCopy(*other.VArray) : nullptr;
    VType = other.VType;
    VArray = copy;
    return;
  }
  std::memcpy(static_cast<TVarData*>(this), &other, sizeof(TVarData));
  switch (VType) {
    case varOleStr:
      WideString::AddRef(VOleStr);
      break;
    case varDispatch:
      if (VDispatch) VDispatch->AddRef();
      break;
    case varUnknown:
      if (VUnknown) VUnknown->AddRef();
      break;
    default:
      break;
  }
}

void Variant::ReleaseData(TVarData& data) noexcept {
  if ((data.VType & (varArray | varByRef)) == varArray) {
    SafeArrayDestroy(data.VArray);
    return;
  }
  switch (data.VType) {
    case varOleStr:
      WideString::Release(data.VOleStr);
      break;
    case varDispatch:
      if (data.VDispatch) data.VDispatch->Release();
      break;
    case varUnknown:
      if (data.VUnknown) data.VUnknown->Release();
      break;
    default:
      break;
  }
}

const Variant& VarNullValue() noexcept {
  static const Variant value = Variant::Null();
  return value;
}

const Variant& VarUnassigned() noexcept {
  static const Variant value;
  return value;
}

const Variant& VarIntZero() noexcept {
  static const Variant value(0);
  return value;
}

const Variant& VarIntOne() noexcept {
  static const Variant value(1);
  return value;
}

const Variant& VarIntMinusOne() noexcept {
  static const Variant value(-1);
  return value;
}

}  // namespace qob
