// The scanner of the Pascal-like language: source text to tokens, one token
// ahead, each with its first and last character position.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ole/widestring.h"
#include "pascal/pas_tokens.h"

namespace qob {

class TQOBPasScanner {
 public:
  explicit TQOBPasScanner(bool SkipComments) : FSkipComments(SkipComments) {}

  // Keeps the text, positions at its first character and reads the first token.
  void Start(const WideString& Source);
  void SkipToken();

  // The token's description in single quotes, as messages show it.
  static WideString TokenToStr(TQOBPasToken Token);

  // A savepoint is the start of the current token; Rollback makes it the next
  // character to read and reads the token there again.
  size_t GetSavepoint() const noexcept { return static_cast<size_t>(FTokenStartPos) - 1; }
  void Rollback(size_t Savepoint);

  TQOBPasToken Token() const noexcept { return FToken; }
  int32_t TokenStartPos() const noexcept { return FTokenStartPos; }
  int32_t TokenEndPos() const noexcept { return FTokenEndPos; }
  const WideString& SData() const noexcept { return FSData; }
  int32_t IData() const noexcept { return FIData; }
  double FData() const noexcept { return FFData; }
  // 1-based index of the next character to read (0 before Start).
  int32_t CurrentPos() const noexcept;

 private:
  void ReadToken();
  void ReadOneToken();
  void SkipBlanks() noexcept;
  char16_t Peek(size_t ahead = 0) const noexcept {
    return FCur + ahead < FLength ? FText[FCur + ahead] : u'\0';
  }
  bool AtEnd() const noexcept { return FCur >= FLength; }

  void ReadIdentifier();
  void ReadNumber();
  void ReadHexNumber();
  void ReadString();
  void ReadBraceComment();
  void ReadParenComment();
  void ReadLineComment();
  // Reads the number after '#' in a string literal and returns its low 16 bits.
  char16_t ReadCharCode();

  [[noreturn]] void Fail(const WideString& message, int32_t pos) const;
  [[noreturn]] void FailIllegalCharacter(char16_t c) const;

  bool FSkipComments;
  WideString FStrSource;
  const char16_t* FText = nullptr;
  size_t FLength = 0;
  size_t FCur = 0;  // 0-based index of the next character to read
  bool FStarted = false;

  TQOBPasToken FToken = TQOBPasToken::ptEOf;
  int32_t FTokenStartPos = 0;
  int32_t FTokenEndPos = 0;
  WideString FSData;
  int32_t FIData = 0;
  double FFData = 0;
};

}  // namespace qob
