// The runtime's exception classes. Thrown by value, caught by reference;
// code that must keep or re-raise the same object holds a std::exception_ptr.
#pragma once

#include <exception>
#include <string>

#include "ole/hresult.h"
#include "ole/widestring.h"
#include "rtl/object.h"

namespace qob {

class Exception : public TObject, public std::exception {
  QOB_CLASS(Exception, TObject)
 public:
  // The UTF-8 text is made here, not on the first what(): an exception may be
  // read by several threads at once (the one that raised it, a debugger).
  explicit Exception(WideString message)
      : FMessage(std::move(message)), FUtf8(FMessage.ToUtf8()) {}

  const WideString& Message() const noexcept { return FMessage; }
  // Messages may be amended (a source suffix) before the exception propagates.
  void SetMessage(WideString message) {
    FUtf8 = message.ToUtf8();
    FMessage = std::move(message);
  }
  const char* what() const noexcept override { return FUtf8.c_str(); }

 private:
  WideString FMessage;
  std::string FUtf8;
};

// Declares an exception class with the parent's constructors and, optionally,
// a default message.
#define QOB_EXCEPTION(Name, Parent)   \
  class Name : public Parent {        \
    QOB_CLASS(Name, Parent)           \
   public:                            \
    using Parent::Parent;             \
  };
#define QOB_EXCEPTION_WITH_TEXT(Name, Parent, Text) \
  class Name : public Parent {                      \
    QOB_CLASS(Name, Parent)                         \
   public:                                          \
    using Parent::Parent;                           \
    Name() : Parent(Text) {}                        \
  };

QOB_EXCEPTION_WITH_TEXT(EAbort, Exception, u"Operation aborted")
QOB_EXCEPTION(EConvertError, Exception)
QOB_EXCEPTION_WITH_TEXT(EAssertionFailed, Exception, u"Assertion failed")
QOB_EXCEPTION_WITH_TEXT(EInvalidCast, Exception, u"Invalid class typecast")
QOB_EXCEPTION_WITH_TEXT(EInvalidArgument, Exception, u"Invalid argument")
QOB_EXCEPTION_WITH_TEXT(EOutOfMemory, Exception, u"Out of memory")
QOB_EXCEPTION(EListError, Exception)

QOB_EXCEPTION(EIntError, Exception)
QOB_EXCEPTION_WITH_TEXT(EIntDivByZero, EIntError, u"Division by zero")
QOB_EXCEPTION_WITH_TEXT(ERangeError, EIntError, u"Range check error")
QOB_EXCEPTION_WITH_TEXT(EIntOverflow, EIntError, u"Integer overflow")

QOB_EXCEPTION(EMathError, Exception)
QOB_EXCEPTION_WITH_TEXT(EInvalidOp, EMathError, u"Invalid floating point operation")
QOB_EXCEPTION_WITH_TEXT(EZeroDivide, EMathError, u"Floating point division by zero")
QOB_EXCEPTION_WITH_TEXT(EOverflow, EMathError, u"Floating point overflow")
QOB_EXCEPTION_WITH_TEXT(EUnderflow, EMathError, u"Floating point underflow")

QOB_EXCEPTION_WITH_TEXT(EVariantError, Exception, u"Invalid NULL variant operation")
QOB_EXCEPTION_WITH_TEXT(EVariantInvalidOpError, EVariantError, u"Invalid variant operation")
QOB_EXCEPTION_WITH_TEXT(EVariantTypeCastError, EVariantError, u"Invalid variant type conversion")
QOB_EXCEPTION_WITH_TEXT(EVariantOverflowError, EVariantError, u"Arithmetic overflow occurred")
QOB_EXCEPTION_WITH_TEXT(EVariantInvalidArgError, EVariantError, u"Invalid argument")
QOB_EXCEPTION_WITH_TEXT(EVariantBadVarTypeError, EVariantError, u"Invalid variant type")
QOB_EXCEPTION_WITH_TEXT(EVariantBadIndexError, EVariantError,
                        u"Variant or safe array index out of bounds")
QOB_EXCEPTION_WITH_TEXT(EVariantArrayCreateError, EVariantError,
                        u"Error creating variant or safe array")
QOB_EXCEPTION_WITH_TEXT(EVariantArrayLockedError, EVariantError,
                        u"Variant or safe array is locked")

class EInOutError : public Exception {
  QOB_CLASS(EInOutError, Exception)
 public:
  EInOutError(WideString message, int errorCode)
      : Exception(std::move(message)), ErrorCode(errorCode) {}
  int ErrorCode;
};

QOB_EXCEPTION(EOleError, Exception)

// An OLE failure with its HRESULT; an empty message takes the HRESULT's text.
class EOleSysError : public EOleError {
  QOB_CLASS(EOleSysError, EOleError)
 public:
  EOleSysError(const WideString& message, HRESULT errorCode)
      : EOleError(message.empty() ? HResultText(errorCode) : message), FErrorCode(errorCode) {}
  HRESULT ErrorCode() const noexcept { return FErrorCode; }

 private:
  HRESULT FErrorCode;
};

// An exception reported by an IDispatch call (DISP_E_EXCEPTION), with its source.
class EOleException : public EOleSysError {
  QOB_CLASS(EOleException, EOleSysError)
 public:
  EOleException(const WideString& message, HRESULT errorCode, WideString source = {},
                WideString helpFile = {}, int helpContext = 0)
      : EOleSysError(message, errorCode),
        FSource(std::move(source)),
        FHelpFile(std::move(helpFile)),
        FHelpContext(helpContext) {}
  const WideString& Source() const noexcept { return FSource; }
  const WideString& HelpFile() const noexcept { return FHelpFile; }
  int HelpContext() const noexcept { return FHelpContext; }

 private:
  WideString FSource;
  WideString FHelpFile;
  int FHelpContext;
};

}  // namespace qob
