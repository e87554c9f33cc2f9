// `tresk run`: one script in one script control.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tresk {

struct RunOptions {
  std::string File;  // "-" reads standard input
  std::optional<std::string> Language;
  bool NoSourceInfo = false;
  std::vector<std::string> Values;  // NAME=VALUE
  std::vector<std::string> Call;    // PROC ARG...
  std::optional<std::string> Eval;
  std::optional<std::string> Exec;
  std::optional<double> TimeoutSeconds;
};

// Wrong use of the command line: reported like a parse error (exit status 2).
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitScriptError = 1;
inline constexpr int kExitUsage = 2;

// Runs the script as the options say and answers the exit status; errors are
// reported on stderr as "error: <message>".
int RunScript(const RunOptions& AOptions);

}  // namespace tresk
