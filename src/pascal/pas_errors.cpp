#include "pascal/pas_errors.h"

#include <string>

namespace qob {

WideString PasMsgIllegalCharacter(char16_t c) {
  static constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";
  std::u16string hex;
  for (unsigned value = c; hex.empty() || value != 0; value >>= 4)
    hex.insert(hex.begin(), kHexDigits[value & 15]);
  // A NUL is shown by its code only: as a character it would cut the message
  // short wherever the text is handed on as a C string.
  std::u16string shown = c == 0 ? std::u16string() : std::u16string(1, c);
  return WideString(u"Illegal character: '" + shown + u"' ($" + hex + u")");
}

WideString PasMsgInvalidToken(TQOBPasToken token) {
  return WideString(u"Invalid token: '" + std::u16string(PasTokenDescription(token).S) + u"'.");
}

WideString PasMsgDuplicateName(std::u16string_view name) {
  return WideString(u"Object or value named '" + std::u16string(name) + u"' already exists.");
}

}  // namespace qob
