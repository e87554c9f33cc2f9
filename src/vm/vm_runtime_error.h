// The machine's two exception classes: lifecycle misuse of a virtual machine
// (EQOBVirtMachine) and run-time errors of scripts (EQOBVMRuntime), with the
// table of run-time error messages.
#pragma once

#include <cstdint>
#include <string_view>

#include "ole/com.h"
#include "rtl/exceptions.h"

namespace qob {

// Lifecycle misuse: a machine used in the wrong state, or entered when it is
// not active.
QOB_EXCEPTION(EQOBVirtMachine, Exception)

enum TQOBRuntimeErrorType : uint8_t {
  retUndeclaredId = 0,
  retOutsideOfLoop = 1,
  retEBCFromFinally = 2,
  retCannotAssign = 3,
  retInvalidParamCount = 4,
  retTypeMismatch = 5,
  retObjectRequired = 6,
  retLoopVar = 7,
  retCannotRaiseNil = 8,
  retCannotRaiseLocked = 9,
  retLowOnlyArray = 10,
  retHighOnlyArray = 11,
  retViolatesBounds = 12,
  retInvalidDispId = 13,
  retProcRequired = 14,
  retValObjRequired = 15,
  retAborted = 16,
  retIEInvalidObjKind = 17,
  retIEInvalidBracketType = 18,
  retIEInvalidInstr = 19,
  retIENoBreakpointInfo = 20,
  // A script call nested deeper than the thread's stack allows.
  retStackOverflow = 21,
  // A failed IDispatch call whose HRESULT has no error type of its own.
  retOleError = 22,
};

// The message of an error type ("%s" stands for a name where the message has one).
std::u16string_view RuntimeErrorMessage(TQOBRuntimeErrorType AErrorType) noexcept;

class EQOBVMRuntime : public Exception {
  QOB_CLASS(EQOBVMRuntime, Exception)
 public:
  EQOBVMRuntime(TQOBRuntimeErrorType AErrorType, WideString AMessage, HRESULT AErrorCode = S_OK)
      : Exception(std::move(AMessage)), FErrorType(AErrorType), FErrorCode(AErrorCode) {}

  TQOBRuntimeErrorType ErrorType() const noexcept { return FErrorType; }
  // The HRESULT of a failed IDispatch call; S_OK for the machine's own errors.
  HRESULT ErrorCode() const noexcept { return FErrorCode; }

  [[noreturn]] static void RaiseError(TQOBRuntimeErrorType AErrorType);
  [[noreturn]] static void RaiseError(TQOBRuntimeErrorType AErrorType,
                                      std::u16string_view AStrName);
  // A failed IDispatch call: `EInfo` (may be null) supplies the message of
  // DISP_E_EXCEPTION and is cleared when `AFinalizeEInfo`.
  [[noreturn]] static void RaiseError(HRESULT AInvokeRes, EXCEPINFO* EInfo, bool AFinalizeEInfo);

 private:
  TQOBRuntimeErrorType FErrorType;
  HRESULT FErrorCode;
};

}  // namespace qob
