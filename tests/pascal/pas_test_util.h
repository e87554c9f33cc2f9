// Helpers shared by the Pascal front-end tests: readable text, parser
// callbacks that record what the parser hands over, and a compact text form
// of syntax trees.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "compiler/language.h"
#include "compiler/name_table.h"
#include "ole/widestring.h"
#include "pascal/pas_ast_decl.h"

namespace qob::testing {

// UTF-8 of a UTF-16 text: comparisons then print readably when they fail.
inline std::string U8(std::u16string_view text) {
  return Utf16ToUtf8(text);
}

// 0-based line and 1-based column of a 1-based position; CR LF, CR and LF end lines.
inline std::pair<int, int> LineAndColumn(std::u16string_view text, int32_t pos) {
  int line = 0, column = 1;
  for (int32_t i = 0; i + 1 < pos && i < static_cast<int32_t>(text.size()); ++i) {
    const char16_t c = text[i];
    if (c == u'\r' && i + 1 < static_cast<int32_t>(text.size()) && text[i + 1] == u'\n') continue;
    if (c == u'\r' || c == u'\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return {line, column};
}

// Records what a whole-script compilation receives; refuses a second global
// of the same name like the machine does.
class TRecordingCallbacks : public IQOBParserCallbacks {
 public:
  TQOBNameId GetNameId(std::u16string_view AName) override { return QOBNameId(AName); }
  void GlobalStmtParsed(std::unique_ptr<IQOBEmitable> AStmt) override {
    Stmts.push_back(std::move(AStmt));
  }
  void GlobalObjParsed(std::unique_ptr<TQOBGlobalObject>& AObj, bool& ADuplicateName) override {
    for (const auto& g : Globals) {
      if (g->Name() == AObj->Name()) {
        ADuplicateName = true;
        return;
      }
    }
    ADuplicateName = false;
    Globals.push_back(std::move(AObj));
  }
  void UsedUnitParsed(const WideString& AName, bool& ADuplicateName) override {
    Units.push_back(U8(AName));
    ADuplicateName = RefuseUnits;
  }

  std::vector<std::unique_ptr<IQOBEmitable>> Stmts;
  std::vector<std::unique_ptr<TQOBGlobalObject>> Globals;
  std::vector<std::string> Units;
  bool RefuseUnits = false;
};

// A compact text form of a syntax tree: fully bracketed operators, designator
// items joined by '.', an unnamed item as '~'.
class TTreeDump {
 public:
  static std::string Of(const IQOBEmitable& ANode) {
    TTreeDump d;
    if (auto* e = dynamic_cast<const TQOBExpression*>(&ANode))
      d.Expr(*e);
    else if (auto* s = dynamic_cast<const TQOBStatement*>(&ANode))
      d.Stmt(*s);
    else if (auto* v = dynamic_cast<const TQOBGlobalVarIniter*>(&ANode))
      d.Out(U8(v->FVar->FStrName)).Out(" = ").Expr(*v->FIniter);
    else if (auto* c = dynamic_cast<const TQOBGlobalConstIniter*>(&ANode))
      d.Out("const ").Out(U8(c->FConst->FStrName)).Out(" = ").Expr(*c->FIniter);
    return d.FOut.str();
  }

 private:
  template <class T>
  TTreeDump& Out(const T& AValue) {
    FOut << AValue;
    return *this;
  }

  static const char* OpText(TQOBBinaryOp AOp) {
    static const char* const kTexts[] = {">",   ">=",  "=",   "<",   "<=",  "<>", "in",
                                         "is",  "+",   "-",   "or",  "xor", "*",  "/",
                                         "div", "mod", "and", "shl", "shr"};
    return kTexts[AOp];
  }

  void Literal(const Variant& AValue) {
    switch (AValue.Type()) {
      case varInteger:
        Out(AValue.VInteger);
        break;
      case varDouble:
        Out(AValue.VDouble);
        break;
      case varOleStr:
        Out("'").Out(U8(AValue.StringView())).Out("'");
        break;
      case varDispatch:
        Out("nil");
        break;
      default:
        Out("<vt ").Out(AValue.Type()).Out(">");
    }
  }

  TTreeDump& Exprs(const std::vector<TQOBExpressionPtr>& AList) {
    for (size_t i = 0; i < AList.size(); ++i) {
      if (i) Out(", ");
      Expr(*AList[i]);
    }
    return *this;
  }

  TTreeDump& Expr(const TQOBExpression& AExpr) {
    if (auto* l = dynamic_cast<const TQOBLiteral*>(&AExpr)) {
      Literal(l->FValue);
    } else if (auto* u = dynamic_cast<const TQOBUnaryExpr*>(&AExpr)) {
      Out(u->FOperator == uopNot ? "(not " : u->FOperator == uopMinus ? "(-" : "(+");
      Expr(*u->FExpr).Out(")");
    } else if (auto* b = dynamic_cast<const TQOBBinaryExpr*>(&AExpr)) {
      Out("(").Expr(*b->FLeftExpr).Out(" ").Out(OpText(b->FOperator)).Out(" ");
      Expr(*b->FRightExpr).Out(")");
    } else if (auto* d = dynamic_cast<const TQOBDesignatorExpr*>(&AExpr)) {
      for (size_t i = 0; i < d->FItems.size(); ++i) {
        const TQOBDesignatorItem& item = *d->FItems[i];
        if (i) Out(".");
        Out(item.IsNamed() ? U8(item.FStrName) : std::string("~"));
        if (item.FBracketType == bkRound) Out("(").Exprs(item.FArgs).Out(")");
        if (item.FBracketType == bkBlock) Out("[").Exprs(item.FArgs).Out("]");
      }
    } else if (auto* s = dynamic_cast<const TQOBPasSetExpr*>(&AExpr)) {
      Out("[");
      for (size_t i = 0; i < s->FSetElements.size(); ++i) {
        if (i) Out(", ");
        Expr(*s->FSetElements[i].FLeftExpr);
        if (s->FSetElements[i].FRightExpr) Out("..").Expr(*s->FSetElements[i].FRightExpr);
      }
      Out("]");
    } else if (auto* a = dynamic_cast<const TQOBArrayExpr*>(&AExpr)) {
      Out("array[");
      for (size_t i = 0; i < a->FArrayDims.size(); ++i) {
        if (i) Out(", ");
        Expr(*a->FArrayDims[i].FLeftExpr).Out("..").Expr(*a->FArrayDims[i].FRightExpr);
      }
      Out("] of ").Out(a->FElemVarType);
    } else if (auto* ev = dynamic_cast<const TQOBEventMakeExpr*>(&AExpr)) {
      Out("@").Out(U8(ev->FStrProcName));
    }
    return *this;
  }

  void List(const TQOBStmtList& AList) {
    for (size_t i = 0; i < AList.FItems.size(); ++i) {
      if (i) Out("; ");
      Stmt(*AList.FItems[i]);
    }
  }

  TTreeDump& Stmt(const TQOBStatement& AStmt) {
    if (dynamic_cast<const TQOBPasEmptyStmt*>(&AStmt)) {
      Out("<empty>");
    } else if (auto* a = dynamic_cast<const TQOBAssignmentStmt*>(&AStmt)) {
      Expr(*a->FLeftExpr).Out(" := ").Expr(*a->FRightExpr);
    } else if (auto* e = dynamic_cast<const TQOBExpressionStmt*>(&AStmt)) {
      Out("call ").Expr(*e->FExpr);
    } else if (auto* c = dynamic_cast<const TQOBCompound*>(&AStmt)) {
      Out("begin ");
      List(c->FStmtList);
      Out(" end");
    } else if (auto* i = dynamic_cast<const TQOBIfStmt*>(&AStmt)) {
      Out("if ").Expr(*i->FIfExpr).Out(" then ").Stmt(*i->FThenStmt);
      if (i->FElseStmt) Out(" else ").Stmt(*i->FElseStmt);
    } else if (auto* w = dynamic_cast<const TQOBWhileStmt*>(&AStmt)) {
      Out("while ").Expr(*w->FWhileExpr).Out(" do ").Stmt(*w->FStmt);
    } else if (auto* r = dynamic_cast<const TQOBRepeatStmt*>(&AStmt)) {
      Out("repeat ");
      List(r->FStmtList);
      Out(" until ").Expr(*r->FRepeatExpr);
    } else if (auto* f = dynamic_cast<const TQOBForStmt*>(&AStmt)) {
      Out("for ").Expr(*f->FVarExpr).Out(" := ").Expr(*f->FFromExpr);
      Out(f->FCounterKind == ckTo ? " to " : " downto ").Expr(*f->FToExpr);
      Out(" do ").Stmt(*f->FStmt);
    } else if (auto* cs = dynamic_cast<const TQOBCaseStmt*>(&AStmt)) {
      Out("case ").Expr(*cs->FCaseExpr).Out(" of ");
      for (const TQOBCaseSelector& sel : cs->FSelectors) {
        for (size_t k = 0; k < sel.FLabels.size(); ++k) {
          if (k) Out(", ");
          Expr(*sel.FLabels[k].FFirstExpr);
          if (sel.FLabels[k].FSecondExpr) Out("..").Expr(*sel.FLabels[k].FSecondExpr);
        }
        Out(": ").Stmt(*sel.FStmt).Out("; ");
      }
      if (!cs->FElseStmts.IsEmpty()) {
        Out("else ");
        List(cs->FElseStmts);
        Out(" ");
      }
      Out("end");
    } else if (auto* rs = dynamic_cast<const TQOBRaiseStmt*>(&AStmt)) {
      Out("raise");
      if (rs->FExpr) Out(" ").Expr(*rs->FExpr);
    } else if (auto* t = dynamic_cast<const TQOBTryStmt*>(&AStmt)) {
      Out("try ");
      List(t->FTryStmtList);
      if (t->FTryStmtType == ttFinally) {
        Out(" finally ");
        List(t->FFinallyStmtList);
      } else if (t->FExceptionBlock) {
        Out(" except");
        for (const auto& h : t->FExceptionBlock->FBlocks) {
          Out(" on ");
          if (h->HasVariable()) Out(U8(h->FStrName)).Out(": ");
          Expr(*h->FExpr).Out(" do ").Stmt(*h->FStmt).Out(";");
        }
        if (t->FExceptionBlock->FHasElse) {
          Out(" else ");
          List(t->FExceptionBlock->FElseStmtList);
        }
      } else {
        Out(" except ");
        List(t->FExceptStmtList);
      }
      Out(" end");
    }
    return *this;
  }

  std::ostringstream FOut;
};

}  // namespace qob::testing
