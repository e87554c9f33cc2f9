#include "vm/vm_globals.h"

#include "compiler/name_table.h"
#include "vm/code_object.h"
#include "vm/virt_machine.h"
#include "vm/vm_threads.h"

namespace qob {

// ----------------------------------------------------------- host objects

bool TQOBExternObjects::Add(IDispatch* AObj, const WideString& AName, bool APublishMembers) {
  const TQOBNameId name = QOBNameId(AName);
  TQOBCodeObject* codeObject = AObj ? TQOBCodeObject::FromDispatch(AObj) : nullptr;
  auto object = std::make_unique<TQOBExternObject>(name, AName, AObj, codeObject, APublishMembers);
  std::lock_guard guard(FSection);
  if (!FObjects.Add(object.get())) return false;
  TQOBExternObject* added = object.release();
  if (APublishMembers) FPubMrsObjs.push_back(added);
  FChangeNumber.fetch_add(1, std::memory_order_acq_rel);
  return true;
}

void TQOBExternObjects::Close() {
  std::lock_guard guard(FSection);
  FPubMrsObjs.clear();
  FObjects.Clear();
  FChangeNumber.store(0, std::memory_order_release);
}

void TQOBExternObjects::UpdateContentOf(TQOBThreadGlobals& AGlobals) {
  std::lock_guard guard(FSection);
  AGlobals.FItems.clear();
  AGlobals.FProcsCache.clear();
  AGlobals.FValObjCache.clear();
  // Earlier entries win: module globals, then host objects, then built-ins.
  std::vector<TQOBNamedItem*> objects;
  auto addAll = [&](const TQOBNameHashTable& ATable, bool ATrySearchInPubs) {
    objects.clear();
    ATable.GetAll(objects);
    for (TQOBNamedItem* item : objects) {
      auto* object = static_cast<TQOBGlobalObject*>(item);
      AGlobals.FItems.emplace(
          object->FName, TThreadGlobalsItem{ATrySearchInPubs, TQOBNameSearchRes::OfGlobal(object)});
    }
  };
  addAll(FVM->FScriptGlobals, false);
  addAll(FObjects, false);
  addAll(FVM->FIntrinsicObjects, true);
  AGlobals.FPubMrsExterns = FPubMrsObjs;
  AGlobals.FChangeNumber = FChangeNumber.load(std::memory_order_relaxed);
}

// ------------------------------------------------------ per-thread cache

TQOBVirtMachine& TQOBThreadGlobals::VM() const {
  return *FThreadVM->VMLock()->VM();
}

void TQOBThreadGlobals::Clear() {
  FItems.clear();
  FProcsCache.clear();
  FValObjCache.clear();
  FPubMrsExterns.clear();
  FChangeNumber = -1;
}

void TQOBThreadGlobals::Refresh() {
  TQOBExternObjects& externs = *VM().FExternObjects;
  if (FChangeNumber != externs.ChangeNumber()) externs.UpdateContentOf(*this);
}

TQOBNameSearchRes TQOBThreadGlobals::Search(TQOBNameId AName, const WideString& AStrName) {
  Refresh();
  auto found = FItems.find(AName);
  if (found != FItems.end()) {
    if (!found->second.TrySearchInPubs) return found->second.SearchRes;
    // A built-in yields to a published member of the same name; ask once.
    found->second.TrySearchInPubs = false;
    TQOBNameSearchRes result = found->second.SearchRes;
    TThreadGlobalsItem member;
    if (SearchInPubs(AName, AStrName, member)) {
      result = member.SearchRes;
      FItems[AName] = member;
    }
    return result;
  }
  TThreadGlobalsItem member;
  if (!SearchInPubs(AName, AStrName, member)) return TQOBNameSearchRes::NotFound();
  FItems[AName] = member;
  return member.SearchRes;
}

bool TQOBThreadGlobals::SearchInPubs(TQOBNameId AName, const WideString& AStrName,
                                     TThreadGlobalsItem& AItem) {
  // A host's GetIDsOfNames may register more objects and so rebuild this
  // cache; walk a copy of the list. The objects live until Close.
  const std::vector<TQOBExternObject*> publishers = FPubMrsExterns;
  for (TQOBExternObject* object : publishers) {
    int32_t dispId = 0;
    bool found;
    if (object->FCodeObject) {
      found = object->FCodeObject->GetIdOfName(AName, dispId);
    } else {
      const char16_t* name = AStrName.c_str();
      DISPID id = DISPID_UNKNOWN;
      found = object->FObj && object->FObj->GetIDsOfNames(IID_NULL, &name, 1, 0, &id) == S_OK;
      dispId = id;
    }
    if (found) {
      AItem = {false, TQOBNameSearchRes::Object(srExternalMember, object, dispId)};
      return true;
    }
  }
  return false;
}

TQOBGlobalObject* TQOBThreadGlobals::FindObjectByStrName(const WideString& AStrName) {
  const TQOBNameId name = QOBNameTable().GetNameIndex(AStrName, false);
  if (name == kQOBNoName) return nullptr;
  auto found = FItems.find(name);
  if (found == FItems.end()) return nullptr;
  switch (found->second.SearchRes.ObjKind) {
    case srGlobalVar:
    case srGlobalConst:
    case srProcedure:
      return found->second.SearchRes.NamedObject;
    default:
      return nullptr;
  }
}

TQOBProcObject* TQOBThreadGlobals::FindProcByStrName(const WideString& AStrName) {
  Refresh();
  std::u16string key = AStrName.str();
  if (auto cached = FProcsCache.find(key); cached != FProcsCache.end()) return cached->second;
  TQOBGlobalObject* object = FindObjectByStrName(AStrName);
  if (!object || object->FGlobalObjType != gtProcedure) return nullptr;
  auto* proc = static_cast<TQOBProcObject*>(object);
  FProcsCache.emplace(std::move(key), proc);
  return proc;
}

TQOBGlobalValuedObject* TQOBThreadGlobals::FindValObjByStrName(const WideString& AStrName) {
  Refresh();
  std::u16string key = AStrName.str();
  if (auto cached = FValObjCache.find(key); cached != FValObjCache.end()) return cached->second;
  TQOBGlobalObject* object = FindObjectByStrName(AStrName);
  if (!object || (object->FGlobalObjType != gtVar && object->FGlobalObjType != gtConst))
    return nullptr;
  auto* valued = static_cast<TQOBGlobalValuedObject*>(object);
  FValObjCache.emplace(std::move(key), valued);
  return valued;
}

// ------------------------------------------------------------ global scope

TQOBNameSearchRes TGlobalObjectsNamespace::Find(TQOBThread* AThread, TQOBNameId AName,
                                                const WideString& AStrName) {
  return AThread->VMData(FVMIdIndex)->Globals().Search(AName, AStrName);
}

void TGlobalObjectsNamespace::EnumDebugVars(bool ALocalsOnly,
                                            const TQOBNamespaceEnumVarsProc& AProc) {
  if (ALocalsOnly) return;
  for (TQOBConstObject* constant : FVM->GlobalConsts())
    AProc(constant->FStrName, TQOBNameSearchRes::Object(srGlobalConst, constant));
  for (TQOBVarObject* variable : FVM->GlobalVars())
    AProc(variable->FStrName, TQOBNameSearchRes::Object(srGlobalConst, variable));
}

}  // namespace qob
