// Regional settings: the process-wide TFormatSettings that conversion
// routines read. Initialised once from the user's locale (LC_ALL, LC_TIME,
// LANG); the C/POSIX locale gives US conventions. Hosts may change it; tests fix it.
#pragma once

#include <array>
#include <string_view>

#include "ole/widestring.h"

namespace qob {

struct TFormatSettings {
  char16_t DecimalSeparator = u'.';
  char16_t ThousandSeparator = u',';
  char16_t DateSeparator = u'/';
  char16_t TimeSeparator = u':';
  char16_t ListSeparator = u',';
  WideString ShortDateFormat = u"M/d/yyyy";
  WideString LongDateFormat = u"dddd, MMMM d, yyyy";
  WideString ShortTimeFormat = u"h:nn AMPM";
  WideString LongTimeFormat = u"h:nn:ss AMPM";
  WideString TimeAMString = u"AM";
  WideString TimePMString = u"PM";
  WideString CurrencyString = u"$";
  uint8_t CurrencyFormat = 0;  // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  uint8_t NegCurrFormat = 0;   // 0 "($1)", 1 "-$1", ... as the runtime numbers them
  uint8_t CurrencyDecimals = 2;
  int TwoDigitYearCenturyWindow = 50;
  std::array<WideString, 12> ShortMonthNames;
  std::array<WideString, 12> LongMonthNames;
  std::array<WideString, 7> ShortDayNames;  // Sunday first
  std::array<WideString, 7> LongDayNames;

  // US conventions (also what the C and POSIX locales give).
  static TFormatSettings Invariant();
  // Settings for a POSIX locale name such as "de_DE.UTF-8"; unknown names give Invariant().
  static TFormatSettings ForLocale(std::string_view localeName);
};

// The process-wide settings, initialised on first use from the environment's locale.
TFormatSettings& FormatSettings();

}  // namespace qob
