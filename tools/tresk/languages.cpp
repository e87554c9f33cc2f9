#include "languages.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace tresk {

namespace {

struct LanguageEntry {
  std::string_view Name;
  std::string_view Extension;
  qob::TQOBScriptLanguage Language;
};

constexpr LanguageEntry kLanguages[] = {
    {"pascal", ".pas", qob::slPascal},     {"nativevb", ".vb", qob::slNativeVb},
    {"vbscript", ".vbs", qob::slVBScript}, {"jscript", ".js", qob::slJScript},
    {"perl", ".pl", qob::slPerl},          {"rexx", ".rex", qob::slRexx},
    {"tcl", ".tcl", qob::slTCL},           {"python", ".py", qob::slPython},
    {"lua", ".lua", qob::slLua},
};

bool SameAscii(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::optional<qob::TQOBScriptLanguage> LanguageByName(std::string_view AName) {
  for (const LanguageEntry& entry : kLanguages)
    if (SameAscii(entry.Name, AName)) return entry.Language;
  return std::nullopt;
}

std::optional<qob::TQOBScriptLanguage> LanguageByExtension(std::string_view APath) {
  const std::string extension = std::filesystem::path(APath).extension().string();
  for (const LanguageEntry& entry : kLanguages)
    if (SameAscii(entry.Extension, extension)) return entry.Language;
  return std::nullopt;
}

std::string LanguageNameList() {
  std::string list;
  for (const LanguageEntry& entry : kLanguages) {
    if (!list.empty()) list += ", ";
    list += entry.Name;
  }
  return list;
}

std::string ExtensionList() {
  std::string list;
  for (const LanguageEntry& entry : kLanguages) {
    if (!list.empty()) list += ", ";
    list += std::string(entry.Extension) + " " + std::string(entry.Name);
  }
  return list;
}

}  // namespace tresk
