#include "rtl/format.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "rtl/convert_error.h"
#include "rtl/float_text.h"

namespace qob {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Currency layouts by CurrencyFormat and NegCurrFormat: '$' stands for CurrencyString and
// '1' for the digits.
constexpr std::u16string_view kPositiveCurrency[] = {u"$1", u"1$", u"$ 1", u"1 $"};
constexpr std::u16string_view kNegativeCurrency[] = {
    u"($1)", u"-$1",  u"$-1",  u"$1-",  u"(1$)", u"-1$",  u"1-$",   u"1$-",
    u"-1 $", u"-$ 1", u"1 $-", u"$ 1-", u"$ -1", u"1- $", u"($ 1)", u"(1 $)"};

bool HasNonZeroDigit(std::u16string_view text) {
  for (const char16_t c : text)
    if (c >= u'1' && c <= u'9') return true;
  return false;
}

// A Currency magnitude (scaled by 10000) with `decimals` decimals, halves rounded away from
// zero, exact at any size.
void AppendCurrencyMagnitude(std::u16string& out, uint64_t scaled, int decimals,
                             char16_t decimalSeparator, char16_t thousandSeparator) {
  if (decimals < 4) {
    uint64_t unit = 1;
    for (int i = decimals; i < 4; ++i) unit *= 10;
    const uint64_t remainder = scaled % unit;
    scaled -= remainder;
    if (remainder * 2 >= unit) scaled += unit;  // cannot overflow: scaled <= 2^63
  }
  char digits[24];
  char* end = digits + sizeof digits;
  char* p = end;
  uint64_t whole = scaled / 10000;
  do {
    *--p = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole);
  floattext::AppendGroupedDigits(out, p, static_cast<size_t>(end - p), thousandSeparator);
  if (decimals <= 0) return;
  out += decimalSeparator;
  unsigned fraction = static_cast<unsigned>(scaled % 10000);
  for (int i = 0, unit = 1000; i < decimals; ++i, unit /= 10) {
    if (i < 4) {
      out += static_cast<char16_t>(u'0' + fraction / static_cast<unsigned>(unit));
      fraction %= static_cast<unsigned>(unit);
    } else {
      out += u'0';
    }
  }
}

class Formatter {
 public:
  Formatter(std::u16string_view format, std::span<const FormatArg> args,
            const TFormatSettings& settings)
      : FFormat(format), FArgs(args), FSettings(settings) {}

  WideString Run() {
    for (FPos = 0; FPos < FFormat.size();) {
      const size_t percent = FFormat.find(u'%', FPos);
      if (percent == std::u16string_view::npos) {
        FOut.append(FFormat.substr(FPos));
        break;
      }
      FOut.append(FFormat.substr(FPos, percent - FPos));
      FPos = percent + 1;
      if (FPos < FFormat.size() && FFormat[FPos] == u'%') {
        FOut += u'%';
        ++FPos;
        continue;
      }
      Directive();
    }
    return WideString(FOut);
  }

 private:
  [[noreturn]] void Fail() const {
    RaiseConvertError(u"Format '%s' invalid or incompatible with argument", FFormat);
  }

  const FormatArg& NextArg() {
    if (FNextArg >= FArgs.size()) Fail();
    return FArgs[FNextArg++];
  }

  // Widths, precisions and indexes above this are refused rather than
  // letting a format string ask for gigabytes of padding.
  static constexpr int64_t kMaxCount = 1 << 16;

  // Digits or '*' (an Integer argument); nullopt when neither is there.
  std::optional<int64_t> Count() {
    if (FPos < FFormat.size() && FFormat[FPos] == u'*') {
      ++FPos;
      const FormatArg& arg = NextArg();
      if (arg.kind() != FormatArg::Kind::Integer) Fail();
      const int64_t value = arg.AsInteger();
      if (value < -kMaxCount || value > kMaxCount) Fail();
      return value;
    }
    if (FPos >= FFormat.size() || FFormat[FPos] < u'0' || FFormat[FPos] > u'9') return {};
    int64_t value = 0;
    for (; FPos < FFormat.size() && FFormat[FPos] >= u'0' && FFormat[FPos] <= u'9'; ++FPos) {
      value = value * 10 + (FFormat[FPos] - u'0');
      if (value > kMaxCount) Fail();
    }
    return value;
  }

  // %[index:][-][width][.precision]type
  void Directive() {
    std::optional<int64_t> width = Count();
    if (width && FPos < FFormat.size() && FFormat[FPos] == u':') {
      if (*width < 0 || static_cast<uint64_t>(*width) >= FArgs.size()) Fail();
      FNextArg = static_cast<size_t>(*width);
      ++FPos;
      width.reset();
    }
    bool leftAlign = false;
    if (!width && FPos < FFormat.size() && FFormat[FPos] == u'-') {
      leftAlign = true;
      ++FPos;
    }
    if (!width) width = Count();
    if (width && *width < 0) {  // a negative '*' width aligns left
      leftAlign = true;
      width = -*width;
    }
    std::optional<int64_t> precision;
    if (FPos < FFormat.size() && FFormat[FPos] == u'.') {
      ++FPos;
      precision = Count();
      if (!precision) precision = 0;
      if (*precision < 0) precision.reset();
    }
    if (FPos >= FFormat.size()) Fail();
    const char16_t type = FFormat[FPos++];

    const size_t start = FOut.size();
    Convert(type, NextArg(), precision);
    const size_t written = FOut.size() - start;
    if (width && static_cast<uint64_t>(*width) > written) {
      const size_t padding = static_cast<size_t>(*width) - written;
      if (leftAlign)
        FOut.append(padding, u' ');
      else
        FOut.insert(start, padding, u' ');
    }
  }

  void Convert(char16_t type, const FormatArg& arg, std::optional<int64_t> precision) {
    using Kind = FormatArg::Kind;
    switch (type | 0x20) {  // directive letters in either case
      case u'd': {
        if (arg.kind() != Kind::Integer) Fail();
        const int64_t v = arg.AsInteger();
        if (v < 0) FOut += u'-';
        AppendUnsigned(v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v), 10,
                       precision.value_or(0));
        break;
      }
      case u'u':
      case u'x':
        if (arg.kind() != Kind::Integer) Fail();
        AppendUnsigned(AsUnsigned(arg.AsInteger()), (type | 0x20) == u'x' ? 16 : 10,
                       precision.value_or(0));
        break;
      case u'e':
        floattext::AppendScientific(FOut, FloatValue(arg), Digits(precision, 15), 3,
                                    FSettings.DecimalSeparator);
        break;
      case u'f':
        Fixed(arg, Digits(precision, 2), 0);
        break;
      case u'n':
        Fixed(arg, Digits(precision, 2), FSettings.ThousandSeparator);
        break;
      case u'g':
        floattext::AppendGeneral(FOut, FloatValue(arg), Digits(precision, 15), 0,
                                 FSettings.DecimalSeparator);
        break;
      case u'm':
        Money(arg, Digits(precision, FSettings.CurrencyDecimals));
        break;
      case u'p': {
        if (arg.kind() != Kind::Pointer) Fail();
        const auto bits = static_cast<uint64_t>(arg.AsInteger());
        for (int shift = static_cast<int>(sizeof(void*)) * 8 - 4; shift >= 0; shift -= 4)
          FOut += static_cast<char16_t>(kHexDigits[(bits >> shift) & 15]);
        break;
      }
      case u's': {
        if (arg.kind() != Kind::String) Fail();
        std::u16string_view text = arg.AsString().view();
        if (precision && static_cast<uint64_t>(*precision) < text.size()) {
          auto keep = static_cast<size_t>(*precision);
          // Never cut a surrogate pair in half.
          if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) --keep;
          text = text.substr(0, keep);
        }
        FOut.append(text);
        break;
      }
      default:
        Fail();
    }
  }

  // Integers print as unsigned at their own width: 32-bit values as 32-bit patterns.
  static uint64_t AsUnsigned(int64_t v) {
    if (v < 0 && v >= std::numeric_limits<int32_t>::min())
      return static_cast<uint32_t>(static_cast<int32_t>(v));
    return static_cast<uint64_t>(v);
  }

  static int Digits(std::optional<int64_t> precision, int byDefault) {
    if (!precision) return byDefault;
    return static_cast<int>(*precision);
  }

  double FloatValue(const FormatArg& arg) const {
    if (arg.kind() == FormatArg::Kind::Float) return arg.AsFloat();
    if (arg.kind() == FormatArg::Kind::Currency)
      return static_cast<double>(arg.AsInteger()) / 10000;
    Fail();
  }

  void AppendUnsigned(uint64_t value, unsigned base, int64_t minDigits) {
    char16_t buffer[64];
    char16_t* end = buffer + 64;
    char16_t* p = end;
    do {
      *--p = static_cast<char16_t>(kHexDigits[value % base]);
      value /= base;
    } while (value);
    if (end - p < minDigits) FOut.append(static_cast<size_t>(minDigits - (end - p)), u'0');
    FOut.append(p, end);
  }

  // The magnitude with `decimals` decimals; whether the value is negative.
  bool Magnitude(const FormatArg& arg, int decimals, char16_t thousandSeparator,
                 std::u16string& digits) const {
    if (arg.kind() == FormatArg::Kind::Currency) {
      const int64_t v = arg.AsInteger();
      AppendCurrencyMagnitude(digits,
                              v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v),
                              decimals, FSettings.DecimalSeparator, thousandSeparator);
      return v < 0;
    }
    const double v = FloatValue(arg);
    if (floattext::AppendNonFinite(digits, v)) return false;
    floattext::AppendFixedMagnitude(digits, std::fabs(v), decimals, FSettings.DecimalSeparator,
                                    thousandSeparator);
    return v < 0;
  }

  void Fixed(const FormatArg& arg, int decimals, char16_t thousandSeparator) {
    std::u16string digits;
    const bool negative = Magnitude(arg, decimals, thousandSeparator, digits);
    if (negative && HasNonZeroDigit(digits)) FOut += u'-';  // no "-0.00"
    FOut += digits;
  }

  void Money(const FormatArg& arg, int decimals) {
    std::u16string digits;
    bool negative = Magnitude(arg, decimals, FSettings.ThousandSeparator, digits);
    negative = negative && HasNonZeroDigit(digits);
    const std::u16string_view layout =
        negative ? kNegativeCurrency[FSettings.NegCurrFormat < 16 ? FSettings.NegCurrFormat : 0]
                 : kPositiveCurrency[FSettings.CurrencyFormat < 4 ? FSettings.CurrencyFormat : 0];
    for (const char16_t c : layout) {
      if (c == u'$')
        FOut += FSettings.CurrencyString.view();
      else if (c == u'1')
        FOut += digits;
      else
        FOut += c;
    }
  }

  std::u16string_view FFormat;
  std::span<const FormatArg> FArgs;
  const TFormatSettings& FSettings;
  std::u16string FOut;
  size_t FPos = 0;
  size_t FNextArg = 0;
};

}  // namespace

WideString Format(std::u16string_view format, std::span<const FormatArg> args,
                  const TFormatSettings& settings) {
  return Formatter(format, args, settings).Run();
}

}  // namespace qob
