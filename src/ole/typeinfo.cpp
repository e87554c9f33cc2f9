#include "ole/typeinfo.h"

#include <utility>

#include "ole/dispatch_object.h"
#include "rtl/unicode.h"

namespace qob {

TypeAttrHolder GetTypeAttr(const ComPtr<ITypeInfo>& info) {
  TYPEATTR* attr = nullptr;
  if (!info || Failed(info->GetTypeAttr(&attr)) || !attr) return {};
  return TypeAttrHolder(info, attr);
}

FuncDescHolder GetFuncDesc(const ComPtr<ITypeInfo>& info, uint32_t index) {
  FUNCDESC* desc = nullptr;
  if (!info || Failed(info->GetFuncDesc(index, &desc)) || !desc) return {};
  return FuncDescHolder(info, desc);
}

VarDescHolder GetVarDesc(const ComPtr<ITypeInfo>& info, uint32_t index) {
  VARDESC* desc = nullptr;
  if (!info || Failed(info->GetVarDesc(index, &desc)) || !desc) return {};
  return VarDescHolder(info, desc);
}

namespace {

WideString MemberName(ITypeInfo& info, MEMBERID id) {
  WideString name;
  uint32_t count = 0;
  if (Failed(info.GetNames(id, &name, 1, &count)) || count == 0) return {};
  return name;
}

}  // namespace

std::vector<ReadableProperty> ListReadableProperties(const ComPtr<ITypeInfo>& info) {
  std::vector<ReadableProperty> properties;
  TypeAttrHolder attr = GetTypeAttr(info);
  if (!attr) return properties;
  for (uint32_t i = 0; i < attr->cFuncs; ++i) {
    FuncDescHolder func = GetFuncDesc(info, i);
    if (!func || func->invkind != INVOKE_PROPERTYGET) continue;
    properties.push_back(
        {MemberName(*info, func->memid), func->memid, func->cParams, func->elemdescFunc.tdesc.vt});
  }
  for (uint32_t i = 0; i < attr->cVars; ++i) {
    VarDescHolder var = GetVarDesc(info, i);
    if (!var) continue;
    properties.push_back({MemberName(*info, var->memid), var->memid, 0, var->elemdescVar.tdesc.vt});
  }
  return properties;
}

namespace {

INVOKEKIND InvokeKindOf(MemberKind kind) {
  switch (kind) {
    case MemberKind::PropertyGet:
      return INVOKE_PROPERTYGET;
    case MemberKind::PropertyPut:
      return INVOKE_PROPERTYPUT;
    case MemberKind::PropertyPutRef:
      return INVOKE_PROPERTYPUTREF;
    case MemberKind::Method:
    case MemberKind::Variable:
      break;
  }
  return INVOKE_FUNC;
}

class MemberTypeInfo final : public ComObject<ITypeInfo, IID_ITypeInfo> {
 public:
  MemberTypeInfo(WideString typeName, std::vector<MemberDescription> members)
      : typeName_(std::move(typeName)) {
    for (MemberDescription& member : members) {
      upperNames_.push_back(UpperCase(member.Name));
      (member.Kind == MemberKind::Variable ? variables_ : functions_).push_back(members_.size());
      members_.push_back(std::move(member));
    }
  }

  HRESULT GetTypeAttr(TYPEATTR** attr) override {
    if (!attr) return E_INVALIDARG;
    *attr = new TYPEATTR;
    (*attr)->typekind = TKIND_DISPATCH;
    (*attr)->cFuncs = static_cast<uint16_t>(functions_.size());
    (*attr)->cVars = static_cast<uint16_t>(variables_.size());
    (*attr)->wTypeFlags = TYPEFLAG_FDISPATCHABLE | TYPEFLAG_FNONEXTENSIBLE;
    return S_OK;
  }

  HRESULT GetFuncDesc(uint32_t index, FUNCDESC** desc) override {
    if (!desc) return E_INVALIDARG;
    *desc = nullptr;
    if (index >= functions_.size()) return TYPE_E_ELEMENTNOTFOUND;
    const MemberDescription& member = members_[functions_[index]];
    *desc = new FUNCDESC;
    (*desc)->memid = member.Id;
    (*desc)->invkind = InvokeKindOf(member.Kind);
    (*desc)->cParams = static_cast<int16_t>(member.ParamCount);
    (*desc)->elemdescFunc.tdesc.vt = member.ResultType;
    return S_OK;
  }

  HRESULT GetVarDesc(uint32_t index, VARDESC** desc) override {
    if (!desc) return E_INVALIDARG;
    *desc = nullptr;
    if (index >= variables_.size()) return TYPE_E_ELEMENTNOTFOUND;
    const MemberDescription& member = members_[variables_[index]];
    *desc = new VARDESC;
    (*desc)->memid = member.Id;
    (*desc)->elemdescVar.tdesc.vt = member.ResultType;
    return S_OK;
  }

  HRESULT GetNames(MEMBERID id, WideString* names, uint32_t maxNames, uint32_t* count) override {
    if (!names || !count) return E_INVALIDARG;
    *count = 0;
    const MemberDescription* member = Find(id);
    if (!member) return TYPE_E_ELEMENTNOTFOUND;
    if (maxNames > 0) {
      names[0] = member->Name;
      *count = 1;
    }
    return S_OK;
  }

  HRESULT GetIDsOfNames(const char16_t** names, uint32_t count, MEMBERID* ids) override {
    if (!names || !ids || count == 0 || !names[0]) return E_INVALIDARG;
    for (uint32_t i = 0; i < count; ++i) ids[i] = MEMBERID_NIL;
    const WideString upper = UpperCase(names[0]);
    for (size_t i = 0; i < members_.size(); ++i) {
      if (upperNames_[i] == upper) {
        ids[0] = members_[i].Id;
        return S_OK;
      }
    }
    return DISP_E_UNKNOWNNAME;
  }

  HRESULT GetDocumentation(MEMBERID id, WideString* name, WideString* docString,
                           uint32_t* helpContext, WideString* helpFile) override {
    const WideString* found = &typeName_;
    if (id != MEMBERID_NIL) {
      const MemberDescription* member = Find(id);
      if (!member) return TYPE_E_ELEMENTNOTFOUND;
      found = &member->Name;
    }
    if (name) *name = *found;
    if (docString) *docString = WideString();
    if (helpContext) *helpContext = 0;
    if (helpFile) *helpFile = WideString();
    return S_OK;
  }

  void ReleaseTypeAttr(TYPEATTR* attr) override { delete attr; }
  void ReleaseFuncDesc(FUNCDESC* desc) override { delete desc; }
  void ReleaseVarDesc(VARDESC* desc) override { delete desc; }

 private:
  // Several functions may share an id (a property's get and put); any gives the name.
  const MemberDescription* Find(MEMBERID id) const {
    for (const MemberDescription& member : members_)
      if (member.Id == id) return &member;
    return nullptr;
  }

  WideString typeName_;
  std::vector<MemberDescription> members_;
  std::vector<WideString> upperNames_;
  std::vector<size_t> functions_;  // indexes into members_
  std::vector<size_t> variables_;
};

}  // namespace

ComPtr<ITypeInfo> CreateMemberTypeInfo(WideString typeName,
                                       std::vector<MemberDescription> members) {
  return ComPtr<ITypeInfo>(new MemberTypeInfo(std::move(typeName), std::move(members)));
}

}  // namespace qob
