// The general Variant operations, with OLE Automation rules for result types,
// Null propagation, Empty as zero or empty text, string-to-number conversion
// and overflow promotion to wider types (Smallint 32767 + Smallint 1 gives
// Integer 32768). Failures raise the runtime's exceptions (EVariantTypeCastError,
// EVariantOverflowError, EIntDivByZero, EZeroDivide, EOverflow, EInvalidOp,
// EVariantInvalidOpError).
#pragma once

#include "ole/variant.h"

namespace qob {

Variant VarAdd(const Variant& left, const Variant& right);
Variant VarSub(const Variant& left, const Variant& right);
Variant VarMul(const Variant& left, const Variant& right);
Variant VarDiv(const Variant& left, const Variant& right);
Variant VarIdiv(const Variant& left, const Variant& right);
Variant VarMod(const Variant& left, const Variant& right);
// Shifts are not OLE operations: Integer operands (Int64 when either operand is
// 64 bits wide), the count masked to the width, right shifts filling with zeros.
Variant VarShl(const Variant& left, const Variant& right);
Variant VarShr(const Variant& left, const Variant& right);
Variant VarAnd(const Variant& left, const Variant& right);
Variant VarOr(const Variant& left, const Variant& right);
Variant VarXor(const Variant& left, const Variant& right);
Variant VarEqv(const Variant& left, const Variant& right);
Variant VarImp(const Variant& left, const Variant& right);
// Concatenation: each operand as text (Empty and Null as ""); Null & Null is Null.
Variant VarCat(const Variant& left, const Variant& right);
// Both operands as Doubles; the result is a Double.
Variant VarPow(const Variant& left, const Variant& right);
Variant VarNeg(const Variant& value);
Variant VarNot(const Variant& value);
Variant VarAbs(const Variant& value);
// Whole part toward minus infinity (Int) and toward zero (Fix), keeping the type.
Variant VarInt(const Variant& value);
Variant VarFix(const Variant& value);

// VarCmp results.
inline constexpr int VARCMP_LT = 0;
inline constexpr int VARCMP_EQ = 1;
inline constexpr int VARCMP_GT = 2;
inline constexpr int VARCMP_NULL = 3;

// Flags of VarCmp.
inline constexpr unsigned kCompareIgnoreCase = 1;

// Compares two values; VARCMP_NULL when either is Null. Strings compare by code
// unit (or case-insensitively with kCompareIgnoreCase); a string against a
// number compares numerically when it reads as a number, otherwise the string
// is greater; Empty is 0 or ""; Booleans are numbers (True = -1 < False = 0).
int VarCmp(const Variant& left, const Variant& right, unsigned flags = 0);

}  // namespace qob
