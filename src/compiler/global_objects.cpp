#include "compiler/global_objects.h"

namespace qob {

TQOBNameSearchResKind QOBSearchKindOf(TQOBGlobalObjType AType) noexcept {
  switch (AType) {
    case gtVar:
      return srGlobalVar;
    case gtConst:
      return srGlobalConst;
    case gtProcedure:
      return srProcedure;
    case gtExit:
      return srExit;
    case gtBreak:
      return srBreak;
    case gtContinue:
      return srContinue;
    case gtIntrinsic:
      return srIntrinsic;
    case gtExtern:
      return srExternal;
  }
  return srNotFound;
}

}  // namespace qob
