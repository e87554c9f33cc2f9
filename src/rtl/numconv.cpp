#include "rtl/numconv.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

#include "rtl/convert_error.h"
#include "rtl/exceptions.h"
#include "rtl/float_text.h"
#include "rtl/unicode.h"

namespace qob {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

WideString UnsignedToStr(uint64_t magnitude, bool negative) {
  char16_t buffer[24];
  char16_t* p = buffer + 24;
  do {
    *--p = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (negative) *--p = u'-';
  return WideString(p, static_cast<size_t>(buffer + 24 - p));
}

int HexDigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Blanks, sign, then decimal digits or '$'/'0x' hexadecimal into a signed integer of `bits`
// bits. Hexadecimal gives the bit pattern ("$FFFFFFFF" is -1 for 32 bits); decimal values
// must fit the signed range.
bool ParseInteger(std::u16string_view text, int bits, int64_t& value) {
  text = TrimView(text);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  bool hex = false;
  if (i < text.size() && text[i] == u'$') {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == u'0' &&
             (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    hex = true;
    i += 2;
  }
  if (i == text.size()) return false;
  const uint64_t signedLimit = uint64_t{1} << (bits - 1);
  const uint64_t limit = hex ? (bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1)
                             : (negative ? signedLimit : signedLimit - 1);
  const unsigned base = hex ? 16 : 10;
  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit =
        hex ? HexDigitValue(text[i]) : (text[i] >= u'0' && text[i] <= u'9' ? text[i] - u'0' : -1);
    if (digit < 0) return false;
    if (magnitude > (limit - static_cast<unsigned>(digit)) / base) return false;
    magnitude = magnitude * base + static_cast<unsigned>(digit);
  }
  int64_t result;
  if (hex) {
    // Reinterpret the bit pattern at the target width.
    result = bits == 64
                 ? static_cast<int64_t>(magnitude)
                 : static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(magnitude)));
    if (negative) {
      if (result == (bits == 64 ? std::numeric_limits<int64_t>::min()
                                : int64_t{std::numeric_limits<int32_t>::min()}))
        return false;
      result = -result;
    }
  } else {
    result = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  }
  value = result;
  return true;
}

// A decimal number as written: sign, mantissa digits with the separator, optional exponent.
struct DecimalText {
  bool Negative = false;
  std::string Ascii;      // the number with '.' as separator, for std::from_chars
  std::string Digits;     // every mantissa digit, without the separator
  int IntegerDigits = 0;  // how many of Digits stand before the separator
  int64_t Exponent = 0;   // saturated, far beyond any double's range
};

bool ScanDecimal(std::u16string_view text, char16_t decimalSeparator, DecimalText& out) {
  text = TrimView(text);
  size_t i = 0;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) out.Negative = text[i++] == u'-';
  if (out.Negative) out.Ascii += '-';
  auto isDigit = [&](size_t k) { return k < text.size() && text[k] >= u'0' && text[k] <= u'9'; };
  for (; isDigit(i); ++i) out.Digits += static_cast<char>(text[i]);
  out.IntegerDigits = static_cast<int>(out.Digits.size());
  out.Ascii += out.Digits;
  if (i < text.size() && text[i] == decimalSeparator) {
    ++i;
    out.Ascii += '.';
    for (; isDigit(i); ++i) {
      out.Digits += static_cast<char>(text[i]);
      out.Ascii += static_cast<char>(text[i]);
    }
  }
  if (out.Digits.empty()) return false;
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    ++i;
    out.Ascii += 'e';
    bool negativeExponent = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
      negativeExponent = text[i] == u'-';
      out.Ascii += static_cast<char>(text[i++]);
    }
    if (!isDigit(i)) return false;
    for (; isDigit(i); ++i) {
      out.Ascii += static_cast<char>(text[i]);
      if (out.Exponent < 1'000'000'000) out.Exponent = out.Exponent * 10 + (text[i] - u'0');
    }
    if (negativeExponent) out.Exponent = -out.Exponent;
  }
  return i == text.size();
}

}  // namespace

[[noreturn]] void RaiseConvertError(std::u16string_view pattern, std::u16string_view text) {
  const size_t at = pattern.find(u"%s");
  std::u16string message(pattern.substr(0, at));
  message += text;
  message += pattern.substr(at + 2);
  throw EConvertError(WideString(message));
}

WideString IntToStr(int64_t value) {
  const bool negative = value < 0;
  return UnsignedToStr(negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value),
                       negative);
}

WideString UIntToStr(uint64_t value) {
  return UnsignedToStr(value, false);
}

WideString IntToHex(int64_t value, int digits) {
  // The same bound as the formatter's widths: no text of gigabytes of zeros.
  constexpr int kMaxDigits = 1 << 16;
  if (digits > kMaxDigits)
    RaiseConvertError(u"'%s' is too large a digit count", IntToStr(digits).view());
  char16_t buffer[16];
  char16_t* p = buffer + 16;
  auto bits = static_cast<uint64_t>(value);
  do {
    *--p = static_cast<char16_t>(kHexDigits[bits & 15]);
    bits >>= 4;
  } while (bits);
  std::u16string text;
  const auto count = static_cast<int>(buffer + 16 - p);
  if (digits > count) text.assign(static_cast<size_t>(digits - count), u'0');
  text.append(p, buffer + 16);
  return WideString(text);
}

bool TryStrToInt64(std::u16string_view text, int64_t& value) {
  return ParseInteger(text, 64, value);
}

bool TryStrToInt(std::u16string_view text, int32_t& value) {
  int64_t wide;
  if (!ParseInteger(text, 32, wide)) return false;
  value = static_cast<int32_t>(wide);
  return true;
}

int32_t StrToInt(std::u16string_view text) {
  int32_t value;
  if (!TryStrToInt(text, value)) RaiseConvertError(u"'%s' is not a valid integer value", text);
  return value;
}

int64_t StrToInt64(std::u16string_view text) {
  int64_t value;
  if (!TryStrToInt64(text, value)) RaiseConvertError(u"'%s' is not a valid integer value", text);
  return value;
}

bool TryStrToFloat(std::u16string_view text, double& value, const TFormatSettings& settings) {
  return ReadFloatText(text, value, settings) == FloatTextResult::kOk;
}

FloatTextResult ReadFloatText(std::u16string_view text, double& value,
                              const TFormatSettings& settings) {
  DecimalText number;
  if (!ScanDecimal(text, settings.DecimalSeparator, number)) return FloatTextResult::kInvalid;
  double result = 0;
  const auto [ptr, error] =
      std::from_chars(number.Ascii.data(), number.Ascii.data() + number.Ascii.size(), result);
  if (error == std::errc::result_out_of_range) {
    // Too small for a double is zero; too large is no value at all.
    const size_t firstNonZero = number.Digits.find_first_not_of('0');
    const int64_t magnitude =
        number.IntegerDigits - static_cast<int64_t>(firstNonZero) + number.Exponent;
    if (firstNonZero != std::string::npos && magnitude > 0) return FloatTextResult::kTooLarge;
    value = number.Negative ? -0.0 : 0.0;
    return FloatTextResult::kOk;
  }
  if (error != std::errc() || ptr != number.Ascii.data() + number.Ascii.size())
    return FloatTextResult::kInvalid;
  value = result;
  return FloatTextResult::kOk;
}

double StrToFloat(std::u16string_view text, const TFormatSettings& settings) {
  double value;
  if (!TryStrToFloat(text, value, settings))
    RaiseConvertError(u"'%s' is not a valid floating point value", text);
  return value;
}

bool TryStrToCurr(std::u16string_view text, int64_t& scaled, const TFormatSettings& settings) {
  DecimalText number;
  if (!ScanDecimal(text, settings.DecimalSeparator, number)) return false;
  const auto count = static_cast<int64_t>(number.Digits.size());
  // The value is Digits * 10^shift in units of 1/10000.
  const int64_t shift = number.IntegerDigits - count + number.Exponent + 4;
  const uint64_t limit = number.Negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  const int64_t kept = shift >= 0 ? count : count + shift;
  uint64_t magnitude = 0;
  for (int64_t k = 0; k < kept; ++k) {
    const unsigned digit = static_cast<unsigned>(number.Digits[static_cast<size_t>(k)] - '0');
    if (magnitude > (limit - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
  }
  if (shift > 0) {
    for (int64_t k = 0; k < shift && magnitude != 0; ++k) {
      if (magnitude > limit / 10) return false;
      magnitude *= 10;
    }
  } else if (kept >= 0 && kept < count) {
    // Round the dropped digits half to even, as currency arithmetic does.
    const int first = number.Digits[static_cast<size_t>(kept)] - '0';
    const bool rest =
        number.Digits.find_first_not_of('0', static_cast<size_t>(kept) + 1) != std::string::npos;
    if (first > 5 || (first == 5 && (rest || (magnitude & 1)))) {
      if (magnitude == limit) return false;
      ++magnitude;
    }
  }
  scaled = number.Negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

namespace {

WideString General(double value, int precision, const TFormatSettings& settings) {
  // A per-thread scratch buffer keeps the conversion to the one allocation of the result.
  thread_local std::u16string text;
  text.clear();
  floattext::AppendGeneral(text, value, precision, 0, settings.DecimalSeparator);
  return WideString(text);
}

}  // namespace

WideString FloatToStr(double value, const TFormatSettings& settings) {
  return General(value, 15, settings);
}

WideString SingleToStr(float value, const TFormatSettings& settings) {
  return General(value, 7, settings);
}

WideString CurrToStr(int64_t scaled, const TFormatSettings& settings) {
  const bool negative = scaled < 0;
  const uint64_t magnitude =
      negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::u16string text(UnsignedToStr(magnitude / 10000, negative).view());
  unsigned fraction = static_cast<unsigned>(magnitude % 10000);
  if (fraction) {
    text += settings.DecimalSeparator;
    for (unsigned unit = 1000; fraction; unit /= 10) {
      text += static_cast<char16_t>(u'0' + fraction / unit);
      fraction %= unit;
    }
  }
  return WideString(text);
}

}  // namespace qob
