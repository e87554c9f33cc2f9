// Date and time built-ins. Formats and parsing follow the regional settings.
#include <algorithm>
#include <cstdint>

#include "ole/variant_convert.h"
#include "pascal/pas_builtins.h"
#include "rtl/datetime.h"
#include "rtl/datetime_parts.h"

namespace qob::pas_builtins {

namespace {

TDateTime DateArg(const Variant* AArgs, int32_t AIndex) {
  return VarToDate(Arg(AArgs, AIndex));
}

WideString StrArg(const Variant* AArgs, int32_t AIndex) {
  return VarToStr(Arg(AArgs, AIndex));
}

// Writes decoded parts to the var arguments from AFirst on. Their current
// values must convert to integers first, as the parts are integers.
void WriteParts(Variant* AArgs, int32_t AFirst, std::initializer_list<int> AParts) {
  for (size_t i = 0; i < AParts.size(); ++i) (void)VarToInt32(Arg(AArgs, AFirst + int32_t(i)));
  int32_t index = AFirst;
  for (int part : AParts) SetVarArg(AArgs[index++], Variant(int32_t{part}));
}

int DaysInMonth(int AYear, int AMonth) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return AMonth == 2 && IsLeapYear(AYear) ? 29 : kDays[AMonth - 1];
}

// ADate moved by AMonths calendar months, the time of day kept; a day past
// the end of the target month becomes its last day.
TDateTime AddMonths(TDateTime ADate, int64_t AMonths) {
  dateparts::DateTimeParts parts;
  int64_t months = -1;
  if (dateparts::Split(ADate, parts))
    months = int64_t{parts.Year} * 12 + (parts.Month - 1) + AMonths;
  const int64_t year = months >= 0 ? months / 12 : 0;
  // Outside the calendar there is no date: the encoder raises its error.
  if (year < 1 || year > 9999) return EncodeDate(0, 1, 1);
  const int month = static_cast<int>(months % 12) + 1;
  const int day = std::min(parts.Day, DaysInMonth(static_cast<int>(year), month));
  return dateparts::Join(EncodeDate(static_cast<int>(year), month, day), parts.MillisecondOfDay);
}

}  // namespace

void TDate::DoExecute(const TQOBCall&, Variant*, Variant& AResult) {
  AResult = Variant::FromDate(Date());
}

void TNow::DoExecute(const TQOBCall&, Variant*, Variant& AResult) {
  AResult = Variant::FromDate(Now());
}

void TTime::DoExecute(const TQOBCall&, Variant*, Variant& AResult) {
  AResult = Variant::FromDate(Time());
}

void TEncodeDate::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const int32_t year = VarToInt32(Arg(AArgs, 0));
  const int32_t month = VarToInt32(Arg(AArgs, 1));
  const int32_t day = VarToInt32(Arg(AArgs, 2));
  AResult = Variant::FromDate(EncodeDate(year, month, day));
}

void TEncodeTime::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const int32_t hour = VarToInt32(Arg(AArgs, 0));
  const int32_t minute = VarToInt32(Arg(AArgs, 1));
  const int32_t second = VarToInt32(Arg(AArgs, 2));
  const int32_t millisecond = VarToInt32(Arg(AArgs, 3));
  AResult = Variant::FromDate(EncodeTime(hour, minute, second, millisecond));
}

void TDecodeDate::DoExecute(const TQOBCall&, Variant* AArgs, Variant&) {
  int year = 0, month = 0, day = 0;
  DecodeDate(DateArg(AArgs, 0), year, month, day);
  WriteParts(AArgs, 1, {year, month, day});
}

void TDecodeTime::DoExecute(const TQOBCall&, Variant* AArgs, Variant&) {
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  DecodeTime(DateArg(AArgs, 0), hour, minute, second, millisecond);
  WriteParts(AArgs, 1, {hour, minute, second, millisecond});
}

void TDayOfWeek::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(int32_t{DayOfWeek(DateArg(AArgs, 0))});
}

void TIncMonth::DoExecute(const TQOBCall& ACall, Variant* AArgs, Variant& AResult) {
  if (ACall.FArgCount < 1 || ACall.FArgCount > 2) RaiseParamCount();
  const TDateTime date = DateArg(AArgs, 0);
  const int64_t months = ACall.FArgCount == 2 ? VarToInt32(Arg(AArgs, 1)) : 1;
  AResult = Variant::FromDate(AddMonths(date, months));
}

void TIsLeapYear::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(IsLeapYear(VarToInt32(Arg(AArgs, 0))));
}

void TDateToStr::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(DateToStr(DateArg(AArgs, 0)));
}

void TTimeToStr::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(TimeToStr(DateArg(AArgs, 0)));
}

void TDateTimeToStr::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(DateTimeToStr(DateArg(AArgs, 0)));
}

void TStrToDate::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant::FromDate(StrToDate(StrArg(AArgs, 0)));
}

void TStrToTime::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant::FromDate(StrToTime(StrArg(AArgs, 0)));
}

void TStrToDateTime::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant::FromDate(StrToDateTime(StrArg(AArgs, 0)));
}

void TFormatDateTime::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const WideString picture = StrArg(AArgs, 0);
  AResult = Variant(FormatDateTime(picture, DateArg(AArgs, 1)));
}

}  // namespace qob::pas_builtins
