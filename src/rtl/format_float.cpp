// FormatFloat: number pictures of up to three ';'-separated sections (positive and zero,
// negative, zero), with digit placeholders '0' and '#', '.', ',', E+/E- and quoted text.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "rtl/float_text.h"
#include "rtl/numconv.h"

namespace qob {

namespace {

bool IsQuote(char16_t c) {
  return c == u'"' || c == u'\'';
}

// Index just past the quoted text that starts at `i`.
size_t SkipQuoted(std::u16string_view s, size_t i) {
  const size_t close = s.find(s[i], i + 1);
  return close == std::u16string_view::npos ? s.size() : close + 1;
}

std::vector<std::u16string_view> SplitSections(std::u16string_view picture) {
  std::vector<std::u16string_view> sections;
  size_t start = 0;
  for (size_t i = 0; i < picture.size();) {
    if (IsQuote(picture[i])) {
      i = SkipQuoted(picture, i);
    } else if (picture[i] == u';') {
      sections.push_back(picture.substr(start, i - start));
      start = ++i;
    } else {
      ++i;
    }
  }
  sections.push_back(picture.substr(start));
  return sections;
}

bool IsExponentAt(std::u16string_view s, size_t i) {
  return (s[i] == u'E' || s[i] == u'e') && i + 1 < s.size() &&
         (s[i + 1] == u'+' || s[i + 1] == u'-');
}

// What one section asks for.
struct Picture {
  int IntegerPlaceholders = 0;
  int MinIntegerDigits = 0;
  int MinFractionDigits = 0;
  int MaxFractionDigits = 0;
  bool Thousands = false;
  bool Scientific = false;

  explicit Picture(std::u16string_view section) {
    bool afterPoint = false;
    int firstZero = -1;
    for (size_t i = 0; i < section.size();) {
      const char16_t c = section[i];
      if (IsQuote(c)) {
        i = SkipQuoted(section, i);
        continue;
      }
      if (IsExponentAt(section, i)) {
        Scientific = true;
        break;
      }
      if (c == u'0' || c == u'#') {
        if (afterPoint) {
          ++MaxFractionDigits;
          if (c == u'0') MinFractionDigits = MaxFractionDigits;
        } else {
          if (c == u'0' && firstZero < 0) firstZero = IntegerPlaceholders;
          ++IntegerPlaceholders;
        }
      } else if (c == u'.') {
        afterPoint = true;
      } else if (c == u',' && !afterPoint) {
        Thousands = true;
      }
      ++i;
    }
    MinIntegerDigits = firstZero < 0 ? 0 : IntegerPlaceholders - firstZero;
  }
};

// The digits to show: integer part (leading zeros only as padding), fraction, exponent.
struct Rendered {
  std::string Integer;
  std::string Fraction;
  int Exponent = 0;

  bool AllZero() const {
    return Integer.find_first_not_of('0') == std::string::npos &&
           Fraction.find_first_not_of('0') == std::string::npos;
  }
};

Rendered Render(const Picture& picture, double absValue) {
  Rendered r;
  if (picture.Scientific) {
    const int integerDigits = std::max(picture.IntegerPlaceholders, 1);
    const int significant = integerDigits + picture.MaxFractionDigits;
    const floattext::Digits d = floattext::RoundSignificant(absValue, significant);
    r.Integer.assign(d.Text, d.Text + std::min(integerDigits, d.Count));
    r.Fraction.assign(d.Text + std::min(integerDigits, d.Count), d.Text + d.Count);
    r.Exponent = absValue == 0 || d.IsZero() ? 0 : d.Exponent - (integerDigits - 1);
  } else {
    std::u16string fixed;
    floattext::AppendFixedMagnitude(fixed, absValue, picture.MaxFractionDigits, u'.', 0);
    const size_t point = fixed.find(u'.');
    r.Integer.assign(fixed.begin(),
                     point == std::u16string::npos ? fixed.end() : fixed.begin() + point);
    if (point != std::u16string::npos) r.Fraction.assign(fixed.begin() + point + 1, fixed.end());
    const size_t firstNonZero = r.Integer.find_first_not_of('0');
    r.Integer.erase(0, firstNonZero == std::string::npos ? r.Integer.size() : firstNonZero);
  }
  if (static_cast<int>(r.Integer.size()) < picture.MinIntegerDigits)
    r.Integer.insert(0, static_cast<size_t>(picture.MinIntegerDigits) - r.Integer.size(), '0');
  while (static_cast<int>(r.Fraction.size()) > picture.MinFractionDigits &&
         r.Fraction.back() == '0')
    r.Fraction.pop_back();
  return r;
}

class SectionWriter {
 public:
  SectionWriter(const Picture& picture, const Rendered& rendered, const TFormatSettings& settings,
                std::u16string& out)
      : FPicture(picture), FRendered(rendered), FSettings(settings), FOut(out) {}

  void Write(std::u16string_view section) {
    bool afterPoint = false;
    int integerIndex = 0;
    int fractionIndex = 0;
    for (size_t i = 0; i < section.size();) {
      const char16_t c = section[i];
      if (IsQuote(c)) {
        const size_t close = section.find(c, i + 1);
        const size_t textEnd = close == std::u16string_view::npos ? section.size() : close;
        FOut.append(section.substr(i + 1, textEnd - i - 1));
        i = textEnd + 1;
        continue;
      }
      if (FPicture.Scientific && IsExponentAt(section, i)) {
        i = WriteExponent(section, i);
        continue;
      }
      if (c == u'0' || c == u'#') {
        if (afterPoint) {
          if (fractionIndex < static_cast<int>(FRendered.Fraction.size()))
            FOut += static_cast<char16_t>(FRendered.Fraction[static_cast<size_t>(fractionIndex)]);
          ++fractionIndex;
        } else {
          WriteIntegerPlaceholder(integerIndex++);
        }
      } else if (c == u'.' && !afterPoint) {
        afterPoint = true;
        if (FPicture.IntegerPlaceholders == 0) WriteIntegerDigits(0, FRendered.Integer.size());
        if (!FRendered.Fraction.empty()) FOut += FSettings.DecimalSeparator;
      } else if (c != u',') {
        FOut += c;
      }
      ++i;
    }
  }

 private:
  // Placeholder `index` of the integer part; the first one also takes the digits that
  // have no placeholder of their own.
  void WriteIntegerPlaceholder(int index) {
    const auto length = static_cast<int>(FRendered.Integer.size());
    const int excess = length - FPicture.IntegerPlaceholders;
    if (index == 0 && excess > 0) WriteIntegerDigits(0, static_cast<size_t>(excess));
    const int digit = excess + index;
    if (digit >= 0) WriteIntegerDigits(static_cast<size_t>(digit), static_cast<size_t>(digit) + 1);
  }

  void WriteIntegerDigits(size_t from, size_t to) {
    const size_t length = FRendered.Integer.size();
    for (size_t k = from; k < to; ++k) {
      FOut += static_cast<char16_t>(FRendered.Integer[k]);
      const size_t remaining = length - 1 - k;
      if (FPicture.Thousands && remaining > 0 && remaining % 3 == 0)
        FOut += FSettings.ThousandSeparator;
    }
  }

  size_t WriteExponent(std::u16string_view section, size_t i) {
    FOut += section[i];
    const bool alwaysSign = section[i + 1] == u'+';
    i += 2;
    int minDigits = 0;
    while (i < section.size() && section[i] == u'0') {
      ++minDigits;
      ++i;
    }
    if (FRendered.Exponent < 0)
      FOut += u'-';
    else if (alwaysSign)
      FOut += u'+';
    char digits[8];
    const auto result = std::to_chars(digits, digits + sizeof digits, std::abs(FRendered.Exponent));
    for (auto n = static_cast<int>(result.ptr - digits); n < minDigits; ++n) FOut += u'0';
    FOut.append(digits, result.ptr);
    return i;
  }

  const Picture& FPicture;
  const Rendered& FRendered;
  const TFormatSettings& FSettings;
  std::u16string& FOut;
};

}  // namespace

WideString FormatFloat(std::u16string_view picture, double value, const TFormatSettings& settings) {
  std::u16string out;
  if (floattext::AppendNonFinite(out, value)) return WideString(out);
  const std::vector<std::u16string_view> sections = SplitSections(picture);
  std::u16string_view section = sections[0];
  bool writeSign = value < 0;
  if (value < 0 && sections.size() >= 2 && !sections[1].empty()) {
    section = sections[1];
    writeSign = false;  // the negative section shows the sign its own way
  } else if (value == 0 && sections.size() >= 3 && !sections[2].empty()) {
    section = sections[2];
  }
  if (section.empty()) return FloatToStr(value, settings);

  const Picture parsed(section);
  const Rendered rendered = Render(parsed, std::fabs(value));
  if (writeSign && !rendered.AllZero()) out += u'-';
  SectionWriter(parsed, rendered, settings, out).Write(section);
  return WideString(out);
}

}  // namespace qob
