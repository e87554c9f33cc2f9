#include "pascal/pas_tokens.h"

#include <array>

namespace qob {
namespace {

constexpr std::array<TQOBPasTokenDescription, kPasTokenCount> kDescriptions{{
    {u"identifier", false}, {u"string constant", false},
    {u"number", false},     {u"real constant", false},
    {u"array", true},       {u"begin", true},
    {u"case", true},        {u"const", true},
    {u"do", true},          {u"downto", true},
    {u"else", true},        {u"end", true},
    {u"except", true},      {u"finally", true},
    {u"for", true},         {u"function", true},
    {u"if", true},          {u"nil", true},
    {u"of", true},          {u"on", true},
    {u"out", true},         {u"procedure", true},
    {u"raise", true},       {u"repeat", true},
    {u"then", true},        {u"to", true},
    {u"try", true},         {u"until", true},
    {u"uses", true},        {u"var", true},
    {u"while", true},       {u"and", true},
    {u"div", true},         {u"/", false},
    {u"=", false},          {u">", false},
    {u">=", false},         {u"in", true},
    {u"is", true},          {u"<", false},
    {u"<=", false},         {u"-", false},
    {u"mod", true},         {u"*", false},
    {u"not", true},         {u"<>", false},
    {u"or", true},          {u"+", false},
    {u"shl", true},         {u"shr", true},
    {u"xor", true},         {u":=", false},
    {u"]", false},          {u")", false},
    {u":", false},          {u",", false},
    {u"[", false},          {u"(", false},
    {u".", false},          {u"..", false},
    {u";", false},          {u"@", false},
    {u"comment", false},    {u"end of file", false},
}};

char16_t AsciiLower(char16_t c) noexcept {
  return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c;
}

bool EqualsKeyword(std::u16string_view text, std::u16string_view keyword) noexcept {
  if (text.size() != keyword.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (AsciiLower(text[i]) != keyword[i]) return false;
  return true;
}

}  // namespace

const TQOBPasTokenDescription& PasTokenDescription(TQOBPasToken token) noexcept {
  return kDescriptions[static_cast<size_t>(token)];
}

TQOBPasToken PasKeywordToken(std::u16string_view text) noexcept {
  for (size_t i = 0; i < kDescriptions.size(); ++i)
    if (kDescriptions[i].IsKeyword && EqualsKeyword(text, kDescriptions[i].S))
      return static_cast<TQOBPasToken>(i);
  return TQOBPasToken::ptIdentifier;
}

}  // namespace qob
