#include "pascal/pas_parser.h"

#include "pascal/pas_const_eval.h"
#include "pascal/pas_errors.h"

namespace qob {

using enum TQOBPasToken;

TQOBPasParser::TQOBPasParser(IQOBParserCallbacks* ACbs) : FCbs(ACbs) {}

TQOBPasParser::~TQOBPasParser() = default;

// --- Conventions -------------------------------------------------------------

TQOBPasParser::TNestingGuard::TNestingGuard(TQOBPasParser& AParser) : FParser(AParser) {
  if (++FParser.FNestingDepth > kPasMaxNestingDepth) {
    --FParser.FNestingDepth;
    throw EQOBPasCompiler(WideString(kPasMsgNestingTooDeep), FParser.FScanner.TokenStartPos());
  }
}

void TQOBPasParser::Start(const WideString& ASource) {
  FTryState = ptsNowhere;
  FNestingDepth = 0;
  FLastSkippedPos = 0;
  FScanner.Start(ASource);
}

void TQOBPasParser::Expect(TQOBPasTokenSet ASet) const {
  if (!ASet.Contains(Token()))
    throw EQOBPasCompiler(kPasMsgInvalidToken, FScanner.TokenEndPos(),
                          {TQOBPasScanner::TokenToStr(Token())});
}

void TQOBPasParser::Skip() {
  FLastSkippedPos = FScanner.TokenEndPos();
  FScanner.SkipToken();
}

void TQOBPasParser::Take(TQOBPasTokenSet ASet) {
  Expect(ASet);
  Skip();
}

TQOBPasParser::TName TQOBPasParser::Name() {
  Expect({ptIdentifier});
  TName name{FCbs->GetNameId(FScanner.SData()), FScanner.SData()};
  Skip();
  return name;
}

void TQOBPasParser::FailAtLastToken(const WideString& AMessage) const {
  throw EQOBPasCompiler(AMessage, FLastSkippedPos);
}

void TQOBPasParser::FailDuplicate(const WideString& AName) const {
  throw EQOBPasCompiler(kQOBDuplicateNameMsg, FLastSkippedPos, {AName});
}

// --- Entry points ------------------------------------------------------------

void TQOBPasParser::Parse(const WideString& ASource) {
  Start(ASource);
  ParseScript();
}

std::unique_ptr<IQOBEmitable> TQOBPasParser::ParseStmt(const WideString& ASource) {
  Start(ASource);
  TQOBStatementPtr stmt = ParseStatement();
  Take({ptEOf});
  return stmt;
}

std::unique_ptr<IQOBEmitable> TQOBPasParser::ParseExpr(const WideString& ASource) {
  Start(ASource);
  TQOBExpressionPtr expr = ParseExpression();
  Take({ptEOf});
  return expr;
}

// --- Declarations ------------------------------------------------------------

void TQOBPasParser::ParseScript() {
  Expect({ptBegin, ptConst, ptFunction, ptProcedure, ptUses, ptVar, ptEOf});
  if (At(ptUses)) ParseUses();
  for (;;) {
    if (At(ptVar))
      ParseVarSection();
    else if (At(ptConst))
      ParseConstSection();
    else if (At(ptFunction) || At(ptProcedure))
      ParseProcDecl();
    else
      break;
  }
  if (At(ptBegin)) {
    Skip();
    TQOBStmtList main;
    ParseStmtList(main);
    Take({ptEnd});
    Take({ptSemiColon});
    for (TQOBStatementPtr& stmt : main.FItems) FCbs->GlobalStmtParsed(std::move(stmt));
  }
  Take({ptEOf});
}

void TQOBPasParser::ParseUses() {
  Take({ptUses});
  for (;;) {
    TName name = Name();
    bool duplicate = false;
    FCbs->UsedUnitParsed(name.Text, duplicate);
    if (duplicate) FailDuplicate(name.Text);
    Expect({ptComma, ptSemiColon});
    if (!At(ptComma)) break;
    Skip();
  }
  Take({ptSemiColon});
}

void TQOBPasParser::OfferGlobal(std::unique_ptr<TQOBGlobalObject> AObj) {
  bool duplicate = false;
  FCbs->GlobalObjParsed(AObj, duplicate);
  if (duplicate) FailDuplicate(AObj->FStrName);  // the refused object is freed here
}

void TQOBPasParser::ParseVarSection() {
  Take({ptVar});
  do {
    for (;;) {
      TName name = Name();
      TQOBExpressionPtr initer;
      if (At(ptEqual)) {
        Skip();
        initer = ParseExpression();
      }
      // The variable is offered before its initialiser is handed on, so that
      // no initialiser ever refers to a variable that was refused and freed.
      auto var = std::make_unique<TQOBVarObject>(name.Id, name.Text);
      TQOBVarObject* varPtr = var.get();
      OfferGlobal(std::move(var));
      if (initer)
        FCbs->GlobalStmtParsed(std::make_unique<TQOBGlobalVarIniter>(varPtr, std::move(initer)));
      if (!At(ptComma)) break;
      Skip();
    }
    Take({ptSemiColon});
  } while (At(ptIdentifier));
}

void TQOBPasParser::ParseConstSection() {
  Take({ptConst});
  do {
    TName name = Name();
    Take({ptEqual});
    TQOBExpressionPtr initer = ParseExpression();
    auto constant = std::make_unique<TQOBConstObject>(name.Id, name.Text);
    TQOBConstObject* constPtr = constant.get();
    OfferGlobal(std::move(constant));
    FCbs->GlobalStmtParsed(std::make_unique<TQOBGlobalConstIniter>(constPtr, std::move(initer)));
    Take({ptSemiColon});
  } while (At(ptIdentifier));
}

void TQOBPasParser::ParseProcDecl() {
  Expect({ptFunction, ptProcedure});
  const TQOBProcKind kind = At(ptFunction) ? pkFunction : pkProcedure;
  Skip();
  TName name = Name();
  auto proc = std::make_unique<TQOBProcedureDecl>(name.Id, name.Text, kind, FLastSkippedPos);
  if (kind == pkFunction) {
    const WideString resultName(u"Result");
    AddLocal(*proc, std::make_unique<TQOBLocalResultDecl>(FCbs->GetNameId(resultName), resultName));
  }
  Expect({ptOpenRound, ptSemiColon});
  if (At(ptOpenRound)) {
    Skip();
    if (!At(ptCloseRound)) ParseParamList(*proc);
    Take({ptCloseRound});
  }
  Take({ptSemiColon});
  Expect({ptBegin, ptConst, ptVar});
  for (;;) {
    if (At(ptVar))
      ParseLocalVarSection(*proc);
    else if (At(ptConst))
      ParseLocalConstSection(*proc);
    else
      break;
  }
  Take({ptBegin});
  Expect(kPasStatementStarts);
  ParseStmtList(proc->FStmtList);
  Take({ptEnd});
  proc->FEndSourcePos = FLastSkippedPos;
  Take({ptSemiColon});
  OfferGlobal(std::move(proc));
}

void TQOBPasParser::ParseParamList(TQOBProcedureDecl& AProc) {
  for (;;) {
    TQOBParamKind kind = pkSimple;
    if (At(ptVar) || At(ptOut)) {
      kind = pkByRef;
      Skip();
    } else if (At(ptConst)) {
      kind = pkConst;
      Skip();
    }
    // A parameter's index is 16 bits wide in the byte code.
    if (AProc.FParams.size() > UINT16_MAX)
      throw EQOBPasCompiler(WideString(kPasMsgTooManyParams), FScanner.TokenStartPos());
    TName name = Name();
    AddLocal(AProc, std::make_unique<TQOBParamDecl>(name.Id, name.Text, kind));
    if (!At(ptSemiColon)) break;
    Skip();
  }
}

void TQOBPasParser::ParseLocalVarSection(TQOBProcedureDecl& AProc) {
  Take({ptVar});
  do {
    for (;;) {
      TName name = Name();
      auto var = std::make_unique<TQOBLocalVarDecl>(name.Id, name.Text);
      TQOBLocalVarDecl* varPtr = var.get();
      AddLocal(AProc, std::move(var));
      if (At(ptEqual)) {
        Skip();
        varPtr->FExpr = ParseExpression();
      }
      if (!At(ptComma)) break;
      Skip();
    }
    Take({ptSemiColon});
  } while (At(ptIdentifier));
}

void TQOBPasParser::ParseLocalConstSection(TQOBProcedureDecl& AProc) {
  Take({ptConst});
  do {
    TName name = Name();
    Take({ptEqual});
    auto constant = std::make_unique<TQOBLocalConstDecl>(name.Id, name.Text);
    constant->FExpr = ParseExpression();
    constant->FValue = PasEvalLocalConst(*constant->FExpr, AProc, *FCbs);
    AddLocal(AProc, std::move(constant));
    Take({ptSemiColon});
  } while (At(ptIdentifier));
}

void TQOBPasParser::AddLocal(TQOBProcedureDecl& AProc, std::unique_ptr<TQOBProcLocal> ALocal) {
  const WideString name = ALocal->FStrName;
  if (!AProc.AddLocal(std::move(ALocal))) FailDuplicate(name);
}

}  // namespace qob
