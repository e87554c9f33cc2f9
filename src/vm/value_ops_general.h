// The general path of the value operations (OLE Automation Variant
// operations and the language's own Concat, Power, Eqv and Imp rules), and
// the floating-point fault checks shared with the direct double path.
#pragma once

#include <cmath>

#include "ole/variant.h"
#include "vm/value_ops.h"

namespace qob {

// Operands are already dereferenced; `AResult` may alias either of them.
void GeneralBinaryOp(const Variant& ALeft, const Variant& ARight, Variant& AResult,
                     TQOBOperator AOp);
bool GeneralCompare(const Variant& ALeft, const Variant& ARight, TQOBOperator AOp);

// Linux reports floating faults only as Inf or NaN results; turn a fault
// that finite operands produced into the runtime's exception.
[[noreturn]] void RaiseFloatFault(double AResult, double ALeft, double ARight);
inline void CheckFloatResult(double AResult, double ALeft, double ARight) {
  if (!std::isfinite(AResult)) [[unlikely]]
    if (!std::isnan(ALeft) && !std::isnan(ARight) &&
        (std::isnan(AResult) || (std::isfinite(ALeft) && std::isfinite(ARight))))
      RaiseFloatFault(AResult, ALeft, ARight);
}

}  // namespace qob
