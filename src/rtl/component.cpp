#include "rtl/component.h"

#include <algorithm>
#include <string>

#include "ole/variant_convert.h"
#include "rtl/unicode.h"

namespace qob {

namespace {

bool IsIdentStart(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}

bool IsValidComponentName(std::u16string_view name) {
  if (name.empty() || !IsIdentStart(name[0])) return false;
  return std::all_of(name.begin() + 1, name.end(),
                     [](char16_t c) { return IsIdentStart(c) || (c >= u'0' && c <= u'9'); });
}

// Name and Tag are published, as for every component.
const bool kComponentPropertiesRegistered = [] {
  RegisterPublishedProperties(
      TComponent::StaticClass(),
      {{u"Name", &kStringType,
        [](const TPersistent& c) { return Variant(static_cast<const TComponent&>(c).Name()); },
        [](TPersistent& c, const Variant& v) { static_cast<TComponent&>(c).SetName(VarToStr(v)); }},
       {u"Tag", &kIntegerType,
        [](const TPersistent& c) { return Variant(static_cast<const TComponent&>(c).Tag()); },
        [](TPersistent& c, const Variant& v) {
          static_cast<TComponent&>(c).SetTag(VarToInt32(v));
        }}});
  return true;
}();

}  // namespace

TComponent::TComponent(TComponent* AOwner) {
  (void)kComponentPropertiesRegistered;
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Subscribers first, so that none keeps a pointer to this component.
  while (!FFreeNotifies.empty()) {
    TComponent* subscriber = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    Unlink(subscriber->FFreeNotifies, this);
    subscriber->Notification(this, opRemove);
  }
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::SetName(const WideString& AName) {
  if (AName == FName) return;
  if (!AName.empty() && !IsValidComponentName(AName))
    throw EComponentError(u"'" + AName.str() + u"' is not a valid component name.");
  if (FOwner) FOwner->CheckUniqueName(AName, this);
  FName = AName;
}

TComponent* TComponent::Components(int AIndex) const {
  if (AIndex < 0 || AIndex >= ComponentCount())
    throw EListError(u"Component index out of bounds (" +
                     WideString::FromUtf8(std::to_string(AIndex)) + u")");
  return FComponents[static_cast<size_t>(AIndex)];
}

TComponent* TComponent::FindComponent(std::u16string_view AName) const {
  if (AName.empty()) return nullptr;
  const WideString wanted = UpperCase(AName);
  for (TComponent* component : FComponents)
    if (!component->FName.empty() && UpperCase(component->FName) == wanted) return component;
  return nullptr;
}

void TComponent::CheckUniqueName(std::u16string_view AName, const TComponent* AExcept) const {
  TComponent* existing = FindComponent(AName);
  if (existing && existing != AExcept)
    throw EComponentError(u"A component named " + std::u16string(AName) + u" already exists.");
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner == this) return;
  // An ownership cycle would free its members twice.
  for (const TComponent* c = this; c; c = c->FOwner)
    if (c == AComponent) throw EComponentError(u"A component cannot own itself or its owner.");
  CheckUniqueName(AComponent->FName, AComponent);
  if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner != this) return;
  Notification(AComponent, opRemove);
  Unlink(FComponents, AComponent);
  AComponent->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* component = FComponents.back();
    FComponents.pop_back();
    component->FOwner = nullptr;
    delete component;
  }
}

void TComponent::Loaded() {
  FComponentState &= ~TComponentState{csLoading};
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) != FFreeNotifies.end())
    return;
  // Both directions: whichever goes first unlinks itself from the other.
  FFreeNotifies.push_back(AComponent);
  AComponent->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent) return;
  Unlink(FFreeNotifies, AComponent);
  Unlink(AComponent->FFreeNotifies, this);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::Unlink(std::vector<TComponent*>& AList, const TComponent* AComponent) noexcept {
  AList.erase(std::remove(AList.begin(), AList.end(), AComponent), AList.end());
}

}  // namespace qob
