#include "rtl/float_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <vector>

namespace qob::floattext {

namespace {

// Beyond this many decimals a double has only zeros left to show.
constexpr int kMaxExactDecimals = 1100;

void AppendExponent(std::u16string& out, int exponent, bool plusSign, int minDigits) {
  out += u'E';
  if (exponent < 0)
    out += u'-';
  else if (plusSign)
    out += u'+';
  char digits[8];
  const auto result = std::to_chars(digits, digits + sizeof digits, std::abs(exponent));
  const int count = static_cast<int>(result.ptr - digits);
  for (int i = count; i < minDigits; ++i) out += u'0';
  out.append(digits, result.ptr);
}

// True when absValue * 10^scale lies exactly halfway between two integers. std::to_chars
// rounds such ties to even; displayed numbers round them away from zero instead.
bool IsHalfway(double absValue, int scale) {
  if (absValue == 0 || !std::isfinite(absValue)) return false;
  int binaryExponent = 0;
  const double fraction = std::frexp(absValue, &binaryExponent);
  auto mantissa = static_cast<uint64_t>(std::ldexp(fraction, 53));
  int exponent = binaryExponent - 53;  // absValue = mantissa * 2^exponent
  const int trailingZeros = std::countr_zero(mantissa);
  mantissa >>= trailingZeros;
  exponent += trailingZeros;
  // 2 * mantissa * 2^exponent * 10^scale must be an odd integer.
  if (exponent + 1 + scale != 0) return false;
  if (scale >= 0) return true;
  uint64_t power = 1;
  for (int i = 0; i < -scale; ++i) {
    if (power > mantissa / 5) return false;
    power *= 5;
  }
  return mantissa % power == 0;
}

// Adds one unit in the last digit of [begin, end), skipping a '.'; true when it carries out.
bool IncrementDigits(char* begin, char* end) {
  for (char* p = end; p != begin;) {
    --p;
    if (*p == '.') continue;
    if (*p != '9') {
      ++*p;
      return false;
    }
    *p = '0';
  }
  return true;
}

}  // namespace

namespace {

// "d.ddde+xx" as written by std::to_chars.
Digits ParseScientific(const char* p, const char* end) {
  Digits d;
  d.Text[d.Count++] = *p++;
  if (*p == '.') {
    ++p;
    while (*p != 'e') d.Text[d.Count++] = *p++;
  }
  ++p;  // 'e'
  const bool negative = *p == '-';
  ++p;  // sign
  int exponent = 0;
  std::from_chars(p, end, exponent);
  d.Exponent = negative ? -exponent : exponent;
  return d;
}

}  // namespace

Digits RoundSignificant(double absValue, int precision) {
  precision = std::clamp(precision, 1, kMaxSignificant);
  char buffer[kMaxSignificant + 16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, absValue,
                                    std::chars_format::scientific, precision - 1);
  Digits d = ParseScientific(buffer, result.ptr);
  if (precision < kMaxSignificant && IsHalfway(absValue, precision - 1 - d.Exponent)) {
    // The value has exactly one more digit, a 5: round up from there.
    const auto exact = std::to_chars(buffer, buffer + sizeof buffer, absValue,
                                     std::chars_format::scientific, precision);
    Digits longer = ParseScientific(buffer, exact.ptr);
    if (longer.Count == precision + 1 && longer.Text[precision] == '5') {
      longer.Count = precision;
      if (IncrementDigits(longer.Text, longer.Text + longer.Count)) {
        longer.Text[0] = '1';  // 9.99 -> 10.0: the rest are zeros already
        ++longer.Exponent;
      }
      return longer;
    }
  }
  return d;
}

bool AppendNonFinite(std::u16string& out, double value) {
  if (std::isnan(value)) {
    out += u"NAN";
    return true;
  }
  if (std::isinf(value)) {
    out += value < 0 ? u"-INF" : u"INF";
    return true;
  }
  return false;
}

void AppendGeneral(std::u16string& out, double value, int precision, int exponentDigits,
                   char16_t decimalSeparator) {
  if (AppendNonFinite(out, value)) return;
  if (value == 0) {  // also -0
    out += u'0';
    return;
  }
  Digits d = RoundSignificant(std::fabs(value), precision);
  d.TrimZeros();
  if (value < 0) out += u'-';
  const int e = d.Exponent;
  if (e < precision && e >= -5) {
    if (e >= 0) {
      for (int i = 0; i <= e; ++i) out += i < d.Count ? d.Text[i] : u'0';
      if (d.Count > e + 1) {
        out += decimalSeparator;
        out.append(d.Text + e + 1, d.Text + d.Count);
      }
    } else {
      out += u'0';
      out += decimalSeparator;
      out.append(static_cast<size_t>(-e - 1), u'0');
      out.append(d.Text, d.Text + d.Count);
    }
    return;
  }
  out += d.Text[0];
  if (d.Count > 1) {
    out += decimalSeparator;
    out.append(d.Text + 1, d.Text + d.Count);
  }
  AppendExponent(out, e, false, exponentDigits);
}

void AppendScientific(std::u16string& out, double value, int precision, int exponentDigits,
                      char16_t decimalSeparator) {
  if (AppendNonFinite(out, value)) return;
  const Digits d = RoundSignificant(std::fabs(value), precision);
  if (std::signbit(value) && value != 0) out += u'-';
  out += d.Text[0];
  if (d.Count > 1) {
    out += decimalSeparator;
    out.append(d.Text + 1, d.Text + d.Count);
  }
  AppendExponent(out, d.IsZero() ? 0 : d.Exponent, true, exponentDigits);
}

void AppendFixedMagnitude(std::u16string& out, double absValue, int decimals,
                          char16_t decimalSeparator, char16_t thousandSeparator) {
  if (decimals < 0) decimals = 0;
  const int exact = std::min(decimals, kMaxExactDecimals);
  std::vector<char> buffer(static_cast<size_t>(exact) + 330);
  char* begin = buffer.data() + 1;  // room for a carry into a new leading digit
  char* const limit = buffer.data() + buffer.size();
  char* end;
  if (IsHalfway(absValue, exact)) {
    // Exactly one more digit, a 5: drop it (with the '.' when no decimals remain), round up.
    end = std::to_chars(begin, limit, absValue, std::chars_format::fixed, exact + 1).ptr - 1;
    if (exact == 0) --end;
    if (IncrementDigits(begin, end)) *--begin = '1';
  } else {
    end = std::to_chars(begin, limit, absValue, std::chars_format::fixed, exact).ptr;
  }
  char* point = std::find(begin, end, '.');
  AppendGroupedDigits(out, begin, static_cast<size_t>(point - begin), thousandSeparator);
  if (decimals > 0) {
    out += decimalSeparator;
    if (point != end) out.append(point + 1, end);
    out.append(static_cast<size_t>(decimals - exact), u'0');
  }
}

void AppendGroupedDigits(std::u16string& out, const char* digits, size_t count,
                         char16_t thousandSeparator) {
  for (size_t i = 0; i < count; ++i) {
    out += static_cast<char16_t>(digits[i]);
    const size_t remaining = count - 1 - i;
    if (thousandSeparator && remaining > 0 && remaining % 3 == 0) out += thousandSeparator;
  }
}

}  // namespace qob::floattext
