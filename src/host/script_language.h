// Script control states, the script languages and the two language families.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace qob {

enum TQOBScriptControlState : uint8_t { ssInactive, ssPrepared, ssActive };

enum TQOBScriptLanguage : uint8_t {
  slVBScript,
  slJScript,
  slPerl,
  slRexx,
  slTCL,
  slPython,
  slLua,
  slPascal,
  slNativeVb
};

// slkActiveX languages run on script engines behind the engine interfaces;
// slkNative ones are compiled to byte code for the library's own machine.
enum TQOBScriptLangKind : uint8_t { slkActiveX, slkNative };

inline constexpr std::initializer_list<TQOBScriptLanguage> kAllScriptLanguages = {
    slVBScript, slJScript, slPerl, slRexx, slTCL, slPython, slLua, slPascal, slNativeVb};

TQOBScriptLangKind LangKindOf(TQOBScriptLanguage ALanguage) noexcept;
// The name under which an engine of the language is registered ("VBScript",
// "JScript", ...); the native languages' names only complete the table.
std::u16string_view EngineNameOf(TQOBScriptLanguage ALanguage) noexcept;

}  // namespace qob
