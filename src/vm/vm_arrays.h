// Array creation and re-dimensioning for the array instructions.
#pragma once

#include "ole/variant.h"
#include "vm/bytecode_instr.h"

namespace qob {

// Most dimensions an array instruction may create.
inline constexpr int32_t kQOBMaxArrayDims = 29;

// A new array of AArray's element type; ABounds holds a lower and an upper
// bound per dimension, first dimension first. Bad dimension counts and sizes
// are refused before anything is allocated.
Variant QOBArrayCreate(const TQOBArray& AArray, const Variant* ABounds);
// Re-dimensions AX (a final value) in place, keeping the elements both
// arrays share when ARedim preserves them.
void QOBArrayRedim(Variant& AX, const TQOBArrayRedim& ARedim, const Variant* ABounds);

}  // namespace qob
