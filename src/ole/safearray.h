// Safe arrays: multi-dimensional arrays with arbitrary bounds per dimension.
//
// Elements are stored as Variants of the array's element type (a Variant
// array holds any values); the first dimension varies fastest, as in OLE.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "ole/variant.h"

namespace qob {

struct TSafeArrayBound {
  int32_t LowBound;
  int32_t ElementCount;
};

struct TSafeArray {
  TVarType ElementType = varVariant;
  std::vector<TSafeArrayBound> Bounds;  // dimension 1 first
  std::vector<Variant> Elements;
};

// Upper limit of the element count of one array, so that a script cannot ask
// for more than the process can hold.
inline constexpr int64_t kMaxSafeArrayElements = int64_t{1} << 28;

// Creates an array; every element is the empty value of `elementType`.
// Raises EVariantArrayCreateError for bad bounds, dimension counts or sizes.
TSafeArray* SafeArrayCreate(TVarType elementType, std::span<const TSafeArrayBound> bounds);
TSafeArray* SafeArrayCopy(const TSafeArray& array);
void SafeArrayDestroy(TSafeArray* array) noexcept;

int32_t SafeArrayDimCount(const TSafeArray& array) noexcept;
// `dim` is 1-based; raises EVariantBadIndexError outside 1..dimension count.
int32_t SafeArrayLowBound(const TSafeArray& array, int32_t dim);
int32_t SafeArrayHighBound(const TSafeArray& array, int32_t dim);

// Element access by an index list (one index per dimension, dimension 1 first).
// A wrong index count or an index outside the bounds raises EVariantBadIndexError.
Variant& SafeArrayElement(TSafeArray& array, std::span<const int32_t> indices);
Variant SafeArrayGetElement(const TSafeArray& array, std::span<const int32_t> indices);
// Stores `value` converted to the element type.
void SafeArrayPutElement(TSafeArray& array, std::span<const int32_t> indices, const Variant& value);

// Changes the element count of the last dimension, keeping the elements that remain.
void SafeArrayRedim(TSafeArray& array, const TSafeArrayBound& lastBound);

// Variant-level helpers (VarArrayCreate and friends).
Variant VarArrayCreate(std::span<const TSafeArrayBound> bounds, TVarType elementType = varVariant);
// A one-dimensional Variant array 0..n-1 of the given values.
Variant VarArrayOf(std::span<const Variant> values);

}  // namespace qob
