// TComponent: objects with an owner, a name and owned children, a loading
// phase and notification when components they reference are freed.
//
// Owned components are created with `new` and belong to their owner, which
// frees them (last first) when it is freed itself. Freeing a component
// directly also removes it from its owner.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "ole/widestring.h"
#include "rtl/exceptions.h"
#include "rtl/persistent.h"

namespace qob {

enum TOperation : uint8_t { opInsert, opRemove };

enum TComponentStateFlag : uint32_t {
  csLoading = 1u << 0,     // between BeginLoading and Loaded
  csDestroying = 1u << 1,  // being freed
};
using TComponentState = uint32_t;

// Naming conflicts and invalid names.
QOB_EXCEPTION(EComponentError, Exception)

class TComponent : public TPersistent {
  QOB_CLASS(TComponent, TPersistent)
 public:
  explicit TComponent(TComponent* AOwner);
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  ~TComponent() override;

  TComponent* Owner() const noexcept { return FOwner; }
  const WideString& Name() const noexcept { return FName; }
  // A valid identifier or empty; unique (ignoring case) among the owner's
  // components. Violations raise EComponentError and keep the old name.
  void SetName(const WideString& AName);
  int32_t Tag() const noexcept { return FTag; }
  void SetTag(int32_t ATag) noexcept { FTag = ATag; }

  int ComponentCount() const noexcept { return static_cast<int>(FComponents.size()); }
  // An index outside 0 .. ComponentCount - 1 raises EListError.
  TComponent* Components(int AIndex) const;
  // The owned component named `AName` (ignoring case); nullptr when none.
  TComponent* FindComponent(std::u16string_view AName) const;

  // Takes ownership of `AComponent`, removing it from its previous owner;
  // the owner is told through Notification(opInsert). A name clash, or a
  // component that is this one or one of its owners, raises EComponentError
  // and changes nothing.
  void InsertComponent(TComponent* AComponent);
  // Gives up ownership (Notification(opRemove) first); the caller frees it.
  void RemoveComponent(TComponent* AComponent);
  // Frees every owned component, last first.
  void DestroyComponents();

  TComponentState ComponentState() const noexcept { return FComponentState; }

  // The loading phase: a host calls BeginLoading, sets properties (values that
  // depend on other components are held back), then Loaded applies them.
  void BeginLoading() noexcept { FComponentState |= csLoading; }
  // Ends loading; overrides call the base first, then apply held-back values.
  virtual void Loaded();

  // Links this component and `AComponent` so that whichever is freed first
  // tells the other through Notification(freed, opRemove). Kept once. The
  // notice comes from TComponent's destructor: derived parts of the freed
  // component are already gone, its name and owner are still readable.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

 protected:
  // Told of components inserted into this owner, removed from it, and freed
  // components that this one asked to be notified of. The base does nothing.
  virtual void Notification(TComponent* AComponent, TOperation AOperation);
  // Marks the component as being freed; derived destructors may call it
  // first so that their own clean-up already sees csDestroying.
  void Destroying() noexcept { FComponentState |= csDestroying; }

 private:
  void CheckUniqueName(std::u16string_view AName, const TComponent* AExcept) const;
  static void Unlink(std::vector<TComponent*>& AList, const TComponent* AComponent) noexcept;

  TComponent* FOwner = nullptr;
  WideString FName;
  int32_t FTag = 0;
  TComponentState FComponentState = 0;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
};

}  // namespace qob
