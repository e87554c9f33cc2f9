#include "ole/safearray.h"

#include <gtest/gtest.h>

#include <vector>

#include "rtl/exceptions.h"
#include "variant_test_support.h"

namespace qob {
namespace {

Variant Get(const Variant& array, std::vector<int32_t> indices) {
  return SafeArrayGetElement(*array.VArray, indices);
}

void Put(Variant& array, std::vector<int32_t> indices, const Variant& value) {
  SafeArrayPutElement(*array.VArray, indices, value);
}

using SafeArrayTest = InvariantSettingsTest;

TEST_F(SafeArrayTest, TypedArraysStartWithTheTypesEmptyValueAndConvertWhatIsStored) {
  const TSafeArrayBound bounds[] = {{1, 3}};
  Variant ints = VarArrayCreate(bounds, varInteger);
  EXPECT_EQ(ints.VType, varArray | varInteger);
  EXPECT_TRUE(Same(Get(ints, {2}), Variant(0)));
  Put(ints, {2}, Variant(u"5"));
  Put(ints, {3}, Variant(2.5));
  EXPECT_TRUE(Same(Get(ints, {2}), Variant(5)));
  EXPECT_TRUE(Same(Get(ints, {3}), Variant(2)));

  Variant texts = VarArrayCreate(bounds, varOleStr);
  EXPECT_TRUE(Same(Get(texts, {1}), Variant(u"")));
  Put(texts, {1}, Variant(true));
  EXPECT_TRUE(Same(Get(texts, {1}), Variant(u"True")));

  // A Variant array keeps values as they are; a reference is stored as its value.
  Variant any = VarArrayCreate(bounds, varVariant);
  Variant target(u"kept");
  Put(any, {1}, Cur(15000));
  Put(any, {2}, Variant::RefTo(&target));
  // So is a by-reference scalar, as a caller's DISPPARAMS may hold.
  int32_t storage = 41;
  Variant byRef;
  byRef.VType = varByRef | varInteger;
  byRef.VPointer = &storage;
  Put(any, {3}, byRef);
  const Variant listed = VarArrayOf(std::vector<Variant>{byRef});
  target = Variant(1);
  storage = 0;
  EXPECT_TRUE(Same(Get(any, {1}), Cur(15000)));
  EXPECT_TRUE(Same(Get(any, {2}), Variant(u"kept")));
  EXPECT_TRUE(Same(Get(any, {3}), Variant(41)));
  EXPECT_TRUE(Same(Get(listed, {0}), Variant(41)));
}

TEST_F(SafeArrayTest, FailedStoresLeaveTheElementUnchanged) {
  const TSafeArrayBound bounds[] = {{0, 2}, {-1, 2}};
  Variant bytes = VarArrayCreate(bounds, varByte);
  Put(bytes, {1, 0}, Variant(7));
  EXPECT_THROW(Put(bytes, {1, 0}, Variant(u"abc")), EVariantTypeCastError);
  EXPECT_THROW(Put(bytes, {1, 0}, Variant(256)), EVariantOverflowError);
  EXPECT_TRUE(Same(Get(bytes, {1, 0}), Variant::FromByte(7)));

  struct BadIndex {
    std::vector<int32_t> indices;
  };
  for (const BadIndex& c :
       std::vector<BadIndex>{{{2, 0}}, {{0, -2}}, {{0, 1}}, {{0}}, {{0, 0, 0}}}) {
    try {
      Put(bytes, c.indices, Variant(1));
      ADD_FAILURE() << "index accepted";
    } catch (const EVariantBadIndexError& e) {
      EXPECT_EQ(e.Message().view(), u"Variant or safe array index out of bounds");
    }
    EXPECT_THROW(Get(bytes, c.indices), EVariantBadIndexError);
  }
}

TEST_F(SafeArrayTest, RedimKeepsTheRemainingElements) {
  const TSafeArrayBound bounds[] = {{0, 2}, {1, 2}};
  Variant grid = VarArrayCreate(bounds, varInteger);
  int value = 0;
  for (int32_t j = 1; j <= 2; ++j)
    for (int32_t i = 0; i <= 1; ++i) Put(grid, {i, j}, Variant(++value));

  SafeArrayRedim(*grid.VArray, {1, 3});
  EXPECT_EQ(SafeArrayHighBound(*grid.VArray, 2), 3);
  EXPECT_TRUE(Same(Get(grid, {0, 1}), Variant(1)));
  EXPECT_TRUE(Same(Get(grid, {1, 2}), Variant(4)));
  EXPECT_TRUE(Same(Get(grid, {1, 3}), Variant(0)));

  SafeArrayRedim(*grid.VArray, {1, 1});
  EXPECT_TRUE(Same(Get(grid, {1, 1}), Variant(2)));
  EXPECT_THROW(Get(grid, {0, 2}), EVariantBadIndexError);

  EXPECT_THROW(SafeArrayRedim(*grid.VArray, {1, -1}), EVariantArrayCreateError);
  EXPECT_THROW(SafeArrayRedim(*grid.VArray, {0, int32_t{1} << 30}), EVariantArrayCreateError);
  EXPECT_EQ(SafeArrayHighBound(*grid.VArray, 2), 1);  // unchanged by the failures
}

TEST_F(SafeArrayTest, CreationChecksBoundsSizesAndElementTypes) {
  const TSafeArrayBound negative[] = {{0, -1}};
  const TSafeArrayBound huge[] = {{0, 1 << 20}, {0, 1 << 20}};
  const TSafeArrayBound pastIntegerRange[] = {{2147483647, 2}};
  const TSafeArrayBound fine[] = {{0, 1}};
  EXPECT_THROW(VarArrayCreate(negative), EVariantArrayCreateError);
  EXPECT_THROW(VarArrayCreate(huge), EVariantArrayCreateError);
  EXPECT_THROW(VarArrayCreate(pastIntegerRange), EVariantArrayCreateError);
  EXPECT_THROW(VarArrayCreate({}), EVariantArrayCreateError);
  EXPECT_THROW(VarArrayCreate(fine, varNull), EVariantArrayCreateError);
  EXPECT_THROW(VarArrayCreate(fine, TVarType{15}), EVariantArrayCreateError);
}

TEST_F(SafeArrayTest, VarArrayOfBuildsAZeroBasedVariantArray) {
  Variant text(u"b");
  const std::vector<Variant> values = {Variant(1), Variant::RefTo(&text), Variant::Null()};
  const Variant array = VarArrayOf(values);
  EXPECT_EQ(array.VType, varArray | varVariant);
  EXPECT_EQ(SafeArrayLowBound(*array.VArray, 1), 0);
  EXPECT_EQ(SafeArrayHighBound(*array.VArray, 1), 2);
  EXPECT_TRUE(Same(Get(array, {0}), Variant(1)));
  EXPECT_TRUE(Same(Get(array, {1}), Variant(u"b")));
  EXPECT_TRUE(Same(Get(array, {2}), Variant::Null()));

  const Variant empty = VarArrayOf({});
  EXPECT_EQ(SafeArrayHighBound(*empty.VArray, 1), -1);

  // Copies are deep: changing the copy leaves the original alone.
  Variant copy(array);
  Put(copy, {0}, Variant(2));
  EXPECT_TRUE(Same(Get(array, {0}), Variant(1)));
}

}  // namespace
}  // namespace qob
