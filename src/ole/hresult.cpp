#include "ole/hresult.h"

#include <cstdio>

namespace qob {

namespace {

struct HResultEntry {
  HRESULT code;
  const char16_t* text;
};

// The texts the system reports for the codes this library produces or meets.
constexpr HResultEntry kHResultTexts[] = {
    {S_OK, u"The operation completed successfully."},
    {S_FALSE, u"Incorrect function."},
    {E_NOTIMPL, u"Not implemented"},
    {E_NOINTERFACE, u"No such interface supported"},
    {E_POINTER, u"Invalid pointer"},
    {E_ABORT, u"Operation aborted"},
    {E_FAIL, u"Unspecified error"},
    {E_UNEXPECTED, u"Catastrophic failure"},
    {E_ACCESSDENIED, u"Access is denied."},
    {E_OUTOFMEMORY, u"Not enough memory resources are available to complete this operation."},
    {E_INVALIDARG, u"The parameter is incorrect."},
    {DISP_E_UNKNOWNINTERFACE, u"Unknown interface."},
    {DISP_E_MEMBERNOTFOUND, u"Member not found."},
    {DISP_E_PARAMNOTFOUND, u"Parameter not found."},
    {DISP_E_TYPEMISMATCH, u"Type mismatch."},
    {DISP_E_UNKNOWNNAME, u"Unknown name."},
    {DISP_E_NONAMEDARGS, u"No named arguments."},
    {DISP_E_BADVARTYPE, u"Bad variable type."},
    {DISP_E_EXCEPTION, u"Exception occurred."},
    {DISP_E_OVERFLOW, u"Out of present range."},
    {DISP_E_BADINDEX, u"Invalid index."},
    {DISP_E_UNKNOWNLCID, u"Unknown language."},
    {DISP_E_ARRAYISLOCKED, u"Memory is locked."},
    {DISP_E_BADPARAMCOUNT, u"Invalid number of parameters."},
    {DISP_E_PARAMNOTOPTIONAL, u"Parameter not optional."},
    {DISP_E_BADCALLEE, u"Invalid callee."},
    {DISP_E_NOTACOLLECTION, u"Does not support a collection."},
    {DISP_E_DIVBYZERO, u"Division by zero."},
    {TYPE_E_ELEMENTNOTFOUND, u"Element not found."},
    {CLASS_E_CLASSNOTAVAILABLE, u"ClassFactory cannot supply requested class"},
    {REGDB_E_CLASSNOTREG, u"Class not registered"},
    {MK_E_UNAVAILABLE, u"Operation unavailable"},
    {CO_E_CLASSSTRING, u"Invalid class string"},
};

}  // namespace

WideString HResultText(HRESULT hr) {
  for (const HResultEntry& entry : kHResultTexts)
    if (entry.code == hr) return WideString(entry.text);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "Unknown error 0x%08X", static_cast<uint32_t>(hr));
  return WideString::FromUtf8(buffer);
}

}  // namespace qob
