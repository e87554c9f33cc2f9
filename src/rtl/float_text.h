// Decimal text of doubles, shared by FloatToStr, FormatFloat and Format. Every routine
// works from the exact binary value (std::to_chars), never from the C locale.
#pragma once

#include <string>

namespace qob::floattext {

// Longest digit string asked of RoundSignificant; more digits add nothing to a double.
inline constexpr int kMaxSignificant = 40;

// |value| rounded to a number of significant digits: value = d1.d2d3... * 10^Exponent.
struct Digits {
  char Text[kMaxSignificant];
  int Count = 0;
  int Exponent = 0;

  // Drops trailing zeros (keeping at least one digit).
  void TrimZeros() noexcept {
    while (Count > 1 && Text[Count - 1] == '0') --Count;
  }
  bool IsZero() const noexcept { return Count == 1 && Text[0] == '0'; }
};

Digits RoundSignificant(double absValue, int precision);

// "INF", "-INF" or "NAN" for non-finite values; false for finite ones.
bool AppendNonFinite(std::u16string& out, double value);

// General format: fixed notation while the integer digits fit `precision` and the value is
// at least 1E-5, scientific otherwise; trailing zeros removed; exponent without '+' and with
// at least `exponentDigits` digits.
void AppendGeneral(std::u16string& out, double value, int precision, int exponentDigits,
                   char16_t decimalSeparator);

// "-d.dddE+ddd": `precision` significant digits, sign always, at least `exponentDigits`.
void AppendScientific(std::u16string& out, double value, int precision, int exponentDigits,
                      char16_t decimalSeparator);

// Digits of |value| with `decimals` decimals, thousands grouped by `thousandSeparator`
// unless it is 0. No sign: callers place it.
void AppendFixedMagnitude(std::u16string& out, double absValue, int decimals,
                          char16_t decimalSeparator, char16_t thousandSeparator);

// Appends the decimal digits of `magnitude`, optionally grouped in threes.
void AppendGroupedDigits(std::u16string& out, const char* digits, size_t count,
                         char16_t thousandSeparator);

}  // namespace qob::floattext
