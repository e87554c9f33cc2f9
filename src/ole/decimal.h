// Arithmetic on OLE DECIMAL values: a 96-bit magnitude, a power-of-ten scale
// (0..28) and a sign. Rounding is to nearest with ties to even, as OLE does.
// Operations whose result does not fit raise EVariantOverflowError; division
// by zero raises EZeroDivide.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ole/variant.h"
#include "ole/variant_convert.h"

namespace qob {

inline constexpr uint8_t kDecimalNegative = 0x80;
inline constexpr uint8_t kDecimalMaxScale = 28;

TDecimal DecimalFromUInt64(uint64_t value) noexcept;
TDecimal DecimalFromCurrency(int64_t scaled) noexcept;
// Takes the double's 15 significant digits, as OLE does (0.1 becomes exactly 0.1).
// False for infinities, NaN and magnitudes beyond the 96-bit range.
bool TryDecimalFromDouble(double value, TDecimal& result) noexcept;
// Rounded to a whole number; false when it does not fit.
bool TryDecimalToInt64(const TDecimal& value, int64_t& result) noexcept;
// Rounded to four decimals; false when it does not fit.
bool TryDecimalToCurrency(const TDecimal& value, int64_t& scaled) noexcept;

bool DecimalIsZero(const TDecimal& value) noexcept;
bool DecimalIsNegative(const TDecimal& value) noexcept;
// -1, 0 or 1; a negative zero equals zero.
int DecimalCompare(const TDecimal& left, const TDecimal& right) noexcept;

TDecimal DecimalAdd(const TDecimal& left, const TDecimal& right);
TDecimal DecimalSub(const TDecimal& left, const TDecimal& right);
TDecimal DecimalMul(const TDecimal& left, const TDecimal& right);
TDecimal DecimalDiv(const TDecimal& left, const TDecimal& right);
TDecimal DecimalNegate(const TDecimal& value) noexcept;
TDecimal DecimalAbs(const TDecimal& value) noexcept;
// Whole part toward zero (Fix) and toward minus infinity (Int).
TDecimal DecimalFix(const TDecimal& value) noexcept;
TDecimal DecimalInt(const TDecimal& value) noexcept;

// Plain digits with `decimalSeparator`, no exponent and no trailing zeros.
std::u16string DecimalToString(const TDecimal& value, char16_t decimalSeparator = u'.');

enum class DecimalParseResult { kOk, kInvalid, kOverflow };
// Accepts surrounding blanks, a sign, digits with one `decimalSeparator` and an
// optional exponent ("1.5E3"). Digits beyond the 28th decimal are rounded.
DecimalParseResult TryStrToDecimal(std::u16string_view text, TDecimal& result,
                                   char16_t decimalSeparator = u'.') noexcept;

}  // namespace qob
