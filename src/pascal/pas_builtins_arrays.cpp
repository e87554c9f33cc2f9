// Array bounds and lengths, and sets (an Integer whose bit i stands for
// element i).
#include <cstdint>

#include "ole/safearray.h"
#include "ole/variant_convert.h"
#include "pascal/pas_builtins.h"
#include "vm/vm_invoke.h"
#include "vm/vm_runtime_error.h"

namespace qob::pas_builtins {

namespace {

// The dimension a bounds query names: the second argument, or 1. A
// dimension the array does not have is an argument-count error.
int32_t DimensionArg(const TQOBCall& ACall, const Variant* AArgs, const TSafeArray& AArray) {
  const int32_t dim = ACall.FArgCount == 2 ? VarToInt32(Arg(AArgs, 1)) : 1;
  if (dim < 1 || dim > SafeArrayDimCount(AArray)) RaiseParamCount();
  return dim;
}

const TSafeArray& ArrayForBound(const TQOBCall& ACall, const Variant* AArgs,
                                TQOBRuntimeErrorType ANotArray) {
  if (ACall.FArgCount < 1 || ACall.FArgCount > 2) RaiseParamCount();
  const TSafeArray* array = QOBArrayOf(Arg(AArgs, 0));
  if (!array) EQOBVMRuntime::RaiseError(ANotArray);
  return *array;
}

// S := S with bit I (modulo 32) set or cleared; nothing when S is not a variable.
void ChangeSetBit(Variant* AArgs, bool AInclude) {
  const uint32_t set = static_cast<uint32_t>(VarToInt32(Arg(AArgs, 0)));
  const uint32_t bit = uint32_t{1} << (static_cast<uint32_t>(VarToInt32(Arg(AArgs, 1))) & 31);
  const uint32_t changed = AInclude ? (set | bit) : (set & ~bit);
  SetVarArg(AArgs[0], Variant(static_cast<int32_t>(changed)));
}

}  // namespace

void TLow::DoExecute(const TQOBCall& ACall, Variant* AArgs, Variant& AResult) {
  const TSafeArray& array = ArrayForBound(ACall, AArgs, retLowOnlyArray);
  AResult = Variant(SafeArrayLowBound(array, DimensionArg(ACall, AArgs, array)));
}

void THigh::DoExecute(const TQOBCall& ACall, Variant* AArgs, Variant& AResult) {
  const TSafeArray& array = ArrayForBound(ACall, AArgs, retHighOnlyArray);
  AResult = Variant(SafeArrayHighBound(array, DimensionArg(ACall, AArgs, array)));
}

void TLength::DoExecute(const TQOBCall& ACall, Variant* AArgs, Variant& AResult) {
  if (ACall.FArgCount < 1 || ACall.FArgCount > 2) RaiseParamCount();
  const Variant& value = Arg(AArgs, 0);
  if (const TSafeArray* array = QOBArrayOf(value)) {
    const int32_t dim = DimensionArg(ACall, AArgs, *array);
    AResult = Variant(array->Bounds[static_cast<size_t>(dim - 1)].ElementCount);
    return;
  }
  if (ACall.FArgCount != 1) RaiseParamCount();
  const size_t length = value.IsString() ? value.StringView().size() : VarToStr(value).size();
  AResult = Variant(static_cast<int32_t>(length));
}

void TInclude::DoExecute(const TQOBCall&, Variant* AArgs, Variant&) {
  ChangeSetBit(AArgs, true);
}

void TExclude::DoExecute(const TQOBCall&, Variant* AArgs, Variant&) {
  ChangeSetBit(AArgs, false);
}

}  // namespace qob::pas_builtins
