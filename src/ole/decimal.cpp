#include "ole/decimal.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "rtl/exceptions.h"

namespace qob {

namespace {

using u128 = unsigned __int128;

constexpr u128 kMax96 = (u128{1} << 96) - 1;

constexpr std::array<u128, 39> kPowersOfTen = [] {
  std::array<u128, 39> table{};
  u128 p = 1;
  for (u128& entry : table) {
    entry = p;
    p *= 10;
  }
  return table;
}();

u128 Pow10(int n) noexcept {
  return kPowersOfTen[static_cast<size_t>(n)];
}

// A malformed scale (above 28) is clamped rather than read out of range.
int ScaleOf(const TDecimal& d) noexcept {
  return std::min<int>(d.Scale, kDecimalMaxScale);
}
bool NegativeOf(const TDecimal& d) noexcept {
  return (d.Sign & kDecimalNegative) != 0;
}
u128 MagnitudeOf(const TDecimal& d) noexcept {
  return (u128{d.Hi32} << 64) | d.Lo64;
}

TDecimal MakeDecimal(u128 magnitude, int scale, bool negative) noexcept {
  TDecimal d{};
  d.Scale = static_cast<uint8_t>(scale);
  d.Sign = negative && magnitude != 0 ? kDecimalNegative : 0;
  d.Hi32 = static_cast<uint32_t>(magnitude >> 64);
  d.Lo64 = static_cast<uint64_t>(magnitude);
  return d;
}

// Wide enough for a 96-bit magnitude scaled by 10^28 or two magnitudes multiplied.
struct U192 {
  std::array<uint64_t, 3> limb{};

  static U192 From(u128 value) noexcept {
    U192 r;
    r.limb[0] = static_cast<uint64_t>(value);
    r.limb[1] = static_cast<uint64_t>(value >> 64);
    return r;
  }
  bool IsZero() const noexcept { return (limb[0] | limb[1] | limb[2]) == 0; }
  bool Fits96() const noexcept { return limb[2] == 0 && (limb[1] >> 32) == 0; }
  bool IsOdd() const noexcept { return (limb[0] & 1) != 0; }
  u128 Low128() const noexcept { return (u128{limb[1]} << 64) | limb[0]; }

  void MulSmall(uint64_t factor) noexcept {
    u128 carry = 0;
    for (uint64_t& l : limb) {
      const u128 p = u128{l} * factor + carry;
      l = static_cast<uint64_t>(p);
      carry = p >> 64;
    }
  }
  void AddSmall(uint64_t value) noexcept {
    for (uint64_t& l : limb) {
      l += value;
      if (l >= value) return;
      value = 1;
    }
  }
  // Divides in place and returns the remainder.
  uint64_t DivSmall(uint64_t divisor) noexcept {
    u128 rem = 0;
    for (size_t i = limb.size(); i-- > 0;) {
      const u128 cur = (rem << 64) | limb[i];
      limb[i] = static_cast<uint64_t>(cur / divisor);
      rem = cur % divisor;
    }
    return static_cast<uint64_t>(rem);
  }
  void Add(const U192& other) noexcept {
    u128 carry = 0;
    for (size_t i = 0; i < limb.size(); ++i) {
      const u128 s = u128{limb[i]} + other.limb[i] + carry;
      limb[i] = static_cast<uint64_t>(s);
      carry = s >> 64;
    }
  }
  // Requires *this >= other.
  void Sub(const U192& other) noexcept {
    uint64_t borrow = 0;
    for (size_t i = 0; i < limb.size(); ++i) {
      const uint64_t a = limb[i];
      const uint64_t d = a - other.limb[i] - borrow;
      borrow = (a < other.limb[i] || (a == other.limb[i] && borrow)) ? 1 : 0;
      limb[i] = d;
    }
  }
  friend int Compare(const U192& a, const U192& b) noexcept {
    for (size_t i = a.limb.size(); i-- > 0;)
      if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i] ? -1 : 1;
    return 0;
  }
};

void MulPow10(U192& value, int n) noexcept {
  while (n > 0) {
    const int step = std::min(n, 19);
    value.MulSmall(static_cast<uint64_t>(Pow10(step)));
    n -= step;
  }
}

U192 Mul96(u128 a, u128 b) noexcept {
  const uint64_t a0 = static_cast<uint64_t>(a), a1 = static_cast<uint64_t>(a >> 64);
  const uint64_t b0 = static_cast<uint64_t>(b), b1 = static_cast<uint64_t>(b >> 64);
  U192 result = U192::From(u128{a0} * b0);
  for (const u128 cross : {u128{a0} * b1, u128{a1} * b0}) {
    U192 shifted;
    shifted.limb[1] = static_cast<uint64_t>(cross);
    shifted.limb[2] = static_cast<uint64_t>(cross >> 64);
    result.Add(shifted);
  }
  result.limb[2] += a1 * b1;  // both halves are below 2^32
  return result;
}

// Brings the value m / 10^scale into 96 bits and a scale of at most 28,
// rounding half to even (`sticky` says digits were already dropped).
// False when the whole part alone does not fit.
bool Reduce(U192& m, int& scale, bool sticky = false) noexcept {
  uint64_t last = 0;
  bool dropped = false;
  while (scale > kDecimalMaxScale || !m.Fits96()) {
    if (scale == 0) return false;
    if (last != 0) sticky = true;
    last = m.DivSmall(10);
    dropped = true;
    --scale;
  }
  if (dropped && (last > 5 || (last == 5 && (sticky || m.IsOdd())))) {
    m.AddSmall(1);
    if (!m.Fits96()) {
      if (scale == 0) return false;
      if (m.DivSmall(10) >= 5) m.AddSmall(1);
      --scale;
    }
  }
  return true;
}

TDecimal AddSigned(const TDecimal& a, const TDecimal& b, bool negateRight) {
  const bool na = NegativeOf(a);
  const bool nb = NegativeOf(b) != negateRight;
  const int sa = ScaleOf(a), sb = ScaleOf(b);
  int scale = std::max(sa, sb);
  U192 ma = U192::From(MagnitudeOf(a)), mb = U192::From(MagnitudeOf(b));
  MulPow10(ma, scale - sa);
  MulPow10(mb, scale - sb);
  U192 m;
  bool negative;
  if (na == nb) {
    m = ma;
    m.Add(mb);
    negative = na;
  } else if (Compare(ma, mb) >= 0) {
    m = ma;
    m.Sub(mb);
    negative = na;
  } else {
    m = mb;
    m.Sub(ma);
    negative = nb;
  }
  if (!Reduce(m, scale)) throw EVariantOverflowError();
  return MakeDecimal(m.Low128(), scale, negative);
}

std::string DigitsOf(u128 m) {
  if (m == 0) return "0";
  std::string digits;
  while (m != 0) {
    digits.push_back(static_cast<char>('0' + static_cast<int>(m % 10)));
    m /= 10;
  }
  std::reverse(digits.begin(), digits.end());
  return digits;
}

}  // namespace

TDecimal DecimalFromInt64(int64_t value) noexcept {
  const bool negative = value < 0;
  const uint64_t magnitude = negative ? ~static_cast<uint64_t>(value) + 1 : value;
  return MakeDecimal(magnitude, 0, negative);
}

TDecimal DecimalFromUInt64(uint64_t value) noexcept {
  return MakeDecimal(value, 0, false);
}

TDecimal DecimalFromCurrency(int64_t scaled) noexcept {
  TDecimal d = DecimalFromInt64(scaled);
  d.Scale = 4;
  return d;
}

bool TryDecimalFromDouble(double value, TDecimal& result) noexcept {
  if (!std::isfinite(value) || std::fabs(value) >= 79228162514264337593543950336.0) return false;
  if (value == 0) {
    result = MakeDecimal(0, 0, false);
    return true;
  }
  // Scientific text with 15 significant digits: d.dddddddddddddde[+-]x.
  char text[48];
  const auto printed =
      std::to_chars(text, text + sizeof(text), std::fabs(value), std::chars_format::scientific, 14);
  u128 digits = 0;
  const char* p = text;
  for (; p < printed.ptr && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits = digits * 10 + static_cast<unsigned>(*p - '0');
  int exponent = 0;
  if (p < printed.ptr) {
    ++p;
    if (*p == '+') ++p;
    std::from_chars(p, printed.ptr, exponent);
  }
  int scale = 14 - exponent;
  while (scale > 0 && digits % 10 == 0) {
    digits /= 10;
    --scale;
  }
  U192 m = U192::From(digits);
  if (scale < 0) {
    MulPow10(m, -scale);
    scale = 0;
    if (!m.Fits96()) return false;
  }
  if (!Reduce(m, scale)) return false;
  result = MakeDecimal(m.Low128(), scale, value < 0);
  return true;
}

double DecimalToDouble(const TDecimal& value) noexcept {
  // The shortest exact text parsed back gives the correctly rounded double.
  std::string text = DigitsOf(MagnitudeOf(value));
  text += "e-";
  text += std::to_string(ScaleOf(value));
  double result = 0;
  std::from_chars(text.data(), text.data() + text.size(), result);
  return NegativeOf(value) ? -result : result;
}

bool TryDecimalToInt64(const TDecimal& value, int64_t& result) noexcept {
  const u128 p = Pow10(ScaleOf(value));
  const u128 m = MagnitudeOf(value);
  u128 q = m / p;
  const u128 r = m % p;
  if (2 * r > p || (2 * r == p && (q & 1) != 0)) ++q;
  const u128 limit = u128{1} << 63;
  if (NegativeOf(value)) {
    if (q > limit) return false;
    result = static_cast<int64_t>(~static_cast<uint64_t>(q) + 1);
  } else {
    if (q >= limit) return false;
    result = static_cast<int64_t>(q);
  }
  return true;
}

bool TryDecimalToCurrency(const TDecimal& value, int64_t& scaled) noexcept {
  const int scale = ScaleOf(value);
  const u128 m = MagnitudeOf(value);
  u128 q;
  if (scale <= 4) {
    q = m * Pow10(4 - scale);
  } else {
    const u128 p = Pow10(scale - 4);
    q = m / p;
    const u128 r = m % p;
    if (2 * r > p || (2 * r == p && (q & 1) != 0)) ++q;
  }
  const u128 limit = u128{1} << 63;
  if (NegativeOf(value)) {
    if (q > limit) return false;
    scaled = static_cast<int64_t>(~static_cast<uint64_t>(q) + 1);
  } else {
    if (q >= limit) return false;
    scaled = static_cast<int64_t>(q);
  }
  return true;
}

bool DecimalIsZero(const TDecimal& value) noexcept {
  return MagnitudeOf(value) == 0;
}

bool DecimalIsNegative(const TDecimal& value) noexcept {
  return NegativeOf(value) && !DecimalIsZero(value);
}

int DecimalCompare(const TDecimal& left, const TDecimal& right) noexcept {
  const bool nl = DecimalIsNegative(left), nr = DecimalIsNegative(right);
  if (nl != nr) return nl ? -1 : 1;
  const int sl = ScaleOf(left), sr = ScaleOf(right);
  const int scale = std::max(sl, sr);
  U192 ml = U192::From(MagnitudeOf(left)), mr = U192::From(MagnitudeOf(right));
  MulPow10(ml, scale - sl);
  MulPow10(mr, scale - sr);
  const int c = Compare(ml, mr);
  return nl ? -c : c;
}

TDecimal DecimalAdd(const TDecimal& left, const TDecimal& right) {
  return AddSigned(left, right, false);
}

TDecimal DecimalSub(const TDecimal& left, const TDecimal& right) {
  return AddSigned(left, right, true);
}

TDecimal DecimalMul(const TDecimal& left, const TDecimal& right) {
  U192 m = Mul96(MagnitudeOf(left), MagnitudeOf(right));
  int scale = ScaleOf(left) + ScaleOf(right);
  if (!Reduce(m, scale)) throw EVariantOverflowError();
  return MakeDecimal(m.Low128(), scale, NegativeOf(left) != NegativeOf(right));
}

TDecimal DecimalDiv(const TDecimal& left, const TDecimal& right) {
  const u128 divisor = MagnitudeOf(right);
  if (divisor == 0) throw EZeroDivide();
  const u128 dividend = MagnitudeOf(left);
  u128 q = dividend / divisor;
  u128 r = dividend % divisor;
  // Long division, one decimal digit at a time, while the quotient has room.
  int scale = ScaleOf(left) - ScaleOf(right);
  while (r != 0 && scale < kDecimalMaxScale && q <= (kMax96 - 9) / 10) {
    r *= 10;
    q = q * 10 + r / divisor;
    r %= divisor;
    ++scale;
  }
  for (; scale < 0; ++scale) {
    if (r != 0 || q > kMax96 / 10) throw EVariantOverflowError();
    q *= 10;
  }
  if (r != 0 && (2 * r > divisor || (2 * r == divisor && (q & 1) != 0))) {
    ++q;
    if (q > kMax96) {
      if (scale == 0) throw EVariantOverflowError();
      const u128 digit = q % 10;
      q = q / 10 + (digit >= 5 ? 1 : 0);
      --scale;
    }
  }
  return MakeDecimal(q, scale, NegativeOf(left) != NegativeOf(right));
}

TDecimal DecimalNegate(const TDecimal& value) noexcept {
  return MakeDecimal(MagnitudeOf(value), ScaleOf(value), !NegativeOf(value));
}

TDecimal DecimalAbs(const TDecimal& value) noexcept {
  return MakeDecimal(MagnitudeOf(value), ScaleOf(value), false);
}

TDecimal DecimalFix(const TDecimal& value) noexcept {
  return MakeDecimal(MagnitudeOf(value) / Pow10(ScaleOf(value)), 0, NegativeOf(value));
}

TDecimal DecimalInt(const TDecimal& value) noexcept {
  const u128 p = Pow10(ScaleOf(value));
  u128 q = MagnitudeOf(value) / p;
  if (NegativeOf(value) && MagnitudeOf(value) % p != 0) ++q;
  return MakeDecimal(q, 0, NegativeOf(value));
}

std::u16string DecimalToString(const TDecimal& value, char16_t decimalSeparator) {
  const std::string digits = DigitsOf(MagnitudeOf(value));
  const size_t scale = static_cast<size_t>(ScaleOf(value));
  std::u16string text;
  if (DecimalIsNegative(value)) text += u'-';
  const size_t width = std::max(digits.size(), scale + 1);
  const std::string padded = std::string(width - digits.size(), '0') + digits;
  size_t end = padded.size();
  while (end > width - scale && padded[end - 1] == '0') --end;  // no trailing zeros
  for (size_t i = 0; i < end; ++i) {
    if (i == width - scale) text += decimalSeparator;
    text += static_cast<char16_t>(padded[i]);
  }
  return text;
}

DecimalParseResult TryStrToDecimal(std::u16string_view text, TDecimal& result,
                                   char16_t decimalSeparator) noexcept {
  size_t i = 0, n = text.size();
  while (i < n && text[i] <= u' ') ++i;
  while (n > i && text[n - 1] <= u' ') --n;
  bool negative = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  U192 m;
  int kept = 0;  // significant digits held in m; later ones only round
  int scale = 0;
  bool anyDigit = false, afterSeparator = false, sticky = false;
  for (; i < n; ++i) {
    const char16_t c = text[i];
    if (c >= u'0' && c <= u'9') {
      anyDigit = true;
      if (kept < 36) {
        if (kept > 0 || c != u'0') {
          m.MulSmall(10);
          m.AddSmall(static_cast<uint64_t>(c - u'0'));
          ++kept;
        }
        if (afterSeparator) ++scale;
      } else {
        if (!afterSeparator) --scale;
        sticky = sticky || c != u'0';
      }
    } else if (c == decimalSeparator && !afterSeparator) {
      afterSeparator = true;
    } else {
      break;
    }
  }
  if (!anyDigit) return DecimalParseResult::kInvalid;
  if (i < n && (text[i] == u'e' || text[i] == u'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) negativeExponent = text[i++] == u'-';
    if (i == n) return DecimalParseResult::kInvalid;
    int exponent = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i)
      exponent = std::min(exponent * 10 + (text[i] - u'0'), 1000);
    scale += negativeExponent ? exponent : -exponent;
  }
  if (i != n) return DecimalParseResult::kInvalid;
  if (m.IsZero()) {
    scale = 0;
  } else if (scale < 0) {
    if (kept - 1 - scale >= 29) return DecimalParseResult::kOverflow;  // at least 10^29
    MulPow10(m, -scale);
    scale = 0;
  }
  if (!Reduce(m, scale, sticky)) return DecimalParseResult::kOverflow;
  result = MakeDecimal(m.Low128(), scale, negative);
  return DecimalParseResult::kOk;
}

}  // namespace qob
