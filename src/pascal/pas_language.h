// The language object of the Pascal-like language: its parser, its own
// global names (Exit, Break, Continue and the built-ins) and its spelling of
// literals for debuggers.
#pragma once

#include <memory>

#include "compiler/language.h"

namespace qob {

class TQOBPasLanguage final : public TQOBLanguageBase {
 public:
  TQOBPasLanguage() = default;

  std::unique_ptr<IQOBParserBase> CreateParser(IQOBParserCallbacks* ACbs) override;
  // Exit, Break, Continue, then the built-ins in their fixed order.
  void EnumGlobalObjects(TQOBEnumGlobalObjectsProc AProc, void* AData) override;
  WideString GetEmptyLiteral() override;
  WideString GetNilLiteral() override;
  WideString GetNullLiteral() override;
  // AText between single quotes, each quote in it doubled.
  WideString QuoteString(const WideString& AText) override;

 private:
  ~TQOBPasLanguage() override = default;
};

}  // namespace qob
