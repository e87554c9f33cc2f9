// Expressions and statements compiled at run time against a running module
// of the Pascal-like language.
#include "vm/dyn_code.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "compiler/compile_error.h"
#include "ole/variant_convert.h"
#include "pascal/pas_language.h"
#include "vm/virt_machine.h"
#include "vm/vm_runtime_error.h"

namespace qob {
namespace {

constexpr char16_t kModule[] =
    u"var Counter = 10;\r\n"
    u"function Twice(X);\r\n"
    u"begin\r\n"
    u"  Result := X * 2;\r\n"
    u"end;\r\n";

std::string U8(std::u16string_view text) {
  return Utf16ToUtf8(text);
}

// Where and on what the machine reported an error.
struct TReport {
  TObject* Sender = nullptr;  // may be gone by the time the error arrives
  std::string SenderClass;
  int32_t Line = -1;
  int32_t Column = -1;
  std::string Message;
};

class DynCodeTest : public ::testing::Test {
 protected:
  DynCodeTest() : FVM(std::make_unique<TQOBVirtMachine>(new TQOBPasLanguage())) {
    FVM->OnFormatException = [this](TObject* Sender, int32_t ALine, int32_t ALinePos,
                                    Exception& E) {
      FReport = {Sender, U8(Sender->ClassName()), ALine, ALinePos, U8(E.Message().view())};
    };
  }

  void Start(const WideString& ASource = kModule) {
    FVM->Initialize(ASource);
    FVM->Open();
  }

  // The message of what AAction raises, or "" when it raises nothing.
  template <class Action>
  static std::string MessageOf(Action AAction) {
    try {
      AAction();
    } catch (const Exception& e) {
      return U8(e.Message().view());
    }
    return "";
  }

  std::unique_ptr<TQOBVirtMachine> FVM;
  TReport FReport;
};

TEST_F(DynCodeTest, ExpressionsAndStatementsWorkInTheModulesScope) {
  Start();
  EXPECT_EQ(VarToInt32(FVM->Eval(u"Twice(Counter) + 1")), 21);
  FVM->ExecStmt(u"Counter := Twice(Counter)");
  EXPECT_EQ(VarToInt32(FVM->ReadVar(u"Counter")), 20);

  // A prepared expression runs again with what the module holds now.
  const std::unique_ptr<TObject> prepared = FVM->PrepareExpr(u"Counter + 1");
  EXPECT_EQ(VarToInt32(FVM->Eval(prepared.get())), 21);
  FVM->ExecStmt(u"begin Counter := 0; Inc(Counter, 5) end");
  EXPECT_EQ(VarToInt32(FVM->Eval(prepared.get())), 6);

  // A value the expression builds is the caller's own, not shared between runs.
  const std::unique_ptr<TObject> text = FVM->PrepareExpr(u"'ab' + IntToStr(Counter)");
  Variant first = FVM->Eval(text.get());
  FVM->ExecStmt(u"Counter := 7");
  EXPECT_EQ(U8(VarToStr(first).view()), "ab5");
  EXPECT_EQ(U8(VarToStr(FVM->Eval(text.get())).view()), "ab7");

  // A prepared expression run as a statement is harmless.
  EXPECT_NO_THROW(FVM->ExecStmt(prepared.get()));
}

TEST_F(DynCodeTest, PreparingNeedsACompiledModuleAndRunningAnActiveOne) {
  EXPECT_EQ(MessageOf([&] { FVM->PrepareExpr(u"1"); }), "Virtual machine should be initialized.");
  FVM->Initialize(kModule);
  const std::unique_ptr<TObject> prepared = FVM->PrepareExpr(u"Counter");
  EXPECT_EQ(MessageOf([&] { FVM->Eval(prepared.get()); }), "Virtual machine should be active.");
  EXPECT_EQ(MessageOf([&] { FVM->ExecStmt(u"Counter := 1"); }),
            "Virtual machine should be active.");
  FVM->Open();
  EXPECT_EQ(VarToInt32(FVM->Eval(prepared.get())), 10);
}

// Compile errors reach the host with their place inside the dynamic text,
// reported on behalf of the prepared code; declarations are refused.
TEST_F(DynCodeTest, CompileErrorsArePlacedInTheDynamicText) {
  Start();
  struct Case {
    bool Statement;
    std::u16string_view Text;
    int32_t Line, Column;
  };
  const Case cases[] = {
      {false, u"1 +", 0, 4},    {false, u"a ) b", 0, 3},
      {true, u"x := 1;", 0, 7}, {true, u"begin\r\n  x := ;\r\nend", 1, 8},
      {true, u"var x", 0, 3},   {true, u"procedure P; begin end", 0, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.Text));
    FReport = {};
    try {
      if (c.Statement)
        FVM->PrepareStmt(WideString(c.Text));
      else
        FVM->PrepareExpr(WideString(c.Text));
      ADD_FAILURE() << "compiled";
    } catch (const EQOBCompileBase& e) {
      EXPECT_EQ(FReport.Message, U8(e.Message().view()));
    }
    EXPECT_EQ(FReport.Line, c.Line);
    EXPECT_EQ(FReport.Column, c.Column);
    EXPECT_EQ(FReport.SenderClass, "TPreparedDynCode");
  }
}

TEST_F(DynCodeTest, RunTimeErrorsArePlacedInTheDynamicText) {
  Start();
  FReport = {};
  EXPECT_EQ(MessageOf([&] { FVM->ExecStmt(u"begin\n  Counter := Missing\nend"); }),
            "Undeclared identifier: 'Missing'");
  EXPECT_EQ(FReport.Line, 1);
  EXPECT_EQ(FReport.Sender, FVM.get());
  EXPECT_EQ(VarToInt32(FVM->ReadVar(u"Counter")), 10);
}

// Code prepared for a module is refused once that module is gone, even when
// the machine runs a new one, and can still be freed afterwards.
TEST_F(DynCodeTest, PreparedCodeDoesNotOutliveItsModule) {
  Start();
  std::unique_ptr<TObject> prepared = FVM->PrepareExpr(u"Counter");
  FVM->Close();
  EXPECT_EQ(MessageOf([&] { FVM->Eval(prepared.get()); }), "Virtual machine should be active.");
  Start(u"var Counter = 99;");
  EXPECT_EQ(MessageOf([&] { FVM->Eval(prepared.get()); }), "Virtual machine should be active.");
  EXPECT_EQ(VarToInt32(FVM->Eval(u"Counter")), 99);

  // Not even a destroyed machine makes it unsafe.
  const std::unique_ptr<TObject> survivor = FVM->PrepareExpr(u"Counter");
  FVM.reset();
  Variant result;
  EXPECT_EQ(MessageOf([&] { static_cast<TPreparedDynCode&>(*survivor).Execute(result); }),
            "Virtual machine should be active.");
  prepared.reset();
}

TEST_F(DynCodeTest, OnlyThisMachinesPreparedCodeRuns) {
  Start();
  TQOBVirtMachine other(new TQOBPasLanguage());
  other.Initialize(kModule);
  other.Open();
  const std::unique_ptr<TObject> foreign = other.PrepareExpr(u"Counter");
  EXPECT_THROW(FVM->Eval(foreign.get()), EInvalidArgument);
  TObject unrelated;
  EXPECT_THROW(FVM->Eval(&unrelated), EInvalidCast);
}

}  // namespace
}  // namespace qob
