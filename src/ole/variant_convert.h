// Conversions of Variants between types (VariantChangeType) and to host values.
//
// Failures raise the runtime's exceptions: EVariantTypeCastError when a value
// cannot be converted (a non-numeric string to a number, an object to a
// number), EVariantOverflowError when it does not fit the target type,
// EVariantError ("Invalid NULL variant operation") for Null where a value is
// needed. The source Variant is never changed.
#pragma once

#include <cstdint>

#include "ole/variant.h"

namespace qob {

// VariantChangeType: `value` (references followed) converted to `type`.
// String <-> number and date conversions read the regional settings.
Variant VarAsType(const Variant& value, TVarType type);

// Conversion to host values; Empty counts as zero, empty text or False.
int32_t VarToInt32(const Variant& value);
int64_t VarToInt64(const Variant& value);
double VarToDouble(const Variant& value);
bool VarToBool(const Variant& value);
int64_t VarToCurrency(const Variant& value);  // scaled by kCurrencyScale
double VarToDate(const Variant& value);
// Any Variant as text: Null and Empty give "", Boolean "True"/"False",
// numbers in the general format, dates through the regional settings,
// objects their default value, arrays raise EVariantTypeCastError.
WideString VarToStr(const Variant& value);

// The type's name as messages show it ("Integer", "String", "Double", ...).
std::u16string_view VarTypeName(TVarType type);

// Decimal helpers.
TDecimal DecimalFromInt64(int64_t value) noexcept;
double DecimalToDouble(const TDecimal& value) noexcept;

}  // namespace qob
