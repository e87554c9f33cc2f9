// Compile errors of the Pascal-like front end and the texts of its messages.
#pragma once

#include <string_view>

#include "compiler/compile_error.h"
#include "ole/widestring.h"

namespace qob {

// A lexical or syntax error of a Pascal-like script.
class EQOBPasCompiler : public EQOBCompileBase {
  QOB_CLASS(EQOBPasCompiler, EQOBCompileBase)
 public:
  using EQOBCompileBase::EQOBCompileBase;
};

inline constexpr std::u16string_view kPasMsgIllegalCharacter = u"Illegal character: '%s' ($%x)";
inline constexpr std::u16string_view kPasMsgInvalidToken = u"Invalid token: %s.";
inline constexpr std::u16string_view kPasMsgUnterminatedString = u"Unterminated string";
inline constexpr std::u16string_view kPasMsgBadInteger = u"Syntax error in Integer constant";
inline constexpr std::u16string_view kPasMsgBadFloat = u"Syntax error in float constant";
inline constexpr std::u16string_view kPasMsgReraiseOutsideHandler =
    u"Re-raising an exception only allowed in exception handler";
inline constexpr std::u16string_view kPasMsgTypeExpected = u"Type identifier expected";
inline constexpr std::u16string_view kPasMsgNestingTooDeep =
    u"Statements or expressions nested too deeply";
inline constexpr std::u16string_view kPasMsgSourceTooLong = u"Source text too long";
inline constexpr std::u16string_view kPasMsgTooManyParams = u"Too many parameters";
inline constexpr std::u16string_view kPasMsgConstExpected = u"Constant expression expected";
inline constexpr std::u16string_view kPasMsgSetBounds =
    u"Constant expression violates subrange bounds";

}  // namespace qob
