// Statement nodes of the Pascal-like syntax tree. Each statement's first
// instruction is a break location at the statement's position, unless the
// statement clears the mark.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "compiler/language.h"
#include "pascal/pas_ast_expr.h"
#include "pascal/pas_emit_context.h"

namespace qob {

class TQOBExcSubBlockNamespace;

class TQOBStatement : public IQOBEmitable {
 public:
  explicit TQOBStatement(int32_t ASourcePos = 0) : FSourcePos(ASourcePos) {}

  void Emit(TQOBAbstractNamespace* ANamespace, TQOBByteCode* AByteCode) override;
  void EmitByteCode(TQOBContext& C);

  int32_t FSourcePos;

 protected:
  virtual void DoEmitByteCode(TQOBContext& C) = 0;
};

using TQOBStatementPtr = std::unique_ptr<TQOBStatement>;

class TQOBStmtList {
 public:
  void Add(TQOBStatementPtr AStmt) { FItems.push_back(std::move(AStmt)); }
  void EmitByteCode(TQOBContext& C);
  bool IsEmpty() const noexcept { return FItems.empty(); }

  std::vector<TQOBStatementPtr> FItems;
};

// The empty statement: no code and no break location.
class TQOBPasEmptyStmt final : public TQOBStatement {
 public:
  using TQOBStatement::TQOBStatement;

 protected:
  void DoEmitByteCode(TQOBContext& C) override;
};

class TQOBCompound final : public TQOBStatement {
 public:
  using TQOBStatement::TQOBStatement;
  TQOBStmtList FStmtList;

 protected:
  void DoEmitByteCode(TQOBContext& C) override;
};

class TQOBIfStmt final : public TQOBStatement {
 public:
  using TQOBStatement::TQOBStatement;
  TQOBExpressionPtr FIfExpr;
  TQOBStatementPtr FThenStmt;
  TQOBStatementPtr FElseStmt;  // may be null

 protected:
  void DoEmitByteCode(TQOBContext& C) override;
};

struct TQOBCaseLabel {
  TQOBExpressionPtr FFirstExpr;
  TQOBExpressionPtr FSecondExpr;  // null unless a range
  int32_t FSourcePos = 0;
};

struct TQOBCaseSelector {
  std::vector<TQOBCaseLabel> FLabels;
  TQOBStatementPtr FStmt;
};

class TQOBCaseStmt final : public TQOBStatement {
 public:
  using TQOBStatement::TQOBStatement;
  TQOBExpressionPtr FCaseExpr;
  std::vector<TQOBCaseSelector> FSelectors;
  TQOBStmtList FElseStmts;

 protected:
  void DoEmitByteCode(TQOBContext& C) override;
};

class TQOBRepeatStmt final : public TQOBStatement {
 public:
  using TQOBStatement::TQOBStatement;
  TQOBStmtList FStmtList;
  TQOBExpressionPtr FRepeatExpr;

 protected:
  void DoEmitByteCode(TQOBContext& C) override;
};

class TQOBWhileStmt final : public TQOBStatement {
 public:
  using TQOBStatement::TQOBStatement;
  TQOBStatementPtr FStmt;
  TQOBExpressionPtr FWhileExpr;

 protected:
  void DoEmitByteCode(TQOBContext& C) override;
};

enum TQOBForCounterKind : uint8_t { ckTo, ckDownto };

class TQOBForStmt final : public TQOBStatement {
 public:
  using TQOBStatement::TQOBStatement;
  std::unique_ptr<TQOBDesignatorExpr> FVarExpr;  // one item: the loop variable
  TQOBForCounterKind FCounterKind = ckTo;
  TQOBExpressionPtr FFromExpr;
  TQOBExpressionPtr FToExpr;
  TQOBStatementPtr FStmt;

 protected:
  void DoEmitByteCode(TQOBContext& C) override;
};

class TQOBAssignmentStmt final : public TQOBStatement {
 public:
  using TQOBStatement::TQOBStatement;
  std::unique_ptr<TQOBDesignatorExpr> FLeftExpr;
  TQOBExpressionPtr FRightExpr;

 protected:
  void DoEmitByteCode(TQOBContext& C) override;
};

// A designator used as a statement (a call whose result is dropped).
class TQOBExpressionStmt final : public TQOBStatement {
 public:
  using TQOBStatement::TQOBStatement;
  std::unique_ptr<TQOBDesignatorExpr> FExpr;

 protected:
  void DoEmitByteCode(TQOBContext& C) override;
};

class TQOBRaiseStmt final : public TQOBStatement {
 public:
  using TQOBStatement::TQOBStatement;
  TQOBExpressionPtr FExpr;  // null: re-raise the handled exception

 protected:
  void DoEmitByteCode(TQOBContext& C) override;
};

// `on [E:] Class do Stmt`; the name is the handler variable's, or -1.
class TQOBExceptionSubBlock final : public TQOBNamedItem {
 public:
  TQOBExceptionSubBlock(TQOBNameId AName, WideString AStrName, int32_t ASourcePos);
  ~TQOBExceptionSubBlock() override;

  bool HasVariable() const noexcept { return FName != kQOBNoName; }

  TQOBExpressionPtr FExpr;  // the exception class
  TQOBStatementPtr FStmt;
  int32_t FSourcePos;
  WideString FStrName;
  std::unique_ptr<TQOBExcSubBlockNamespace> FNamespace;  // made at code generation
};

struct TQOBExceptionBlock {
  TQOBStmtList FElseStmtList;
  std::vector<std::unique_ptr<TQOBExceptionSubBlock>> FBlocks;
  bool FHasElse = false;
  int32_t FElseSourcePos = 0;
};

enum TQOBTryStmtType : uint8_t { ttFinally, ttExcept };

class TQOBTryStmt final : public TQOBStatement {
 public:
  using TQOBStatement::TQOBStatement;
  TQOBStmtList FTryStmtList;
  TQOBStmtList FExceptStmtList;
  std::unique_ptr<TQOBExceptionBlock> FExceptionBlock;  // with `on` handlers or else
  TQOBStmtList FFinallyStmtList;
  TQOBTryStmtType FTryStmtType = ttExcept;

 protected:
  void DoEmitByteCode(TQOBContext& C) override;

 private:
  void EmitTryExcept(TQOBContext& C);
  void EmitHandlers(TQOBContext& C, TQOBTry* T, TQOBLabel* Lend);
  void EmitTryFinally(TQOBContext& C);
};

}  // namespace qob
