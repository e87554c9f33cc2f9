#include "run_command.h"

#include <cmath>
#include <iostream>

#include "abort_watch.h"
#include "host/script_control.h"
#include "languages.h"
#include "ole/variant_convert.h"
#include "rtl/numconv.h"
#include "source_file.h"
#include "vm/vm_runtime_error.h"

namespace tresk {

namespace {

using qob::Variant;
using qob::WideString;

qob::TQOBScriptLanguage ChooseLanguage(const RunOptions& AOptions) {
  if (AOptions.Language) {
    if (auto language = LanguageByName(*AOptions.Language)) return *language;
    throw UsageError("unknown language '" + *AOptions.Language + "' (known: " + LanguageNameList() +
                     ")");
  }
  if (auto language = LanguageByExtension(AOptions.File)) return *language;
  if (AOptions.File == "-") throw UsageError("reading standard input needs --lang NAME");
  throw UsageError("cannot tell the language of '" + AOptions.File +
                   "' from its extension; use --lang NAME (extensions: " + ExtensionList() + ")");
}

// A command-line value: a number when it reads as one, otherwise text.
Variant ValueFromArgument(const std::string& AText) {
  const WideString text = WideString::FromUtf8(AText);
  int64_t integer = 0;
  if (qob::TryStrToInt64(text.view(), integer)) {
    if (integer >= INT32_MIN && integer <= INT32_MAX) return Variant(static_cast<int32_t>(integer));
    return Variant(integer);
  }
  double real = 0;
  if (qob::TryStrToFloat(text.view(), real, qob::TFormatSettings::Invariant()) &&
      std::isfinite(real))
    return Variant(real);
  return Variant(text);
}

std::pair<WideString, Variant> SplitValueOption(const std::string& AOption) {
  const size_t equals = AOption.find('=');
  if (equals == std::string::npos || equals == 0)
    throw UsageError("--value expects NAME=VALUE, got '" + AOption + "'");
  return {WideString::FromUtf8(AOption.substr(0, equals)),
          ValueFromArgument(AOption.substr(equals + 1))};
}

// Messages keep their CR LF line breaks inside the library; a terminal wants LF.
std::string ForTerminal(const WideString& AText) {
  std::string text = AText.ToUtf8();
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) result += text[i];
  return result;
}

std::string CurrentErrorText() {
  try {
    throw;
  } catch (const qob::Exception& e) {
    return ForTerminal(e.Message());
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown error";
  }
}

void PrintResult(const Variant& AValue) {
  std::cout << ForTerminal(qob::VarToStr(AValue)) << '\n' << std::flush;
}

// The script's part of the run: everything that may raise a script error.
void RunInControl(qob::TQOBScriptControl& AControl, const RunOptions& AOptions,
                  AbortWatch& AWatch) {
  AControl.Prepare();
  AWatch.SetTarget([&AControl] { AControl.Abort(); });
  // The control stays open on a runtime error: the watcher may still be
  // aborting its runner, so only this thread closes it, after ClearTarget.
  AControl.Open(false);
  if (AOptions.Exec) AControl.ExecuteStatement(WideString::FromUtf8(*AOptions.Exec));
  if (AOptions.Eval) PrintResult(AControl.Eval(WideString::FromUtf8(*AOptions.Eval)));
  if (!AOptions.Call.empty()) {
    std::vector<Variant> args;
    for (size_t i = 1; i < AOptions.Call.size(); ++i)
      args.push_back(ValueFromArgument(AOptions.Call[i]));
    Variant result = AControl.RunProc(WideString::FromUtf8(AOptions.Call[0]), args);
    if (!result.IsEmpty()) PrintResult(result);
  }
}

}  // namespace

int RunScript(const RunOptions& AOptions) {
  const std::string abortMessage(
      ForTerminal(WideString(qob::RuntimeErrorMessage(qob::retAborted))));
  std::optional<std::chrono::milliseconds> timeLimit;
  if (AOptions.TimeoutSeconds) {
    if (!(*AOptions.TimeoutSeconds > 0) || *AOptions.TimeoutSeconds > 1e6)
      throw UsageError("--timeout expects a number of seconds above 0");
    timeLimit = std::chrono::milliseconds(std::llround(*AOptions.TimeoutSeconds * 1000));
  }
  const qob::TQOBScriptLanguage language = ChooseLanguage(AOptions);
  std::vector<std::pair<WideString, Variant>> values;
  for (const std::string& option : AOptions.Values) values.push_back(SplitValueOption(option));

  AbortWatch watch(timeLimit, abortMessage);
  WideString text;
  try {
    text = ReadScriptFile(AOptions.File);
  } catch (const SourceFileError& e) {
    throw UsageError(e.what());
  }

  qob::TQOBScriptControl control(nullptr);
  int status = kExitOk;
  try {
    control.SetLanguage(language);
    control.SetExceptionSourceInfo(!AOptions.NoSourceInfo);
    control.Source().SetText(text.view());
    for (const auto& [name, value] : values) control.AddOrSetValue(name, value);
    RunInControl(control, AOptions, watch);
  } catch (...) {
    watch.ClearTarget();
    std::cout.flush();
    std::cerr << "error: " << (watch.Fired() ? abortMessage : CurrentErrorText()) << '\n';
    status = kExitScriptError;
  }
  watch.ClearTarget();
  return status;
}

}  // namespace tresk
