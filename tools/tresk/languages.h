// The language names and file extensions that tresk understands.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/script_language.h"

namespace tresk {

// "pascal", "nativevb", "vbscript", ... in any letter case.
std::optional<qob::TQOBScriptLanguage> LanguageByName(std::string_view AName);
// From the file's extension (".pas" pascal, ".vb" nativevb, ...).
std::optional<qob::TQOBScriptLanguage> LanguageByExtension(std::string_view APath);
// "pascal, nativevb, ..." for help texts and messages.
std::string LanguageNameList();
// ".pas pascal, .vb nativevb, ..."
std::string ExtensionList();

}  // namespace tresk
