// Tokens of the Pascal-like language and the texts that messages use for them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "ole/widestring.h"

namespace qob {

enum class TQOBPasToken : uint8_t {
  ptIdentifier,
  ptCString,
  ptCInteger,
  ptCFloat,
  ptArray,
  ptBegin,
  ptCase,
  ptConst,
  ptDo,
  ptDownto,
  ptElse,
  ptEnd,
  ptExcept,
  ptFinally,
  ptFor,
  ptFunction,
  ptIf,
  ptNil,
  ptOf,
  ptOn,
  ptOut,
  ptProcedure,
  ptRaise,
  ptRepeat,
  ptThen,
  ptTo,
  ptTry,
  ptUntil,
  ptUses,
  ptVar,
  ptWhile,
  ptAnd,
  ptDiv,
  ptDivide,
  ptEqual,
  ptGreater,
  ptGreaterEqual,
  ptIn,
  ptIs,
  ptLess,
  ptLessEqual,
  ptMinus,
  ptMod,
  ptMultiply,
  ptNot,
  ptNotEqual,
  ptOr,
  ptPlus,
  ptShl,
  ptShr,
  ptXor,
  ptAssignment,
  ptCloseBlock,
  ptCloseRound,
  ptColon,
  ptComma,
  ptOpenBlock,
  ptOpenRound,
  ptPeriod,
  ptDoublePeriod,
  ptSemiColon,
  ptReference,
  ptComment,
  ptEOf,
};

inline constexpr int kPasTokenCount = static_cast<int>(TQOBPasToken::ptEOf) + 1;

struct TQOBPasTokenDescription {
  const char16_t* S;  // the text used in messages; for keywords the keyword itself
  bool IsKeyword;
};

const TQOBPasTokenDescription& PasTokenDescription(TQOBPasToken token) noexcept;

// The keyword token whose text equals `text` ignoring ASCII letter case;
// ptIdentifier when `text` is no keyword.
TQOBPasToken PasKeywordToken(std::u16string_view text) noexcept;

// A token set over the 64 token kinds, for the parser's expectations.
class TQOBPasTokenSet {
 public:
  constexpr TQOBPasTokenSet() = default;
  constexpr TQOBPasTokenSet(std::initializer_list<TQOBPasToken> tokens) {
    for (TQOBPasToken t : tokens) FBits |= Bit(t);
  }
  constexpr bool Contains(TQOBPasToken token) const { return (FBits & Bit(token)) != 0; }
  constexpr TQOBPasTokenSet operator+(TQOBPasTokenSet other) const {
    TQOBPasTokenSet s;
    s.FBits = FBits | other.FBits;
    return s;
  }

 private:
  static constexpr uint64_t Bit(TQOBPasToken t) { return uint64_t{1} << static_cast<int>(t); }
  uint64_t FBits = 0;
};

}  // namespace qob
