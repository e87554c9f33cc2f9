// TObject and class records: the root of every host class that scripts may see.
#pragma once

#include <string_view>

namespace qob {

class TObject;
struct TClassRecord;
using TClass = const TClassRecord*;

// One static record per class: its name, its parent and, for classes that can
// be created without arguments, a virtual constructor.
struct TClassRecord {
  std::u16string_view Name;
  TClass Parent;
  TObject* (*Create)();

  bool InheritsFrom(TClass ancestor) const noexcept {
    for (TClass c = this; c; c = c->Parent)
      if (c == ancestor) return true;
    return false;
  }
};

// The virtual constructor of a class with a default constructor.
template <class T>
TObject* CreateInstance() {
  return new T();
}

// Declares the class record of `Name` (a direct descendant of `Parent`).
#define QOB_CLASS_RECORD(Name, Parent, Creator)                                        \
 public:                                                                               \
  static inline const ::qob::TClassRecord ClassRecord{u## #Name, &Parent::ClassRecord, \
                                                      Creator};                        \
  static ::qob::TClass StaticClass() noexcept { return &ClassRecord; }                 \
  ::qob::TClass ClassType() const noexcept override { return &ClassRecord; }           \
                                                                                       \
 private:

#define QOB_CLASS(Name, Parent) QOB_CLASS_RECORD(Name, Parent, nullptr)
// For classes with a default constructor: the record can create instances.
#define QOB_CREATABLE_CLASS(Name, Parent) \
  QOB_CLASS_RECORD(Name, Parent, &::qob::CreateInstance<Name>)

class TObject {
 public:
  static inline const TClassRecord ClassRecord{u"TObject", nullptr, &CreateInstance<TObject>};
  static TClass StaticClass() noexcept { return &ClassRecord; }

  TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;
  // Tells the release hook (the wrapper registry) before the object goes.
  virtual ~TObject();

  virtual TClass ClassType() const noexcept { return &ClassRecord; }
  std::u16string_view ClassName() const noexcept { return ClassType()->Name; }
  bool InheritsFrom(TClass ancestor) const noexcept { return ClassType()->InheritsFrom(ancestor); }
  template <class T>
  bool Is() const noexcept {
    return InheritsFrom(T::StaticClass());
  }
};

// Called with every TObject that is being destroyed, before its memory is
// reused. One hook per process; nullptr removes it.
using TObjectReleaseHook = void (*)(TObject* object);
void SetObjectReleaseHook(TObjectReleaseHook hook) noexcept;

}  // namespace qob
