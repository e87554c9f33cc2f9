// A tiny language for driving the virtual machine from tests: a "script" is
// a list of declarations whose bodies are written as byte code by hand, and
// host objects whose members are lambdas.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "compiler/compile_error.h"
#include "compiler/language.h"
#include "compiler/name_table.h"
#include "ole/dispatch_object.h"
#include "vm/bytecode.h"
#include "vm/virt_machine.h"

namespace qob::vmtest {

// Names a procedure body resolves at run time: locals, parameters, the result.
class TTestScope final : public TQOBAbstractNamespace {
 public:
  using TQOBAbstractNamespace::TQOBAbstractNamespace;
  void Add(std::u16string_view AName, const TQOBNameSearchRes& ARes) {
    FNames[QOBNameId(AName)] = ARes;
  }
  TQOBNameSearchRes Find(TQOBThread* AThread, TQOBNameId AName,
                         const WideString& AStrName) override {
    if (auto found = FNames.find(AName); found != FNames.end()) return found->second;
    return FParent ? FParent->Find(AThread, AName, AStrName) : TQOBNameSearchRes::NotFound();
  }
  void EnumDebugVars(bool, const TQOBNamespaceEnumVarsProc&) override {}

 private:
  std::unordered_map<TQOBNameId, TQOBNameSearchRes> FNames;
};

// What the bodies of a script share: its literals (they live as long as the
// script) and its global variables and constants by name.
struct TScriptData {
  std::deque<Variant> literals;
  std::unordered_map<std::u16string, TQOBGlobalValuedObject*> globals;
};

// Writes one byte code.
struct TAsm {
  TQOBByteCode& bc;
  TScriptData& data;
  TTestScope* scope;  // nil in global statements

  void Emit(TQOBInstrCode ACode, TQOBInstrData AData = {}) { bc.Emit(ACode, AData); }
  void Lit(const Variant& AValue) {
    data.literals.push_back(AValue);
    bc.Emit(icPushLiteral, &data.literals.back());
  }
  TQOBGlobalValuedObject* Global(const std::u16string& AName) { return data.globals.at(AName); }
  // A call descriptor for AName, emitted with ACode.
  TQOBCall* Call(TQOBInstrCode ACode, std::u16string_view AName, TQOBBracketType ABracket,
                 int32_t AArgCount, bool AHasObject = false, bool AHasValue = false,
                 bool AIsResUsed = true) {
    TQOBCall* call = bc.AddCall(QOBNameId(AName), WideString(AName), ABracket, AArgCount,
                                AHasObject, AHasValue, AIsResUsed);
    bc.Emit(ACode, call);
    return call;
  }
  TQOBLabel* Label() { return bc.CreateLabel(); }
  void Bind(TQOBLabel* ALabel) { bc.BindLabel(ALabel); }
  void At(int32_t ASourcePos) {
    int32_t old;
    bc.BeginSourcePos(ASourcePos, old);
  }
  // A protected block with its locals, laid out as the code generators do.
  TQOBTry* BeginTry(bool AWithFinally) {
    TQOBTry* t = bc.BeginProtectedBlock();
    if (AWithFinally) {
      t->FFinallyRetVar = bc.AddLocalVar();
      t->FFinallyLabel = bc.CreateLabel();
    }
    t->FExceptionVar = bc.AddLocalVarArray(2);
    t->FHandlerLabel = bc.CreateLabel();
    return t;
  }
};

using TBody = std::function<void(TAsm&)>;

class TTestProc final : public TQOBProcObject {
 public:
  TTestProc(std::u16string_view AName, int32_t AParamCount, bool AIsFunction, TBody ABody,
            TScriptData& AData)
      : TQOBProcObject(QOBNameId(AName), WideString(AName)), FBody(std::move(ABody)), FData(AData) {
    FParamCount = AParamCount;
    FResMask = AIsFunction ? -1 : 0;
  }
  void EmitByteCode(TQOBAbstractNamespace* AGlobalNamespace) override {
    FScope = std::make_unique<TTestScope>(AGlobalNamespace);
    FByteCode->BeginEmit(FStrName, FScope.get(), 1);
    TAsm a{*FByteCode, FData, FScope.get()};
    FBody(a);
    FByteCode->EndEmit();
  }

 private:
  TBody FBody;
  TScriptData& FData;
  std::unique_ptr<TTestScope> FScope;
};

class TTestStmt final : public IQOBEmitable {
 public:
  TTestStmt(TBody ABody, TScriptData& AData) : FBody(std::move(ABody)), FData(AData) {}
  void Emit(TQOBAbstractNamespace*, TQOBByteCode* AByteCode) override {
    TAsm a{*AByteCode, FData, nullptr};
    FBody(a);
  }

 private:
  TBody FBody;
  TScriptData& FData;
};

class TTestIntrinsic final : public TIntrinsic {
 public:
  using TFunc = std::function<void(Variant* AArgs, int32_t AArgCount, Variant& AResult)>;
  TTestIntrinsic(std::u16string_view AName, TFunc AFunc)
      : TIntrinsic(QOBNameId(AName), WideString(AName)), FFunc(std::move(AFunc)) {}
  void Execute(TQOBVMBase*, TQOBCall* ACall, Variant* AArgs, Variant& AResult) override {
    FFunc(AArgs, ACall->FArgCount, AResult);
  }

 private:
  TFunc FFunc;
};

// The test language: parsing replays the script's declarations through the
// callbacks; built-ins are Exit, Break, Continue and the script's intrinsics.
class TTestLanguage final : public TQOBLanguageBase {
 public:
  std::vector<std::function<void(IQOBParserCallbacks&)>> Declarations;
  std::vector<std::pair<std::u16string, TTestIntrinsic::TFunc>> Intrinsics;
  int32_t CompileErrorAt = 0;  // raise a compile error at this position when set

  std::unique_ptr<IQOBParserBase> CreateParser(IQOBParserCallbacks* ACbs) override {
    struct TParser final : IQOBParserBase {
      TTestLanguage& lang;
      IQOBParserCallbacks& cbs;
      TParser(TTestLanguage& ALang, IQOBParserCallbacks& ACbs) : lang(ALang), cbs(ACbs) {}
      void Parse(const WideString&) override {
        for (auto& declare : lang.Declarations) declare(cbs);
        if (lang.CompileErrorAt)
          throw EQOBCompileBase(WideString(u"Syntax error"), lang.CompileErrorAt);
      }
      std::unique_ptr<IQOBEmitable> ParseStmt(const WideString&) override { return nullptr; }
      std::unique_ptr<IQOBEmitable> ParseExpr(const WideString&) override { return nullptr; }
    };
    return std::make_unique<TParser>(*this, *ACbs);
  }
  void EnumGlobalObjects(TQOBEnumGlobalObjectsProc AProc, void* AData) override {
    AProc(AData, std::make_unique<TQOBExitObject>(QOBNameId(u"Exit"), WideString(u"Exit")));
    AProc(AData, std::make_unique<TQOBBreakObject>(QOBNameId(u"Break"), WideString(u"Break")));
    AProc(AData,
          std::make_unique<TQOBContinueObject>(QOBNameId(u"Continue"), WideString(u"Continue")));
    for (auto& [name, func] : Intrinsics)
      AProc(AData, std::make_unique<TTestIntrinsic>(name, func));
  }
  WideString GetEmptyLiteral() override { return WideString(u"Unassigned"); }
  WideString GetNilLiteral() override { return WideString(u"nil"); }
  WideString GetNullLiteral() override { return WideString(u"Null"); }
  WideString QuoteString(const WideString& AText) override {
    std::u16string quoted(1, u'\'');
    quoted.append(AText.view()).push_back(u'\'');
    return WideString(quoted);
  }
};

// A script: declarations in parse order, compiled by a machine of its own.
class TTestScript {
 public:
  TTestScript() : FLanguage(new TTestLanguage) {}

  TTestScript& Proc(std::u16string AName, int32_t AParams, bool AIsFunction, TBody ABody) {
    return Declare([=, this](IQOBParserCallbacks& cbs) {
      std::unique_ptr<TQOBGlobalObject> proc =
          std::make_unique<TTestProc>(AName, AParams, AIsFunction, ABody, FData);
      bool duplicate;
      cbs.GlobalObjParsed(proc, duplicate);
    });
  }
  TTestScript& Var(std::u16string AName, Variant AValue = {}) {
    return Valued<TQOBVarObject>(std::move(AName), std::move(AValue));
  }
  TTestScript& Const(std::u16string AName, Variant AValue) {
    return Valued<TQOBConstObject>(std::move(AName), std::move(AValue));
  }
  TTestScript& Stmt(TBody ABody) {
    return Declare([=, this](IQOBParserCallbacks& cbs) {
      cbs.GlobalStmtParsed(std::make_unique<TTestStmt>(ABody, FData));
    });
  }
  TTestScript& Intrinsic(std::u16string AName, TTestIntrinsic::TFunc AFunc) {
    FLanguage->Intrinsics.emplace_back(std::move(AName), std::move(AFunc));
    return *this;
  }

  TTestLanguage& Language() { return *FLanguage; }
  // A new machine for the script (not yet initialised).
  std::unique_ptr<TQOBVirtMachine> NewMachine() {
    return std::make_unique<TQOBVirtMachine>(FLanguage.get());
  }
  // A machine initialised with ASource and opened.
  std::unique_ptr<TQOBVirtMachine> Run(const WideString& ASource = WideString(u"script")) {
    auto vm = NewMachine();
    vm->Initialize(ASource);
    vm->Open();
    return vm;
  }

 private:
  TTestScript& Declare(std::function<void(IQOBParserCallbacks&)> ADeclare) {
    FLanguage->Declarations.push_back(std::move(ADeclare));
    return *this;
  }
  template <class T>
  TTestScript& Valued(std::u16string AName, Variant AValue) {
    return Declare([=, this](IQOBParserCallbacks& cbs) {
      auto valued = std::make_unique<T>(QOBNameId(AName), WideString(AName));
      valued->Value = AValue;
      FData.globals[AName] = valued.get();
      std::unique_ptr<TQOBGlobalObject> object = std::move(valued);
      bool duplicate;
      cbs.GlobalObjParsed(object, duplicate);
    });
  }

  TScriptData FData;
  ComPtr<TTestLanguage> FLanguage;
};

// A host object whose members are lambdas; dispatch ids count from 1 in the
// order members are added.
class THostObject final : public DispatchObject {
 public:
  using TMember = std::function<HRESULT(uint16_t AFlags, DISPPARAMS* AParams, Variant* AResult)>;

  static ComPtr<THostObject> New() { return ComPtr<THostObject>(new THostObject); }
  THostObject& Member(std::u16string AName, TMember AMember) {
    FMembers.emplace_back(std::move(AName), std::move(AMember));
    return *this;
  }
  // A read-only property.
  THostObject& Value(std::u16string AName, Variant AValue) {
    return Member(std::move(AName), [AValue](uint16_t, DISPPARAMS*, Variant* AResult) {
      if (AResult) *AResult = AValue;
      return S_OK;
    });
  }

  HRESULT GetIDsOfNames(REFIID, const char16_t** names, uint32_t, LCID, DISPID* ids) override {
    for (size_t i = 0; i < FMembers.size(); ++i)
      if (SameName(FMembers[i].first, names[0])) {
        ids[0] = static_cast<DISPID>(i + 1);
        return S_OK;
      }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params, Variant* result,
                 EXCEPINFO*, uint32_t*) override {
    if (id == DISPID_VALUE && FDefault) return FDefault(flags, params, result);
    if (id < 1 || static_cast<size_t>(id) > FMembers.size()) return DISP_E_MEMBERNOTFOUND;
    return FMembers[static_cast<size_t>(id - 1)].second(flags, params, result);
  }
  TMember FDefault;

 private:
  static bool SameName(const std::u16string& A, std::u16string_view B) {
    auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
    if (A.size() != B.size()) return false;
    for (size_t i = 0; i < A.size(); ++i)
      if (upper(A[i]) != upper(B[i])) return false;
    return true;
  }
  std::vector<std::pair<std::u16string, TMember>> FMembers;
};

// "Class: message" of the exception ACall raises ("" when it raises none).
template <class F>
std::string Raised(F&& ACall) {
  try {
    ACall();
  } catch (const Exception& e) {
    return WideString(e.ClassName()).ToUtf8() + ": " + e.Message().ToUtf8();
  }
  return "";
}

// True when the calling thread's records are back to rest: no activation,
// no borrowed slot, no handled exception.
inline bool ThreadAtRest() {
  TQOBThread* thread = TVMIndexes::CurrentThread();
  return !thread || (!thread->CallStack() && thread->StackPool().UsedSlotCount() == 0 &&
                     thread->ExceptionStates().empty() && thread->Depth == 0);
}

}  // namespace qob::vmtest
