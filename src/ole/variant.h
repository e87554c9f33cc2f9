// Variant: the tagged value of every script value, argument, result and slot.
//
// `TVarData` has the OLE VARIANT layout (type word, three reserved words,
// eight-byte payload); Decimal overlays the whole sixteen bytes. `Variant`
// adds ownership: strings and interfaces are reference counted, arrays are
// owned and copied by value.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "ole/com.h"
#include "ole/widestring.h"

namespace qob {

using TVarType = uint16_t;

inline constexpr TVarType varEmpty = 0;
inline constexpr TVarType varNull = 1;
inline constexpr TVarType varSmallint = 2;
inline constexpr TVarType varInteger = 3;
inline constexpr TVarType varSingle = 4;
inline constexpr TVarType varDouble = 5;
inline constexpr TVarType varCurrency = 6;
inline constexpr TVarType varDate = 7;
inline constexpr TVarType varOleStr = 8;
inline constexpr TVarType varDispatch = 9;
inline constexpr TVarType varError = 10;
inline constexpr TVarType varBoolean = 11;
inline constexpr TVarType varVariant = 12;
inline constexpr TVarType varUnknown = 13;
inline constexpr TVarType varDecimal = 14;
inline constexpr TVarType varShortInt = 16;
inline constexpr TVarType varByte = 17;
inline constexpr TVarType varWord = 18;
inline constexpr TVarType varLongWord = 19;
inline constexpr TVarType varInt64 = 20;
inline constexpr TVarType varTypeMask = 0x0FFF;
inline constexpr TVarType varArray = 0x2000;
inline constexpr TVarType varByRef = 0x4000;
// A reference: a by-reference Variant pointing at another Variant.
inline constexpr TVarType varVariantRef = varByRef | varVariant;

inline constexpr int16_t VARIANT_TRUE = -1;
inline constexpr int16_t VARIANT_FALSE = 0;
// Currency is a 64-bit integer scaled by this factor.
inline constexpr int64_t kCurrencyScale = 10000;

struct TSafeArray;
class Variant;

// OLE DECIMAL: 96-bit unsigned magnitude, a power-of-ten scale (0..28) and a sign.
struct TDecimal {
  uint16_t Reserved;  // overlays the Variant's type word
  uint8_t Scale;
  uint8_t Sign;  // 0x80 when negative
  uint32_t Hi32;
  uint64_t Lo64;
};

struct TVarData {
  TVarType VType;
  uint16_t Reserved1;
  uint16_t Reserved2;
  uint16_t Reserved3;
  union {
    int16_t VSmallInt;
    int32_t VInteger;
    float VSingle;
    double VDouble;
    int64_t VCurrency;  // scaled by kCurrencyScale
    double VDate;       // days since 30 December 1899
    WideString::Rep* VOleStr;
    IDispatch* VDispatch;
    HRESULT VError;
    int16_t VBoolean;
    IUnknown* VUnknown;
    int8_t VShortInt;
    uint8_t VByte;
    uint16_t VWord;
    uint32_t VLongWord;
    int64_t VInt64;
    TSafeArray* VArray;
    void* VPointer;  // by-reference payload
    Variant* VVariantRef;
  };

  TDecimal& Decimal() noexcept { return *reinterpret_cast<TDecimal*>(this); }
  const TDecimal& Decimal() const noexcept { return *reinterpret_cast<const TDecimal*>(this); }
};
static_assert(sizeof(TVarData) == 16, "TVarData must keep the OLE VARIANT layout");
static_assert(sizeof(TDecimal) == 16, "TDecimal must keep the OLE DECIMAL layout");

class Variant : public TVarData {
 public:
  Variant() noexcept { Zero(); }
  Variant(const Variant& other) {
    if (!NeedsCleanup(other.VType)) {
      std::memcpy(static_cast<TVarData*>(this), &other, sizeof(TVarData));
    } else {
      Zero();
      CopySlow(other);
    }
  }
  Variant(Variant&& other) noexcept {
    std::memcpy(static_cast<TVarData*>(this), &other, sizeof(TVarData));
    other.Zero();
  }
  ~Variant() {
    if (NeedsCleanup(VType)) ClearSlow();
  }

  Variant& operator=(const Variant& other) {
    if (!NeedsCleanup(VType) && !NeedsCleanup(other.VType)) [[likely]] {
      TVarData data;  // through a copy: `other` may be this value
      std::memcpy(&data, &other, sizeof(TVarData));
      std::memcpy(static_cast<TVarData*>(this), &data, sizeof(TVarData));
    } else if (this != &other) {
      Variant copy(other);  // copy first: `other` may live inside this value
      Clear();
      std::memcpy(static_cast<TVarData*>(this), &copy, sizeof(TVarData));
      copy.Zero();
    }
    return *this;
  }
  Variant& operator=(Variant&& other) noexcept {
    if (this != &other) {
      TVarData old;
      std::memcpy(&old, static_cast<TVarData*>(this), sizeof(TVarData));
      std::memcpy(static_cast<TVarData*>(this), &other, sizeof(TVarData));
      other.Zero();
      if (NeedsCleanup(old.VType)) ReleaseData(old);
    }
    return *this;
  }

  // Typed construction. Integers become Integer, bool becomes Boolean,
  // text becomes a string Variant.
  Variant(int32_t value) noexcept : Variant() { SetInteger(value); }  // NOLINT
  Variant(int64_t value) noexcept : Variant() {                       // NOLINT
    VType = varInt64;
    VInt64 = value;
  }
  Variant(double value) noexcept : Variant() {  // NOLINT
    VType = varDouble;
    VDouble = value;
  }
  Variant(bool value) noexcept : Variant() {  // NOLINT
    VType = varBoolean;
    VBoolean = value ? VARIANT_TRUE : VARIANT_FALSE;
  }
  Variant(const WideString& text) : Variant() { SetString(text); }                // NOLINT
  Variant(std::u16string_view text) : Variant() { SetString(WideString(text)); }  // NOLINT
  Variant(const char16_t* text) : Variant() { SetString(WideString(text)); }      // NOLINT
  // An `IDispatch` Variant; adds a reference (nullptr gives an empty object reference).
  explicit Variant(IDispatch* object) noexcept : Variant() { SetDispatch(object); }

  static Variant Null() noexcept {
    Variant v;
    v.VType = varNull;
    return v;
  }
  static Variant FromSmallint(int16_t value) noexcept;
  static Variant FromShortInt(int8_t value) noexcept;
  static Variant FromByte(uint8_t value) noexcept;
  static Variant FromWord(uint16_t value) noexcept;
  static Variant FromLongWord(uint32_t value) noexcept;
  static Variant FromSingle(float value) noexcept;
  static Variant FromCurrency(int64_t scaled) noexcept;
  static Variant FromDate(double days) noexcept;
  static Variant FromError(HRESULT code) noexcept;
  static Variant FromDecimal(const TDecimal& value) noexcept;
  static Variant FromUtf8(std::string_view text) { return Variant(WideString::FromUtf8(text)); }
  // A reference to `target` (type 0x400C); the target must outlive the reference.
  static Variant RefTo(Variant* target) noexcept;
  // Takes ownership of `array`.
  static Variant FromArray(TSafeArray* array) noexcept;
  static Variant FromUnknown(IUnknown* object) noexcept;

  void Clear() noexcept {
    if (NeedsCleanup(VType)) ClearSlow();
    Zero();
  }
  void SetInteger(int32_t value) noexcept {
    Clear();
    VType = varInteger;
    VInteger = value;
  }
  void SetString(const WideString& text);
  void SetDispatch(IDispatch* object) noexcept;

  TVarType Type() const noexcept { return VType; }
  bool IsEmpty() const noexcept { return VType == varEmpty; }
  bool IsNull() const noexcept { return VType == varNull; }
  bool IsRef() const noexcept { return VType == varVariantRef; }
  bool IsArray() const noexcept { return (VType & varArray) != 0; }
  bool IsString() const noexcept { return VType == varOleStr; }

  // Follows references (0x400C) to the final value.
  const Variant& Deref() const noexcept {
    const Variant* v = this;
    while (v->VType == varVariantRef && v->VVariantRef) v = v->VVariantRef;
    return *v;
  }
  Variant& Deref() noexcept {
    Variant* v = this;
    while (v->VType == varVariantRef && v->VVariantRef) v = v->VVariantRef;
    return *v;
  }

  // The string payload of a string Variant (empty view for other types).
  std::u16string_view StringView() const noexcept {
    return VType == varOleStr ? WideString::ViewOf(VOleStr) : std::u16string_view();
  }
  WideString String() const noexcept;

  // Strings, objects and arrays held by value own what they point to.
  static constexpr bool NeedsCleanup(TVarType type) noexcept {
    constexpr uint32_t kOwningScalars =
        (1u << varOleStr) | (1u << varDispatch) | (1u << varUnknown);
    return type < 32 ? ((kOwningScalars >> type) & 1u) != 0
                     : (type & (varArray | varByRef)) == varArray;
  }

 private:
  void Zero() noexcept { std::memset(static_cast<TVarData*>(this), 0, sizeof(TVarData)); }
  void CopySlow(const Variant& other);
  void ClearSlow() noexcept { ReleaseData(*this); }
  static void ReleaseData(TVarData& data) noexcept;
};
static_assert(sizeof(Variant) == 16);

// The five process-wide constant values.
const Variant& VarNullValue() noexcept;
const Variant& VarUnassigned() noexcept;
const Variant& VarIntZero() noexcept;
const Variant& VarIntOne() noexcept;
const Variant& VarIntMinusOne() noexcept;

}  // namespace qob
