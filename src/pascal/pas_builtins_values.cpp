// Constants, value tests and COM objects by ProgID.
#include "ole/ole_registry.h"
#include "ole/variant_convert.h"
#include "pascal/pas_builtins.h"

namespace qob::pas_builtins {

void TNullObject::DoExecute(const TQOBCall&, Variant*, Variant& AResult) {
  AResult = VarNullValue();
}

void TUnassignedObject::DoExecute(const TQOBCall&, Variant*, Variant& AResult) {
  AResult.Clear();
}

void TTrue::DoExecute(const TQOBCall&, Variant*, Variant& AResult) {
  AResult = Variant(true);
}

void TFalse::DoExecute(const TQOBCall&, Variant*, Variant& AResult) {
  AResult = Variant(false);
}

void TVarIsNull::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  AResult = Variant(Arg(AArgs, 0).IsNull());
}

void TAssigned::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const Variant& value = Arg(AArgs, 0);
  bool assigned = true;
  switch (value.Type()) {
    case varEmpty:
    case varNull:
      assigned = false;
      break;
    case varDispatch:
    case varUnknown:
      assigned = value.VPointer != nullptr;
      break;
    case varByRef | varDispatch:
    case varByRef | varUnknown:
      assigned = value.VPointer != nullptr && *static_cast<void**>(value.VPointer) != nullptr;
      break;
    default:
      break;
  }
  AResult = Variant(assigned);
}

void TCreateOleObject::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const ComPtr<IDispatch> object = CreateOleObject(VarToStr(Arg(AArgs, 0)));
  AResult = Variant(object.get());
}

void TGetActiveOleObject::DoExecute(const TQOBCall&, Variant* AArgs, Variant& AResult) {
  const ComPtr<IDispatch> object = GetActiveOleObject(VarToStr(Arg(AArgs, 0)));
  AResult = Variant(object.get());
}

}  // namespace qob::pas_builtins
