// Conversions between numbers and text.
#include <cstdint>

#include "ole/variant_convert.h"
#include "pascal/pas_builtins.h"
#include "rtl/numconv.h"

namespace qob::pas_builtins {

void TIntToStr::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(IntToStr(VarToInt64(Arg(AArgs, 0))));
}

void TIntToHex::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const int64_t value = VarToInt64(Arg(AArgs, 0));
  AResult = Variant(IntToHex(value, VarToInt32(Arg(AArgs, 1))));
}

void TStrToInt::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(StrToInt(VarToStr(Arg(AArgs, 0))));
}

void TStrToIntDef::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  int32_t value = 0;
  if (!TryStrToInt(VarToStr(Arg(AArgs, 0)), value)) value = VarToInt32(Arg(AArgs, 1));
  AResult = Variant(value);
}

void TFloatToStr::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(FloatToStr(VarToDouble(Arg(AArgs, 0))));
}

void TStrToFloat::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(StrToFloat(VarToStr(Arg(AArgs, 0))));
}

void TFormatFloat::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const WideString picture = VarToStr(Arg(AArgs, 0));
  AResult = Variant(FormatFloat(picture, VarToDouble(Arg(AArgs, 1))));
}

void TVarToStr::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(VarToStr(Arg(AArgs, 0)));
}

}  // namespace qob::pas_builtins
