// The byte code that the Pascal front end emits, as instruction listings.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "pas_test_util.h"
#include "pascal/pas_parser.h"
#include "vm/bytecode.h"

namespace qob {
namespace {

using testing::TRecordingCallbacks;
using testing::U8;

// The machine's global scope binds nothing at compile time.
class TGlobalScope final : public TQOBAbstractNamespace {
 public:
  TGlobalScope() : TQOBAbstractNamespace(nullptr) {}
  TQOBNameSearchRes Find(TQOBThread*, TQOBNameId, const WideString&) override {
    return TQOBNameSearchRes::NotFound();
  }
  void EnumDebugVars(bool, const TQOBNamespaceEnumVarsProc&) override {}
};

// One line per instruction: index, '*' when breakable, name and operand.
// Jump targets and call labels show as @index.
std::vector<std::string> Listing(const TQOBByteCode& ACode) {
  auto at = [&](const TQOBLabel* ALabel) {
    return "@" + std::to_string(ACode.IndexOf(ALabel->Target()));
  };
  std::vector<std::string> lines;
  for (int32_t i = 0; i < ACode.Count(); ++i) {
    const TQOBInstr& instr = ACode.Code()[i];
    std::ostringstream line;
    line << i << (instr.IsBreakable() ? "* " : "  ") << QOBInstrCodeName(instr.Code);
    const TQOBInstrData& d = instr.Data;
    switch (instr.Code) {
      case icJump:
      case icJmpIfTrue:
      case icJmpIfFalse:
      case icPopJmpIfTrue:
      case icPopJmpIfFalse:
      case icPopJmpIfEqual:
      case icPopJmpIfNotEqual:
      case icCaseJmpIfEqual:
      case icCaseJmpIfInRange:
        line << " " << at(d.Label);
        break;
      case icPush:
      case icPushLocalVar:
      case icPushLocalVarRef:
      case icAssignLocalVar:
      case isReraise:
      case icExceptToVar:
        line << " " << d.Int;
        break;
      case icPushArg:
      case icPushArgRef:
      case icAssignArg:
        line << " arg" << d.Param.Index;
        break;
      case icPushLiteral: {
        const Variant& v = *d.Literal;
        if (v.Type() == varInteger)
          line << " " << v.VInteger;
        else if (v.IsString())
          line << " '" << U8(v.StringView()) << "'";
        else
          line << " vt" << v.Type();
        break;
      }
      case icGlobCall:
      case icMemberCall:
      case icUnnamedCall:
      case icGlobCallRef:
      case icMemberCallRef:
      case icUnnamedCallRef:
      case icAssignGlobCall:
      case icAssignMemberCall:
      case icAssignUnnamedCall: {
        const TQOBCall& c = *d.Call;
        line << " " << (c.FStrName.empty() ? "~" : U8(c.FStrName));
        if (c.FBracketType == bkRound) line << "(" << c.FArgCount << ")";
        if (c.FBracketType == bkBlock) line << "[" << c.FArgCount << "]";
        if (!c.IsResUsed()) line << " void";
        if (c.FBreakLabel) line << " brk" << at(c.FBreakLabel);
        if (c.FContinueLabel) line << " cont" << at(c.FContinueLabel);
        if (c.FExitLabel) line << " exit" << at(c.FExitLabel);
        break;
      }
      case icForInitLocal:
      case icForInitLValue:
      case icForInc:
      case icForDec:
      case icForJmpIfLE:
      case icForJmpIfGE:
        line << " to:" << d.For->FToVar;
        if (instr.Code == icForInitLocal) line << " var:" << d.For->FLoopLocalVar;
        if (instr.Code == icForJmpIfLE || instr.Code == icForJmpIfGE)
          line << " " << at(d.For->FJmpLabel);
        break;
      case icCallFinally:
      case icFinallyRet:
        line << " T" << d.Try->FIndex;
        break;
      case icExceptJmpIfIs:
        line << " " << at(d.ExcJump->FLabel);
        break;
      case icArrayCreate:
        line << " dims:" << d.Array->FDimCount << " vt" << d.Array->FElemVarType;
        break;
      case icEventHandlerMake:
        line << " " << U8(*d.ProcName);
        break;
      default:
        break;
    }
    lines.push_back(line.str());
  }
  return lines;
}

struct TCompiled {
  TRecordingCallbacks Cbs;
  TGlobalScope Globals;
  TQOBByteCode GlobalCode;
};

// Compiles a script as the machine does: every procedure, then the global code.
std::unique_ptr<TCompiled> Compile(std::u16string_view source) {
  auto c = std::make_unique<TCompiled>();
  TQOBPasParser parser(&c->Cbs);
  parser.Parse(WideString(source));
  for (auto& g : c->Cbs.Globals)
    if (auto* proc = dynamic_cast<TQOBProcObject*>(g.get())) proc->EmitByteCode(&c->Globals);
  c->GlobalCode.BeginEmit(u"Global code", &c->Globals, 0);
  for (auto& stmt : c->Cbs.Stmts) stmt->Emit(&c->Globals, &c->GlobalCode);
  c->GlobalCode.Emit(icRet);
  c->GlobalCode.EndEmit();
  return c;
}

const TQOBByteCode& ProcCode(const TCompiled& c, size_t index = 0) {
  return *dynamic_cast<TQOBProcObject&>(*c.Cbs.Globals.at(index)).FByteCode;
}

using Lines = std::vector<std::string>;

struct ListingCase {
  std::u16string source;  // one procedure
  Lines listing;
};

TEST(PasCodegenTest, ProcedureBodies) {
  const std::vector<ListingCase> cases = {
      // A local is written in place; a designator argument passes a reference.
      {u"function F; var x; begin x := F(x); end;",
       {"0* icPush 1", "1  icPushLocalVarRef 0", "2  icGlobCall F(1)", "3  icAssignLocalVar 0",
        "4* icRet"}},
      {u"procedure P; var a; begin Foo(a, 1); end;",
       {"0* icPush 1", "1  icPushLocalVarRef 0", "2  icPushLiteral 1", "3  icGlobCall Foo(2) void",
        "4  icPop", "5* icRet"}},
      {u"procedure P(v); begin o.p := v; x := o.q[1].r(); end;",
       {"0* icPush 1", "1  icGlobCall o", "2  icPushArg arg0", "3  icAssignMemberCall p",
        "4* icPush 3", "5  icGlobCall o", "6  icPushLiteral 1", "7  icMemberCall q[1]",
        "8  icMemberCall r(0)", "9  icAssignGlobCall x", "10* icRet"}},
      // Initial values of locals come first and are no break locations.
      {u"function F(a); var x = 1, y, z = a; begin Result := z; end;",
       {"0  icPushLiteral 1", "1  icAssignLocalVar 0", "2  icPushArg arg0", "3  icAssignLocalVar 2",
        "4* icPushLocalVar 2", "5  icAssignResult", "6* icRet"}},
      {u"procedure P; begin if a = b then c; end;",
       {"0* icPush 1", "1  icGlobCall a", "2  icPush 1", "3  icGlobCall b", "4  icEqual",
        "5  icPopJmpIfFalse @9", "6* icPush 1", "7  icGlobCall c void", "8  icPop", "9* icRet"}},
      {u"procedure P; var a, b; begin while a = b do ; end;",
       {"0* icJump @1", "1* icPushLocalVar 0", "2  icPushLocalVar 1", "3  icPopJmpIfEqual @1",
        "4* icRet"}},
      // `or` does not evaluate its right operand when the left one is true.
      {u"procedure P; var a, b, c; begin if a or b then c := 1 else c := 2; end;",
       {"0* icPushLocalVar 0", "1  icPopJmpIfTrue @4", "2  icPushLocalVar 1",
        "3  icPopJmpIfFalse @7", "4* icPushLiteral 1", "5  icAssignLocalVar 2", "6  icJump @9",
        "7* icPushLiteral 2", "8  icAssignLocalVar 2", "9* icRet"}},
      {u"function F(a; b); begin Result := a and b; end;",
       {"0* icPushArg arg0", "1  icJmpIfFalse @4", "2  icPop", "3  icPushArg arg1",
        "4  icAssignResult", "5* icRet"}},
      {u"procedure P(a; b); begin if not (a and b) then Exit; end;",
       {"0* icPushArg arg0", "1  icPopJmpIfFalse @4", "2  icPushArg arg1", "3  icPopJmpIfTrue @7",
        "4* icPush 1", "5  icGlobCall Exit void", "6  icPop", "7* icRet"}},
      {u"function F; begin Result := [1, 3..5]; end;",
       {"0* icPush0", "1  icPushLiteral 1", "2  icAddValToSet", "3  icPushLiteral 3",
        "4  icPushLiteral 5", "5  icAddRangeToSet", "6  icAssignResult", "7* icRet"}},
      {u"function F; begin Result := array[3] of Integer; end;",
       {"0* icPush0", "1  icPushLiteral 3", "2  icArrayCreate dims:1 vt3", "3  icAssignResult",
        "4* icRet"}},
      {u"function F; begin Result := @Handler; end;",
       {"0* icEventHandlerMake Handler", "1  icAssignResult", "2* icRet"}},
      // The loop bounds are computed once; Break and Continue in the body know their targets.
      {u"procedure P; var i; begin for i := 1 to n do Inc(s, i); end;",
       {"0* icPushLiteral 1", "1  icForInitLocal to:1 var:0", "2  icPush 1",
        "3  icGlobCall n brk@14 cont@12", "4  icAssignLocalVar 1", "5  icJump @13", "6* icPush 1",
        "7  icPush 1", "8  icGlobCallRef s brk@14 cont@12", "9  icPushLocalVarRef 0",
        "10  icGlobCall Inc(2) void brk@14 cont@12", "11  icPop", "12  icForInc to:1",
        "13* icForJmpIfLE to:1 @6", "14* icRet"}},
      {u"procedure P; begin for g := 3 downto 1 do ; end;",
       {"0* icPush 1", "1  icGlobCallRef g brk@9 cont@7", "2  icPushLiteral 3",
        "3  icForInitLValue to:0", "4  icPushLiteral 1", "5  icAssignLocalVar 0", "6  icJump @8",
        "7  icForDec to:0", "8* icForJmpIfGE to:0 @7", "9* icRet"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.source));
    auto compiled = Compile(c.source);
    EXPECT_EQ(Listing(ProcCode(*compiled)), c.listing);
  }
}

TEST(PasCodegenTest, LeavingProtectedPartsRunsFinallyOrEndsTheException) {
  const std::vector<ListingCase> cases = {
      // Break and Continue in a try-finally inside a loop run the finally part
      // first; Exit inside the finally part fails at run time.
      {u"procedure P; begin while a do try if b then Break; Continue; finally Exit; end; end;",
       {"0* icJump @26",
        "1* icPush 1",
        "2  icGlobCall b brk@16 cont@18 exit@20",
        "3  icPopJmpIfFalse @7",
        "4* icPush 1",
        "5  icGlobCall Break void brk@16 cont@18 exit@20",
        "6  icPop",
        "7* icPush 1",
        "8  icGlobCall Continue void brk@16 cont@18 exit@20",
        "9  icPop",
        "10  icCallFinally T0",
        "11  icJump @26",
        "12* icPush 1",
        "13  icGlobCall Exit void brk@22 cont@22 exit@22",
        "14  icPop",
        "15  icFinallyRet T0",
        "16  icCallFinally T0",
        "17  icJump @29",
        "18  icCallFinally T0",
        "19  icJump @26",
        "20  icCallFinally T0",
        "21  icRet",
        "22  icRaiseEBCFromFinally",
        "23  icSetNamespace",
        "24  icCallFinally T0",
        "25  isReraise 1",
        "26* icPush 1",
        "27  icGlobCall a brk@29 cont@26",
        "28  icPopJmpIfTrue @1",
        "29* icRet"}},
      // Leaving an except part by Break, Continue or Exit ends the handled
      // exception first; an exception no handler takes is raised again.
      {u"procedure P; begin repeat try x; except on E: EAbort do Break; on Exception do Continue; "
       u"end; until a; end;",
       {"0* icPush 1",
        "1  icGlobCall x void brk@36 cont@33",
        "2  icPop",
        "3  icJump @33",
        "4  icSetNamespace",
        "5  icPush 1",
        "6  icGlobCall EAbort brk@27 cont@29 exit@31",
        "7  icExceptJmpIfIs @12",
        "8  icPush 1",
        "9  icGlobCall Exception brk@27 cont@29 exit@31",
        "10  icExceptJmpIfIs @21",
        "11  icJump @26",
        "12  icSetNamespace",
        "13  icExceptToVar 0",
        "14  icAssignLocalVar 2",
        "15* icPush 1",
        "16  icGlobCall Break void brk@27 cont@29 exit@31",
        "17  icPop",
        "18  icSetNamespace",
        "19  icExceptDone",
        "20  icJump @33",
        "21* icPush 1",
        "22  icGlobCall Continue void brk@27 cont@29 exit@31",
        "23  icPop",
        "24  icExceptDone",
        "25  icJump @33",
        "26  isReraise 0",
        "27  icExceptDone",
        "28  icJump @36",
        "29  icExceptDone",
        "30  icJump @33",
        "31  icExceptDone",
        "32  icRet",
        "33* icPush 1",
        "34  icGlobCall a brk@36 cont@33",
        "35  icPopJmpIfFalse @0",
        "36* icRet"}},
      // A bare raise re-raises the handled exception; `try except end`
      // swallows exceptions, `try finally end` protects nothing.
      {u"procedure P; begin try x; except on E: EAbort do raise; else y; end; try except end; "
       u"try finally end; end;",
       {"0* icPush 1",
        "1  icGlobCall x void",
        "2  icPop",
        "3  icJump @29",
        "4  icSetNamespace",
        "5  icPush 1",
        "6  icGlobCall EAbort exit@21",
        "7  icExceptJmpIfIs @9",
        "8  icJump @16",
        "9  icSetNamespace",
        "10  icExceptToVar 0",
        "11  icAssignLocalVar 2",
        "12* isReraise 0",
        "13  icSetNamespace",
        "14  icExceptDone",
        "15  icJump @29",
        "16* icPush 1",
        "17  icGlobCall y void exit@21",
        "18  icPop",
        "19  icExceptDone",
        "20  icJump @29",
        "21  icExceptDone",
        "22  icRet",
        "23  icJump @29",
        "24  icSetNamespace",
        "25  icExceptDone",
        "26  icJump @29",
        "27  icExceptDone",
        "28  icRet",
        "29* icRet"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.source));
    auto compiled = Compile(c.source);
    const TQOBByteCode& code = ProcCode(*compiled);
    EXPECT_EQ(Listing(code), c.listing);
  }
  // Known finally returns, in the order normal completion, Exit, Break,
  // Continue; EndEmit has moved those on a jump to the jump's target.
  auto compiled = Compile(cases[0].source);
  const TQOBTry& t = *ProcCode(*compiled).Trys()[0];
  std::vector<int32_t> returns;
  for (int32_t i = 0; i < t.KnownFinallyRetCount(); ++i)
    returns.push_back(ProcCode(*compiled).IndexOf(t.KnownFinallyRets(i)->Target()));
  EXPECT_EQ(returns, (std::vector<int32_t>{26, 21, 29, 26}));  // chains shortened
}

TEST(PasCodegenTest, GlobalCodeRunsInitialisersThenTheMainBlock) {
  auto compiled =
      Compile(u"var v = 5; const K = v * 2; begin case v of 1: a; 2, 4..6: b; else c; end; end;");
  EXPECT_EQ(Listing(compiled->GlobalCode), (Lines{"0* icPushLiteral 5",
                                                  "1  icAssignGlobalVar",
                                                  "2* icPush 1",
                                                  "3  icGlobCall v",
                                                  "4  icPushLiteral 2",
                                                  "5  icMultiply",
                                                  "6  icAssignGlobalConst",
                                                  "7* icPush 1",
                                                  "8  icGlobCall v",
                                                  "9  icPushLiteral 1",
                                                  "10  icCaseJmpIfEqual @18",
                                                  "11  icPushLiteral 2",
                                                  "12  icCaseJmpIfEqual @22",
                                                  "13  icPushLiteral 4",
                                                  "14  icPushLiteral 6",
                                                  "15  icCaseJmpIfInRange @22",
                                                  "16  icPop",
                                                  "17  icJump @26",
                                                  "18* icPush 1",
                                                  "19  icGlobCall a void",
                                                  "20  icPop",
                                                  "21  icJump @29",
                                                  "22* icPush 1",
                                                  "23  icGlobCall b void",
                                                  "24  icPop",
                                                  "25  icJump @29",
                                                  "26* icPush 1",
                                                  "27  icGlobCall c void",
                                                  "28  icPop",
                                                  "29  icRet"}));
}

// Operator chains of any length compile, emit and free without deep recursion.
TEST(PasCodegenTest, LongOperatorChainsEmitWithoutDeepRecursion) {
  std::u16string source = u"procedure P(a); begin if (a";
  for (int i = 0; i < 100000; ++i) source += u" + a";
  for (int i = 0; i < 100000; ++i) source += u" or a";
  source += u") and not (a = a = a) then a := 1; end;";
  auto compiled = Compile(source);
  const TQOBByteCode& code = ProcCode(*compiled);
  EXPECT_EQ(code.Count(), 400010);
  EXPECT_EQ(code.StackSize(), 2);
}

// Dynamic code: an expression leaves its value; a statement is a break location.
TEST(PasCodegenTest, DynamicExpressionsAndStatements) {
  TRecordingCallbacks cbs;
  TGlobalScope globals;
  TQOBPasParser exprParser(&cbs);
  auto expr = exprParser.ParseExpr(u"x > 1");
  TQOBByteCode exprCode;
  exprCode.BeginEmit(u"x > 1", &globals, 0);
  expr->Emit(&globals, &exprCode);
  exprCode.Emit(icAssignResult);
  exprCode.Emit(icRet);
  exprCode.EndEmit();
  EXPECT_EQ(Listing(exprCode), (Lines{"0  icPush 1", "1  icGlobCall x", "2  icPushLiteral 1",
                                      "3  icGreater", "4  icAssignResult", "5  icRet"}));

  TQOBPasParser stmtParser(&cbs);
  auto stmt = stmtParser.ParseStmt(u"x := 0");
  TQOBByteCode stmtCode;
  stmtCode.BeginEmit(u"x := 0", &globals, 0);
  stmt->Emit(&globals, &stmtCode);
  stmtCode.Emit(icRet);
  stmtCode.EndEmit();
  EXPECT_EQ(Listing(stmtCode), (Lines{"0* icPush0", "1  icAssignGlobCall x", "2  icRet"}));
}

// What the procedure and handler scopes answer at compile time, at run time
// and to a debugger.
TEST(PasCodegenTest, ScopesOfLocalsAndHandlerVariables) {
  auto compiled = Compile(
      u"function F(a; var b); var x, y; const C = 7; begin try except on E: Exception do ; end; "
      u"end;");
  auto& f = dynamic_cast<TQOBProcedureDecl&>(*compiled->Cbs.Globals[0]);
  TQOBProcLocalNamespace& scope = *f.FLocalNamespace;
  TQOBExcSubBlockNamespace& handler =
      *dynamic_cast<TQOBTryStmt&>(*f.FStmtList.FItems[0]).FExceptionBlock->FBlocks[0]->FNamespace;
  EXPECT_EQ(handler.Parent(), &scope);
  EXPECT_EQ(scope.Parent(), &compiled->Globals);

  auto describe = [](const TQOBNameSearchRes& r) {
    switch (r.ObjKind) {
      case srLocalVar:
        return "var" + std::to_string(r.LocalVarIndex);
      case srParam:
        return "arg" + std::to_string(r.ParamInfo.Index) + (r.ParamInfo.Kind == pkByRef ? "&" : "");
      case srLocalConst:
        return "const" + std::to_string(r.LocalConst->VInteger);
      case srResult:
        return std::string("result");
      case srNotFound:
        return std::string("none");
      default:
        return std::string("?");
    }
  };
  const std::vector<std::pair<std::u16string, std::string>> names = {
      {u"A", "arg0"},   {u"b", "arg1&"},       {u"x", "var0"}, {u"Y", "var1"},
      {u"c", "const7"}, {u"result", "result"}, {u"e", "var4"}, {u"Other", "none"}};
  for (const auto& [name, expected] : names) {
    const TQOBNameId id = QOBNameId(name);
    EXPECT_EQ(describe(handler.CompileTimeFind(id)), expected) << U8(name);
    EXPECT_EQ(describe(handler.Find(nullptr, id, WideString(name))), expected) << U8(name);
  }
  EXPECT_EQ(describe(scope.CompileTimeFind(QOBNameId(u"E"))), "none");

  std::vector<std::string> shown;
  handler.EnumDebugVars(true, [&](const WideString& AName, const TQOBNameSearchRes& ARes) {
    shown.push_back(U8(AName) + ":" + describe(ARes));
  });
  EXPECT_EQ(shown, (std::vector<std::string>{"a:arg0", "b:arg1&", "C:const7", "x:var0", "y:var1",
                                             "Result:result", "E:var4"}));
}

}  // namespace
}  // namespace qob
