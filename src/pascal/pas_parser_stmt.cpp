// Statements of the Pascal-like grammar.
#include "pascal/pas_errors.h"
#include "pascal/pas_parser.h"

namespace qob {

using enum TQOBPasToken;

void TQOBPasParser::ParseStmtList(TQOBStmtList& AList) {
  for (;;) {
    TQOBStatementPtr stmt = ParseStatement();
    if (!dynamic_cast<TQOBPasEmptyStmt*>(stmt.get())) AList.Add(std::move(stmt));
    if (At(ptElse) || At(ptEnd) || At(ptUntil)) return;
    Take({ptSemiColon});
    if (!kPasStatementStarts.Contains(Token())) return;
  }
}

TQOBStatementPtr TQOBPasParser::ParseStatement() {
  TNestingGuard nesting(*this);
  Expect(kPasStatementStarts);
  switch (Token()) {
    case ptIdentifier:
      return ParseAssignmentOrCall();
    case ptBegin:
      return ParseCompound();
    case ptIf:
      return ParseIf();
    case ptCase:
      return ParseCase();
    case ptRepeat:
      return ParseRepeat();
    case ptWhile:
      return ParseWhile();
    case ptFor:
      return ParseFor();
    case ptTry:
      return ParseTry();
    case ptRaise:
      return ParseRaise();
    default:
      Expect({ptElse, ptEnd, ptUntil, ptSemiColon});
      return std::make_unique<TQOBPasEmptyStmt>(FScanner.TokenStartPos());
  }
}

TQOBStatementPtr TQOBPasParser::ParseAssignmentOrCall() {
  std::unique_ptr<TQOBDesignatorExpr> designator = ParseDesignator();
  if (At(ptAssignment)) {
    Skip();
    auto stmt = std::make_unique<TQOBAssignmentStmt>(FLastSkippedPos);
    stmt->FLeftExpr = std::move(designator);
    stmt->FRightExpr = ParseExpression();
    return stmt;
  }
  auto stmt = std::make_unique<TQOBExpressionStmt>(designator->FSourcePos);
  stmt->FExpr = std::move(designator);
  return stmt;
}

TQOBStatementPtr TQOBPasParser::ParseCompound() {
  Take({ptBegin});
  auto stmt = std::make_unique<TQOBCompound>();
  Expect(kPasStatementStarts);
  ParseStmtList(stmt->FStmtList);
  Take({ptEnd});
  stmt->FSourcePos = FLastSkippedPos;
  return stmt;
}

TQOBStatementPtr TQOBPasParser::ParseIf() {
  Take({ptIf});
  auto stmt = std::make_unique<TQOBIfStmt>(FLastSkippedPos);
  stmt->FIfExpr = ParseExpression();
  Take({ptThen});
  stmt->FThenStmt = ParseStatement();
  if (At(ptElse)) {
    Skip();
    stmt->FElseStmt = ParseStatement();
  }
  return stmt;
}

TQOBStatementPtr TQOBPasParser::ParseCase() {
  Take({ptCase});
  auto stmt = std::make_unique<TQOBCaseStmt>(FLastSkippedPos);
  stmt->FCaseExpr = ParseExpression();
  Take({ptOf});
  do {
    TQOBCaseSelector& selector = stmt->FSelectors.emplace_back();
    ParseCaseLabel(selector);
    Expect({ptColon, ptComma});
    while (At(ptComma)) {
      Skip();
      ParseCaseLabel(selector);
    }
    Take({ptColon});
    selector.FStmt = ParseStatement();
    Take({ptSemiColon});
    if (stmt->FSelectors.size() == 1) Expect(kPasExpressionStarts + TQOBPasTokenSet{ptElse, ptEnd});
  } while (kPasExpressionStarts.Contains(Token()));
  if (At(ptElse)) {
    Skip();
    Expect(kPasStatementStarts);
    ParseStmtList(stmt->FElseStmts);
  }
  Take({ptEnd});
  return stmt;
}

void TQOBPasParser::ParseCaseLabel(TQOBCaseSelector& ASelector) {
  TQOBCaseLabel& label = ASelector.FLabels.emplace_back();
  label.FFirstExpr = ParseExpression();
  if (At(ptDoublePeriod)) {
    Skip();
    label.FSecondExpr = ParseExpression();
  }
  label.FSourcePos = FLastSkippedPos;
}

TQOBStatementPtr TQOBPasParser::ParseRepeat() {
  Take({ptRepeat});
  auto stmt = std::make_unique<TQOBRepeatStmt>(FLastSkippedPos);
  ParseStmtList(stmt->FStmtList);
  Take({ptUntil});
  stmt->FRepeatExpr = ParseExpression();
  return stmt;
}

TQOBStatementPtr TQOBPasParser::ParseWhile() {
  Take({ptWhile});
  auto stmt = std::make_unique<TQOBWhileStmt>(FLastSkippedPos);
  stmt->FWhileExpr = ParseExpression();
  Take({ptDo});
  stmt->FStmt = ParseStatement();
  return stmt;
}

TQOBStatementPtr TQOBPasParser::ParseFor() {
  Take({ptFor});
  auto stmt = std::make_unique<TQOBForStmt>(FLastSkippedPos);
  TName name = Name();
  stmt->FVarExpr = std::make_unique<TQOBDesignatorExpr>(stmt->FSourcePos);
  stmt->FVarExpr->FItems.push_back(
      std::make_unique<TQOBDesignatorItem>(name.Id, name.Text, stmt->FSourcePos));
  Take({ptAssignment});
  stmt->FFromExpr = ParseExpression();
  Expect({ptTo, ptDownto});
  stmt->FCounterKind = At(ptTo) ? ckTo : ckDownto;
  Skip();
  stmt->FToExpr = ParseExpression();
  Take({ptDo});
  stmt->FStmt = ParseStatement();
  return stmt;
}

TQOBStatementPtr TQOBPasParser::ParseTry() {
  // The enclosing state comes back however the rule is left.
  struct TRestore {
    TQOBPasParserTryState& State;
    TQOBPasParserTryState Saved;
    ~TRestore() { State = Saved; }
  } restore{FTryState, FTryState};

  Take({ptTry});
  auto stmt = std::make_unique<TQOBTryStmt>(FLastSkippedPos);
  Expect(kPasStatementStarts + TQOBPasTokenSet{ptExcept, ptFinally});
  if (kPasStatementStarts.Contains(Token())) {
    FTryState = ptsInTry;
    ParseStmtList(stmt->FTryStmtList);
  }
  Expect({ptExcept, ptFinally});
  if (At(ptExcept)) {
    Skip();
    FTryState = ptsInExcept;
    stmt->FTryStmtType = ttExcept;
    if (At(ptOn) || At(ptElse))
      stmt->FExceptionBlock = ParseExceptBlock();
    else
      ParseStmtList(stmt->FExceptStmtList);
  } else {
    Take({ptFinally});
    FTryState = ptsInFinally;
    stmt->FTryStmtType = ttFinally;
    ParseStmtList(stmt->FFinallyStmtList);
  }
  Take({ptEnd});
  return stmt;
}

std::unique_ptr<TQOBExceptionBlock> TQOBPasParser::ParseExceptBlock() {
  auto block = std::make_unique<TQOBExceptionBlock>();
  while (At(ptOn)) {
    Take({ptOn});
    const int32_t onPos = FLastSkippedPos;
    Expect(kPasExpressionStarts);
    TName variable{kQOBNoName, {}};
    if (At(ptIdentifier)) {
      const size_t savepoint = FScanner.GetSavepoint();
      FScanner.SkipToken();
      const bool declaresVariable = At(ptColon);
      FScanner.Rollback(savepoint);
      if (declaresVariable) {
        variable = Name();
        Take({ptColon});
      }
    }
    auto handler = std::make_unique<TQOBExceptionSubBlock>(variable.Id, variable.Text, onPos);
    handler->FExpr = ParseExpression();
    Take({ptDo});
    handler->FStmt = ParseStatement();
    Take({ptSemiColon});
    block->FBlocks.push_back(std::move(handler));
  }
  if (At(ptElse)) {
    Skip();
    block->FHasElse = true;
    block->FElseSourcePos = FLastSkippedPos;
    ParseStmtList(block->FElseStmtList);
  }
  return block;
}

TQOBStatementPtr TQOBPasParser::ParseRaise() {
  Take({ptRaise});
  auto stmt = std::make_unique<TQOBRaiseStmt>(FLastSkippedPos);
  if (kPasExpressionStarts.Contains(Token()))
    stmt->FExpr = ParseExpression();
  else if (FTryState != ptsInExcept)
    FailAtLastToken(WideString(kPasMsgReraiseOutsideHandler));
  return stmt;
}

}  // namespace qob
