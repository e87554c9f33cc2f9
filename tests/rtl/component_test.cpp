#include "rtl/component.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "rtl/exceptions.h"
#include "rtl/persistent.h"

namespace qob {
namespace {

// ---- TObject and class records ----

class TShape : public TObject {
  QOB_CREATABLE_CLASS(TShape, TObject)
};
class TCircle : public TShape {
  QOB_CREATABLE_CLASS(TCircle, TShape)
};

TEST(ClassRecordTest, NamesAncestryAndVirtualConstruction) {
  TCircle circle;
  const TObject& object = circle;
  EXPECT_EQ(object.ClassName(), u"TCircle");
  EXPECT_EQ(object.ClassType(), TCircle::StaticClass());
  EXPECT_EQ(object.ClassType()->Parent, TShape::StaticClass());
  EXPECT_TRUE(object.InheritsFrom(TShape::StaticClass()));
  EXPECT_TRUE(object.Is<TObject>());
  EXPECT_FALSE(TShape().InheritsFrom(TCircle::StaticClass()));

  // The record's virtual constructor makes an object of the record's class.
  TClass shapeClass = TCircle::StaticClass();
  std::unique_ptr<TObject> made(shapeClass->Create());
  EXPECT_EQ(made->ClassType(), TCircle::StaticClass());
}

std::vector<const TObject*> released;
void RecordRelease(TObject* object) {
  released.push_back(object);
}

TEST(ClassRecordTest, ReleaseHookSeesEveryFreedObject) {
  released.clear();
  SetObjectReleaseHook(&RecordRelease);
  auto* owner = new TComponent(nullptr);
  auto* child = new TComponent(owner);
  delete owner;
  SetObjectReleaseHook(nullptr);
  delete new TShape;  // after removal the hook is not called
  // The owner frees its child on the way out, so the child is reported first.
  EXPECT_EQ(released, (std::vector<const TObject*>{child, owner}));
}

// ---- Exceptions ----

TEST(ExceptionClassTest, HierarchyAndDefaultTexts) {
  const struct {
    std::unique_ptr<Exception> error;
    std::u16string_view className;
    TClass ancestor;
    std::u16string_view message;
  } cases[] = {
      {std::make_unique<EIntDivByZero>(), u"EIntDivByZero", EIntError::StaticClass(),
       u"Division by zero"},
      {std::make_unique<EZeroDivide>(), u"EZeroDivide", EMathError::StaticClass(),
       u"Floating point division by zero"},
      {std::make_unique<EVariantTypeCastError>(), u"EVariantTypeCastError",
       EVariantError::StaticClass(), u"Invalid variant type conversion"},
      {std::make_unique<EOleSysError>(WideString(), DISP_E_TYPEMISMATCH), u"EOleSysError",
       EOleError::StaticClass(), u"Type mismatch."},
      {std::make_unique<EOleException>(WideString(), E_FAIL, u"Src"), u"EOleException",
       EOleSysError::StaticClass(), u"Unspecified error"},
      {std::make_unique<EOleException>(u"Own text", E_FAIL), u"EOleException",
       EOleSysError::StaticClass(), u"Own text"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.error->ClassName(), c.className);
    EXPECT_TRUE(c.error->InheritsFrom(c.ancestor)) << Utf16ToUtf8(c.className);
    EXPECT_TRUE(c.error->InheritsFrom(Exception::StaticClass()));
    EXPECT_EQ(c.error->Message().view(), c.message);
    EXPECT_EQ(std::string(c.error->what()), Utf16ToUtf8(c.message));
  }
}

TEST(ExceptionClassTest, CaughtByBaseKeepsIdentityAndCode) {
  try {
    throw EOleException(WideString(), DISP_E_BADINDEX, u"Host");
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), DISP_E_BADINDEX);
    EXPECT_EQ(e.Message().view(), u"Invalid index.");
    EXPECT_EQ(e.ClassType(), EOleException::StaticClass());
  }
}

// ---- TComponent ----

// Records what it is told and, when loading, holds back a reference to a
// sibling by name until Loaded.
class TProbe : public TComponent {
  QOB_CLASS(TProbe, TComponent)
 public:
  explicit TProbe(TComponent* owner, std::vector<std::u16string>* log = nullptr)
      : TComponent(owner), log_(log) {}
  ~TProbe() override {
    if (log_) log_->push_back(u"free " + Name().str());
  }

  TComponent* Partner() const { return partner_; }
  void SetPartnerName(const WideString& name) {
    if (ComponentState() & csLoading) {
      pendingPartner_ = name;
      return;
    }
    SetPartner(Owner()->FindComponent(name));
  }
  void SetPartner(TComponent* partner) {
    if (partner_) RemoveFreeNotification(partner_);
    partner_ = partner;
    if (partner_) FreeNotification(partner_);
  }
  void Loaded() override {
    TComponent::Loaded();
    if (!pendingPartner_.empty()) SetPartnerName(std::exchange(pendingPartner_, WideString()));
  }

  TMethod OnChange;

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (log_)
      log_->push_back(Name().str() + (operation == opInsert ? u" insert " : u" remove ") +
                      component->Name().str());
    if (operation == opRemove && component == partner_) partner_ = nullptr;
  }

 private:
  std::vector<std::u16string>* log_;
  TComponent* partner_ = nullptr;
  WideString pendingPartner_;
};

TEST(ComponentTest, OwnerFreesItsComponentsLastFirst) {
  std::vector<std::u16string> log;
  auto* form = new TProbe(nullptr, &log);
  form->SetName(u"Form");
  auto* a = new TProbe(form, &log);
  a->SetName(u"A");
  auto* b = new TProbe(form, &log);
  b->SetName(u"B");
  ASSERT_EQ(form->ComponentCount(), 2);
  EXPECT_EQ(form->Components(1), b);
  EXPECT_THROW(form->Components(2), EListError);
  EXPECT_EQ(a->Owner(), form);

  delete a;  // freeing a component directly removes it from its owner
  EXPECT_EQ(form->ComponentCount(), 1);
  new TProbe(form, &log);
  delete form;
  // Derived destructors run before the component part tells anybody.
  EXPECT_EQ(log, (std::vector<std::u16string>{u"Form insert ", u"Form insert ", u"free A",
                                              u"Form remove A", u"Form insert ", u"free Form",
                                              u"free ", u"free B"}));
}

TEST(ComponentTest, NamesAreIdentifiersUniqueWithinTheOwner) {
  TComponent form(nullptr);
  auto* edit = new TComponent(&form);
  edit->SetName(u"Edit1");
  auto* other = new TComponent(&form);
  EXPECT_EQ(form.FindComponent(u"EDIT1"), edit);
  EXPECT_EQ(form.FindComponent(u""), nullptr);

  const struct {
    std::u16string_view name;
    std::u16string_view message;
  } rejected[] = {
      {u"edit1", u"A component named edit1 already exists."},
      {u"1Edit", u"'1Edit' is not a valid component name."},
      {u"Edit 2", u"'Edit 2' is not a valid component name."},
  };
  for (const auto& r : rejected) {
    try {
      other->SetName(WideString(r.name));
      ADD_FAILURE() << "accepted " << Utf16ToUtf8(r.name);
    } catch (const EComponentError& e) {
      EXPECT_EQ(e.Message().view(), r.message);
    }
    EXPECT_TRUE(other->Name().empty());
  }
  edit->SetName(u"EDIT1");  // renaming itself in another case is no clash
  other->SetName(u"_Edit2");
  EXPECT_EQ(form.FindComponent(u"_edit2"), other);

  // Moving a component to an owner with a clashing name changes nothing.
  TComponent dialog(nullptr);
  auto* clash = new TComponent(&dialog);
  clash->SetName(u"Edit1");
  EXPECT_THROW(form.InsertComponent(clash), EComponentError);
  EXPECT_EQ(clash->Owner(), &dialog);
  EXPECT_THROW(edit->InsertComponent(&form), EComponentError);
  EXPECT_EQ(form.Owner(), nullptr);
}

TEST(ComponentTest, FreeNotificationReachesEitherSide) {
  std::vector<std::u16string> log;
  TProbe form(nullptr);
  auto* viewer = new TProbe(&form, &log);
  viewer->SetName(u"Viewer");
  auto* source = new TProbe(nullptr, &log);
  source->SetName(u"Source");
  viewer->SetPartner(source);
  viewer->FreeNotification(source);  // asking twice keeps one link

  delete source;
  EXPECT_EQ(viewer->Partner(), nullptr);
  EXPECT_EQ(log, (std::vector<std::u16string>{u"free Source", u"Viewer remove Source"}));

  // After RemoveFreeNotification nothing is told.
  log.clear();
  auto* other = new TProbe(nullptr, &log);
  other->SetName(u"Other");
  other->FreeNotification(viewer);
  other->RemoveFreeNotification(viewer);
  delete viewer;
  EXPECT_EQ(log, (std::vector<std::u16string>{u"free Viewer"}));
  delete other;
}

TEST(ComponentTest, LoadingHoldsBackReferencesUntilLoaded) {
  TProbe form(nullptr);
  auto* link = new TProbe(&form);
  link->BeginLoading();
  EXPECT_TRUE(link->ComponentState() & csLoading);
  link->SetPartnerName(u"Target");  // not created yet while loading
  auto* target = new TProbe(&form);
  target->SetName(u"Target");
  EXPECT_EQ(link->Partner(), nullptr);
  link->Loaded();
  EXPECT_FALSE(link->ComponentState() & csLoading);
  EXPECT_EQ(link->Partner(), target);
}

// ---- Published properties ----

inline constexpr TTypeRecord kNotifyEventType{tkMethod, u"TNotifyEvent"};

const bool probePropertiesRegistered = [] {
  RegisterPublishedProperties(TProbe::StaticClass(), {EventProperty<TProbe, &TProbe::OnChange>(
                                                         u"OnChange", &kNotifyEventType)});
  return true;
}();

struct ChangeCounter {
  int calls = 0;
  static void Handle(void* data, TObject*) { ++static_cast<ChangeCounter*>(data)->calls; }
};

TEST(PublishedPropertyTest, FindsInheritedAndOwnPropertiesByName) {
  ASSERT_TRUE(probePropertiesRegistered);
  std::vector<std::u16string_view> names;
  for (const TPropInfo* prop : GetPropList(TProbe::StaticClass())) names.push_back(prop->Name);
  EXPECT_EQ(names, (std::vector<std::u16string_view>{u"Name", u"Tag", u"OnChange"}));
  EXPECT_EQ(GetPropInfo(TComponent::StaticClass(), u"OnChange"), nullptr);

  TProbe probe(nullptr);
  const TPropInfo* name = GetPropInfo(TProbe::StaticClass(), u"name");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->PropType->Kind, tkString);
  SetPropValue(probe, *name, Variant(u"Probe1"));
  EXPECT_EQ(probe.Name().view(), u"Probe1");
  EXPECT_EQ(GetPropValue(probe, *name).StringView(), u"Probe1");
  const TPropInfo* tag = GetPropInfo(TProbe::StaticClass(), u"TAG");
  ASSERT_NE(tag, nullptr);
  SetPropValue(probe, *tag, Variant(42));
  EXPECT_EQ(probe.Tag(), 42);
}

TEST(PublishedPropertyTest, EventPropertiesHoldBoundMethods) {
  TProbe probe(nullptr);
  const TPropInfo* onChange = GetPropInfo(probe.ClassType(), u"onchange");
  ASSERT_NE(onChange, nullptr);
  EXPECT_EQ(onChange->PropType, &kNotifyEventType);

  ChangeCounter counter;
  SetMethodProp(probe, *onChange,
                {reinterpret_cast<TMethod::TCode>(&ChangeCounter::Handle), &counter});
  TMethod handler = GetMethodProp(probe, *onChange);
  ASSERT_TRUE(handler.Assigned());
  reinterpret_cast<void (*)(void*, TObject*)>(handler.Code)(handler.Data, &probe);
  EXPECT_EQ(counter.calls, 1);

  EXPECT_THROW(GetPropValue(probe, *onChange), EPropertyError);
  EXPECT_THROW(GetMethodProp(probe, *GetPropInfo(probe.ClassType(), u"Name")), EPropertyError);
}

}  // namespace
}  // namespace qob
