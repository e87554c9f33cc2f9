#include "rtl/format_settings.h"

#include <unicode/dcfmtsym.h>
#include <unicode/dtfmtsym.h>
#include <unicode/dtptngen.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace qob {

namespace {

constexpr const char16_t* kShortMonths[12] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                              u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
constexpr const char16_t* kLongMonths[12] = {u"January",   u"February", u"March",    u"April",
                                             u"May",       u"June",     u"July",     u"August",
                                             u"September", u"October",  u"November", u"December"};
constexpr const char16_t* kShortDays[7] = {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};
constexpr const char16_t* kLongDays[7] = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                                          u"Thursday", u"Friday", u"Saturday"};

WideString ToWide(const icu::UnicodeString& s) {
  return WideString(std::u16string_view(s.getBuffer(), static_cast<size_t>(s.length())));
}

// ICU sometimes separates fields with no-break spaces; pictures and parsing want plain blanks.
char16_t PlainChar(char16_t c) {
  return (c == 0x00A0 || c == 0x202F || c == 0x2009) ? u' ' : c;
}

bool IsPatternLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Translates an ICU date/time pattern into this runtime's picture language. Fields map to
// their picture letters; the first separator between date (or time) fields becomes the
// picture's '/' (or ':') so that changing DateSeparator/TimeSeparator takes effect.
class PatternTranslator {
 public:
  explicit PatternTranslator(char16_t dateSeparator, char16_t timeSeparator)
      : FDateSeparator(dateSeparator), FTimeSeparator(timeSeparator) {}

  std::u16string Translate(const icu::UnicodeString& pattern) const {
    std::u16string out;
    std::u16string literal;
    auto flushLiteral = [&] {
      if (literal.empty()) return;
      const char16_t quote = literal.find(u'"') == std::u16string::npos ? u'"' : u'\'';
      out += quote;
      out += literal;
      out += quote;
      literal.clear();
    };
    const int32_t n = pattern.length();
    for (int32_t i = 0; i < n;) {
      const char16_t c = pattern.charAt(i);
      if (c == u'\'') {
        // Quoted text; '' is a literal apostrophe.
        int32_t j = i + 1;
        if (j < n && pattern.charAt(j) == u'\'') {
          literal += u'\'';
          i = j + 1;
          continue;
        }
        while (j < n) {
          const char16_t q = pattern.charAt(j);
          if (q == u'\'') {
            if (j + 1 < n && pattern.charAt(j + 1) == u'\'') {
              literal += u'\'';
              j += 2;
              continue;
            }
            break;
          }
          literal += PlainChar(q);
          ++j;
        }
        i = j + 1;
        continue;
      }
      if (IsPatternLetter(c)) {
        int32_t count = 1;
        while (i + count < n && pattern.charAt(i + count) == c) ++count;
        flushLiteral();
        out += Field(c, count);
        i += count;
        continue;
      }
      flushLiteral();
      const char16_t plain = PlainChar(c);
      if (plain == FDateSeparator)
        out += u'/';
      else if (plain == FTimeSeparator)
        out += u':';
      else if (plain == u'/' || plain == u':' || plain == u'"')
        literal += plain;  // would otherwise read as a separator or a quote
      else
        out += plain;
      ++i;
    }
    flushLiteral();
    return out;
  }

 private:
  static std::u16string Field(char16_t letter, int count) {
    switch (letter) {
      case u'y':
      case u'Y':
      case u'u':
        return count == 2 ? u"yy" : u"yyyy";
      case u'M':
      case u'L':
        return count == 1 ? u"M" : count == 2 ? u"MM" : count == 3 ? u"MMM" : u"MMMM";
      case u'd':
        return count == 1 ? u"d" : u"dd";
      case u'E':
      case u'c':
      case u'e':
        return count <= 3 ? u"ddd" : u"dddd";
      case u'h':
      case u'H':
      case u'k':
      case u'K':
        return count == 1 ? u"h" : u"hh";
      case u'm':
        return count == 1 ? u"n" : u"nn";
      case u's':
        return count == 1 ? u"s" : u"ss";
      case u'S':
        return u"zzz";
      case u'a':
      case u'b':
      case u'B':
        return u"AMPM";
      default:
        return {};  // eras, time zones, quarters: the pictures have no such field
    }
  }

  char16_t FDateSeparator;
  char16_t FTimeSeparator;
};

// The first character between two fields of a pattern: the locale's separator.
char16_t FirstSeparator(const icu::UnicodeString& pattern, char16_t fallback) {
  bool seenField = false;
  bool quoted = false;
  for (int32_t i = 0; i < pattern.length(); ++i) {
    const char16_t c = pattern.charAt(i);
    if (c == u'\'') {
      quoted = !quoted;
      continue;
    }
    if (quoted) continue;
    if (IsPatternLetter(c)) {
      seenField = true;
    } else if (seenField && c != u' ' && c != u',' && PlainChar(c) != u' ') {
      return c;
    }
  }
  return fallback;
}

icu::UnicodeString BestPattern(icu::DateTimePatternGenerator& generator, const char16_t* skeleton) {
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString pattern = generator.getBestPattern(icu::UnicodeString(skeleton), status);
  return U_SUCCESS(status) ? pattern : icu::UnicodeString();
}

char16_t SingleChar(const icu::UnicodeString& s, char16_t fallback) {
  return s.length() == 1 ? PlainChar(s.charAt(0)) : fallback;
}

// "de_DE.UTF-8@euro" -> "de_DE"; empty for the C and POSIX locales.
std::string LanguageTag(std::string_view name) {
  std::string tag(name.substr(0, name.find_first_of(".@")));
  if (tag == "C" || tag == "POSIX") tag.clear();
  return tag;
}

// ICU answers an unknown locale with the process default or root data; such names keep the
// US conventions instead.
bool HasLocaleData(const icu::Locale& locale) {
  int32_t count = 0;
  const icu::Locale* available = icu::Locale::getAvailableLocales(count);
  for (int32_t i = 0; i < count; ++i)
    if (std::string_view(available[i].getLanguage()) == locale.getLanguage()) return true;
  return false;
}

void ApplyCurrencyFormat(const icu::Locale& locale, TFormatSettings& fs) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::NumberFormat> currency(
      icu::NumberFormat::createCurrencyInstance(locale, status));
  if (U_FAILURE(status) || !currency) return;
  fs.CurrencyDecimals = static_cast<uint8_t>(currency->getMaximumFractionDigits());
  icu::UnicodeString sample;
  currency->format(1.0, sample);
  // Where the symbol stands relative to the digits, and whether a blank separates them.
  int32_t firstDigit = -1;
  int32_t lastDigit = -1;
  for (int32_t i = 0; i < sample.length(); ++i) {
    if (u_isdigit(sample.charAt(i))) {
      if (firstDigit < 0) firstDigit = i;
      lastDigit = i;
    }
  }
  if (firstDigit < 0) return;
  const bool symbolFirst = firstDigit > 0;
  const bool spaced = symbolFirst ? PlainChar(sample.charAt(firstDigit - 1)) == u' '
                                  : lastDigit + 1 < sample.length() &&
                                        PlainChar(sample.charAt(lastDigit + 1)) == u' ';
  // Positive: 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"; negative with a leading minus:
  // 1 "-$1", 5 "-1$", 9 "-$ 1", 8 "-1 $".
  if (symbolFirst) {
    fs.CurrencyFormat = spaced ? 2 : 0;
    fs.NegCurrFormat = spaced ? 9 : 1;
  } else {
    fs.CurrencyFormat = spaced ? 3 : 1;
    fs.NegCurrFormat = spaced ? 8 : 5;
  }
}

}  // namespace

TFormatSettings TFormatSettings::Invariant() {
  TFormatSettings fs;
  for (int i = 0; i < 12; ++i) {
    fs.ShortMonthNames[i] = kShortMonths[i];
    fs.LongMonthNames[i] = kLongMonths[i];
  }
  for (int i = 0; i < 7; ++i) {
    fs.ShortDayNames[i] = kShortDays[i];
    fs.LongDayNames[i] = kLongDays[i];
  }
  return fs;
}

TFormatSettings TFormatSettings::ForLocale(std::string_view localeName) {
  const std::string tag = LanguageTag(localeName);
  if (tag.empty()) return Invariant();
  const icu::Locale locale(tag.c_str());
  if (locale.isBogus()) return Invariant();

  if (!HasLocaleData(locale)) return Invariant();

  UErrorCode status = U_ZERO_ERROR;
  icu::DateFormatSymbols symbols(locale, status);
  if (U_FAILURE(status)) return Invariant();

  TFormatSettings fs = Invariant();

  icu::DecimalFormatSymbols numbers(locale, status);
  if (U_SUCCESS(status)) {
    fs.DecimalSeparator =
        SingleChar(numbers.getSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol), u'.');
    fs.ThousandSeparator =
        SingleChar(numbers.getSymbol(icu::DecimalFormatSymbols::kGroupingSeparatorSymbol), u',');
    fs.CurrencyString = ToWide(numbers.getSymbol(icu::DecimalFormatSymbols::kCurrencySymbol));
  }
  fs.ListSeparator = fs.DecimalSeparator == u',' ? u';' : u',';
  ApplyCurrencyFormat(locale, fs);

  std::unique_ptr<icu::DateTimePatternGenerator> generator(
      icu::DateTimePatternGenerator::createInstance(locale, status));
  if (U_SUCCESS(status) && generator) {
    const icu::UnicodeString shortDate = BestPattern(*generator, u"yMd");
    const icu::UnicodeString longDate = BestPattern(*generator, u"yMMMMEEEEd");
    const icu::UnicodeString shortTime = BestPattern(*generator, u"jm");
    const icu::UnicodeString longTime = BestPattern(*generator, u"jms");
    fs.DateSeparator = PlainChar(FirstSeparator(shortDate, u'/'));
    fs.TimeSeparator = PlainChar(FirstSeparator(longTime, u':'));
    // Each picture maps only its own separator; the long date spells its separators out.
    const PatternTranslator dateTranslator(fs.DateSeparator, 0);
    const PatternTranslator longDateTranslator(0, 0);
    const PatternTranslator timeTranslator(0, fs.TimeSeparator);
    if (!shortDate.isEmpty()) fs.ShortDateFormat = dateTranslator.Translate(shortDate);
    if (!longDate.isEmpty()) fs.LongDateFormat = longDateTranslator.Translate(longDate);
    if (!shortTime.isEmpty()) fs.ShortTimeFormat = timeTranslator.Translate(shortTime);
    if (!longTime.isEmpty()) fs.LongTimeFormat = timeTranslator.Translate(longTime);
  }

  int32_t count = 0;
  const icu::UnicodeString* names =
      symbols.getMonths(count, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::WIDE);
  for (int32_t i = 0; i < count && i < 12; ++i) fs.LongMonthNames[i] = ToWide(names[i]);
  names =
      symbols.getMonths(count, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::ABBREVIATED);
  for (int32_t i = 0; i < count && i < 12; ++i) fs.ShortMonthNames[i] = ToWide(names[i]);
  // ICU's weekday arrays are 1-based with Sunday at 1.
  names = symbols.getWeekdays(count, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::WIDE);
  for (int32_t i = 1; i < count && i <= 7; ++i) fs.LongDayNames[i - 1] = ToWide(names[i]);
  names = symbols.getWeekdays(count, icu::DateFormatSymbols::FORMAT,
                              icu::DateFormatSymbols::ABBREVIATED);
  for (int32_t i = 1; i < count && i <= 7; ++i) fs.ShortDayNames[i - 1] = ToWide(names[i]);
  names = symbols.getAmPmStrings(count);
  if (count >= 2) {
    fs.TimeAMString = ToWide(names[0]);
    fs.TimePMString = ToWide(names[1]);
  }
  return fs;
}

TFormatSettings& FormatSettings() {
  // The locale categories in the order the C library would consult them for dates.
  static TFormatSettings settings = [] {
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
      const char* value = std::getenv(variable);
      if (value && *value) return TFormatSettings::ForLocale(value);
    }
    return TFormatSettings::Invariant();
  }();
  return settings;
}

}  // namespace qob
