// The in-line paths of the dispatch loop: the hottest operand types of the
// value operations, elements of one-dimensional Variant arrays, and names
// whose meaning an earlier search of the same call record already found.
// Each path either gives exactly the general operation's answer or declines
// (returns false / nil) and leaves the work to the general operation, which
// also raises every error; none of them allocates.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "compiler/global_objects.h"
#include "ole/safearray.h"
#include "vm/interpreter.h"
#include "vm/value_ops.h"

namespace qob::fast {

// Results are written as whole 16-byte slots: the next instruction usually
// reads the whole slot, and a load that spans several smaller stores cannot
// be forwarded from them and stalls. The old value must own nothing.
inline void StoreWhole(Variant& ATarget, TVarType AType, uint64_t APayload) noexcept {
#if defined(__SSE2__)
  _mm_storeu_si128(reinterpret_cast<__m128i*>(static_cast<TVarData*>(&ATarget)),
                   _mm_set_epi64x(static_cast<int64_t>(APayload), AType));
#else
  TVarData data{};
  data.VType = AType;
  data.VInt64 = static_cast<int64_t>(APayload);
  std::memcpy(static_cast<TVarData*>(&ATarget), &data, sizeof data);
#endif
}

inline void SetInteger(Variant& ATarget, int32_t AValue) noexcept {
  ATarget.Clear();
  StoreWhole(ATarget, varInteger, static_cast<uint32_t>(AValue));
}

inline void SetBool(Variant& ATarget, bool AValue) noexcept {
  ATarget.Clear();
  StoreWhole(ATarget, varBoolean, AValue ? uint16_t(VARIANT_TRUE) : uint16_t(VARIANT_FALSE));
}

// A reference to AVariable (0x400C), as Variant::RefTo makes it.
inline void SetRef(Variant& ATarget, Variant* AVariable) noexcept {
  ATarget.Clear();
  StoreWhole(ATarget, varVariantRef, reinterpret_cast<uintptr_t>(AVariable));
}

// A Double result over an operand slot; both operands were numbers that own nothing.
inline void StoreDouble(Variant& ATarget, double AValue) noexcept {
  uint64_t bits;
  std::memcpy(&bits, &AValue, sizeof bits);
  StoreWhole(ATarget, varDouble, bits);
}

inline bool BothIntegers(const Variant& A, const Variant& B) noexcept {
  return A.VType == varInteger && B.VType == varInteger;
}

// An Integer or a Double as a double.
inline bool IntegerOrDouble(const Variant& AValue, double& AResult) noexcept {
  if (AValue.VType == varDouble)
    AResult = AValue.VDouble;
  else if (AValue.VType == varInteger)
    AResult = AValue.VInteger;
  else
    return false;
  return true;
}

// Both operands as doubles when each is an Integer or a Double and at least
// one of them is a Double: the general operation's Double path.
inline bool FloatOperands(const Variant& A, const Variant& B, double& a, double& b) noexcept {
  return IntegerOrDouble(A, a) && IntegerOrDouble(B, b) &&
         (A.VType == varDouble || B.VType == varDouble);
}

// The binary operators with an in-line path, the result replacing the left
// operand. A result that overflows, or a Double that is not finite, goes to
// the general operation, which raises what it must.
template <TQOBOperator Op>
inline void BinaryInPlace(Variant& ALeft, const Variant& ARight) {
  if (BothIntegers(ALeft, ARight)) {
    const int32_t a = ALeft.VInteger;
    const int32_t b = ARight.VInteger;
    int32_t r;
    bool done = false;
    if constexpr (Op == opAdd) done = !__builtin_add_overflow(a, b, &r);
    if constexpr (Op == opSubtract) done = !__builtin_sub_overflow(a, b, &r);
    if constexpr (Op == opMultiply) done = !__builtin_mul_overflow(a, b, &r);
    if constexpr (Op == opIntDivide || Op == opModulus) {
      // A zero divisor raises on the general path; the minimum by -1 overflows.
      done = b != 0 && b != -1;
      if (done) r = Op == opIntDivide ? a / b : a % b;
    }
    if constexpr (Op == opDivide) {
      if (b != 0) {
        StoreDouble(ALeft, static_cast<double>(a) / b);
        return;
      }
    }
    if (done) {
      StoreWhole(ALeft, varInteger, static_cast<uint32_t>(r));
      return;
    }
  } else if constexpr (Op == opAdd || Op == opSubtract || Op == opMultiply || Op == opDivide) {
    double a;
    double b;
    if (FloatOperands(ALeft, ARight, a, b)) {
      const double r = Op == opAdd        ? a + b
                       : Op == opSubtract ? a - b
                       : Op == opMultiply ? a * b
                                          : a / b;
      if (std::isfinite(r)) {
        StoreDouble(ALeft, r);
        return;
      }
    }
  }
  QOBBinaryOp(ALeft, ARight, ALeft, Op);
}

// A comparison of two Integers in line; anything else goes to the general
// comparison.
inline bool Compare(const Variant& ALeft, const Variant& ARight, TQOBOperator AOp) {
  if (BothIntegers(ALeft, ARight)) {
    const int32_t a = ALeft.VInteger;
    const int32_t b = ARight.VInteger;
    switch (AOp) {
      case opEqual:
        return a == b;
      case opNotEqual:
        return a != b;
      case opLess:
        return a < b;
      case opLessEqual:
        return a <= b;
      case opGreater:
        return a > b;
      case opGreaterEqual:
        return a >= b;
      default:
        break;
    }
  }
  return QOBCompare(ALeft, ARight, AOp);
}

// Adds ADelta (+1 or -1) to a loop variable.
inline void StepInPlace(Variant& AVariable, int32_t ADelta) {
  int32_t r;
  if (AVariable.VType == varInteger && !__builtin_add_overflow(AVariable.VInteger, ADelta, &r)) {
    StoreWhole(AVariable, varInteger, static_cast<uint32_t>(r));
    return;
  }
  QOBBinaryOp(AVariable, VarIntOne(), AVariable, ADelta > 0 ? opAdd : opSubtract);
}

// ---- Elements of one-dimensional Variant arrays, by an Integer index. ----

// A variable given as an index arrives as a reference to it.
inline Variant* ElementOf(const Variant& AContainer, const Variant& AIndex) noexcept {
  const Variant& index = AIndex.Deref();
  if (AContainer.VType != (varArray | varVariant) || index.VType != varInteger) return nullptr;
  TSafeArray& array = *AContainer.VArray;
  if (array.Bounds.size() != 1) return nullptr;
  const int64_t offset = int64_t{index.VInteger} - array.Bounds[0].LowBound;
  if (offset < 0 || offset >= array.Bounds[0].ElementCount) return nullptr;  // raised elsewhere
  return &array.Elements[static_cast<size_t>(offset)];
}

inline bool ReadElement(const Variant& AContainer, const Variant& AIndex, Variant& AResult) {
  const Variant* element = ElementOf(AContainer, AIndex);
  if (!element) return false;
  AResult = *element;
  return true;
}

// The stored value is moved out of its operand slot, which is popped next;
// a by-reference value is left to the general path, which stores its target.
inline bool WriteElement(const Variant& AContainer, const Variant& AIndex, Variant& AValue) {
  if (AValue.VType & varByRef) return false;
  Variant* element = ElementOf(AContainer, AIndex);
  if (!element) return false;
  *element = std::move(AValue);
  return true;
}

// ---- Names an earlier search of the same call record already found. ----

// The packed form of TQOBCall::FResolvedLocal for a local variable or a
// parameter that a search found.
inline uint64_t PackLocal(const TQOBNameSearchRes& ARes) noexcept {
  uint32_t payload;
  if (ARes.ObjKind == srLocalVar)
    payload = static_cast<uint32_t>(ARes.LocalVarIndex);
  else
    std::memcpy(&payload, &ARes.ParamInfo, sizeof payload);
  return static_cast<uint64_t>(ARes.ObjKind) | (static_cast<uint64_t>(payload) << 32);
}

// The slot a local answer names in this activation, or nil when the record
// has none for the scope that runs it.
inline Variant* KnownLocal(const TQOBCallStackFrame& F, const TQOBCall& C, bool AAssign) noexcept {
  const uint64_t local = C.FResolvedLocal.load(std::memory_order_relaxed);
  if (local == 0 || F.CurNS != F.Ctx->Code->InitialNamespace()) return nullptr;
  const uint32_t payload = static_cast<uint32_t>(local >> 32);
  if (static_cast<TQOBNameSearchResKind>(local & 0xFF) == srLocalVar) return &F.Stack[payload];
  TQOBParamInfo param;
  std::memcpy(&param, &payload, sizeof param);
  Variant& slot = F.Ctx->Args[param.Index];
  if (!AAssign) return &slot;
  switch (param.ParamKind()) {
    case pkByRef:
      return &slot.Deref();
    case pkSimple:
      // A value parameter still referring to the caller's variable gets its
      // own copy on the general path first.
      return slot.IsRef() ? nullptr : &slot;
    case pkConst:
      break;
  }
  return nullptr;
}

// The variable or constant a name call reads (its value is the final value
// of the answer), or nil when the general path must search. AGlobal is the
// record's module global, as the caller already loaded it.
inline Variant* KnownSource(const TQOBCallStackFrame& F, const TQOBCall& C,
                            TQOBGlobalObject* AGlobal) noexcept {
  if (AGlobal)
    return AGlobal->FGlobalObjType == gtProcedure
               ? nullptr
               : &static_cast<TQOBGlobalValuedObject*>(AGlobal)->Value;
  return KnownLocal(F, C, false);
}

// The variable an assign-call or a reference call writes to, or nil.
inline Variant* KnownTarget(const TQOBCallStackFrame& F, const TQOBCall& C) noexcept {
  if (TQOBGlobalObject* global = C.FResolvedGlobal.load(std::memory_order_acquire))
    return global->FGlobalObjType == gtVar ? &static_cast<TQOBGlobalValuedObject*>(global)->Value
                                           : nullptr;
  return KnownLocal(F, C, true);
}

}  // namespace qob::fast
