// Pieces shared by the Variant conversions and operations: reading an
// operand's final value, the runtime's errors with their texts, and the
// rounding rules of OLE Automation (ties to even).
#pragma once

#include <cstdint>
#include <string_view>

#include "ole/variant.h"

namespace qob::variant_detail {

// The range of Date values (1 January 100 up to the end of 31 December 9999).
inline constexpr double kMinDate = -657434.0;
inline constexpr double kMaxDateExclusive = 2958466.0;

// The final value behind references (0x400C) and by-reference scalars. A
// by-reference scalar is copied into `holder`; a null reference reads as Empty.
const Variant& LoadValue(const Variant& value, Variant& holder);

// Reads an object's default member (DISPID_VALUE, property get) into `result`.
// False when the object is nil or has no default member; other failures raise
// the OLE exception that the object reported.
bool TryDefaultValue(IDispatch* object, Variant& result);

// LoadValue, and for a Dispatch its default value (followed while it is
// another object). Returns nullptr when an object has no default value.
const Variant* ScalarValue(const Variant& value, Variant& holder);

[[noreturn]] void RaiseCastError(TVarType from, TVarType to);
[[noreturn]] void RaiseOverflowError(TVarType from, TVarType to);
[[noreturn]] void RaiseNullError();

// Rounds half to even; false for NaN or results outside Int64.
bool TryRoundToInt64(double value, int64_t& result) noexcept;
bool TryCurrencyFromDouble(double value, int64_t& scaled) noexcept;
// The currency amount rounded half to even to a whole number.
int64_t CurrencyToWhole(int64_t scaled) noexcept;

// "True" or "False" in any letter case, surrounded by blanks or not.
bool TryParseBooleanText(std::u16string_view text, bool& value) noexcept;

// The operand classes of the general operations. ShortInt counts as Smallint,
// Word as Integer and LongWord as Int64: the narrowest signed class that holds
// every value of the type.
enum class VarKind : uint8_t {
  kEmpty,
  kNull,
  kBoolean,
  kByte,
  kSmallint,
  kInteger,
  kInt64,
  kSingle,
  kDouble,
  kCurrency,
  kDate,
  kDecimal,
  kString,
  kOther,
};

VarKind KindOf(TVarType type) noexcept;
bool IsIntegerKind(VarKind kind) noexcept;  // Empty, Boolean, Byte .. Int64

// Values of numeric operands (Empty is 0, True is -1); the caller has
// checked the kind. IntegerValue takes Empty, Boolean and the integer types.
int64_t IntegerValue(const Variant& value) noexcept;
double DoubleValue(const Variant& value) noexcept;
int64_t CurrencyValue(const Variant& value);  // raises EVariantOverflowError
TDecimal DecimalValue(const Variant& value);  // raises EVariantOverflowError

// A string operand of arithmetic as a Double (regional decimal separator;
// "True"/"False" count as -1/0); raises EVariantTypeCastError otherwise.
double StringToDouble(std::u16string_view text);

}  // namespace qob::variant_detail
