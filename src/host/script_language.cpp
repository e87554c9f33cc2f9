#include "host/script_language.h"

namespace qob {

namespace {

struct LanguageRow {
  TQOBScriptLangKind Kind;
  std::u16string_view EngineName;
};

// Indexed by TQOBScriptLanguage.
constexpr LanguageRow kLanguageTable[] = {
    {slkActiveX, u"VBScript"},         {slkActiveX, u"JScript"},   {slkActiveX, u"PerlScript"},
    {slkActiveX, u"ObjectREXXScript"}, {slkActiveX, u"TclScript"}, {slkActiveX, u"Python"},
    {slkActiveX, u"LuaScript"},        {slkNative, u"Pascal"},     {slkNative, u"NativeVb"},
};
static_assert(std::size(kLanguageTable) == static_cast<size_t>(slNativeVb) + 1);

}  // namespace

TQOBScriptLangKind LangKindOf(TQOBScriptLanguage ALanguage) noexcept {
  return kLanguageTable[static_cast<size_t>(ALanguage)].Kind;
}

std::u16string_view EngineNameOf(TQOBScriptLanguage ALanguage) noexcept {
  return kLanguageTable[static_cast<size_t>(ALanguage)].EngineName;
}

}  // namespace qob
