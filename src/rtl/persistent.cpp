#include "rtl/persistent.h"

#include <list>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "rtl/unicode.h"

namespace qob {

namespace {

struct PropertyRegistry {
  std::shared_mutex lock;
  // Lists are never freed, so property records stay valid for the process
  // even when a class registers again.
  std::list<std::vector<TPropInfo>> lists;
  std::unordered_map<TClass, const std::vector<TPropInfo>*> byClass;
};

PropertyRegistry& Registry() {
  static PropertyRegistry registry;
  return registry;
}

const std::vector<TPropInfo>* DeclaredProperties(PropertyRegistry& registry, TClass c) {
  auto found = registry.byClass.find(c);
  return found == registry.byClass.end() ? nullptr : found->second;
}

[[noreturn]] void RaisePropertyError(const char16_t* what, const TPropInfo& prop) {
  throw EPropertyError(u"Property " + std::u16string(prop.Name) + what);
}

}  // namespace

void RegisterPublishedProperties(TClass AClass, std::vector<TPropInfo> AProperties) {
  PropertyRegistry& registry = Registry();
  std::unique_lock guard(registry.lock);
  registry.byClass[AClass] = &registry.lists.emplace_back(std::move(AProperties));
}

std::vector<const TPropInfo*> GetPropList(TClass AClass) {
  PropertyRegistry& registry = Registry();
  std::shared_lock guard(registry.lock);
  std::vector<TClass> chain;
  for (TClass c = AClass; c; c = c->Parent) chain.push_back(c);
  std::vector<const TPropInfo*> result;
  for (auto c = chain.rbegin(); c != chain.rend(); ++c)
    if (const std::vector<TPropInfo>* props = DeclaredProperties(registry, *c))
      for (const TPropInfo& prop : *props) result.push_back(&prop);
  return result;
}

const TPropInfo* GetPropInfo(TClass AClass, std::u16string_view AName) {
  const WideString wanted = UpperCase(AName);
  PropertyRegistry& registry = Registry();
  std::shared_lock guard(registry.lock);
  for (TClass c = AClass; c; c = c->Parent)
    if (const std::vector<TPropInfo>* props = DeclaredProperties(registry, c))
      for (const TPropInfo& prop : *props)
        if (UpperCase(prop.Name) == wanted) return &prop;
  return nullptr;
}

Variant GetPropValue(const TPersistent& AInstance, const TPropInfo& AProp) {
  if (!AProp.GetValue) RaisePropertyError(u" cannot be read as a value", AProp);
  return AProp.GetValue(AInstance);
}

void SetPropValue(TPersistent& AInstance, const TPropInfo& AProp, const Variant& AValue) {
  if (!AProp.SetValue) RaisePropertyError(u" cannot be written as a value", AProp);
  AProp.SetValue(AInstance, AValue);
}

TMethod GetMethodProp(const TPersistent& AInstance, const TPropInfo& AProp) {
  if (!AProp.GetMethod) RaisePropertyError(u" is not a readable event", AProp);
  return AProp.GetMethod(AInstance);
}

void SetMethodProp(TPersistent& AInstance, const TPropInfo& AProp, const TMethod& AValue) {
  if (!AProp.SetMethod) RaisePropertyError(u" is not a writable event", AProp);
  AProp.SetMethod(AInstance, AValue);
}

}  // namespace qob
