// TScriptSourceStrings: a script control's source as a list of lines.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "ole/widestring.h"

namespace qob {

class TQOBScriptControl;

// Every change first asks the owning control whether its source may change
// (only while inactive), so a prepared or active script keeps the lines it
// was compiled from.
class TScriptSourceStrings {
 public:
  explicit TScriptSourceStrings(TQOBScriptControl* AScript) noexcept : FScript(AScript) {}
  TScriptSourceStrings(const TScriptSourceStrings&) = delete;
  TScriptSourceStrings& operator=(const TScriptSourceStrings&) = delete;

  int Count() const noexcept { return static_cast<int>(FLines.size()); }
  // Raises EListError for an index outside 0..Count-1.
  const WideString& Strings(int AIndex) const;
  const WideString& operator[](int AIndex) const { return Strings(AIndex); }

  void Put(int AIndex, const WideString& ALine);
  void Add(const WideString& ALine);
  void Insert(int AIndex, const WideString& ALine);
  void Delete(int AIndex);
  void Clear();
  void Assign(const TScriptSourceStrings& ASource);
  void Assign(std::span<const WideString> ALines);

  // Every line followed by CR LF: the text that runners compile, so that
  // lines and positions agree with this list.
  WideString Text() const;
  // Splits at CR LF, lone CR and lone LF; a final line break adds no empty line.
  void SetText(std::u16string_view AText);

 private:
  void CheckCanChange() const;
  void CheckIndex(int AIndex, int ALimit) const;

  TQOBScriptControl* FScript;
  std::vector<WideString> FLines;
};

}  // namespace qob
