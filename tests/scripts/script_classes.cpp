#include "script_classes.h"

#include <exception>
#include <functional>
#include <string_view>
#include <vector>

#include "ole/dispatch_object.h"
#include "ole/variant_convert.h"
#include "rtl/exceptions.h"
#include "rtl/unicode.h"
#include "vm/vm_runtime_error.h"

namespace qob::scripttest {

namespace {

using TExceptionFactory = std::exception_ptr (*)(const WideString& AMessage);

template <class E>
std::exception_ptr MakeException(const WideString& AMessage) {
  return std::make_exception_ptr(E(AMessage));
}

struct TExceptionClass {
  std::u16string_view Name;
  TClass Class;
  TExceptionFactory Create;  // nil: scripts cannot create one
};

const TExceptionClass kClasses[] = {
    {u"Exception", Exception::StaticClass(), &MakeException<Exception>},
    {u"EConvertError", EConvertError::StaticClass(), &MakeException<EConvertError>},
    {u"EMathError", EMathError::StaticClass(), &MakeException<EMathError>},
    {u"EZeroDivide", EZeroDivide::StaticClass(), &MakeException<EZeroDivide>},
    {u"EInvalidOp", EInvalidOp::StaticClass(), &MakeException<EInvalidOp>},
    {u"EOverflow", EOverflow::StaticClass(), &MakeException<EOverflow>},
    {u"EIntError", EIntError::StaticClass(), &MakeException<EIntError>},
    {u"EIntDivByZero", EIntDivByZero::StaticClass(), &MakeException<EIntDivByZero>},
    {u"EIntOverflow", EIntOverflow::StaticClass(), &MakeException<EIntOverflow>},
    {u"EVariantError", EVariantError::StaticClass(), &MakeException<EVariantError>},
    {u"EVariantTypeCastError", EVariantTypeCastError::StaticClass(),
     &MakeException<EVariantTypeCastError>},
    {u"EOleSysError", EOleSysError::StaticClass(), nullptr},
    {u"EQOBVMRuntime", EQOBVMRuntime::StaticClass(), nullptr},
};

// The runtime's exception object behind an exception pointer, or nil for
// anything that is not one.
Exception* ExceptionOf(const std::exception_ptr& AObject) {
  try {
    std::rethrow_exception(AObject);
  } catch (Exception& e) {
    return &e;
  } catch (...) {
    return nullptr;
  }
}

// A dispatch object with a few named members, matched ignoring case.
class TMemberObject : public DispatchObject {
 public:
  HRESULT GetIDsOfNames(REFIID, const char16_t** ANames, uint32_t ACount, LCID,
                        DISPID* AIds) override {
    if (ACount == 0) return S_OK;
    const std::vector<std::u16string_view> names = MemberNames();
    for (size_t i = 0; i < names.size(); ++i)
      if (SameText(names[i], ANames[0])) {
        AIds[0] = static_cast<DISPID>(i + 1);
        return S_OK;
      }
    AIds[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }

  HRESULT Invoke(DISPID AId, REFIID, LCID, uint16_t AFlags, DISPPARAMS* AParams, Variant* AResult,
                 EXCEPINFO*, uint32_t*) override {
    std::vector<Variant> args;
    for (uint32_t i = AParams ? AParams->cArgs : 0; i > 0; --i)
      args.push_back(AParams->rgvarg[i - 1].Deref());  // they arrive last first
    Variant result;
    const HRESULT hr = InvokeMember(AId, AFlags, args, result);
    if (hr == S_OK && AResult) *AResult = std::move(result);
    return hr;
  }

 protected:
  virtual std::vector<std::u16string_view> MemberNames() const = 0;
  virtual HRESULT InvokeMember(DISPID AId, uint16_t AFlags, const std::vector<Variant>& AArgs,
                               Variant& AResult) = 0;
};

// An exception object as scripts see it: Message (read and write) and ClassName.
class TExceptionObject final : public TMemberObject {
 public:
  explicit TExceptionObject(std::exception_ptr AObject)
      : FObject(std::move(AObject)), FException(ExceptionOf(FObject)) {}

  const std::exception_ptr& Object() const noexcept { return FObject; }
  Exception* Value() const noexcept { return FException; }

 protected:
  std::vector<std::u16string_view> MemberNames() const override {
    return {u"Message", u"ClassName"};
  }
  HRESULT InvokeMember(DISPID AId, uint16_t AFlags, const std::vector<Variant>& AArgs,
                       Variant& AResult) override {
    if (!FException) return DISP_E_MEMBERNOTFOUND;
    if (AId == 1 && (AFlags & DISPATCH_PROPERTYPUT) && AArgs.size() == 1) {
      FException->SetMessage(VarToStr(AArgs[0]));
      return S_OK;
    }
    if (!AArgs.empty()) return DISP_E_BADPARAMCOUNT;
    if (AId == 1) AResult = Variant(FException->Message());
    if (AId == 2) AResult = Variant(WideString(FException->ClassName()));
    return S_OK;
  }

 private:
  std::exception_ptr FObject;
  Exception* FException;
};

// An exception class: Create(Message) and ClassName.
class TClassObject final : public TMemberObject {
 public:
  explicit TClassObject(const TExceptionClass& AClass) : FClass(AClass) {}
  TClass Class() const noexcept { return FClass.Class; }

 protected:
  std::vector<std::u16string_view> MemberNames() const override {
    return {u"Create", u"ClassName"};
  }
  HRESULT InvokeMember(DISPID AId, uint16_t, const std::vector<Variant>& AArgs,
                       Variant& AResult) override {
    if (AId == 2) {
      AResult = Variant(WideString(FClass.Name));
      return S_OK;
    }
    if (!FClass.Create) return DISP_E_MEMBERNOTFOUND;
    if (AArgs.size() != 1) return DISP_E_BADPARAMCOUNT;
    ComPtr<IDispatch> object(new TExceptionObject(FClass.Create(VarToStr(AArgs[0]))));
    AResult = Variant(object.get());
    return S_OK;
  }

 private:
  const TExceptionClass& FClass;
};

// The test host's own objects behind a Variant, or nil.
template <class T>
T* HostObjectOf(const Variant& AValue) {
  const Variant& value = AValue.Deref();
  if (value.Type() != varDispatch || !value.VDispatch) return nullptr;
  return dynamic_cast<T*>(value.VDispatch);
}

}  // namespace

void AddExceptionClasses(TQOBVirtMachine& AVM) {
  for (const TExceptionClass& c : kClasses) {
    ComPtr<IDispatch> object(new TClassObject(c));
    AVM.AddExternObject(object.get(), WideString(c.Name), false);
  }
  AVM.OnExceptionIsTest = [](TQOBVirtMachine*, const std::exception_ptr& E, const Variant& AType,
                             bool& AResult) {
    const TClassObject* type = HostObjectOf<TClassObject>(AType);
    const Exception* e = ExceptionOf(E);
    AResult = type && e && e->InheritsFrom(type->Class());
  };
  AVM.OnIsTest = [](TQOBVirtMachine*, const Variant& AObj, const Variant& AType, bool& AResult) {
    const TClassObject* type = HostObjectOf<TClassObject>(AType);
    const TExceptionObject* object = HostObjectOf<TExceptionObject>(AObj);
    AResult = type && object && object->Value() && object->Value()->InheritsFrom(type->Class());
  };
  AVM.OnVarToException = [](TQOBVirtMachine*, const Variant& V, std::exception_ptr& AResult) {
    if (const TExceptionObject* object = HostObjectOf<TExceptionObject>(V))
      AResult = object->Object();
  };
  AVM.OnExceptionToVar = [](TQOBVirtMachine*, const std::exception_ptr& E, Variant& AResult) {
    ComPtr<IDispatch> object(new TExceptionObject(E));
    AResult = Variant(object.get());
  };
}

}  // namespace qob::scripttest
