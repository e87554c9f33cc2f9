#include "ole/safearray.h"

#include <memory>

#include "ole/variant_convert.h"
#include "ole/variant_support.h"
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

// Element types an array can hold: the scalar types, objects and Variants.
bool IsElementType(TVarType type) {
  return type >= varSmallint && type <= varInt64 && type != 15;
}

// Element count of `bounds`; raises when a count is negative or the total
// exceeds the limit, or when the upper bound would leave the Integer range.
int64_t ElementTotal(std::span<const TSafeArrayBound> bounds) {
  int64_t total = 1;
  for (const TSafeArrayBound& b : bounds) {
    if (b.ElementCount < 0 || int64_t{b.LowBound} + b.ElementCount - 1 > INT32_MAX)
      throw EVariantArrayCreateError();
    total *= b.ElementCount;
    if (total > kMaxSafeArrayElements) throw EVariantArrayCreateError();
  }
  return total;
}

// The value new elements start with: zero, empty text, a nil object, Empty.
Variant InitialElement(TVarType elementType) {
  switch (elementType) {
    case varVariant:
      return Variant();
    case varError:
      return Variant::FromError(S_OK);
    default:
      return VarAsType(VarUnassigned(), elementType);
  }
}

}  // namespace

TSafeArray* SafeArrayCreate(TVarType elementType, std::span<const TSafeArrayBound> bounds) {
  if (bounds.empty() || !IsElementType(elementType)) throw EVariantArrayCreateError();
  const int64_t total = ElementTotal(bounds);
  auto array = std::make_unique<TSafeArray>();
  array->ElementType = elementType;
  array->Bounds.assign(bounds.begin(), bounds.end());
  array->Elements.resize(static_cast<size_t>(total), InitialElement(elementType));
  return array.release();
}

TSafeArray* SafeArrayCopy(const TSafeArray& array) {
  return new TSafeArray(array);
}

void SafeArrayDestroy(TSafeArray* array) noexcept {
  delete array;
}

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

void SafeArrayPutElement(TSafeArray& array, std::span<const int32_t> indices,
                         const Variant& value) {
  const size_t flat = FlatIndex(array, indices);
  // Convert first, so that a failed conversion leaves the element as it was.
  // A reference is stored as the value it points at: the array may outlive it.
  Variant holder;
  Variant stored = array.ElementType == varVariant
                       ? Variant(variant_detail::LoadValue(value, holder))
                       : VarAsType(value, array.ElementType);
  array.Elements[flat] = std::move(stored);
}

void SafeArrayRedim(TSafeArray& array, const TSafeArrayBound& lastBound) {
  if (array.Bounds.empty()) throw EVariantArrayCreateError();
  std::vector<TSafeArrayBound> bounds = array.Bounds;
  bounds.back() = lastBound;
  const int64_t total = ElementTotal(bounds);
  // The last dimension varies slowest, so the kept elements keep their places.
  array.Elements.resize(static_cast<size_t>(total), InitialElement(array.ElementType));
  array.Bounds = std::move(bounds);
}

Variant VarArrayCreate(std::span<const TSafeArrayBound> bounds, TVarType elementType) {
  return Variant::FromArray(SafeArrayCreate(elementType, bounds));
}

Variant VarArrayOf(std::span<const Variant> values) {
  const TSafeArrayBound bound{0, static_cast<int32_t>(values.size())};
  std::unique_ptr<TSafeArray> array(SafeArrayCreate(varVariant, {&bound, 1}));
  Variant holder;
  for (size_t i = 0; i < values.size(); ++i)
    array->Elements[i] = variant_detail::LoadValue(values[i], holder);
  return Variant::FromArray(array.release());
}

}  // namespace qob
