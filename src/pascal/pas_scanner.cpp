#include "pascal/pas_scanner.h"

#include <charconv>
#include <limits>
#include <string>

#include "pascal/pas_errors.h"

namespace qob {
namespace {

using enum TQOBPasToken;

bool IsDigit(char16_t c) noexcept {
  return c >= u'0' && c <= u'9';
}
bool IsLetter(char16_t c) noexcept {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}
int HexValue(char16_t c) noexcept {
  if (IsDigit(c)) return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}
// Characters beyond Latin-1 are white space outside literals and comments.
bool IsBlank(char16_t c) noexcept {
  return (c >= 1 && c <= 32) || c > 255;
}

}  // namespace

void TQOBPasScanner::Start(const WideString& Source) {
  // Positions are 32-bit; a text they cannot address is refused up front.
  if (Source.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    Fail(kPasMsgSourceTooLong, 0);
  FStrSource = Source;
  FText = FStrSource.data();
  FLength = FStrSource.size();
  FCur = 0;
  FStarted = true;
  ReadToken();
}

void TQOBPasScanner::SkipToken() {
  ReadToken();
}

void TQOBPasScanner::Rollback(size_t Savepoint) {
  FCur = Savepoint;
  ReadToken();
}

int32_t TQOBPasScanner::CurrentPos() const noexcept {
  return FStarted ? static_cast<int32_t>(FCur) + 1 : 0;
}

WideString TQOBPasScanner::TokenToStr(TQOBPasToken Token) {
  std::u16string text(1, u'\'');
  text += PasTokenDescription(Token).S;
  text += u'\'';
  return WideString(text);
}

void TQOBPasScanner::Fail(const WideString& message, int32_t pos) const {
  throw EQOBPasCompiler(message, pos);
}

void TQOBPasScanner::FailIllegalCharacter(char16_t c) const {
  // A NUL is shown by its code only: as a character it would cut the message
  // short wherever the text is handed on as a C string.
  const std::u16string_view shown(&c, c == 0 ? 0 : 1);
  throw EQOBPasCompiler(kPasMsgIllegalCharacter, CurrentPos(), {shown, uint32_t{c}});
}

void TQOBPasScanner::ReadToken() {
  do {
    ReadOneToken();
  } while (FSkipComments && FToken == ptComment);
}

void TQOBPasScanner::SkipBlanks() noexcept {
  while (FCur < FLength && IsBlank(FText[FCur])) ++FCur;
}

void TQOBPasScanner::ReadOneToken() {
  SkipBlanks();
  if (AtEnd()) {
    FToken = ptEOf;
    FTokenStartPos = FTokenEndPos = CurrentPos();
    return;
  }
  FTokenStartPos = CurrentPos();
  const char16_t c = Peek();
  auto single = [this](TQOBPasToken token) {
    ++FCur;
    FToken = token;
  };
  auto oneOrTwo = [this](char16_t second, TQOBPasToken twoChars, TQOBPasToken oneChar) {
    const bool two = Peek(1) == second;
    FCur += two ? 2 : 1;
    FToken = two ? twoChars : oneChar;
  };
  switch (c) {
    case u'\'':
    case u'#':
      ReadString();
      break;
    case u'$':
      ReadHexNumber();
      break;
    case u'(':
      if (Peek(1) == u'*')
        ReadParenComment();
      else
        single(ptOpenRound);
      break;
    case u')':
      single(ptCloseRound);
      break;
    case u'*':
      single(ptMultiply);
      break;
    case u'+':
      single(ptPlus);
      break;
    case u',':
      single(ptComma);
      break;
    case u'-':
      single(ptMinus);
      break;
    case u';':
      single(ptSemiColon);
      break;
    case u'=':
      single(ptEqual);
      break;
    case u'@':
      single(ptReference);
      break;
    case u'[':
      single(ptOpenBlock);
      break;
    case u']':
      single(ptCloseBlock);
      break;
    case u'.':
      oneOrTwo(u'.', ptDoublePeriod, ptPeriod);
      break;
    case u':':
      oneOrTwo(u'=', ptAssignment, ptColon);
      break;
    case u'>':
      oneOrTwo(u'=', ptGreaterEqual, ptGreater);
      break;
    case u'<':
      if (Peek(1) == u'>') {
        FCur += 2;
        FToken = ptNotEqual;
      } else {
        oneOrTwo(u'=', ptLessEqual, ptLess);
      }
      break;
    case u'/':
      if (Peek(1) == u'/')
        ReadLineComment();
      else
        single(ptDivide);
      break;
    case u'{':
      ReadBraceComment();
      break;
    default:
      if (IsDigit(c))
        ReadNumber();
      else if (IsLetter(c))
        ReadIdentifier();
      else
        FailIllegalCharacter(c);
  }
  FTokenEndPos = static_cast<int32_t>(FCur);
}

void TQOBPasScanner::ReadIdentifier() {
  const size_t start = FCur;
  while (FCur < FLength && (IsLetter(FText[FCur]) || IsDigit(FText[FCur]))) ++FCur;
  std::u16string_view text(FText + start, FCur - start);
  FToken = PasKeywordToken(text);
  if (FToken == ptIdentifier) FSData = WideString(text);
}

void TQOBPasScanner::ReadHexNumber() {
  ++FCur;  // '$'
  uint32_t value = 0;
  int significant = 0;
  bool anyDigit = false;
  for (int d; (d = HexValue(Peek())) >= 0; ++FCur) {
    anyDigit = true;
    if (significant > 0 || d != 0) ++significant;
    if (significant <= 8) value = (value << 4) | static_cast<uint32_t>(d);
  }
  if (!anyDigit || significant > 8) Fail(kPasMsgBadInteger, CurrentPos());
  FToken = ptCInteger;
  FIData = static_cast<int32_t>(value);
}

void TQOBPasScanner::ReadNumber() {
  const size_t start = FCur;
  bool isFloat = false;
  while (IsDigit(Peek())) {
    ++FCur;
    if (Peek() == u'.' && Peek(1) != u'.') {
      isFloat = true;
      ++FCur;
    }
  }
  if (Peek() == u'E' || Peek() == u'e') {
    isFloat = true;
    ++FCur;
    if (Peek() == u'+' || Peek() == u'-') ++FCur;
    while (IsDigit(Peek())) ++FCur;
  }
  if (isFloat) {
    // Only ASCII digits, '.', 'E'/'e' and signs were collected.
    std::string text(FText + start, FText + FCur);
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
      Fail(kPasMsgBadFloat, CurrentPos());
    FToken = ptCFloat;
    FFData = value;
    return;
  }
  int64_t value = 0;
  for (size_t i = start; i < FCur; ++i) {
    value = value * 10 + (FText[i] - u'0');
    if (value > std::numeric_limits<int32_t>::max()) Fail(kPasMsgBadInteger, CurrentPos());
  }
  FToken = ptCInteger;
  FIData = static_cast<int32_t>(value);
}

char16_t TQOBPasScanner::ReadCharCode() {
  ++FCur;  // '#'
  if (Peek() == u'$') {
    ReadHexNumber();
    return static_cast<char16_t>(FIData & 0xFFFF);
  }
  if (!IsDigit(Peek())) Fail(kPasMsgBadInteger, CurrentPos());
  int64_t value = 0;
  while (IsDigit(Peek())) {
    value = value * 10 + (Peek() - u'0');
    ++FCur;
    if (value > std::numeric_limits<int32_t>::max()) {
      while (IsDigit(Peek())) ++FCur;
      Fail(kPasMsgBadInteger, CurrentPos());
    }
  }
  return static_cast<char16_t>(value & 0xFFFF);
}

void TQOBPasScanner::ReadString() {
  std::u16string value;
  for (;;) {
    if (Peek() == u'#') {
      value += ReadCharCode();
    } else if (Peek() == u'\'') {
      ++FCur;
      for (;;) {
        const char16_t c = Peek();
        if (AtEnd() || c == u'\r' || c == u'\n')
          Fail(kPasMsgUnterminatedString, static_cast<int32_t>(FCur));
        if (c == 0) FailIllegalCharacter(c);
        ++FCur;
        if (c == u'\'') {
          if (Peek() != u'\'') break;
          ++FCur;
        }
        value += c;
      }
    } else {
      break;
    }
  }
  FToken = ptCString;
  FSData = WideString(value);
}

void TQOBPasScanner::ReadBraceComment() {
  const size_t start = FCur;
  // A NUL ends a comment too: the next token reports it as an illegal character.
  while (FCur < FLength && FText[FCur] != u'}' && FText[FCur] != 0) ++FCur;
  if (FCur < FLength && FText[FCur] == u'}') ++FCur;  // an unclosed comment ends with the text
  FToken = ptComment;
  FSData = WideString(std::u16string_view(FText + start, FCur - start));
}

void TQOBPasScanner::ReadParenComment() {
  const size_t start = FCur;
  FCur += 2;
  while (FCur < FLength && FText[FCur] != 0 && !(FText[FCur] == u'*' && Peek(1) == u')')) ++FCur;
  if (FCur < FLength && FText[FCur] != 0) FCur += 2;
  FToken = ptComment;
  FSData = WideString(std::u16string_view(FText + start, FCur - start));
}

void TQOBPasScanner::ReadLineComment() {
  const size_t start = FCur;
  while (FCur < FLength && FText[FCur] != u'\r' && FText[FCur] != u'\n' && FText[FCur] != 0)
    ++FCur;
  FToken = ptComment;
  FSData = WideString(std::u16string_view(FText + start, FCur - start));
}

}  // namespace qob
