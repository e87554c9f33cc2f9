// The script host's exception class and the texts of its messages.
#pragma once

#include <string_view>

#include "rtl/exceptions.h"

namespace qob {

// Misuse of a script control or of the script debugger.
QOB_EXCEPTION(EQOBScriptControl, Exception)

inline constexpr std::u16string_view SInvalidScriptControlState = u"Invalid script control state";
inline constexpr std::u16string_view SMixedScriptFamilies =
    u"Cannot connect ActiveX and Pascal scripts to single debugger.";
inline constexpr std::u16string_view SNamedItemExists =
    u"Object or value named '%s' already exists.";
inline constexpr std::u16string_view SValueItemRequired =
    u"Value named item required. '%s' is an object.";
inline constexpr std::u16string_view SCannotCreateScriptEngine = u"Can't create script engine '%s'";
inline constexpr std::u16string_view SDebuggerNotAvailable =
    u"Script debugger is not available in this build.";
inline constexpr std::u16string_view SSourceInfoSuffix = u"%s\r\nSource: $%x [line: %d, pos: %d]";

}  // namespace qob
