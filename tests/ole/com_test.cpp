#include <gtest/gtest.h>

#include <vector>

#include "ole/dispatch_object.h"
#include "ole/hresult.h"
#include "ole/typeinfo.h"
#include "rtl/exceptions.h"

namespace qob {
namespace {

TEST(HResultTextTest, SystemTextsAndUnknownCodes) {
  const struct {
    HRESULT code;
    std::u16string_view text;
  } cases[] = {
      {E_FAIL, u"Unspecified error"},
      {E_NOTIMPL, u"Not implemented"},
      {DISP_E_UNKNOWNNAME, u"Unknown name."},
      {DISP_E_MEMBERNOTFOUND, u"Member not found."},
      {DISP_E_BADPARAMCOUNT, u"Invalid number of parameters."},
      {DISP_E_TYPEMISMATCH, u"Type mismatch."},
      {DISP_E_EXCEPTION, u"Exception occurred."},
      {DISP_E_OVERFLOW, u"Out of present range."},
      {DISP_E_DIVBYZERO, u"Division by zero."},
      {CO_E_CLASSSTRING, u"Invalid class string"},
      {MK_E_UNAVAILABLE, u"Operation unavailable"},
      {MakeHResult(0x8000ABCD), u"Unknown error 0x8000ABCD"},
      {0x12, u"Unknown error 0x00000012"},
  };
  for (const auto& c : cases) EXPECT_EQ(HResultText(c.code).view(), c.text) << std::hex << c.code;
}

// A host object with a read/write property, an indexed property, a field, a
// method whose result shows the argument order, and a failing method.
class Account final : public DispatchObject {
 public:
  explicit Account(bool* destroyed) : destroyed_(destroyed) {}
  ~Account() override { *destroyed_ = true; }

  enum : DISPID { idBalance = 1, idHistory, idOwner, idTransfer, idFail };

  HRESULT GetIDsOfNames(REFIID, const char16_t** names, uint32_t count, LCID,
                        DISPID* ids) override {
    return TypeInfo()->GetIDsOfNames(names, count, ids);
  }

  HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params, Variant* result,
                 EXCEPINFO* excepInfo, uint32_t*) override {
    const bool put = flags & DISPATCH_PROPERTYPUT;
    if (put && (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
      return DISP_E_PARAMNOTFOUND;
    switch (id) {
      case idBalance:
        if (put) {
          balance_ = params->rgvarg[0].VInteger;
        } else {
          result->SetInteger(balance_);
        }
        return S_OK;
      case idTransfer:  // Transfer(from, to) answers from * 10 + to
        if (params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
        result->SetInteger(params->rgvarg[1].VInteger * 10 + params->rgvarg[0].VInteger);
        return S_OK;
      case idFail:
        excepInfo->bstrSource = u"Bank";
        excepInfo->bstrDescription = u"Account closed";
        excepInfo->scode = E_ABORT;
        return DISP_E_EXCEPTION;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 protected:
  ComPtr<ITypeInfo> TypeInfo() override {
    if (!typeInfo_)
      typeInfo_ = CreateMemberTypeInfo(
          u"Account", {{u"Balance", idBalance, MemberKind::PropertyGet, 0, varInteger},
                       {u"Balance", idBalance, MemberKind::PropertyPut, 1},
                       {u"History", idHistory, MemberKind::PropertyGet, 1, varDouble},
                       {u"Owner", idOwner, MemberKind::Variable, 0, varOleStr},
                       {u"Transfer", idTransfer, MemberKind::Method, 2, varInteger},
                       {u"Fail", idFail, MemberKind::Method}});
    return typeInfo_;
  }

 private:
  bool* destroyed_;
  int32_t balance_ = 0;
  ComPtr<ITypeInfo> typeInfo_;
};

TEST(DispatchObjectTest, ReferenceCountingAndInterfaces) {
  bool destroyed = false;
  ComPtr<IDispatch> account(new Account(&destroyed));
  ComPtr<IUnknown> unknown = account.As<IUnknown>(IID_IUnknown);
  ASSERT_TRUE(unknown);
  EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(account.get()));

  void* other = &destroyed;
  EXPECT_EQ(account->QueryInterface(IID_ITypeInfo, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);

  account.reset();
  EXPECT_FALSE(destroyed) << "the IUnknown reference still holds the object";
  unknown.reset();
  EXPECT_TRUE(destroyed);
}

TEST(DispatchObjectTest, InvokeByNamePassesArgumentsAndPuts) {
  bool destroyed = false;
  ComPtr<IDispatch> account(new Account(&destroyed));
  const Variant balance[] = {Variant(250)};
  DispatchInvoke(account.get(), u"balance", DISPATCH_PROPERTYPUT, balance);
  EXPECT_EQ(DispatchGetProperty(account.get(), u"BALANCE").VInteger, 250);

  const Variant fromTo[] = {Variant(3), Variant(7)};
  Variant result = DispatchInvoke(account.get(), u"Transfer", DISPATCH_METHOD, fromTo);
  EXPECT_EQ(result.Type(), varInteger);
  EXPECT_EQ(result.VInteger, 37);
}

TEST(DispatchObjectTest, FailuresRaiseOleExceptions) {
  bool destroyed = false;
  ComPtr<IDispatch> account(new Account(&destroyed));
  try {
    DispatchGetProperty(account.get(), u"Missing");
    FAIL() << "unknown name accepted";
  } catch (const EOleException& e) {
    EXPECT_EQ(e.ErrorCode(), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(e.Message().view(), u"Unknown name.");
  }
  try {
    DispatchInvoke(account.get(), u"Fail", DISPATCH_METHOD);
    FAIL() << "callee exception lost";
  } catch (const EOleException& e) {
    EXPECT_EQ(e.ErrorCode(), E_ABORT);
    EXPECT_EQ(e.Message().view(), u"Account closed");
    EXPECT_EQ(e.Source().view(), u"Bank");
  }
  try {
    DispatchInvoke(account.get(), u"Transfer", DISPATCH_METHOD);
    FAIL() << "wrong argument count accepted";
  } catch (const EOleException& e) {
    EXPECT_EQ(e.ErrorCode(), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(e.Message().view(), u"Invalid number of parameters.");
  }
  try {
    DispatchInvoke(account.get(), u"balance", DISPATCH_PROPERTYPUT);
    FAIL() << "a put without a value accepted";
  } catch (const EOleException& e) {
    EXPECT_EQ(e.ErrorCode(), DISP_E_BADPARAMCOUNT);
  }
}

TEST(TypeInfoTest, ListsReadablePropertiesOfAnObject) {
  bool destroyed = false;
  ComPtr<IDispatch> account(new Account(&destroyed));
  uint32_t count = 0;
  ASSERT_EQ(account->GetTypeInfoCount(&count), S_OK);
  ASSERT_EQ(count, 1u);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(account->GetTypeInfo(0, 0, info.put()), S_OK);

  std::vector<ReadableProperty> properties = ListReadableProperties(info);
  ASSERT_EQ(properties.size(), 3u);
  const struct {
    std::u16string_view name;
    DISPID id;
    int params;
    TVarType type;
  } expected[] = {{u"Balance", Account::idBalance, 0, varInteger},
                  {u"History", Account::idHistory, 1, varDouble},
                  {u"Owner", Account::idOwner, 0, varOleStr}};
  for (size_t i = 0; i < properties.size(); ++i) {
    EXPECT_EQ(properties[i].Name.view(), expected[i].name);
    EXPECT_EQ(properties[i].Id, expected[i].id);
    EXPECT_EQ(properties[i].ParamCount, expected[i].params);
    EXPECT_EQ(properties[i].DeclaredType, expected[i].type);
  }
}

TEST(TypeInfoTest, DescriptionsNamesAndLookups) {
  ComPtr<ITypeInfo> info = CreateMemberTypeInfo(
      u"Point", {{u"X", 1, MemberKind::PropertyGet}, {u"Move", 2, MemberKind::Method, 2}});
  TypeAttrHolder attr = GetTypeAttr(info);
  ASSERT_TRUE(attr);
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_EQ(attr->cFuncs, 2);
  EXPECT_EQ(attr->cVars, 0);

  FuncDescHolder move = GetFuncDesc(info, 1);
  ASSERT_TRUE(move);
  EXPECT_EQ(move->memid, 2);
  EXPECT_EQ(move->invkind, INVOKE_FUNC);
  EXPECT_EQ(move->cParams, 2);
  EXPECT_FALSE(GetFuncDesc(info, 2));
  EXPECT_FALSE(GetVarDesc(info, 0));

  WideString name;
  EXPECT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(name.view(), u"Point");
  EXPECT_EQ(info->GetDocumentation(2, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(name.view(), u"Move");
  EXPECT_EQ(info->GetDocumentation(9, &name, nullptr, nullptr, nullptr), TYPE_E_ELEMENTNOTFOUND);

  const char16_t* names[] = {u"mOvE", u"dx"};
  MEMBERID ids[2] = {0, 0};
  EXPECT_EQ(info->GetIDsOfNames(names, 2, ids), S_OK);
  EXPECT_EQ(ids[0], 2);
  EXPECT_EQ(ids[1], MEMBERID_NIL);
  names[0] = u"Y";
  EXPECT_EQ(info->GetIDsOfNames(names, 1, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], MEMBERID_NIL);
}

}  // namespace
}  // namespace qob
