// Format: the runtime's formatter applied to Variant arguments. Each argument
// is converted to what the first directive that consumes it needs; when the
// conversion fails the argument is handed over in a form that directive does
// not accept, so that the formatter reports the mismatch with its own message.
#include <cstdint>
#include <span>
#include <vector>

#include "ole/safearray.h"
#include "ole/variant_convert.h"
#include "pascal/pas_builtins.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "vm/vm_invoke.h"

namespace qob::pas_builtins {

namespace {

enum class TArgNeed : uint8_t { kUnused, kInteger, kFloat, kString, kPointer };

bool IsDigit(char16_t c) noexcept {
  return c >= u'0' && c <= u'9';
}

TArgNeed NeedOfDirective(char16_t AType) noexcept {
  switch (AType | 0x20) {  // letters in either case
    case u'd':
    case u'u':
    case u'x':
      return TArgNeed::kInteger;
    case u'e':
    case u'f':
    case u'g':
    case u'n':
    case u'm':
      return TArgNeed::kFloat;
    case u's':
      return TArgNeed::kString;
    case u'p':
      return TArgNeed::kPointer;
    default:
      return TArgNeed::kUnused;
  }
}

// Walks the directives of AFormat the way the formatter consumes arguments
// and records, per argument, what its first consumer needs. Stops at the
// first malformed directive: the formatter reports it.
class TDirectiveScan {
 public:
  TDirectiveScan(std::u16string_view AFormat, std::span<const Variant> AArgs)
      : FFormat(AFormat), FArgs(AArgs), FNeeds(AArgs.size(), TArgNeed::kUnused) {}

  std::vector<TArgNeed> Run() {
    while (FAt < FFormat.size()) {
      if (FFormat[FAt++] != u'%') continue;
      if (FAt < FFormat.size() && FFormat[FAt] == u'%') {
        ++FAt;
        continue;
      }
      if (!Directive()) break;
    }
    return std::move(FNeeds);
  }

 private:
  bool Directive() {
    int64_t number = 0;
    bool hasNumber = Number(number);
    if (At(u':')) {
      ++FAt;
      if (!hasNumber) return false;
      FNext = number;
      hasNumber = false;
    }
    if (At(u'-')) ++FAt;
    if (!hasNumber) Number(number);
    if (At(u'.')) {
      ++FAt;
      Number(number);
    }
    if (FAt >= FFormat.size()) return false;
    const TArgNeed need = NeedOfDirective(FFormat[FAt++]);
    if (need == TArgNeed::kUnused) return false;
    return Consume(need);
  }

  // A decimal number or '*' (which takes its value from the next argument).
  bool Number(int64_t& AValue) {
    if (At(u'*')) {
      ++FAt;
      const int64_t index = FNext;
      if (!Consume(TArgNeed::kInteger)) return false;
      AValue = ArgAsCount(index);
      return true;
    }
    if (FAt >= FFormat.size() || !IsDigit(FFormat[FAt])) return false;
    AValue = 0;
    while (FAt < FFormat.size() && IsDigit(FFormat[FAt])) {
      AValue = std::min<int64_t>(AValue * 10 + (FFormat[FAt] - u'0'), INT32_MAX);
      ++FAt;
    }
    return true;
  }

  int64_t ArgAsCount(int64_t AIndex) const {
    try {
      return VarToInt32(FArgs[static_cast<size_t>(AIndex)]);
    } catch (const EVariantError&) {
      return 0;  // the formatter refuses the argument itself
    }
  }

  bool Consume(TArgNeed ANeed) {
    if (FNext < 0 || FNext >= static_cast<int64_t>(FNeeds.size())) return false;
    TArgNeed& need = FNeeds[static_cast<size_t>(FNext++)];
    if (need == TArgNeed::kUnused) need = ANeed;
    return true;
  }

  bool At(char16_t c) const noexcept { return FAt < FFormat.size() && FFormat[FAt] == c; }

  std::u16string_view FFormat;
  std::span<const Variant> FArgs;
  std::vector<TArgNeed> FNeeds;
  size_t FAt = 0;
  int64_t FNext = 0;
};

FormatArg IntegerArg(const Variant& AValue) {
  try {
    return FormatArg(VarToInt64(AValue));
  } catch (const EVariantError&) {
    return FormatArg(u"");
  }
}

FormatArg FloatArg(const Variant& AValue) {
  try {
    if (AValue.Type() == varCurrency) return FormatArg::Currency(AValue.VCurrency);
    return FormatArg(VarToDouble(AValue));
  } catch (const EVariantError&) {
    return FormatArg(u"");
  }
}

FormatArg StringArg(const Variant& AValue) {
  try {
    return FormatArg(VarToStr(AValue));
  } catch (const EVariantError&) {
    return FormatArg(int32_t{0});
  }
}

FormatArg PointerArg(const Variant& AValue) {
  if (AValue.Type() == varDispatch || AValue.Type() == varUnknown)
    return FormatArg(static_cast<const void*>(AValue.VPointer));
  try {
    return FormatArg(reinterpret_cast<const void*>(static_cast<intptr_t>(VarToInt64(AValue))));
  } catch (const EVariantError&) {
    return FormatArg(u"");
  }
}

// An argument no directive consumes, in the form closest to its own type.
FormatArg UnusedArg(const Variant& AValue) {
  switch (AValue.Type()) {
    case varSingle:
    case varDouble:
    case varDate:
    case varCurrency:
      return FloatArg(AValue);
    case varOleStr:
      return FormatArg(AValue.String());
    default:
      return IntegerArg(AValue);
  }
}

FormatArg ToFormatArg(const Variant& AValue, TArgNeed ANeed) {
  switch (ANeed) {
    case TArgNeed::kInteger:
      return IntegerArg(AValue);
    case TArgNeed::kFloat:
      return FloatArg(AValue);
    case TArgNeed::kString:
      return StringArg(AValue);
    case TArgNeed::kPointer:
      return PointerArg(AValue);
    case TArgNeed::kUnused:
      break;
  }
  return UnusedArg(AValue);
}

// The format arguments: the elements of dimension 1 of an array passed
// alone after the format, otherwise the arguments after the format.
std::vector<Variant> FormatArguments(const TQOBCall& ACall, const Variant* AArgs) {
  std::vector<Variant> values;
  if (ACall.FArgCount == 2) {
    if (const TSafeArray* array = QOBArrayOf(Arg(AArgs, 1))) {
      std::vector<int32_t> index(array->Bounds.size());
      for (size_t d = 0; d < index.size(); ++d) index[d] = array->Bounds[d].LowBound;
      const int32_t high = SafeArrayHighBound(*array, 1);
      for (int64_t i = SafeArrayLowBound(*array, 1); i <= high; ++i) {
        index[0] = static_cast<int32_t>(i);
        values.push_back(SafeArrayGetElement(*array, index));
      }
      return values;
    }
  }
  for (int32_t i = 1; i < ACall.FArgCount; ++i) values.push_back(Arg(AArgs, i));
  return values;
}

}  // namespace

void TFormat::DoExecute(const TQOBCall& ACall, Variant* AArgs, Variant& AResult) {
  if (ACall.FArgCount < 1) RaiseParamCount();
  if (ACall.FArgCount == 1) {
    AResult = Arg(AArgs, 0);
    return;
  }
  const WideString format = VarToStr(Arg(AArgs, 0));
  const std::vector<Variant> values = FormatArguments(ACall, AArgs);
  const std::vector<TArgNeed> needs = TDirectiveScan(format.view(), values).Run();
  std::vector<FormatArg> args;
  args.reserve(values.size());
  for (size_t i = 0; i < values.size(); ++i) args.push_back(ToFormatArg(values[i], needs[i]));
  AResult = Variant(Format(format.view(), args));
}

}  // namespace qob::pas_builtins
