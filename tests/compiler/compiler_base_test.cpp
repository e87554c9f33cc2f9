#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "compiler/compile_error.h"
#include "compiler/global_objects.h"
#include "compiler/language.h"
#include "compiler/name_search.h"
#include "compiler/name_table.h"

namespace qob {
namespace {

struct TestProc : TQOBProcObject {
  using TQOBProcObject::TQOBProcObject;
  void EmitByteCode(TQOBAbstractNamespace*) override {}
};

struct TestIntrinsic : TIntrinsic {
  using TIntrinsic::TIntrinsic;
  void Execute(TQOBVMBase*, TQOBCall*, Variant*, Variant& AResult) override { AResult = 1; }
};

TEST(GlobalObjectsTest, EachKindHasItsTypeSearchKindAndInvocationDefaults) {
  struct Case {
    std::unique_ptr<TQOBGlobalObject> object;
    TQOBGlobalObjType type;
    TQOBNameSearchResKind kind;
    int32_t invokeFlags, resMask;  // -2: not a dispatch-id object
  };
  Case cases[] = {
      {std::make_unique<TQOBVarObject>(1, u"V"), gtVar, srGlobalVar, 14, -1},
      {std::make_unique<TQOBConstObject>(2, u"C"), gtConst, srGlobalConst, 2, -1},
      {std::make_unique<TestProc>(3, u"P"), gtProcedure, srProcedure, 1, 0},
      {std::make_unique<TQOBExitObject>(4, u"Exit"), gtExit, srExit, -2, -2},
      {std::make_unique<TQOBBreakObject>(5, u"Break"), gtBreak, srBreak, -2, -2},
      {std::make_unique<TQOBContinueObject>(6, u"Continue"), gtContinue, srContinue, -2, -2},
      {std::make_unique<TestIntrinsic>(7, u"Len"), gtIntrinsic, srIntrinsic, -2, -2},
      {std::make_unique<TQOBExternObject>(8, u"Host", nullptr, nullptr, true), gtExtern, srExternal,
       -2, -2},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.object->StrName().ToUtf8());
    EXPECT_EQ(c.object->GetGlobalObjType(), c.type);
    const TQOBNameSearchRes res = TQOBNameSearchRes::OfGlobal(c.object.get());
    EXPECT_EQ(res.ObjKind, c.kind);
    EXPECT_EQ(res.NamedObject, c.object.get());
    if (auto* disp = dynamic_cast<TQOBDispIdObject*>(c.object.get())) {
      EXPECT_EQ(disp->FInvokeFlags, c.invokeFlags);
      EXPECT_EQ(disp->FResMask, c.resMask);
    } else {
      EXPECT_EQ(c.invokeFlags, -2);
    }
  }
  TestProc proc(3, u"P");
  ASSERT_NE(proc.ByteCode(), nullptr);
  EXPECT_EQ(proc.ByteCode()->Count(), 0);
  EXPECT_EQ(proc.FParamCount, 0);
}

// A scope of the kind the compilers build: it knows some names and passes
// every other question to its parent.
class TestScope : public TQOBAbstractNamespace {
 public:
  using TQOBAbstractNamespace::TQOBAbstractNamespace;
  void Define(TQOBNameId AName, TQOBNameSearchRes ARes) { FNames[AName] = ARes; }

  TQOBNameSearchRes Find(TQOBThread* AThread, TQOBNameId AName,
                         const WideString& AStrName) override {
    if (auto it = FNames.find(AName); it != FNames.end()) return it->second;
    return FParent ? FParent->Find(AThread, AName, AStrName) : TQOBNameSearchRes::NotFound();
  }
  void EnumDebugVars(bool, const TQOBNamespaceEnumVarsProc& AProc) override {
    for (const auto& [name, res] : FNames) AProc(QOBNameTable().GetName(name), res);
  }
  TQOBNameSearchRes CompileTimeFind(TQOBNameId AName) override {
    if (auto it = FNames.find(AName); it != FNames.end()) return it->second;
    return FParent ? FParent->CompileTimeFind(AName)
                   : TQOBAbstractNamespace::CompileTimeFind(AName);
  }

 private:
  std::map<TQOBNameId, TQOBNameSearchRes> FNames;
};

// The machine's global scope binds nothing at compile time.
class GlobalScope : public TQOBAbstractNamespace {
 public:
  explicit GlobalScope(TQOBGlobalObject* AObject)
      : TQOBAbstractNamespace(nullptr), FObject(AObject) {}
  TQOBNameSearchRes Find(TQOBThread*, TQOBNameId AName, const WideString&) override {
    return AName == FObject->FName ? TQOBNameSearchRes::OfGlobal(FObject)
                                   : TQOBNameSearchRes::NotFound();
  }
  void EnumDebugVars(bool, const TQOBNamespaceEnumVarsProc&) override {}

 private:
  TQOBGlobalObject* FObject;
};

TEST(NamespaceTest, InnerScopesAnswerFirstAndOnlyLocalsBindAtCompileTime) {
  const TQOBNameId x = QOBNameId(u"nsX"), p = QOBNameId(u"nsP"), r = QOBNameId(u"nsR"),
                   g = QOBNameId(u"nsG"), none = QOBNameId(u"nsNone");
  TQOBVarObject global(g, u"nsG");
  const Variant constant(42);
  GlobalScope globals(&global);
  TestScope proc(&globals);
  proc.Define(x, TQOBNameSearchRes::LocalVar(0));
  proc.Define(p, TQOBNameSearchRes::Param(1, pkByRef));
  proc.Define(r, TQOBNameSearchRes::Result());
  TestScope block(&proc);
  block.Define(x, TQOBNameSearchRes::LocalConstant(&constant));  // hides the procedure's x

  struct Case {
    TQOBNameId name;
    TQOBNameSearchResKind compileTime, runTime;
  };
  const Case cases[] = {
      {x, srLocalConst, srLocalConst}, {p, srParam, srParam},          {r, srResult, srResult},
      {g, srNotFound, srGlobalVar},    {none, srNotFound, srNotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QOBNameTable().GetName(c.name).ToUtf8());
    const TQOBNameSearchRes atCompile = block.CompileTimeFind(c.name);
    EXPECT_EQ(atCompile.ObjKind, c.compileTime);
    EXPECT_EQ(block.Find(nullptr, c.name, u"").ObjKind, c.runTime);
    if (c.compileTime == srNotFound) {
      EXPECT_EQ(atCompile.NamedObject, nullptr);
    }
  }
  EXPECT_EQ(block.CompileTimeFind(x).LocalConst, &constant);
  EXPECT_EQ(proc.CompileTimeFind(x).LocalVarIndex, 0);
  const TQOBParamInfo param = block.CompileTimeFind(p).ParamInfo;
  EXPECT_EQ(param.Index, 1);
  EXPECT_EQ(param.ParamKind(), pkByRef);
  EXPECT_EQ(block.Find(nullptr, g, u"nsG").NamedObject, &global);
  EXPECT_EQ(block.Parent(), &proc);

  int shown = 0;
  block.EnumDebugVars(true, [&](const WideString& AName, const TQOBNameSearchRes& ARes) {
    EXPECT_EQ(AName.view(), u"NSX");
    EXPECT_EQ(ARes.ObjKind, srLocalConst);
    ++shown;
  });
  EXPECT_EQ(shown, 1);
}

TEST(CompileErrorTest, CarriesItsPositionAndFormattedMessage) {
  try {
    throw EQOBCompileBase(kQOBDuplicateNameMsg, 17, {u"Counter"});
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message().view(), u"Object or value named 'Counter' already exists.");
    ASSERT_TRUE(e.Is<EQOBCompileBase>());
    EXPECT_EQ(static_cast<const EQOBCompileBase&>(e).SourcePos(), 17);
  }
  const EQOBCompileBase plain(u"Syntax error", 3);
  EXPECT_EQ(plain.Message().view(), u"Syntax error");
  EXPECT_EQ(plain.SourcePos(), 3);
}

class TestLanguage : public TQOBLanguageBase {
 public:
  explicit TestLanguage(bool& ADestroyed) : FDestroyed(ADestroyed) {}
  ~TestLanguage() override { FDestroyed = true; }
  std::unique_ptr<IQOBParserBase> CreateParser(IQOBParserCallbacks*) override { return nullptr; }
  void EnumGlobalObjects(TQOBEnumGlobalObjectsProc AProc, void* AData) override {
    AProc(AData, std::make_unique<TQOBExitObject>(QOBNameId(u"Exit"), u"Exit"));
  }
  WideString GetEmptyLiteral() override { return u"Empty"; }
  WideString GetNilLiteral() override { return u"nil"; }
  WideString GetNullLiteral() override { return u"Null"; }
  WideString QuoteString(const WideString& AText) override { return u"'" + AText.str() + u"'"; }

 private:
  bool& FDestroyed;
};

TEST(LanguageTest, LanguageObjectsAreReferenceCounted) {
  bool destroyed = false;
  {
    ComPtr<IQOBLanguage> language(new TestLanguage(destroyed));
    ComPtr<IUnknown> unknown = language.As<IUnknown>(IID_IUnknown);
    ASSERT_TRUE(unknown);
    ComPtr<IQOBLanguage> again = unknown.As<IQOBLanguage>(IID_IQOBLanguage);
    EXPECT_EQ(again.get(), language.get());
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(language->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);

    std::vector<std::unique_ptr<TQOBGlobalObject>> received;
    language->EnumGlobalObjects(
        [](void* AData, std::unique_ptr<TQOBGlobalObject> AObject) {
          static_cast<std::vector<std::unique_ptr<TQOBGlobalObject>>*>(AData)->push_back(
              std::move(AObject));
        },
        &received);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0]->GetGlobalObjType(), gtExit);
    EXPECT_FALSE(destroyed);
  }
  EXPECT_TRUE(destroyed);
}

}  // namespace
}  // namespace qob
