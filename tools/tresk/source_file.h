// Reading a script file (or standard input) into text.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "ole/widestring.h"

namespace tresk {

// A file that cannot be read or decoded; `what()` is a one-line description.
class SourceFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Decodes UTF-8 (with or without byte-order mark) or UTF-16 with a
// byte-order mark. Anything else raises SourceFileError; `AName` names the
// input in the message.
qob::WideString DecodeScriptText(std::string_view ABytes, std::string_view AName);

// Reads `APath` ("-" is standard input) and decodes it.
qob::WideString ReadScriptFile(const std::string& APath);

}  // namespace tresk
