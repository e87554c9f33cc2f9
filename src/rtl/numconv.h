// Number <-> text conversions of the runtime library.
#pragma once

#include <cstdint>
#include <string_view>

#include "ole/widestring.h"
#include "rtl/format_settings.h"

namespace qob {

WideString IntToStr(int64_t value);
WideString UIntToStr(uint64_t value);
WideString IntToHex(int64_t value, int digits);

// Accepts surrounding blanks, a sign, decimal digits or '$'/'0x' hexadecimal. Decimal values
// must fit the signed range; hexadecimal ones give the bit pattern of the target width
// ("$FFFFFFFF" is -1 as a 32-bit integer). Overflow is a failure.
bool TryStrToInt64(std::u16string_view text, int64_t& value);
bool TryStrToInt(std::u16string_view text, int32_t& value);
// Raise EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(std::u16string_view text);
int64_t StrToInt64(std::u16string_view text);

// Decimal separator from `settings`; optional exponent; surrounding blanks allowed; anything
// else fails. Values too large for a double fail; values too small become 0.
bool TryStrToFloat(std::u16string_view text, double& value,
                   const TFormatSettings& settings = FormatSettings());
// The same, telling a number too large for a double from text that is no number.
enum class FloatTextResult { kOk, kInvalid, kTooLarge };
FloatTextResult ReadFloatText(std::u16string_view text, double& value,
                              const TFormatSettings& settings = FormatSettings());
// Raises EConvertError "'%s' is not a valid floating point value".
double StrToFloat(std::u16string_view text, const TFormatSettings& settings = FormatSettings());
// Currency scaled by 10000, read exactly and rounded half to even at four decimals.
bool TryStrToCurr(std::u16string_view text, int64_t& scaled,
                  const TFormatSettings& settings = FormatSettings());

// General format with up to 15 significant digits ("0.1", "1E20", "1.5E-7", "INF", "NAN").
WideString FloatToStr(double value, const TFormatSettings& settings = FormatSettings());
// Single values print with up to 7 significant digits.
WideString SingleToStr(float value, const TFormatSettings& settings = FormatSettings());
// Currency (scaled by 10000) with up to four decimals, no trailing zeros.
WideString CurrToStr(int64_t scaled, const TFormatSettings& settings = FormatSettings());
// Picture formats: '0', '#', '.', ',', 'E+'/'E-'/'e+'/'e-', quoted text, ';' sections
// (positive;negative;zero). Displayed digits round halves away from zero; an empty picture
// gives FloatToStr.
WideString FormatFloat(std::u16string_view picture, double value,
                       const TFormatSettings& settings = FormatSettings());

}  // namespace qob
