#include "ole/dispatch_object.h"

#include <vector>

#include "rtl/exceptions.h"

namespace qob {

HRESULT DispatchObject::GetTypeInfoCount(uint32_t* count) {
  if (!count) return E_POINTER;
  *count = TypeInfo() ? 1 : 0;
  return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(uint32_t index, LCID, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  ComPtr<ITypeInfo> typeInfo = TypeInfo();
  if (!typeInfo) return E_NOTIMPL;
  *info = typeInfo.Detach();
  return S_OK;
}

Variant DispatchInvoke(IDispatch* object, std::u16string_view name, uint16_t flags,
                       std::span<const Variant> args) {
  if (!object) throw EOleException(WideString(), E_POINTER);
  // GetIDsOfNames wants a zero-terminated name.
  const WideString memberName(name);
  const char16_t* names[] = {memberName.c_str()};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
  if (Failed(hr)) throw EOleException(WideString(), hr);

  // OLE Automation passes arguments last-first.
  std::vector<Variant> reversed(args.rbegin(), args.rend());
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params;
  params.rgvarg = reversed.data();
  params.cArgs = static_cast<uint32_t>(reversed.size());
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    // The value put is the named argument: a put without one is malformed.
    if (reversed.empty()) throw EOleException(WideString(), DISP_E_BADPARAMCOUNT);
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }

  Variant result;
  EXCEPINFO excepInfo;
  uint32_t argErr = 0;
  hr = object->Invoke(id, IID_NULL, 0, flags, &params, &result, &excepInfo, &argErr);
  if (hr == DISP_E_EXCEPTION) {
    HRESULT code = excepInfo.scode != S_OK ? excepInfo.scode : DISP_E_EXCEPTION;
    throw EOleException(excepInfo.bstrDescription, code, excepInfo.bstrSource,
                        excepInfo.bstrHelpFile, static_cast<int>(excepInfo.dwHelpContext));
  }
  if (Failed(hr)) throw EOleException(WideString(), hr);
  return result;
}

Variant DispatchGetProperty(IDispatch* object, std::u16string_view name) {
  return DispatchInvoke(object, name, DISPATCH_PROPERTYGET);
}

}  // namespace qob
