// Expression nodes of the Pascal-like syntax tree. Every node owns its
// operands; instructions emitted from a node may point into it, so a tree
// lives as long as the byte code made from it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "compiler/language.h"
#include "ole/variant.h"
#include "pascal/pas_emit_context.h"

namespace qob {

class TQOBExpression : public IQOBEmitable {
 public:
  explicit TQOBExpression(int32_t ASourcePos = 0) : FSourcePos(ASourcePos) {}

  // Dynamic code: the value stays on the stack; never a break location.
  void Emit(TQOBAbstractNamespace* ANamespace, TQOBByteCode* AByteCode) override;
  void EmitByteCode(TQOBContext& C) { EmitByteCode(C, erStack, nullptr); }
  void EmitByteCode(TQOBContext& C, TQOBExprEmitRes AEmitRes, TQOBLabel* AJmpLabel);
  // Leaves a reference where the expression names something assignable, else the value.
  void EmitRefByteCode(TQOBContext& C);

  int32_t FSourcePos;

 protected:
  friend class TQOBBinaryExpr;
  // AResPending stays true when the node left its value on the stack for the
  // caller to finish according to AEmitRes.
  virtual void DoEmitByteCode(TQOBContext& C, TQOBExprEmitRes AEmitRes, bool& AResPending,
                              TQOBLabel* AJmpLabel) = 0;
  virtual void DoEmitRefByteCode(TQOBContext& C) { EmitByteCode(C); }
};

using TQOBExpressionPtr = std::unique_ptr<TQOBExpression>;

class TQOBLiteral final : public TQOBExpression {
 public:
  TQOBLiteral(Variant AValue, int32_t ASourcePos)
      : TQOBExpression(ASourcePos), FValue(std::move(AValue)) {}

  Variant FValue;  // icPushLiteral points at it

 protected:
  void DoEmitByteCode(TQOBContext& C, TQOBExprEmitRes AEmitRes, bool& AResPending,
                      TQOBLabel* AJmpLabel) override;
};

enum TQOBUnaryOp : uint8_t { uopPlus, uopMinus, uopNot };

class TQOBUnaryExpr final : public TQOBExpression {
 public:
  TQOBUnaryExpr(TQOBUnaryOp AOperator, TQOBExpressionPtr AExpr)
      : FOperator(AOperator), FExpr(std::move(AExpr)) {}

  TQOBUnaryOp FOperator;
  TQOBExpressionPtr FExpr;

 protected:
  void DoEmitByteCode(TQOBContext& C, TQOBExprEmitRes AEmitRes, bool& AResPending,
                      TQOBLabel* AJmpLabel) override;
};

enum TQOBBinaryOp : uint8_t {
  bopGreater,
  bopGreaterEqual,
  bopEqual,
  bopLess,
  bopLessEqual,
  bopNotEqual,
  bopIn,
  bopIs,
  bopPlus,
  bopMinus,
  bopOr,
  bopXor,
  bopMultiply,
  bopDivide,
  bopDiv,
  bopMod,
  bopAnd,
  bopShl,
  bopShr,
};

// Operator chains are left-deep (`a - b - c` is `(a - b) - c`) and may be
// long; emission and destruction walk the left spine in a loop, so their
// native stack use does not grow with the chain.
class TQOBBinaryExpr final : public TQOBExpression {
 public:
  TQOBBinaryExpr(TQOBExpressionPtr ALeftExpr, TQOBExpressionPtr ARightExpr, TQOBBinaryOp AOperator,
                 int32_t ASourcePos)
      : TQOBExpression(ASourcePos),
        FLeftExpr(std::move(ALeftExpr)),
        FRightExpr(std::move(ARightExpr)),
        FOperator(AOperator) {}
  ~TQOBBinaryExpr() override;

  TQOBExpressionPtr FLeftExpr;
  TQOBExpressionPtr FRightExpr;
  TQOBBinaryOp FOperator;

 protected:
  void DoEmitByteCode(TQOBContext& C, TQOBExprEmitRes AEmitRes, bool& AResPending,
                      TQOBLabel* AJmpLabel) override;

 private:
  struct TSpineStep;
  // The part of this node that comes before its left operand: labels, and
  // how the left operand must be emitted.
  void PlanLeft(TQOBContext& C, TSpineStep& AStep) const;
  // The part after the left operand: the right operand and the operation.
  void EmitAfterLeft(TQOBContext& C, TSpineStep& AStep) const;
};

class TQOBDesignatorItem {
 public:
  TQOBDesignatorItem(TQOBNameId AName, WideString AStrName, int32_t ASourcePos)
      : FName(AName), FStrName(std::move(AStrName)), FSourcePos(ASourcePos) {}

  bool IsNamed() const noexcept { return !FStrName.empty(); }

  TQOBNameId FName;
  WideString FStrName;
  std::vector<TQOBExpressionPtr> FArgs;
  TQOBBracketType FBracketType = bkNon;
  int32_t FSourcePos;
  bool FIsResultUsed = true;
};

// A name followed by selectors: `a.b(1)[2]` is the items a, b(1) and [2].
class TQOBDesignatorExpr final : public TQOBExpression {
 public:
  using TQOBExpression::TQOBExpression;

  // Assignment: the last item receives the value of ARightExpr.
  void EmitAssignment(TQOBContext& C, TQOBExpression& ARightExpr);

  std::vector<std::unique_ptr<TQOBDesignatorItem>> FItems;

 protected:
  void DoEmitByteCode(TQOBContext& C, TQOBExprEmitRes AEmitRes, bool& AResPending,
                      TQOBLabel* AJmpLabel) override;
  void DoEmitRefByteCode(TQOBContext& C) override;

 private:
  enum class TMode { Value, Reference, Assignment };
  void EmitItems(TQOBContext& C, TMode AMode, TQOBExpression* ARightExpr);
};

struct TQOBSetElement {
  TQOBExpressionPtr FLeftExpr;
  TQOBExpressionPtr FRightExpr;  // null for a single element
  int32_t FSourcePos = 0;
};

// A set constructor `[a, b..c]`; a set is a 32-bit mask.
class TQOBPasSetExpr final : public TQOBExpression {
 public:
  std::vector<TQOBSetElement> FSetElements;

 protected:
  void DoEmitByteCode(TQOBContext& C, TQOBExprEmitRes AEmitRes, bool& AResPending,
                      TQOBLabel* AJmpLabel) override;
};

struct TQOBArrayDim {
  TQOBExpressionPtr FLeftExpr;   // low bound
  TQOBExpressionPtr FRightExpr;  // high bound
  int32_t FSourcePos = 0;
};

// An array constructor `array[lo..hi, n] of Type`.
class TQOBArrayExpr final : public TQOBExpression {
 public:
  std::vector<TQOBArrayDim> FArrayDims;
  TVarType FElemVarType = varVariant;

 protected:
  void DoEmitByteCode(TQOBContext& C, TQOBExprEmitRes AEmitRes, bool& AResPending,
                      TQOBLabel* AJmpLabel) override;
};

// `@Proc`: an event-handler value for a script procedure.
class TQOBEventMakeExpr final : public TQOBExpression {
 public:
  TQOBEventMakeExpr(TQOBNameId AProcName, WideString AStrProcName)
      : FProcName(AProcName), FStrProcName(std::move(AStrProcName)) {}

  TQOBNameId FProcName;
  WideString FStrProcName;  // icEventHandlerMake points at it

 protected:
  void DoEmitByteCode(TQOBContext& C, TQOBExprEmitRes AEmitRes, bool& AResPending,
                      TQOBLabel* AJmpLabel) override;
};

}  // namespace qob
