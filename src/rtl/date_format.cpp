// FormatDateTime and the routines built on it.
#include <string>

#include "rtl/datetime.h"
#include "rtl/datetime_parts.h"
#include "rtl/exceptions.h"

namespace qob {

namespace {

char16_t AsciiLower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c;
}

bool StartsWithNoCase(std::u16string_view text, size_t at, std::u16string_view prefix) {
  if (text.size() - at < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (AsciiLower(text[at + i]) != prefix[i]) return false;
  return true;
}

// Length of the AM/PM specifier at `at` ("am/pm", "a/p", "ampm"), 0 if none.
size_t AmPmLength(std::u16string_view picture, size_t at) {
  if (StartsWithNoCase(picture, at, u"am/pm")) return 5;
  if (StartsWithNoCase(picture, at, u"a/p")) return 3;
  if (StartsWithNoCase(picture, at, u"ampm")) return 4;
  return 0;
}

// An hour shows on the 12-hour clock when an AM/PM specifier follows it in the picture.
bool AmPmFollows(std::u16string_view picture, size_t from) {
  for (size_t i = from; i < picture.size(); ++i) {
    const char16_t c = picture[i];
    if (c == u'"' || c == u'\'') {
      const size_t close = picture.find(c, i + 1);
      if (close == std::u16string_view::npos) return false;
      i = close;
    } else if (AmPmLength(picture, i)) {
      return true;
    }
  }
  return false;
}

// Nested pictures (c, ddddd, t, ...) may name further pictures; settings that refer back
// to themselves must not recurse for ever.
constexpr int kMaxNesting = 3;

class DateTimeWriter {
 public:
  DateTimeWriter(const dateparts::DateTimeParts& parts, const TFormatSettings& settings,
                 std::u16string& out)
      : FParts(parts), FSettings(settings), FOut(out) {}

  void Write(std::u16string_view picture, int depth = 0) {
    bool afterHour = false;  // 'm' right after an hour (literals between) means minutes
    for (size_t i = 0; i < picture.size();) {
      const char16_t c = picture[i];
      const char16_t lower = AsciiLower(c);
      if (c == u'"' || c == u'\'') {
        const size_t close = picture.find(c, i + 1);
        const size_t end = close == std::u16string_view::npos ? picture.size() : close;
        FOut.append(picture.substr(i + 1, end - i - 1));
        i = end + 1;
        continue;
      }
      if (const size_t amPm = AmPmLength(picture, i)) {
        WriteAmPm(picture.substr(i, amPm));
        i += amPm;
        afterHour = false;
        continue;
      }
      size_t run = 1;
      while (i + run < picture.size() && AsciiLower(picture[i + run]) == lower) ++run;
      bool isField = true;
      switch (lower) {
        case u'c':
          run = 1;
          Nested(FSettings.ShortDateFormat, depth);
          if (FParts.MillisecondOfDay != 0) {
            FOut += u' ';
            Nested(FSettings.LongTimeFormat, depth);
          }
          break;
        case u'd':
          WriteDay(run, depth);
          break;
        case u'm':
          if (afterHour && run <= 2)
            WriteNumber(FParts.Minute, run);
          else
            WriteMonth(run);
          break;
        case u'y':
          if (run <= 2)
            WriteNumber(FParts.Year % 100, 2);
          else
            WriteNumber(FParts.Year, 4);
          break;
        case u'h': {
          int hour = FParts.Hour;
          if (AmPmFollows(picture, i + run)) hour = hour % 12 == 0 ? 12 : hour % 12;
          WriteNumber(hour, run >= 2 ? 2 : 1);
          break;
        }
        case u'n':
          WriteNumber(FParts.Minute, run >= 2 ? 2 : 1);
          break;
        case u's':
          WriteNumber(FParts.Second, run >= 2 ? 2 : 1);
          break;
        case u'z':
          WriteNumber(FParts.Millisecond, run >= 3 ? 3 : 1);
          break;
        case u't':
          Nested(run == 1 ? FSettings.ShortTimeFormat : FSettings.LongTimeFormat, depth);
          break;
        default:
          isField = false;
          run = 1;
          if (c == u'/')
            FOut += FSettings.DateSeparator;
          else if (c == u':')
            FOut += FSettings.TimeSeparator;
          else
            FOut += c;
          break;
      }
      if (isField) afterHour = lower == u'h';
      i += run;
    }
  }

 private:
  void Nested(const WideString& picture, int depth) {
    if (depth < kMaxNesting) Write(picture, depth + 1);
  }

  void WriteNumber(int value, size_t minDigits) {
    const std::u16string digits = [&] {
      std::u16string d;
      do {
        d.insert(d.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
      } while (value);
      return d;
    }();
    for (size_t n = digits.size(); n < minDigits; ++n) FOut += u'0';
    FOut += digits;
  }

  void WriteDay(size_t run, int depth) {
    switch (run) {
      case 1:
      case 2:
        WriteNumber(FParts.Day, run);
        break;
      case 3:
        FOut += FSettings.ShortDayNames[FParts.DayOfWeek - 1].view();
        break;
      case 4:
        FOut += FSettings.LongDayNames[FParts.DayOfWeek - 1].view();
        break;
      case 5:
        Nested(FSettings.ShortDateFormat, depth);
        break;
      default:
        Nested(FSettings.LongDateFormat, depth);
        break;
    }
  }

  void WriteMonth(size_t run) {
    if (run <= 2)
      WriteNumber(FParts.Month, run);
    else if (run == 3)
      FOut += FSettings.ShortMonthNames[FParts.Month - 1].view();
    else
      FOut += FSettings.LongMonthNames[FParts.Month - 1].view();
  }

  // "am/pm" and "a/p" show the half of the day in the letters' own case; "ampm" shows the
  // settings' strings.
  void WriteAmPm(std::u16string_view specifier) {
    const bool pm = FParts.Hour >= 12;
    if (specifier.size() == 4)
      FOut += (pm ? FSettings.TimePMString : FSettings.TimeAMString).view();
    else if (specifier.size() == 5)
      FOut += pm ? specifier.substr(3, 2) : specifier.substr(0, 2);
    else
      FOut += pm ? specifier[2] : specifier[0];
  }

  const dateparts::DateTimeParts& FParts;
  const TFormatSettings& FSettings;
  std::u16string& FOut;
};

dateparts::DateTimeParts SplitOrRaise(TDateTime value) {
  dateparts::DateTimeParts parts;
  if (!dateparts::Split(value, parts)) throw EConvertError(u"Invalid date value");
  return parts;
}

WideString Render(std::u16string_view picture, TDateTime value, const TFormatSettings& settings) {
  const dateparts::DateTimeParts parts = SplitOrRaise(value);
  std::u16string out;
  DateTimeWriter(parts, settings, out).Write(picture);
  return WideString(out);
}

}  // namespace

WideString FormatDateTime(std::u16string_view picture, TDateTime value,
                          const TFormatSettings& settings) {
  // An empty picture shows the value as 'c' does.
  return Render(picture.empty() ? std::u16string_view(u"c") : picture, value, settings);
}

WideString DateToStr(TDateTime value, const TFormatSettings& settings) {
  return Render(u"ddddd", value, settings);
}

WideString TimeToStr(TDateTime value, const TFormatSettings& settings) {
  return Render(u"tt", value, settings);
}

WideString DateTimeToStr(TDateTime value, const TFormatSettings& settings) {
  return Render(u"c", value, settings);
}

}  // namespace qob
