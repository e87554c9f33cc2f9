// The parser of the Pascal-like language: recursive descent with one token
// of look-ahead, building the syntax tree and handing global objects and
// global statements to the parser callbacks. It stops at the first error.
#pragma once

#include <cstdint>
#include <memory>

#include "compiler/language.h"
#include "pascal/pas_ast_decl.h"
#include "pascal/pas_ast_expr.h"
#include "pascal/pas_ast_stmt.h"
#include "pascal/pas_scanner.h"

namespace qob {

enum TQOBPasParserTryState : uint8_t { ptsNowhere, ptsInTry, ptsInExcept, ptsInFinally };

// How deeply statements and expressions may nest. Parsing, code generation
// and destruction of the tree recurse along this nesting, so the bound keeps
// their native stack use small whatever the script.
inline constexpr int kPasMaxNestingDepth = 256;

// The tokens that may start a statement (the empty statement included) and an expression.
inline constexpr TQOBPasTokenSet kPasStatementStarts{
    TQOBPasToken::ptIdentifier, TQOBPasToken::ptBegin, TQOBPasToken::ptCase,  TQOBPasToken::ptElse,
    TQOBPasToken::ptEnd,        TQOBPasToken::ptFor,   TQOBPasToken::ptIf,    TQOBPasToken::ptRaise,
    TQOBPasToken::ptRepeat,     TQOBPasToken::ptTry,   TQOBPasToken::ptUntil, TQOBPasToken::ptWhile,
    TQOBPasToken::ptSemiColon};
inline constexpr TQOBPasTokenSet kPasExpressionStarts{
    TQOBPasToken::ptIdentifier, TQOBPasToken::ptCString,   TQOBPasToken::ptCInteger,
    TQOBPasToken::ptCFloat,     TQOBPasToken::ptArray,     TQOBPasToken::ptNil,
    TQOBPasToken::ptMinus,      TQOBPasToken::ptNot,       TQOBPasToken::ptPlus,
    TQOBPasToken::ptOpenBlock,  TQOBPasToken::ptOpenRound, TQOBPasToken::ptReference};

class TQOBPasParser final : public IQOBParserBase {
 public:
  explicit TQOBPasParser(IQOBParserCallbacks* ACbs);
  ~TQOBPasParser() override;

  void Parse(const WideString& ASource) override;
  std::unique_ptr<IQOBEmitable> ParseStmt(const WideString& ASource) override;
  std::unique_ptr<IQOBEmitable> ParseExpr(const WideString& ASource) override;

  TQOBPasScanner& Scanner() noexcept { return FScanner; }

 private:
  struct TName {
    TQOBNameId Id;
    WideString Text;
  };
  // Counts one level of statement or factor nesting for its lifetime.
  class TNestingGuard {
   public:
    explicit TNestingGuard(TQOBPasParser& AParser);
    ~TNestingGuard() { --FParser.FNestingDepth; }
    TNestingGuard(const TNestingGuard&) = delete;
    TNestingGuard& operator=(const TNestingGuard&) = delete;

   private:
    TQOBPasParser& FParser;
  };

  void Start(const WideString& ASource);
  TQOBPasToken Token() const noexcept { return FScanner.Token(); }
  bool At(TQOBPasToken AToken) const noexcept { return FScanner.Token() == AToken; }
  void Expect(TQOBPasTokenSet ASet) const;
  void Skip();
  void Take(TQOBPasTokenSet ASet);
  TName Name();
  [[noreturn]] void FailAtLastToken(const WideString& AMessage) const;
  [[noreturn]] void FailDuplicate(const WideString& AName) const;

  // Declarations (pas_parser.cpp).
  void ParseScript();
  void ParseUses();
  void ParseVarSection();
  void ParseConstSection();
  void ParseProcDecl();
  void ParseParamList(TQOBProcedureDecl& AProc);
  void ParseLocalVarSection(TQOBProcedureDecl& AProc);
  void ParseLocalConstSection(TQOBProcedureDecl& AProc);
  void AddLocal(TQOBProcedureDecl& AProc, std::unique_ptr<TQOBProcLocal> ALocal);
  void OfferGlobal(std::unique_ptr<TQOBGlobalObject> AObj);

  // Statements (pas_parser_stmt.cpp).
  void ParseStmtList(TQOBStmtList& AList);
  TQOBStatementPtr ParseStatement();
  TQOBStatementPtr ParseAssignmentOrCall();
  TQOBStatementPtr ParseCompound();
  TQOBStatementPtr ParseIf();
  TQOBStatementPtr ParseCase();
  void ParseCaseLabel(TQOBCaseSelector& ASelector);
  TQOBStatementPtr ParseRepeat();
  TQOBStatementPtr ParseWhile();
  TQOBStatementPtr ParseFor();
  TQOBStatementPtr ParseTry();
  std::unique_ptr<TQOBExceptionBlock> ParseExceptBlock();
  TQOBStatementPtr ParseRaise();

  // Expressions (pas_parser_expr.cpp).
  TQOBExpressionPtr ParseExpression();
  TQOBExpressionPtr ParseSimpleExpression();
  TQOBExpressionPtr ParseTerm();
  TQOBExpressionPtr ParseFactor();
  TQOBExpressionPtr ParseSetConstructor();
  TQOBExpressionPtr ParseArrayConstructor();
  std::unique_ptr<TQOBDesignatorExpr> ParseDesignator();
  void ParseArguments(TQOBDesignatorItem& AItem, TQOBPasToken AClose);
  TVarType ParseElementType();

  IQOBParserCallbacks* FCbs;
  TQOBPasScanner FScanner{true};
  TQOBPasParserTryState FTryState = ptsNowhere;
  int32_t FLastSkippedPos = 0;
  int FNestingDepth = 0;
};

}  // namespace qob
