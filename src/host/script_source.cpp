#include "host/script_source.h"

#include "host/script_control.h"
#include "rtl/format.h"

namespace qob {

const WideString& TScriptSourceStrings::Strings(int AIndex) const {
  CheckIndex(AIndex, Count() - 1);
  return FLines[static_cast<size_t>(AIndex)];
}

void TScriptSourceStrings::Put(int AIndex, const WideString& ALine) {
  CheckCanChange();
  CheckIndex(AIndex, Count() - 1);
  FLines[static_cast<size_t>(AIndex)] = ALine;
}

void TScriptSourceStrings::Add(const WideString& ALine) {
  CheckCanChange();
  FLines.push_back(ALine);
}

void TScriptSourceStrings::Insert(int AIndex, const WideString& ALine) {
  CheckCanChange();
  CheckIndex(AIndex, Count());
  FLines.insert(FLines.begin() + AIndex, ALine);
}

void TScriptSourceStrings::Delete(int AIndex) {
  CheckCanChange();
  CheckIndex(AIndex, Count() - 1);
  FLines.erase(FLines.begin() + AIndex);
}

void TScriptSourceStrings::Clear() {
  CheckCanChange();
  FLines.clear();
}

void TScriptSourceStrings::Assign(const TScriptSourceStrings& ASource) {
  CheckCanChange();
  if (&ASource != this) FLines = ASource.FLines;
}

void TScriptSourceStrings::Assign(std::span<const WideString> ALines) {
  CheckCanChange();
  FLines.assign(ALines.begin(), ALines.end());
}

WideString TScriptSourceStrings::Text() const {
  std::u16string text;
  size_t length = 0;
  for (const WideString& line : FLines) length += line.size() + 2;
  text.reserve(length);
  for (const WideString& line : FLines) {
    text += line.view();
    text += u"\r\n";
  }
  return WideString(text);
}

void TScriptSourceStrings::SetText(std::u16string_view AText) {
  CheckCanChange();
  std::vector<WideString> lines;
  size_t start = 0;
  while (start < AText.size()) {
    size_t end = AText.find_first_of(u"\r\n", start);
    if (end == std::u16string_view::npos) {
      lines.emplace_back(AText.substr(start));
      break;
    }
    lines.emplace_back(AText.substr(start, end - start));
    start = end + 1;
    if (AText[end] == u'\r' && start < AText.size() && AText[start] == u'\n') ++start;
  }
  FLines = std::move(lines);
}

void TScriptSourceStrings::CheckCanChange() const {
  if (FScript) FScript->CheckState({ssInactive});
}

void TScriptSourceStrings::CheckIndex(int AIndex, int ALimit) const {
  if (AIndex < 0 || AIndex > ALimit)
    throw EListError(Format(u"List index out of bounds (%d)", {AIndex}));
}

}  // namespace qob
