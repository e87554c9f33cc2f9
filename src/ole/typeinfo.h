// The part of OLE Automation type information that lists an object's members:
// enough for a debugger to enumerate readable properties by name and for
// engines to look members up. Descriptions handed out must be given back
// through the matching Release call (or held in the RAII holders below).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ole/com.h"
#include "ole/variant.h"

namespace qob {

using MEMBERID = DISPID;
inline constexpr MEMBERID MEMBERID_NIL = DISPID_UNKNOWN;

inline constexpr GUID IID_ITypeInfo = {0x00020401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

enum TYPEKIND : int32_t {
  TKIND_ENUM = 0,
  TKIND_RECORD = 1,
  TKIND_MODULE = 2,
  TKIND_INTERFACE = 3,
  TKIND_DISPATCH = 4,
  TKIND_COCLASS = 5,
  TKIND_ALIAS = 6,
  TKIND_UNION = 7,
};

enum FUNCKIND : int32_t {
  FUNC_VIRTUAL = 0,
  FUNC_PUREVIRTUAL = 1,
  FUNC_NONVIRTUAL = 2,
  FUNC_STATIC = 3,
  FUNC_DISPATCH = 4,
};

// The same values as the DISPATCH_ flags of IDispatch::Invoke.
enum INVOKEKIND : int32_t {
  INVOKE_FUNC = 1,
  INVOKE_PROPERTYGET = 2,
  INVOKE_PROPERTYPUT = 4,
  INVOKE_PROPERTYPUTREF = 8,
};

enum VARKIND : int32_t {
  VAR_PERINSTANCE = 0,
  VAR_STATIC = 1,
  VAR_CONST = 2,
  VAR_DISPATCH = 3,
};

inline constexpr uint16_t TYPEFLAG_FNONEXTENSIBLE = 0x0080;
inline constexpr uint16_t TYPEFLAG_FDISPATCHABLE = 0x1000;

struct TYPEDESC {
  TVarType vt = varEmpty;
};

struct ELEMDESC {
  TYPEDESC tdesc;
};

struct TYPEATTR {
  GUID guid = IID_NULL;
  LCID lcid = 0;
  MEMBERID memidConstructor = MEMBERID_NIL;
  MEMBERID memidDestructor = MEMBERID_NIL;
  TYPEKIND typekind = TKIND_DISPATCH;
  uint16_t cFuncs = 0;
  uint16_t cVars = 0;
  uint16_t cImplTypes = 0;
  uint16_t wTypeFlags = 0;
};

struct FUNCDESC {
  MEMBERID memid = MEMBERID_NIL;
  FUNCKIND funckind = FUNC_DISPATCH;
  INVOKEKIND invkind = INVOKE_FUNC;
  int16_t cParams = 0;
  int16_t cParamsOpt = 0;
  uint16_t wFuncFlags = 0;
  ELEMDESC elemdescFunc;  // the declared result type
};

struct VARDESC {
  MEMBERID memid = MEMBERID_NIL;
  VARKIND varkind = VAR_DISPATCH;
  uint16_t wVarFlags = 0;
  ELEMDESC elemdescVar;  // the declared value type
};

class ITypeInfo : public IUnknown {
 public:
  virtual HRESULT GetTypeAttr(TYPEATTR** attr) = 0;
  virtual HRESULT GetFuncDesc(uint32_t index, FUNCDESC** desc) = 0;
  virtual HRESULT GetVarDesc(uint32_t index, VARDESC** desc) = 0;
  // The member's name first, then its parameters' names, up to `maxNames`.
  virtual HRESULT GetNames(MEMBERID id, WideString* names, uint32_t maxNames, uint32_t* count) = 0;
  virtual HRESULT GetIDsOfNames(const char16_t** names, uint32_t count, MEMBERID* ids) = 0;
  // MEMBERID_NIL describes the type itself. Null out-parameters are skipped.
  virtual HRESULT GetDocumentation(MEMBERID id, WideString* name, WideString* docString,
                                   uint32_t* helpContext, WideString* helpFile) = 0;
  virtual void ReleaseTypeAttr(TYPEATTR* attr) = 0;
  virtual void ReleaseFuncDesc(FUNCDESC* desc) = 0;
  virtual void ReleaseVarDesc(VARDESC* desc) = 0;

 protected:
  ~ITypeInfo() = default;
};

// Holders that give a description back to its type information. They keep
// the type information alive for as long as they hold the description.
template <class Desc, void (ITypeInfo::*Release)(Desc*)>
class TypeDescHolder {
 public:
  TypeDescHolder() = default;
  TypeDescHolder(ComPtr<ITypeInfo> owner, Desc* desc) : owner_(std::move(owner)), desc_(desc) {}
  TypeDescHolder(TypeDescHolder&& other) noexcept
      : owner_(std::move(other.owner_)), desc_(std::exchange(other.desc_, nullptr)) {}
  TypeDescHolder& operator=(TypeDescHolder&& other) noexcept {
    if (this != &other) {
      reset();
      owner_ = std::move(other.owner_);
      desc_ = std::exchange(other.desc_, nullptr);
    }
    return *this;
  }
  ~TypeDescHolder() { reset(); }

  void reset() noexcept {
    if (desc_) (owner_.get()->*Release)(std::exchange(desc_, nullptr));
    owner_.reset();
  }
  Desc* get() const noexcept { return desc_; }
  Desc* operator->() const noexcept { return desc_; }
  explicit operator bool() const noexcept { return desc_ != nullptr; }

 private:
  ComPtr<ITypeInfo> owner_;
  Desc* desc_ = nullptr;
};

using TypeAttrHolder = TypeDescHolder<TYPEATTR, &ITypeInfo::ReleaseTypeAttr>;
using FuncDescHolder = TypeDescHolder<FUNCDESC, &ITypeInfo::ReleaseFuncDesc>;
using VarDescHolder = TypeDescHolder<VARDESC, &ITypeInfo::ReleaseVarDesc>;

// Fetch a description; empty holder when the call fails.
TypeAttrHolder GetTypeAttr(const ComPtr<ITypeInfo>& info);
FuncDescHolder GetFuncDesc(const ComPtr<ITypeInfo>& info, uint32_t index);
VarDescHolder GetVarDesc(const ComPtr<ITypeInfo>& info, uint32_t index);

// One readable property: a property-get function or a variable.
struct ReadableProperty {
  WideString Name;
  MEMBERID Id;
  int ParamCount;         // > 0 for indexed properties
  TVarType DeclaredType;  // varEmpty when the type information gives none
};

// The readable properties of a type, functions first, each in declaration order.
std::vector<ReadableProperty> ListReadableProperties(const ComPtr<ITypeInfo>& info);

// A member as a host object describes it to build simple type information.
enum class MemberKind : uint8_t { Method, PropertyGet, PropertyPut, PropertyPutRef, Variable };

struct MemberDescription {
  WideString Name;
  DISPID Id;
  MemberKind Kind;
  int ParamCount = 0;
  TVarType ResultType = varEmpty;
};

// Type information (TKIND_DISPATCH) over a fixed list of members. Names are
// looked up ignoring case, as script names are.
ComPtr<ITypeInfo> CreateMemberTypeInfo(WideString typeName, std::vector<MemberDescription> members);

}  // namespace qob
