#include "pascal/pas_language.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "compiler/name_table.h"
#include "pascal/pas_builtins.h"
#include "pascal/pas_parser.h"

namespace qob {

namespace {

using TBuiltinFactory = std::unique_ptr<TPasIntrinsic> (*)(TQOBNameId, WideString,
                                                           TPasIntrinsicKind, int32_t);

struct TBuiltinRow {
  std::u16string_view Name;
  TPasIntrinsicKind Kind;
  int32_t ArgsCount;
  TBuiltinFactory Create;
};

template <class T>
std::unique_ptr<TPasIntrinsic> MakeBuiltin(TQOBNameId AName, WideString AStrName,
                                           TPasIntrinsicKind AKind, int32_t AArgsCount) {
  return std::make_unique<T>(AName, std::move(AStrName), AKind, AArgsCount);
}

template <class T>
constexpr TBuiltinRow Row(std::u16string_view AName, TPasIntrinsicKind AKind, int32_t AArgsCount) {
  return {AName, AKind, AArgsCount, &MakeBuiltin<T>};
}

// The built-ins in the order the language hands them to a machine.
constexpr TBuiltinRow kBuiltins[] = {
    Row<pas_builtins::TNullObject>(u"Null", bokConstant, 0),
    Row<pas_builtins::TUnassignedObject>(u"Unassigned", bokConstant, 0),
    Row<pas_builtins::TInclude>(u"Include", bokProcedure, 2),
    Row<pas_builtins::TExclude>(u"Exclude", bokProcedure, 2),
    Row<pas_builtins::TBeep>(u"Beep", bokProcedure, 0),
    Row<pas_builtins::TArcTan>(u"ArcTan", bokFunction, 1),
    Row<pas_builtins::TCos>(u"Cos", bokFunction, 1),
    Row<pas_builtins::TDec>(u"Dec", bokProcedure, kPasAnyArgCount),
    Row<pas_builtins::TSin>(u"Sin", bokFunction, 1),
    Row<pas_builtins::TLowerCase>(u"LowerCase", bokFunction, 1),
    Row<pas_builtins::THigh>(u"High", bokFunction, kPasAnyArgCount),
    Row<pas_builtins::TLow>(u"Low", bokFunction, kPasAnyArgCount),
    Row<pas_builtins::TLn>(u"Ln", bokFunction, 1),
    Row<pas_builtins::TAnsiCompareStr>(u"AnsiCompareStr", bokFunction, 2),
    Row<pas_builtins::TAnsiCompareText>(u"AnsiCompareText", bokFunction, 2),
    Row<pas_builtins::TAnsiLowerCase>(u"AnsiLowerCase", bokFunction, 1),
    Row<pas_builtins::TAnsiUpperCase>(u"AnsiUpperCase", bokFunction, 1),
    Row<pas_builtins::TAbs>(u"Abs", bokFunction, 1),
    Row<pas_builtins::TCompareStr>(u"CompareStr", bokFunction, 2),
    Row<pas_builtins::TCompareText>(u"CompareText", bokFunction, 2),
    Row<pas_builtins::TDate>(u"Date", bokConstant, 0),
    Row<pas_builtins::TDateTimeToStr>(u"DateTimeToStr", bokFunction, 1),
    Row<pas_builtins::TDateToStr>(u"DateToStr", bokFunction, 1),
    Row<pas_builtins::TDayOfWeek>(u"DayOfWeek", bokFunction, 1),
    Row<pas_builtins::TDecodeDate>(u"DecodeDate", bokProcedure, 4),
    Row<pas_builtins::TExp>(u"Exp", bokFunction, 1),
    Row<pas_builtins::TFloatToStr>(u"FloatToStr", bokFunction, 1),
    Row<pas_builtins::TFrac>(u"Frac", bokFunction, 1),
    Row<pas_builtins::TInt>(u"Int", bokFunction, 1),
    Row<pas_builtins::TIntToHex>(u"IntToHex", bokFunction, 2),
    Row<pas_builtins::TIntToStr>(u"IntToStr", bokFunction, 1),
    Row<pas_builtins::TIsLeapYear>(u"IsLeapYear", bokFunction, 1),
    Row<pas_builtins::TIsValidIdent>(u"IsValidIdent", bokFunction, 1),
    Row<pas_builtins::TTrue>(u"True", bokConstant, 0),
    Row<pas_builtins::TFalse>(u"False", bokConstant, 0),
    Row<pas_builtins::TLength>(u"Length", bokFunction, kPasAnyArgCount),
    Row<pas_builtins::TNow>(u"Now", bokFunction, 0),
    Row<pas_builtins::TOdd>(u"Odd", bokFunction, 1),
    Row<pas_builtins::TPos>(u"Pos", bokFunction, 2),
    Row<pas_builtins::TRandom>(u"Random", bokFunction, kPasAnyArgCount),
    Row<pas_builtins::TRound>(u"Round", bokFunction, 1),
    Row<pas_builtins::TSqr>(u"Sqr", bokFunction, 1),
    Row<pas_builtins::TSqrt>(u"Sqrt", bokFunction, 1),
    Row<pas_builtins::TStrToDate>(u"StrToDate", bokFunction, 1),
    Row<pas_builtins::TStrToDateTime>(u"StrToDateTime", bokFunction, 1),
    Row<pas_builtins::TStrToFloat>(u"StrToFloat", bokFunction, 1),
    Row<pas_builtins::TStrToInt>(u"StrToInt", bokFunction, 1),
    Row<pas_builtins::TStrToIntDef>(u"StrToIntDef", bokFunction, 2),
    Row<pas_builtins::TTime>(u"Time", bokFunction, 0),
    Row<pas_builtins::TTimeToStr>(u"TimeToStr", bokFunction, 1),
    Row<pas_builtins::TStrToTime>(u"StrToTime", bokFunction, 1),
    Row<pas_builtins::TTrim>(u"Trim", bokFunction, 1),
    Row<pas_builtins::TTrimLeft>(u"TrimLeft", bokFunction, 1),
    Row<pas_builtins::TTrimRight>(u"TrimRight", bokFunction, 1),
    Row<pas_builtins::TTrunc>(u"Trunc", bokFunction, 1),
    Row<pas_builtins::TUpperCase>(u"UpperCase", bokFunction, 1),
    Row<pas_builtins::TVarIsNull>(u"VarIsNull", bokFunction, 1),
    Row<pas_builtins::TVarToStr>(u"VarToStr", bokFunction, 1),
    Row<pas_builtins::TAssigned>(u"Assigned", bokFunction, 1),
    Row<pas_builtins::TShowMessage>(u"ShowMessage", bokProcedure, 1),
    Row<pas_builtins::TInsert>(u"Insert", bokProcedure, 3),
    Row<pas_builtins::TIncMonth>(u"IncMonth", bokFunction, kPasAnyArgCount),
    Row<pas_builtins::TInc>(u"Inc", bokProcedure, kPasAnyArgCount),
    Row<pas_builtins::TChr>(u"Chr", bokFunction, 1),
    Row<pas_builtins::TCopy>(u"Copy", bokFunction, 3),
    Row<pas_builtins::TDelete>(u"Delete", bokProcedure, 3),
    Row<pas_builtins::TCreateOleObject>(u"CreateOleObject", bokFunction, 1),
    Row<pas_builtins::TGetActiveOleObject>(u"GetActiveOleObject", bokFunction, 1),
    Row<pas_builtins::TInputQuery>(u"InputQuery", bokFunction, 3),
    Row<pas_builtins::TDecodeTime>(u"DecodeTime", bokProcedure, 5),
    Row<pas_builtins::TEncodeDate>(u"EncodeDate", bokFunction, 3),
    Row<pas_builtins::TEncodeTime>(u"EncodeTime", bokFunction, 4),
    Row<pas_builtins::TFormat>(u"Format", bokFunction, kPasAnyArgCount),
    Row<pas_builtins::TFormatFloat>(u"FormatFloat", bokFunction, 2),
    Row<pas_builtins::TFormatDateTime>(u"FormatDateTime", bokFunction, 2),
    Row<pas_builtins::TOrd>(u"Ord", bokFunction, 1),
};

template <class T>
void HandOver(TQOBEnumGlobalObjectsProc AProc, void* AData, std::u16string_view AName) {
  AProc(AData, std::make_unique<T>(QOBNameId(AName), WideString(AName)));
}

}  // namespace

std::unique_ptr<IQOBParserBase> TQOBPasLanguage::CreateParser(IQOBParserCallbacks* ACbs) {
  return std::make_unique<TQOBPasParser>(ACbs);
}

void TQOBPasLanguage::EnumGlobalObjects(TQOBEnumGlobalObjectsProc AProc, void* AData) {
  HandOver<TQOBExitObject>(AProc, AData, u"Exit");
  HandOver<TQOBBreakObject>(AProc, AData, u"Break");
  HandOver<TQOBContinueObject>(AProc, AData, u"Continue");
  for (const TBuiltinRow& row : kBuiltins)
    AProc(AData, row.Create(QOBNameId(row.Name), WideString(row.Name), row.Kind, row.ArgsCount));
}

WideString TQOBPasLanguage::GetEmptyLiteral() {
  return u"Unassigned";
}

WideString TQOBPasLanguage::GetNilLiteral() {
  return u"nil";
}

WideString TQOBPasLanguage::GetNullLiteral() {
  return u"Null";
}

WideString TQOBPasLanguage::QuoteString(const WideString& AText) {
  std::u16string quoted(u"'");
  for (char16_t c : AText.view()) {
    quoted += c;
    if (c == u'\'') quoted += c;
  }
  quoted += u'\'';
  return WideString(quoted);
}

}  // namespace qob
