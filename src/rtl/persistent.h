// TPersistent and published properties: per class, a list of named
// properties with their type record and accessors, so that hosts and the
// script control can find a property of an object by name at run time (for
// example an event property to hook a script handler into).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "ole/variant.h"
#include "rtl/exceptions.h"
#include "rtl/object.h"

namespace qob {

class TPersistent;

// A bound method: the code of a function and the object it is called with.
// The code's real signature is known from the event's type; it is stored as a
// generic function pointer, which converts back losslessly.
struct TMethod {
  using TCode = void (*)();
  TCode Code = nullptr;
  void* Data = nullptr;

  bool Assigned() const noexcept { return Code != nullptr; }
  friend bool operator==(const TMethod&, const TMethod&) = default;
};

enum TTypeKind : uint8_t {
  tkUnknown,
  tkInteger,
  tkInt64,
  tkFloat,
  tkEnumeration,
  tkString,
  tkClass,
  tkMethod,  // event types
  tkVariant,
};

// Runtime type record of a property's type: one static record per type, so
// its address identifies the type (event wrappers are found by it).
struct TTypeRecord {
  TTypeKind Kind;
  std::u16string_view Name;
  // Enumerations: the names of the ordinal values MinValue, MinValue + 1, ...
  std::span<const std::u16string_view> EnumNames = {};
  int32_t MinValue = 0;

  int32_t MaxValue() const noexcept {
    return MinValue + static_cast<int32_t>(EnumNames.size()) - 1;
  }
};
using PTypeRecord = const TTypeRecord*;

inline constexpr TTypeRecord kIntegerType{tkInteger, u"Integer"};
inline constexpr TTypeRecord kInt64Type{tkInt64, u"Int64"};
inline constexpr TTypeRecord kDoubleType{tkFloat, u"Double"};
inline constexpr TTypeRecord kStringType{tkString, u"string"};
inline constexpr TTypeRecord kVariantType{tkVariant, u"Variant"};
inline constexpr std::u16string_view kBooleanNames[] = {u"False", u"True"};
inline constexpr TTypeRecord kBooleanType{tkEnumeration, u"Boolean", kBooleanNames};

// One published property. Value properties are read and written as Variants;
// event properties (type kind tkMethod) hold a TMethod. Accessors that a
// property lacks are null (a read-only property has no setter).
struct TPropInfo {
  std::u16string_view Name;
  PTypeRecord PropType;
  Variant (*GetValue)(const TPersistent& instance) = nullptr;
  void (*SetValue)(TPersistent& instance, const Variant& value) = nullptr;
  TMethod (*GetMethod)(const TPersistent& instance) = nullptr;
  void (*SetMethod)(TPersistent& instance, const TMethod& value) = nullptr;
};

// Misuse of a published property (reading one without a getter, ...).
QOB_EXCEPTION(EPropertyError, Exception)

// The root of classes with published properties.
class TPersistent : public TObject {
  QOB_CLASS(TPersistent, TObject)
 public:
  TPersistent() = default;
};

// Publishes the properties that `AClass` itself declares (its ancestors'
// are inherited). A class registers once, usually at start-up; a second
// registration replaces the first. Thread-safe.
void RegisterPublishedProperties(TClass AClass, std::vector<TPropInfo> AProperties);

// All published properties of `AClass`, ancestors' first.
std::vector<const TPropInfo*> GetPropList(TClass AClass);
// The published property `AName` (letter case ignored) of `AClass` or an
// ancestor, the most derived declaration first; nullptr when there is none.
const TPropInfo* GetPropInfo(TClass AClass, std::u16string_view AName);

// Property access through the records. A missing accessor or the wrong kind
// of property raises EPropertyError.
Variant GetPropValue(const TPersistent& AInstance, const TPropInfo& AProp);
void SetPropValue(TPersistent& AInstance, const TPropInfo& AProp, const Variant& AValue);
TMethod GetMethodProp(const TPersistent& AInstance, const TPropInfo& AProp);
void SetMethodProp(TPersistent& AInstance, const TPropInfo& AProp, const TMethod& AValue);

// Accessors for the common case of a property backed by a field of class C.
template <class C, TMethod C::*Field>
TMethod EventFieldGetter(const TPersistent& instance) {
  return static_cast<const C&>(instance).*Field;
}
template <class C, TMethod C::*Field>
void EventFieldSetter(TPersistent& instance, const TMethod& value) {
  static_cast<C&>(instance).*Field = value;
}
// An event property backed by the TMethod field `Field` of class C.
template <class C, TMethod C::*Field>
TPropInfo EventProperty(std::u16string_view name, PTypeRecord eventType) {
  return {
      name, eventType, nullptr, nullptr, &EventFieldGetter<C, Field>, &EventFieldSetter<C, Field>};
}

}  // namespace qob
