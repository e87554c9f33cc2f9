// tresk: runs scripts of the QOB-Tresk languages from the command line.
#include <CLI/CLI.hpp>
#include <iostream>

#include "abort_watch.h"
#include "languages.h"
#include "run_command.h"

#ifndef TRESK_VERSION
#define TRESK_VERSION "unknown"
#endif

namespace {

constexpr const char* kRunFooter = R"(
The script runs in one script control: every --value is published before the
script is compiled, then its global code runs. After that, in this order,
--exec runs a statement, --eval prints the value of an expression and --call
runs a procedure, printing its result unless it has none. Call arguments that
read as numbers are passed as numbers, the others as text; the same holds for
--value. Message boxes print to stdout and input boxes read a line from stdin.

Exit status: 0 success, 1 compile or runtime error (printed as "error: ..."),
2 wrong use of the command line or an unreadable file.

Examples:
  tresk run examples/hello.pas
  tresk run calc.pas --value Rate=0.2 --call Total 100 250
  tresk run calc.pas --eval "Total(1, 2) * 2"
  echo "begin ShowMessage('hi'); end;" | tresk run - --lang pascal
  tresk run loop.pas --timeout 5)";

}  // namespace

int main(int argc, char** argv) {
  // Before any thread starts, so that every thread leaves Ctrl+C to the watcher.
  tresk::AbortWatch::BlockSignals();

  CLI::App app{
      "tresk runs QOB-Tresk scripts (Pascal-like and VB-like languages, and scripts of\n"
      "the engines registered with the library) from the command line.",
      "tresk"};
  app.set_version_flag("--version", "tresk " TRESK_VERSION);
  app.require_subcommand(1);
  app.footer("\nRun 'tresk run --help' for the options of a run.");

  tresk::RunOptions options;
  CLI::App* run = app.add_subcommand("run", "Compile and run a script file.");
  run->add_option("FILE", options.File, "script file to run; '-' reads standard input")->required();
  run->add_option("--lang", options.Language,
                  "script language: " + tresk::LanguageNameList() +
                      "\n(default from the extension: " + tresk::ExtensionList() + ")")
      ->type_name("NAME");
  run->add_flag("--no-source-info", options.NoSourceInfo,
                "leave the script position out of error messages");
  run->add_option("--value", options.Values, "publish a named value to the script (repeatable)")
      ->type_name("NAME=VALUE")
      ->allow_extra_args(false);
  run->add_option("--call", options.Call, "after the global code, call procedure PROC with ARGs")
      ->type_name("PROC [ARG]")
      ->expected(1, -1);
  run->add_option("--eval", options.Eval, "evaluate an expression and print its value")
      ->type_name("EXPR");
  run->add_option("--exec", options.Exec, "execute a statement")->type_name("STMT");
  run->add_option("--timeout", options.TimeoutSeconds,
                  "abort the script after SECONDS (Ctrl+C aborts it as well)")
      ->type_name("SECONDS");
  run->footer(kRunFooter);

  if (argc <= 1) {
    std::cerr << app.help();
    return tresk::kExitUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "error: " << e.what() << " (see 'tresk --help')\n";
    return tresk::kExitUsage;
  }

  try {
    return tresk::RunScript(options);
  } catch (const tresk::UsageError& e) {
    std::cerr << "error: " << e.what() << '\n';
    return tresk::kExitUsage;
  }
}
