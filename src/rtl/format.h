// Format: the runtime's formatting with directives
//   %[index:][-][width][.precision]type,  type one of d u e f g n m p s x,
// where index, width and precision may be '*' (taken from the arguments).
// A directive whose argument is missing or of the wrong kind raises
// EConvertError ("Format '%s' invalid or incompatible with argument").
// d, u, x take Integer arguments (u and x show negative 32-bit values as 32-bit patterns);
// e, f, g, n, m take Float or Currency; p a Pointer; s a String.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "ole/widestring.h"
#include "rtl/format_settings.h"

namespace qob {

class FormatArg {
 public:
  enum class Kind { Integer, Float, Currency, String, Pointer };

  FormatArg(int32_t value) : FKind(Kind::Integer), FInt(value) {}                // NOLINT
  FormatArg(int64_t value) : FKind(Kind::Integer), FInt(value) {}                // NOLINT
  FormatArg(uint32_t value) : FKind(Kind::Integer), FInt(value) {}               // NOLINT
  FormatArg(double value) : FKind(Kind::Float), FFloat(value) {}                 // NOLINT
  FormatArg(const WideString& value) : FKind(Kind::String), FString(value) {}    // NOLINT
  FormatArg(std::u16string_view value) : FKind(Kind::String), FString(value) {}  // NOLINT
  FormatArg(const char16_t* value) : FKind(Kind::String), FString(value) {}      // NOLINT
  FormatArg(const void* value)                                                   // NOLINT
      : FKind(Kind::Pointer), FInt(static_cast<int64_t>(reinterpret_cast<intptr_t>(value))) {}
  static FormatArg Currency(int64_t scaled) {
    FormatArg a(scaled);
    a.FKind = Kind::Currency;
    return a;
  }

  Kind kind() const noexcept { return FKind; }
  int64_t AsInteger() const noexcept { return FInt; }
  double AsFloat() const noexcept { return FFloat; }
  const WideString& AsString() const noexcept { return FString; }

 private:
  Kind FKind;
  int64_t FInt = 0;
  double FFloat = 0;
  WideString FString;
};

WideString Format(std::u16string_view format, std::span<const FormatArg> args,
                  const TFormatSettings& settings = FormatSettings());
inline WideString Format(std::u16string_view format, std::initializer_list<FormatArg> args) {
  return Format(format, std::span<const FormatArg>(args.begin(), args.size()));
}

}  // namespace qob
