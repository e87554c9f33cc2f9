#include "host/runner.h"

#include "host/script_control.h"

namespace qob {

void TRunnerBase::AddNamedObjectsToEngine(const TQOBScriptControl& ACtrl) {
  for (const TNamedItem* item : ACtrl.NamedItems())
    if (item->Kind == nikObject) AddNamedObjectToEngine(*item);
}

}  // namespace qob
