#include "vm/vm_arrays.h"

#include <algorithm>
#include <array>
#include <vector>

#include "ole/safearray.h"
#include "ole/variant_convert.h"
#include "rtl/exceptions.h"
#include "vm/value_ops.h"
#include "vm/vm_invoke.h"
#include "vm/vm_runtime_error.h"

namespace qob {

namespace {

using TBounds = std::array<TSafeArrayBound, kQOBMaxArrayDims>;

std::span<const TSafeArrayBound> BoundsOf(const TQOBArray& AArray, const Variant* ABounds,
                                          TBounds& AResult) {
  if (AArray.FDimCount < 0) throw EVariantArrayCreateError();
  if (AArray.FDimCount > kQOBMaxArrayDims) EQOBVMRuntime::RaiseError(retInvalidParamCount);
  for (int32_t d = 0; d < AArray.FDimCount; ++d) {
    const Variant& lower = ABounds[2 * d].Deref();
    const Variant& upper = ABounds[2 * d + 1].Deref();
    Variant count;
    QOBBinaryOp(upper, lower, count, opSubtract);
    QOBBinaryOp(count, VarIntOne(), count, opAdd);
    AResult[static_cast<size_t>(d)] = {VarToInt32(lower), VarToInt32(count)};
  }
  return {AResult.data(), static_cast<size_t>(AArray.FDimCount)};
}

// Copies the elements whose indexes exist in both arrays.
void CopyOverlap(const TSafeArray& AFrom, TSafeArray& ATo) {
  const size_t dims = AFrom.Bounds.size();
  std::array<int32_t, kQOBMaxArrayDims> low{};
  std::array<int32_t, kQOBMaxArrayDims> high{};
  for (size_t d = 0; d < dims; ++d) {
    const int64_t fromHigh = int64_t{AFrom.Bounds[d].LowBound} + AFrom.Bounds[d].ElementCount - 1;
    const int64_t toHigh = int64_t{ATo.Bounds[d].LowBound} + ATo.Bounds[d].ElementCount - 1;
    low[d] = std::max(AFrom.Bounds[d].LowBound, ATo.Bounds[d].LowBound);
    const int64_t h = std::min(fromHigh, toHigh);
    if (h < low[d]) return;  // no common index in this dimension
    high[d] = static_cast<int32_t>(h);
  }
  std::array<int32_t, kQOBMaxArrayDims> index = low;
  const std::span<const int32_t> at(index.data(), dims);
  for (;;) {
    SafeArrayElement(ATo, at) = SafeArrayElement(const_cast<TSafeArray&>(AFrom), at);
    size_t d = 0;
    while (d < dims && index[d] == high[d]) index[d] = low[d], ++d;
    if (d == dims) return;
    ++index[d];
  }
}

}  // namespace

Variant QOBArrayCreate(const TQOBArray& AArray, const Variant* ABounds) {
  TBounds bounds;
  return VarArrayCreate(BoundsOf(AArray, ABounds, bounds), AArray.FElemVarType);
}

void QOBArrayRedim(Variant& AX, const TQOBArrayRedim& ARedim, const Variant* ABounds) {
  TBounds bounds;
  std::span<const TSafeArrayBound> newBounds = BoundsOf(ARedim, ABounds, bounds);
  if (!ARedim.FPreserve || AX.IsEmpty()) {
    AX = VarArrayCreate(newBounds, ARedim.FElemVarType);
    return;
  }
  const TSafeArray* old = QOBArrayOf(AX);
  if (!old) throw EVariantTypeCastError();
  if (static_cast<int32_t>(old->Bounds.size()) != ARedim.FDimCount)
    EQOBVMRuntime::RaiseError(retInvalidParamCount);
  Variant fresh = VarArrayCreate(newBounds, ARedim.FElemVarType);
  CopyOverlap(*old, *QOBArrayOf(fresh));
  AX = std::move(fresh);
}

}  // namespace qob
