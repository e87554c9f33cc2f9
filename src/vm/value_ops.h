// The four value operations behind every operator instruction of the
// interpreter. Each tries a direct path for common numeric type pairs
// (32-bit, 64-bit, double, Boolean) and falls back to the general Variant
// operations for everything else. The direct paths fix the result types
// scripts observe (Integer + Integer is Integer unless it overflows), so they
// are language behaviour, not only an optimisation.
#pragma once

#include <cstdint>

#include "ole/variant.h"

namespace qob {

// Operator codes carried by the byte code; 0..10 and 14..19 follow the order
// of the general Variant operations. 11..13 are unused.
enum TQOBOperator : uint8_t {
  opAdd = 0,
  opSubtract = 1,
  opMultiply = 2,
  opDivide = 3,  // real division
  opIntDivide = 4,
  opModulus = 5,
  opShl = 6,
  opShr = 7,
  opAnd = 8,
  opOr = 9,
  opXor = 10,
  opEqual = 14,
  opNotEqual = 15,
  opLess = 16,
  opLessEqual = 17,
  opGreater = 18,
  opGreaterEqual = 19,
  opConcat = 20,
  opPower = 21,
  opEqv = 22,
  opImp = 23,
  opIdentityEqual = 24,
  opIdentityNotEqual = 25,
};

// Binary operation for codes 0..10 and 20..23. References are followed.
// `AResult` may be the same Variant as `ALeft` (or `ARight`).
void QOBBinaryOp(const Variant& ALeft, const Variant& ARight, Variant& AResult, TQOBOperator AOp);

// Comparison for codes 14..19, 24 and 25. References are followed.
bool QOBCompare(const Variant& ALeft, const Variant& ARight, TQOBOperator AOp);

// Arithmetic negation; `AResult` may be the same Variant as `AValue`.
void QOBNegate(const Variant& AValue, Variant& AResult);

// Logical (Boolean) or bitwise (numbers) not; `AResult` may alias `AValue`.
void QOBNot(const Variant& AValue, Variant& AResult);

}  // namespace qob
