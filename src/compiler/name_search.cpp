#include "compiler/name_search.h"

#include "compiler/global_objects.h"

namespace qob {

TQOBNameSearchRes TQOBNameSearchRes::OfGlobal(TQOBGlobalObject* AObject) noexcept {
  return Object(QOBSearchKindOf(AObject->FGlobalObjType), AObject);
}

TQOBNameSearchRes TQOBAbstractNamespace::CompileTimeFind(TQOBNameId /*AName*/) {
  return TQOBNameSearchRes::NotFound();
}

}  // namespace qob
