#include "vm/vm_runtime_error.h"

#include <cstdio>
#include <string>

namespace qob {

std::u16string_view RuntimeErrorMessage(TQOBRuntimeErrorType AErrorType) noexcept {
  switch (AErrorType) {
    case retUndeclaredId:
      return u"Undeclared identifier: '%s'";
    case retOutsideOfLoop:
      return u"BREAK or CONTINUE outside of loop";
    case retEBCFromFinally:
      return u"Cannot BREAK, CONTINUE or EXIT out of a FINALLY clause";
    case retCannotAssign:
      return u"Invalid assignment";
    case retInvalidParamCount:
      return u"Invalid argument count";
    case retTypeMismatch:
      return u"Invalid type cast or type mismatch";
    case retObjectRequired:
      return u"Object required but nil found";
    case retLoopVar:
      return u"For loop control variable must be simple local variable";
    case retCannotRaiseNil:
      return u"Cannot raise nil exception";
    case retCannotRaiseLocked:
      return u"Cannot raise locked exception";
    case retLowOnlyArray:
      return u"Low can be applied only to an array";
    case retHighOnlyArray:
      return u"High can be applied only to an array";
    case retViolatesBounds:
      return u"Constant expression violates subrange bounds";
    case retInvalidDispId:
      return u"Invalid DispId";
    case retProcRequired:
      return u"Procedural type required.";
    case retValObjRequired:
      return u"Variable or constant required.";
    case retAborted:
      return u"Script execution has been aborted.";
    case retIEInvalidObjKind:
      return u"Internal error: Invalid object kind";
    case retIEInvalidBracketType:
      return u"Internal error: Invalid bracket type";
    case retIEInvalidInstr:
      return u"Internal error: Invalid instruction code";
    case retIENoBreakpointInfo:
      return u"Internal error: No breakpoint info found";
    case retStackOverflow:
      return u"Stack overflow";
    case retOleError:
      break;
  }
  return u"Internal error: Invalid exception type";
}

void EQOBVMRuntime::RaiseError(TQOBRuntimeErrorType AErrorType) {
  if (AErrorType == retUndeclaredId) RaiseError(AErrorType, u"");
  throw EQOBVMRuntime(AErrorType, WideString(RuntimeErrorMessage(AErrorType)));
}

void EQOBVMRuntime::RaiseError(TQOBRuntimeErrorType AErrorType, std::u16string_view AStrName) {
  std::u16string message(RuntimeErrorMessage(AErrorType));
  if (size_t at = message.find(u"%s"); at != std::u16string::npos) message.replace(at, 2, AStrName);
  throw EQOBVMRuntime(AErrorType, WideString(message));
}

void EQOBVMRuntime::RaiseError(HRESULT AInvokeRes, EXCEPINFO* EInfo, bool AFinalizeEInfo) {
  TQOBRuntimeErrorType type = retOleError;
  HRESULT code = AInvokeRes;
  WideString message;
  if (AInvokeRes == DISP_E_TYPEMISMATCH) {
    type = retTypeMismatch;
    message = WideString(RuntimeErrorMessage(type));
  } else if (AInvokeRes == DISP_E_BADPARAMCOUNT) {
    type = retInvalidParamCount;
    message = WideString(RuntimeErrorMessage(type));
  } else if (AInvokeRes == DISP_E_EXCEPTION && EInfo) {
    message = EInfo->bstrDescription;
    if (Failed(EInfo->scode)) code = EInfo->scode;
    if (AFinalizeEInfo) *EInfo = EXCEPINFO();
  }
  if (message.empty()) message = HResultText(code);
  if (message.empty()) {
    char text[32];
    std::snprintf(text, sizeof text, "OLE error %.8x", static_cast<unsigned>(code));
    message = WideString::FromUtf8(text);
  }
  throw EQOBVMRuntime(type, std::move(message), code);
}

}  // namespace qob
