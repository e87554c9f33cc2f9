// Calls the interpreter and the code object share: invoking members of
// IDispatch objects, indexing values and arrays in place, and running a
// script procedure with an argument block.
#pragma once

#include <cstdint>

#include "compiler/global_objects.h"
#include "ole/com.h"
#include "ole/safearray.h"
#include "ole/variant.h"
#include "vm/bytecode_instr.h"

namespace qob {

class TQOBVirtMachine;
class TQOBThread;

// Most arguments a host call takes (OLE Automation passes them on one block).
inline constexpr int32_t kQOBMaxDispatchArgs = 63;
// Most dimensions an index list may name.
inline constexpr int32_t kQOBMaxIndexCount = 59;

// The safe array held by a Variant (by value or by reference), or nil.
TSafeArray* QOBArrayOf(const Variant& AValue) noexcept;

// Calls member ADispId of AObj with AArgCount arguments from AArgs (first
// argument first), as a method and/or property get chosen by ABracketType.
// The result goes to AResult when AResMask is set.
void QOBInvokeDispatch(IDispatch* AObj, DISPID ADispId, TQOBBracketType ABracketType,
                       uint32_t AResMask, int32_t AArgCount, Variant* AArgs, Variant& AResult);
// Property put of member ADispId with index arguments and the value.
void QOBPutDispatch(IDispatch* AObj, DISPID ADispId, TQOBBracketType ABracketType,
                    int32_t AArgCount, Variant* AArgs, const Variant& AValue);

// Indexing or default member of ATarget (a final value, read in place).
void QOBApplyArgs(Variant& ATarget, int32_t AArgCount, Variant* AArgs, Variant& AResult);
// Indexed assignment into ATarget (a final value, changed in place).
void QOBIndexedAssign(Variant& ATarget, int32_t AArgCount, Variant* AArgs, const Variant& AValue);

// Runs AProc on the calling thread with AArgs as its argument block and
// AResult as its result slot (reset to Unassigned before the call).
void QOBCallProcedure(TQOBVirtMachine& AVM, TQOBThread& AThread, TQOBProcObject* AProc,
                      int32_t AArgCount, Variant* AArgs, Variant& AResult);
// The same after the checks of a call written in script code: square
// brackets and a used result of a procedure without one are type mismatches.
void QOBCallProcedureChecked(TQOBVirtMachine& AVM, TQOBThread& AThread, TQOBProcObject* AProc,
                             TQOBBracketType ABracketType, uint32_t AResMask, int32_t AArgCount,
                             Variant* AArgs, Variant& AResult);

}  // namespace qob
