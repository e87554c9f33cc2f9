#include "ole/safearray.h"

#include "rtl/exceptions.h"

namespace qob {

namespace {

// Position of an element in the flat storage, first dimension fastest.
size_t FlatIndex(const TSafeArray& array, std::span<const int32_t> indices) {
  if (indices.size() != array.Bounds.size()) throw EVariantBadIndexError();
  size_t flat = 0;
  size_t stride = 1;
  for (size_t d = 0; d < indices.size(); ++d) {
    const TSafeArrayBound& b = array.Bounds[d];
    const int64_t offset = int64_t{indices[d]} - b.LowBound;
    if (offset < 0 || offset >= b.ElementCount) throw EVariantBadIndexError();
    flat += static_cast<size_t>(offset) * stride;
    stride *= static_cast<size_t>(b.ElementCount);
  }
  return flat;
}

}  // namespace

TSafeArray* SafeArrayCreate(TVarType elementType, std::span<const TSafeArrayBound> bounds) {
  if (bounds.empty()) throw EVariantArrayCreateError();
  int64_t total = 1;
  for (const TSafeArrayBound& b : bounds) {
    if (b.ElementCount < 0) throw EVariantArrayCreateError();
    total *= b.ElementCount;
    if (total > kMaxSafeArrayElements) throw EVariantArrayCreateError();
  }
  auto* array = new TSafeArray;
  array->ElementType = elementType;
  array->Bounds.assign(bounds.begin(), bounds.end());
  array->Elements.resize(static_cast<size_t>(total));
  return array;
}

TSafeArray* SafeArrayCopy(const TSafeArray& array) { return new TSafeArray(array); }

void SafeArrayDestroy(TSafeArray* array) noexcept { delete array; }

int32_t SafeArrayDimCount(const TSafeArray& array) noexcept {
  return static_cast<int32_t>(array.Bounds.size());
}

int32_t SafeArrayLowBound(const TSafeArray& array, int32_t dim) {
  if (dim < 1 || dim > SafeArrayDimCount(array)) throw EVariantBadIndexError();
  return array.Bounds[static_cast<size_t>(dim - 1)].LowBound;
}

int32_t SafeArrayHighBound(const TSafeArray& array, int32_t dim) {
  if (dim < 1 || dim > SafeArrayDimCount(array)) throw EVariantBadIndexError();
  const TSafeArrayBound& b = array.Bounds[static_cast<size_t>(dim - 1)];
  return static_cast<int32_t>(int64_t{b.LowBound} + b.ElementCount - 1);
}

Variant& SafeArrayElement(TSafeArray& array, std::span<const int32_t> indices) {
  return array.Elements[FlatIndex(array, indices)];
}

Variant SafeArrayGetElement(const TSafeArray& array, std::span<const int32_t> indices) {
  return array.Elements[FlatIndex(array, indices)];
}

}  // namespace qob
