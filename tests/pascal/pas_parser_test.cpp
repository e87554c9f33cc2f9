#include "pascal/pas_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pas_test_util.h"
#include "pascal/pas_errors.h"

namespace qob {
namespace {

using testing::LineAndColumn;
using testing::TRecordingCallbacks;
using testing::TTreeDump;
using testing::U8;

std::string DumpExpr(std::u16string_view source) {
  TRecordingCallbacks cbs;
  TQOBPasParser parser(&cbs);
  return TTreeDump::Of(*parser.ParseExpr(WideString(source)));
}

std::string DumpStmt(std::u16string_view source) {
  TRecordingCallbacks cbs;
  TQOBPasParser parser(&cbs);
  return TTreeDump::Of(*parser.ParseStmt(WideString(source)));
}

struct DumpCase {
  std::u16string source;
  std::string tree;
};

TEST(PasParserTest, ExpressionsKeepPrecedenceAndAssociativity) {
  const std::vector<DumpCase> cases = {
      {u"a - b - c", "((a - b) - c)"},
      {u"a < b = c", "((a < b) = c)"},
      {u"-a * b", "((-a) * b)"},
      {u"not a = b", "((not a) = b)"},
      {u"+a", "(+a)"},
      {u"a + b * c", "(a + (b * c))"},
      {u"(a + b) * c", "((a + b) * c)"},
      {u"a or b and c", "(a or (b and c))"},
      {u"a xor b <> c >= d", "(((a xor b) <> c) >= d)"},
      {u"a shl 2 shr 1 mod 3 div 4 / 5", "(((((a shl 2) shr 1) mod 3) div 4) / 5)"},
      {u"x in [1] is y", "((x in [1]) is y)"},
      {u"a.b(1)[2]", "a.b(1).~[2]"},
      {u"f()", "f()"},
      {u"f(x)(y, z)", "f(x).~(y, z)"},
      {u"a[1, 2].c", "a[1, 2].c"},
      {u"[1, 3..5]", "[1, 3..5]"},
      {u"[]", "[]"},
      {u"array[3] of Integer", "array[0..3] of 3"},
      {u"ARRAY[1..2, 4] of STRING", "array[1..2, 0..4] of 8"},
      {u"array[n]", "array[0..n] of 12"},
      {u"array[1] of uint64", "array[0..1] of 21"},
      {u"@Handler", "@Handler"},
      {u"nil", "nil"},
      {u"'It''s'", "'It's'"},
      {u"1.5 + $FF", "(1.5 + 255)"},
  };
  for (const auto& c : cases) EXPECT_EQ(DumpExpr(c.source), c.tree) << U8(c.source);
}

TEST(PasParserTest, StatementsBuildTheirTrees) {
  const std::vector<DumpCase> cases = {
      {u"if a then if b then c else d", "if a then if b then call c else call d"},
      {u"if a then else b", "if a then <empty> else call b"},
      {u"case x of 1: a; 2, 3..4: b; else c; d end",
       "case x of 1: call a; 2, 3..4: call b; else call c; call d end"},
      {u"case x of 1: a; 2: ; end", "case x of 1: call a; 2: <empty>; end"},
      {u"for i := 10 downto 1 do s := s + i", "for i := 10 downto 1 do s := (s + i)"},
      {u"while a < 10 do begin a := a + 1; ; end", "while (a < 10) do begin a := (a + 1) end"},
      {u"repeat x := x + 1; until x > 3", "repeat x := (x + 1) until (x > 3)"},
      {u"try a; b; finally c end", "try call a; call b finally call c end"},
      {u"try except end", "try  except  end"},
      {u"try a; except on E: Exception do raise; on EAbort do b; else c end",
       "try call a except on E: Exception do raise; on EAbort do call b; else call c end"},
      {u"try a; except raise end", "try call a except raise end"},
      {u"try except try except raise end end", "try  except try  except raise end end"},
      {u"raise Exception.Create('x')", "raise Exception.Create('x')"},
      {u"x := f(x)", "x := f(x)"},
      {u"o.p[1] := v", "o.p[1] := v"},
      {u"begin end", "begin  end"},
  };
  for (const auto& c : cases) EXPECT_EQ(DumpStmt(c.source), c.tree) << U8(c.source);
}

TEST(PasParserTest, ScriptHandsOverGlobalsAndStatementsInOrder) {
  TRecordingCallbacks cbs;
  TQOBPasParser parser(&cbs);
  parser.Parse(
      u"uses Forms, Dialogs;\r\n"
      u"var a, b = 1, c;\r\n"
      u"const K = 2; Copy = 'x';\r\n"
      u"procedure P(a; var b; const c; out d);\r\n"
      u"var x = 1; const y = 2;\r\n"
      u"begin x := a; end;\r\n"
      u"function F();\r\nbegin Result := G(1); end;\r\n"
      u"function G(v); begin Result := v * 2; end;\r\n"
      u"begin a := F; ; P(1, b, 3, c); end;");
  EXPECT_EQ(cbs.Units, (std::vector<std::string>{"Forms", "Dialogs"}));

  struct Global {
    std::string name;
    TQOBGlobalObjType type;
    int32_t params;
    int32_t resMask;
  };
  std::vector<Global> globals;
  for (const auto& g : cbs.Globals) {
    auto* proc = dynamic_cast<TQOBProcedureDecl*>(g.get());
    globals.push_back({U8(g->FStrName), g->GetGlobalObjType(), proc ? proc->FParamCount : -1,
                       proc ? proc->FResMask : 0});
  }
  const std::vector<std::tuple<std::string, TQOBGlobalObjType, int32_t, int32_t>> expected = {
      {"a", gtVar, -1, 0},       {"b", gtVar, -1, 0},      {"c", gtVar, -1, 0},
      {"K", gtConst, -1, 0},     {"Copy", gtConst, -1, 0}, {"P", gtProcedure, 4, 0},
      {"F", gtProcedure, 0, -1}, {"G", gtProcedure, 1, -1}};
  ASSERT_EQ(globals.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(globals[i].name, std::get<0>(expected[i]));
    EXPECT_EQ(globals[i].type, std::get<1>(expected[i]));
    EXPECT_EQ(globals[i].params, std::get<2>(expected[i]));
    EXPECT_EQ(globals[i].resMask, std::get<3>(expected[i]));
  }

  std::vector<std::string> stmts;
  for (const auto& s : cbs.Stmts) stmts.push_back(TTreeDump::Of(*s));
  EXPECT_EQ(stmts, (std::vector<std::string>{"b = 1", "const K = 2", "const Copy = 'x'", "a := F",
                                             "call P(1, b, 3, c)"}));

  auto& p = dynamic_cast<TQOBProcedureDecl&>(*cbs.Globals[5]);
  ASSERT_EQ(p.FParams.size(), 4u);
  const std::vector<TQOBParamKind> kinds = {pkSimple, pkByRef, pkConst, pkByRef};
  for (size_t i = 0; i < kinds.size(); ++i) {
    EXPECT_EQ(p.FParams[i]->FParamInfo.Index, i);
    EXPECT_EQ(p.FParams[i]->FParamInfo.ParamKind(), kinds[i]);
  }
  EXPECT_EQ(p.FLocalVars.size(), 1u);
  EXPECT_EQ(p.FLocalConsts.size(), 1u);
  EXPECT_EQ(p.FLocalResult, nullptr);
  // P's name ends at 77, its `end` at 148.
  EXPECT_EQ(p.FSourcePos, 77);
  EXPECT_EQ(p.FEndSourcePos, 148);
  EXPECT_NE(dynamic_cast<TQOBProcedureDecl&>(*cbs.Globals[6]).FLocalResult, nullptr);
}

TEST(PasParserTest, EmptyAndDeclarationOnlyScriptsAreAccepted) {
  for (std::u16string source :
       {u"", u"  // nothing\r\n{ at all }", u"var x;", u"procedure P; begin end;", u"begin end;"}) {
    TRecordingCallbacks cbs;
    TQOBPasParser parser(&cbs);
    EXPECT_NO_THROW(parser.Parse(WideString(source))) << U8(source);
  }
}

TEST(PasParserTest, StatementPositionsAreTheEndsOfTheirKeyTokens) {
  struct PosCase {
    std::u16string source;
    int32_t pos;
  };
  const std::vector<PosCase> cases = {
      {u"x := 1", 4},
      {u"a.b(1)", 6},
      {u"if a then b", 2},
      {u"begin a end", 11},
      {u"while a do b", 5},
      {u"repeat a until b", 6},
      {u"for i := 1 to 2 do a", 3},
      {u"case x of 1: a; end", 4},
      {u"try finally end", 3},
      {u"raise x", 5},
  };
  for (const auto& c : cases) {
    TRecordingCallbacks cbs;
    TQOBPasParser parser(&cbs);
    auto stmt = parser.ParseStmt(WideString(c.source));
    EXPECT_EQ(dynamic_cast<TQOBStatement&>(*stmt).FSourcePos, c.pos) << U8(c.source);
  }
}

enum class Entry { Script, Stmt, Expr };

struct ErrorCase {
  Entry entry;
  std::u16string source;
  std::u16string message;
  int line;
  int column;
};

TEST(PasParserTest, SyntaxErrorsWithTheirLinesAndColumns) {
  const std::vector<ErrorCase> cases = {
      {Entry::Script, u"begin end.", u"Invalid token: '.'.", 0, 10},
      {Entry::Script, u"begin x := 1 end", u"Invalid token: 'end of file'.", 0, 17},
      {Entry::Script, u"x := 1;", u"Invalid token: 'identifier'.", 0, 1},
      {Entry::Script, u"var x; begin end; x := 1;", u"Invalid token: 'identifier'.", 0, 19},
      {Entry::Script, u"procedure P(a, b); begin end;", u"Invalid token: ','.", 0, 14},
      {Entry::Script, u"procedure P; procedure Q; begin end; begin end;",
       u"Invalid token: 'procedure'.", 0, 22},
      {Entry::Script, u"procedure P begin end;", u"Invalid token: 'begin'.", 0, 17},
      {Entry::Script, u"var x: Integer;", u"Invalid token: ':'.", 0, 6},
      {Entry::Script, u"begin case x of 1: a; 2: b end end;", u"Invalid token: 'end'.", 0, 30},
      {Entry::Script, u"begin\r\n  for a.b := 1 to 2 do ;\r\nend;", u"Invalid token: '.'.", 1, 8},
      {Entry::Script, u"begin\r\n  x := 1\r\n  y := 2;\r\nend;", u"Invalid token: 'identifier'.", 2,
       3},
      {Entry::Script, u"begin\n f(1 2);\nend;", u"Invalid token: 'number'.", 1, 6},
      {Entry::Script, u"begin a[]; end;", u"Invalid token: ']'.", 0, 9},
      {Entry::Script, u"begin x := [1,]; end;", u"Invalid token: ']'.", 0, 15},
      {Entry::Script, u"begin x := (1; end;", u"Invalid token: ';'.", 0, 14},
      {Entry::Script, u"begin on E do; end;", u"Invalid token: 'on'.", 0, 8},
      {Entry::Script, u"begin try end; end;", u"Invalid token: 'end'.", 0, 13},
      {Entry::Script, u"begin try a finally b end; end;", u"Invalid token: 'finally'.", 0, 19},
      {Entry::Script, u"begin x := 1.5e; end;", u"Syntax error in float constant", 0, 16},
      {Entry::Script, u"begin x := 'abc\r\nend;", u"Unterminated string", 0, 15},
      {Entry::Script, u"begin raise; end;", kPasMsgReraiseOutsideHandler.data(), 0, 11},
      {Entry::Script, u"begin try raise; except end; end;", kPasMsgReraiseOutsideHandler.data(), 0,
       15},
      {Entry::Script, u"begin try finally raise; end; end;", kPasMsgReraiseOutsideHandler.data(), 0,
       23},
      {Entry::Script, u"begin try except try raise; finally end; end; end;",
       kPasMsgReraiseOutsideHandler.data(), 0, 26},
      {Entry::Script, u"begin x := array[1] of Foo; end;", u"Type identifier expected", 0, 26},
      {Entry::Script, u"begin x := array[1] of 5; end;", u"Invalid token: 'number'.", 0, 24},
      {Entry::Script, u"var x; var X;", u"Object or value named 'X' already exists.", 0, 12},
      {Entry::Script, u"var Copy, copy;", u"Object or value named 'copy' already exists.", 0, 14},
      {Entry::Script, u"const c = 1;\nprocedure C; begin end;",
       u"Object or value named 'C' already exists.", 1, 23},
      {Entry::Script, u"function F; var Result; begin end;",
       u"Object or value named 'Result' already exists.", 0, 22},
      {Entry::Script, u"procedure P(a; var A); begin end;",
       u"Object or value named 'A' already exists.", 0, 20},
      {Entry::Script, u"procedure P(a); const a = 1; begin end;",
       u"Object or value named 'a' already exists.", 0, 27},
      {Entry::Stmt, u"x := 1;", u"Invalid token: ';'.", 0, 7},
      {Entry::Stmt, u"", u"Invalid token: 'end of file'.", 0, 1},
      {Entry::Stmt, u"if a then", u"Invalid token: 'end of file'.", 0, 10},
      {Entry::Stmt, u"case x of else a end", u"Invalid token: 'else'.", 0, 14},
      {Entry::Stmt, u"x := 1 2", u"Invalid token: 'number'.", 0, 8},
      {Entry::Expr, u"1 +", u"Invalid token: 'end of file'.", 0, 4},
      {Entry::Expr, u"a b", u"Invalid token: 'identifier'.", 0, 3},
      {Entry::Expr, u"a := 1", u"Invalid token: ':='.", 0, 4},
      {Entry::Expr, u"@1", u"Invalid token: 'number'.", 0, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.source));
    TRecordingCallbacks cbs;
    TQOBPasParser parser(&cbs);
    try {
      const WideString source(c.source);
      if (c.entry == Entry::Script) parser.Parse(source);
      if (c.entry == Entry::Stmt) parser.ParseStmt(source);
      if (c.entry == Entry::Expr) parser.ParseExpr(source);
      ADD_FAILURE() << "no error";
    } catch (const EQOBPasCompiler& e) {
      EXPECT_EQ(U8(e.Message()), U8(c.message));
      EXPECT_EQ(LineAndColumn(c.source, e.SourcePos()), std::make_pair(c.line, c.column));
    }
  }
}

TEST(PasParserTest, RefusedUsedUnitIsADuplicate) {
  TRecordingCallbacks cbs;
  cbs.RefuseUnits = true;
  TQOBPasParser parser(&cbs);
  try {
    parser.Parse(u"uses Forms;");
    ADD_FAILURE() << "no error";
  } catch (const EQOBPasCompiler& e) {
    EXPECT_EQ(U8(e.Message()), "Object or value named 'Forms' already exists.");
    EXPECT_EQ(e.SourcePos(), 10);
  }
}

// Truncated or damaged text ends in a compile error, never in a crash, a
// hang or another kind of exception.
TEST(PasParserTest, TruncatedAndDamagedScriptsFailCleanly) {
  const std::u16string script =
      u"uses U; var a = [1, 2..3], b; const c = 'x''y'#13;\r\n"
      u"function F(p; var q; const r); var i = 0; const k = -2 * 3;\r\n"
      u"begin for i := 1 to 10 do begin if not (p > q) or (r = k) then Continue else Break; "
      u"end;\r\n"
      u"  case p of 1, 2..3: q := @F; else q := array[1..2, 3] of Double; end;\r\n"
      u"  repeat q := q.x(1)[2].y; until True; while False do ;\r\n"
      u"  try raise Exception.Create('e'); except on E: Exception do raise; else ; end;\r\n"
      u"  try Exit; finally (* c *) { d } // e\r\n end; Result := $FF + 1.5e3; end;\r\n"
      u"begin a := F(1, b, 2); end;";
  {
    TRecordingCallbacks cbs;
    TQOBPasParser parser(&cbs);
    ASSERT_NO_THROW(parser.Parse(WideString(script)));
  }
  auto parseFailsCleanly = [](const std::u16string& source) {
    TRecordingCallbacks cbs;
    TQOBPasParser parser(&cbs);
    try {
      parser.Parse(WideString(source));
    } catch (const EQOBPasCompiler& e) {
      EXPECT_GE(e.SourcePos(), 1) << U8(source);
      EXPECT_LE(e.SourcePos(), static_cast<int32_t>(source.size()) + 1) << U8(source);
    }
  };
  for (size_t length = 0; length < script.size(); ++length)
    parseFailsCleanly(script.substr(0, length));
  for (size_t at = 0; at < script.size(); at += 7)
    for (char16_t stray : {u'"', u'}', u'\0', u'\'', u'(', u'$', u'#'})
      parseFailsCleanly(script.substr(0, at) + stray + script.substr(at));
}

// A refused variable is freed by the parser; its initial value must not have
// been handed on, or the global code would write to a freed object.
TEST(PasParserTest, RefusedVariableHandsOnNoInitialiser) {
  TRecordingCallbacks cbs;
  TQOBPasParser parser(&cbs);
  EXPECT_THROW(parser.Parse(u"var x = 1; var X = 2;"), EQOBPasCompiler);
  ASSERT_EQ(cbs.Stmts.size(), 1u);
  EXPECT_EQ(TTreeDump::Of(*cbs.Stmts[0]), "x = 1");
}

// Deeply nested input ends in a compile error; long flat chains do not nest.
TEST(PasParserTest, NestingIsBoundedAndChainsAreNot) {
  auto repeat = [](std::u16string_view part, int times) {
    std::u16string text;
    for (int i = 0; i < times; ++i) text += part;
    return text;
  };
  const std::u16string tooDeep[] = {
      u"begin x := " + repeat(u"(", 5000) + u"1" + repeat(u")", 5000) + u"; end;",
      u"begin " + repeat(u"begin ", 5000) + repeat(u"end ", 5000) + u"end;",
      u"begin x := " + repeat(u"-", 5000) + u"1; end;",
      u"begin x := " + repeat(u"f(", 5000) + u"1" + repeat(u")", 5000) + u"; end;",
      u"begin " + repeat(u"if a then x else ", 5000) + u"y; end;",
      u"begin x := " + repeat(u"[", 5000) + u"1" + repeat(u"]", 5000) + u"; end;",
  };
  for (const std::u16string& source : tooDeep) {
    TRecordingCallbacks cbs;
    TQOBPasParser parser(&cbs);
    try {
      parser.Parse(WideString(source));
      ADD_FAILURE() << "no error for " << U8(source.substr(0, 30));
    } catch (const EQOBPasCompiler& e) {
      EXPECT_EQ(U8(e.Message()), U8(kPasMsgNestingTooDeep));
    }
  }

  TRecordingCallbacks cbs;
  TQOBPasParser parser(&cbs);
  const std::u16string nested = repeat(u"(", 200) + u"1" + repeat(u")", 200);
  const std::u16string chain =
      u"x := a" + repeat(u" + a", 200000) + u" or b" + repeat(u" = c", 1000);
  EXPECT_EQ(DumpExpr(nested), "1");
  EXPECT_NO_THROW(parser.ParseStmt(WideString(chain)));  // parsed and freed

  // Parameter indexes are 16 bits: one parameter more is an error, not an alias.
  std::u16string params;
  for (int i = 0; i <= 65536; ++i) {
    params += i ? u"; P" : u"P";
    params += WideString::FromUtf8(std::to_string(i)).view();
  }
  try {
    parser.Parse(WideString(u"procedure Many(" + params + u"); begin end;"));
    ADD_FAILURE() << "65537 parameters accepted";
  } catch (const EQOBPasCompiler& e) {
    EXPECT_EQ(U8(e.Message()), "Too many parameters");
  }
}

TEST(PasParserTest, LocalConstantsTakeTheValuesOfTheirExpressions) {
  TRecordingCallbacks cbs;
  TQOBPasParser parser(&cbs);
  parser.Parse(
      u"function F;\n"
      u"const A = 2; B = -A * 3 + 1; S = [1, 3..5]; T = not True; N = nil;\n"
      u"  U = 'a' + 'b'; V = (A > 1) and (B < 0); W = 0 or A; E = 7 div 2 in [3];\n"
      u"begin end;");
  auto& f = dynamic_cast<TQOBProcedureDecl&>(*cbs.Globals.at(0));
  std::vector<std::string> values;
  for (const TQOBLocalConstDecl* c : f.FLocalConsts) {
    const Variant& v = c->FValue;
    std::string text = U8(c->FStrName) + "=";
    switch (v.Type()) {
      case varInteger:
        text += std::to_string(v.VInteger);
        break;
      case varBoolean:
        text += v.VBoolean ? "True" : "False";
        break;
      case varOleStr:
        text += U8(v.StringView());
        break;
      case varDispatch:
        text += v.VDispatch ? "object" : "nil";
        break;
      default:
        text += "vt" + std::to_string(v.Type());
    }
    values.push_back(text);
  }
  EXPECT_EQ(values, (std::vector<std::string>{"A=2", "B=-5", "S=58", "T=False", "N=nil", "U=ab",
                                              "V=True", "W=2", "E=True"}));
}

TEST(PasParserTest, LocalConstantsThatCannotBeComputedAreErrors) {
  const std::vector<ErrorCase> cases = {
      {Entry::Script, u"procedure P; const C = X; begin end;", u"Constant expression expected", 0,
       24},
      {Entry::Script, u"procedure P(a); const C = 1 + a; begin end;",
       u"Constant expression expected", 0, 31},
      {Entry::Script, u"procedure P; const C = F(1); begin end;", u"Constant expression expected",
       0, 27},
      {Entry::Script, u"procedure P; const C = [1, 40]; begin end;",
       u"Constant expression violates subrange bounds", 0, 29},
      {Entry::Script, u"procedure P; const C = 1 div 0; begin end;", u"Division by zero", 0, 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.source));
    TRecordingCallbacks cbs;
    TQOBPasParser parser(&cbs);
    try {
      parser.Parse(WideString(c.source));
      ADD_FAILURE() << "no error";
    } catch (const EQOBPasCompiler& e) {
      EXPECT_EQ(U8(e.Message()), U8(c.message));
      EXPECT_EQ(LineAndColumn(c.source, e.SourcePos()), std::make_pair(c.line, c.column));
    }
  }
}

}  // namespace
}  // namespace qob
