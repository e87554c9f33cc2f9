// Expressions and designators of the Pascal-like grammar.
#include <array>

#include "pascal/pas_errors.h"
#include "pascal/pas_parser.h"

namespace qob {

using enum TQOBPasToken;

namespace {

bool RelationalOp(TQOBPasToken AToken, TQOBBinaryOp& AOp) {
  switch (AToken) {
    case ptEqual:
      AOp = bopEqual;
      return true;
    case ptGreater:
      AOp = bopGreater;
      return true;
    case ptGreaterEqual:
      AOp = bopGreaterEqual;
      return true;
    case ptIn:
      AOp = bopIn;
      return true;
    case ptIs:
      AOp = bopIs;
      return true;
    case ptLess:
      AOp = bopLess;
      return true;
    case ptLessEqual:
      AOp = bopLessEqual;
      return true;
    case ptNotEqual:
      AOp = bopNotEqual;
      return true;
    default:
      return false;
  }
}

bool AddingOp(TQOBPasToken AToken, TQOBBinaryOp& AOp) {
  switch (AToken) {
    case ptMinus:
      AOp = bopMinus;
      return true;
    case ptOr:
      AOp = bopOr;
      return true;
    case ptPlus:
      AOp = bopPlus;
      return true;
    case ptXor:
      AOp = bopXor;
      return true;
    default:
      return false;
  }
}

bool MultiplyingOp(TQOBPasToken AToken, TQOBBinaryOp& AOp) {
  switch (AToken) {
    case ptAnd:
      AOp = bopAnd;
      return true;
    case ptDiv:
      AOp = bopDiv;
      return true;
    case ptDivide:
      AOp = bopDivide;
      return true;
    case ptMod:
      AOp = bopMod;
      return true;
    case ptMultiply:
      AOp = bopMultiply;
      return true;
    case ptShl:
      AOp = bopShl;
      return true;
    case ptShr:
      AOp = bopShr;
      return true;
    default:
      return false;
  }
}

struct TElementTypeName {
  const char16_t* Name;
  TVarType Code;
};

// The element types an array constructor may name, with their variant type codes.
constexpr std::array<TElementTypeName, 16> kElementTypes{{
    {u"SmallInt", varSmallint},
    {u"Integer", varInteger},
    {u"Single", varSingle},
    {u"Double", varDouble},
    {u"Currency", varCurrency},
    {u"string", varOleStr},
    {u"Object", varDispatch},
    {u"Error", varError},
    {u"Variant", varVariant},
    {u"ShortInt", varShortInt},
    {u"Byte", varByte},
    {u"Word", varWord},
    {u"LongWord", varLongWord},
    {u"Int64", varInt64},
    {u"UInt64", 21},
    {u"Boolean", varBoolean},
}};

}  // namespace

TQOBExpressionPtr TQOBPasParser::ParseExpression() {
  TQOBExpressionPtr left = ParseSimpleExpression();
  for (TQOBBinaryOp op; RelationalOp(Token(), op);) {
    Skip();
    TQOBExpressionPtr right = ParseSimpleExpression();
    left = std::make_unique<TQOBBinaryExpr>(std::move(left), std::move(right), op, FLastSkippedPos);
  }
  return left;
}

TQOBExpressionPtr TQOBPasParser::ParseSimpleExpression() {
  TQOBExpressionPtr left = ParseTerm();
  for (TQOBBinaryOp op; AddingOp(Token(), op);) {
    Skip();
    TQOBExpressionPtr right = ParseTerm();
    left = std::make_unique<TQOBBinaryExpr>(std::move(left), std::move(right), op, FLastSkippedPos);
  }
  return left;
}

TQOBExpressionPtr TQOBPasParser::ParseTerm() {
  TQOBExpressionPtr left = ParseFactor();
  for (TQOBBinaryOp op; MultiplyingOp(Token(), op);) {
    Skip();
    TQOBExpressionPtr right = ParseFactor();
    left = std::make_unique<TQOBBinaryExpr>(std::move(left), std::move(right), op, FLastSkippedPos);
  }
  return left;
}

TQOBExpressionPtr TQOBPasParser::ParseFactor() {
  TNestingGuard nesting(*this);
  Expect(kPasExpressionStarts);
  TQOBExpressionPtr factor;
  switch (Token()) {
    case ptIdentifier:
      factor = ParseDesignator();
      break;
    case ptCInteger:
      factor = std::make_unique<TQOBLiteral>(Variant(FScanner.IData()), 0);
      Skip();
      break;
    case ptCFloat:
      factor = std::make_unique<TQOBLiteral>(Variant(FScanner.FData()), 0);
      Skip();
      break;
    case ptCString:
      factor = std::make_unique<TQOBLiteral>(Variant(FScanner.SData()), 0);
      Skip();
      break;
    case ptNil:
      factor = std::make_unique<TQOBLiteral>(Variant(static_cast<IDispatch*>(nullptr)), 0);
      Skip();
      break;
    case ptOpenRound:
      Skip();
      factor = ParseExpression();
      Take({ptCloseRound});
      break;
    case ptNot:
    case ptMinus:
    case ptPlus: {
      const TQOBUnaryOp op = At(ptNot) ? uopNot : At(ptMinus) ? uopMinus : uopPlus;
      Skip();
      factor = std::make_unique<TQOBUnaryExpr>(op, ParseFactor());
      break;
    }
    case ptOpenBlock:
      factor = ParseSetConstructor();
      break;
    case ptArray:
      factor = ParseArrayConstructor();
      break;
    default: {  // ptReference
      Skip();
      TName name = Name();
      factor = std::make_unique<TQOBEventMakeExpr>(name.Id, name.Text);
      break;
    }
  }
  factor->FSourcePos = FLastSkippedPos;
  return factor;
}

TQOBExpressionPtr TQOBPasParser::ParseSetConstructor() {
  Take({ptOpenBlock});
  auto set = std::make_unique<TQOBPasSetExpr>();
  Expect(kPasExpressionStarts + TQOBPasTokenSet{ptCloseBlock});
  if (kPasExpressionStarts.Contains(Token())) {
    for (;;) {
      TQOBSetElement& element = set->FSetElements.emplace_back();
      element.FLeftExpr = ParseExpression();
      if (At(ptDoublePeriod)) {
        Skip();
        element.FRightExpr = ParseExpression();
      }
      element.FSourcePos = FLastSkippedPos;
      if (!At(ptComma)) break;
      Skip();
    }
  }
  Take({ptCloseBlock});
  return set;
}

TQOBExpressionPtr TQOBPasParser::ParseArrayConstructor() {
  Take({ptArray});
  Take({ptOpenBlock});
  auto array = std::make_unique<TQOBArrayExpr>();
  for (;;) {
    TQOBArrayDim& dim = array->FArrayDims.emplace_back();
    TQOBExpressionPtr first = ParseExpression();
    if (At(ptDoublePeriod)) {
      Skip();
      dim.FLeftExpr = std::move(first);
      dim.FRightExpr = ParseExpression();
    } else {
      // `array[n]` means the bounds 0..n.
      dim.FLeftExpr = std::make_unique<TQOBLiteral>(Variant(int32_t{0}), first->FSourcePos);
      dim.FRightExpr = std::move(first);
    }
    dim.FSourcePos = FLastSkippedPos;
    Expect({ptCloseBlock, ptComma});
    if (!At(ptComma)) break;
    Skip();
  }
  Take({ptCloseBlock});
  if (At(ptOf)) {
    Skip();
    array->FElemVarType = ParseElementType();
  }
  return array;
}

TVarType TQOBPasParser::ParseElementType() {
  TName name = Name();
  for (const TElementTypeName& type : kElementTypes)
    if (FCbs->GetNameId(type.Name) == name.Id) return type.Code;
  FailAtLastToken(WideString(kPasMsgTypeExpected));
}

std::unique_ptr<TQOBDesignatorExpr> TQOBPasParser::ParseDesignator() {
  auto designator = std::make_unique<TQOBDesignatorExpr>();
  TName first = Name();
  designator->FItems.push_back(
      std::make_unique<TQOBDesignatorItem>(first.Id, first.Text, FLastSkippedPos));
  for (;;) {
    if (At(ptPeriod)) {
      Skip();
      TName member = Name();
      designator->FItems.push_back(
          std::make_unique<TQOBDesignatorItem>(member.Id, member.Text, FLastSkippedPos));
    } else if (At(ptOpenRound) || At(ptOpenBlock)) {
      // A bracket group belongs to the item before it unless that item has
      // brackets already; then it applies to the value (an unnamed item).
      if (designator->FItems.back()->FBracketType != bkNon)
        designator->FItems.push_back(
            std::make_unique<TQOBDesignatorItem>(kQOBNoName, WideString(), 0));
      const bool round = At(ptOpenRound);
      ParseArguments(*designator->FItems.back(), round ? ptCloseRound : ptCloseBlock);
    } else {
      break;
    }
  }
  designator->FSourcePos = FLastSkippedPos;
  return designator;
}

void TQOBPasParser::ParseArguments(TQOBDesignatorItem& AItem, TQOBPasToken AClose) {
  AItem.FBracketType = AClose == ptCloseRound ? bkRound : bkBlock;
  Skip();  // the opening bracket
  // Round brackets may be empty: `f()`; square brackets need an index.
  if (AClose == ptCloseBlock || !At(ptCloseRound)) {
    for (;;) {
      AItem.FArgs.push_back(ParseExpression());
      Expect({AClose, ptComma});
      if (!At(ptComma)) break;
      Skip();
    }
  }
  Take({AClose});
  AItem.FSourcePos = FLastSkippedPos;
}

}  // namespace qob
