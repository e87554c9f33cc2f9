// Runs the tresk binary as a user would and checks what it prints and answers.
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs tresk with AArgs, feeding AInput to its standard input. With
// AInterrupt, Ctrl+C is sent once the first line of output has arrived; with
// AKeepInputOpen, standard input stays open (a read waits) until tresk ends.
Outcome RunTresk(const std::vector<std::string>& AArgs, const std::string& AInput = "",
                 bool AInterrupt = false, bool AKeepInputOpen = false) {
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
    posix_spawn_file_actions_addclose(&actions, fd);
  std::vector<std::string> argv{TRESK_BINARY};
  argv.insert(argv.end(), AArgs.begin(), AArgs.end());
  std::vector<char*> cargv;
  for (std::string& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, TRESK_BINARY, &actions, nullptr, cargv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  Outcome outcome;
  if (spawned != 0) return outcome;
  if (!AInput.empty()) (void)!write(in[1], AInput.data(), AInput.size());
  if (!AKeepInputOpen) close(in[1]);
  pollfd fds[] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[] = {&outcome.out, &outcome.err};
  int open = 2;
  while (open > 0 && poll(fds, 2, -1) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
        if (AInterrupt && i == 0 && outcome.out.find('\n') != std::string::npos) {
          kill(pid, SIGINT);
          AInterrupt = false;
        }
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (AKeepInputOpen) close(in[1]);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return outcome;
}

class TreskTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/tresk-test-XXXXXX";
    dir = mkdtemp(pattern);
  }
  static void TearDownTestSuite() { fs::remove_all(dir); }

  static std::string File(const std::string& AName, const std::string& ABytes) {
    std::string path = (fs::path(dir) / AName).string();
    std::ofstream(path, std::ios::binary) << ABytes;
    return path;
  }

  static inline std::string dir;
};

// Wrong use of the command line: one line on stderr that says what is wrong, status 2.
TEST_F(TreskTest, BadInputIsAOneLineUsageError) {
  const std::string script = File("ok.pas", "begin end;");
  const std::string latin1 = File("latin1.pas", "begin ShowMessage('caf\xE9'); end;");
  const std::string oddUtf16 = File("odd.pas", std::string("\xFF\xFE"
                                                           "a\0b",
                                                           5));
  const std::string utf32 = File("utf32.pas", std::string("\xFF\xFE\0\0a\0\0\0", 8));
  const std::string unmarkedUtf16 = File("unmarked.pas", std::string("b\0e\0g\0i\0n\0", 10));
  const std::string unknownExtension = File("script.txt", "begin end;");
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{}, ""},
      {{"run"}, "FILE is required"},
      {{"frobnicate"}, ""},
      {{"run", script, "--bogus"}, "--bogus"},
      {{"run", (fs::path(dir) / "missing.pas").string()}, "No such file or directory"},
      {{"run", dir, "--lang", "pascal"}, "it is a directory"},
      {{"run", latin1}, "neither UTF-8 nor UTF-16 text with a byte-order mark"},
      {{"run", oddUtf16}, "odd number of bytes"},
      {{"run", utf32}, "UTF-32"},
      {{"run", unmarkedUtf16}, "NUL bytes without a byte-order mark"},
      {{"run", script, "--lang", "cobol"}, "unknown language 'cobol'"},
      {{"run", unknownExtension}, "cannot tell the language of"},
      {{"run", "-"}, "needs --lang"},
      {{"run", script, "--value", "NoEquals"}, "--value expects NAME=VALUE"},
      {{"run", script, "--value", "=1"}, "--value expects NAME=VALUE"},
      {{"run", script, "--timeout", "0"}, "--timeout"},
      {{"run", script, "--timeout", "soon"}, "--timeout"},
      {{"run", script, "--call"}, "--call"},
  };
  for (const auto& c : cases) {
    std::string command;
    for (const std::string& a : c.args) command += a + " ";
    SCOPED_TRACE(command);
    const Outcome outcome = RunTresk(c.args);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_TRUE(outcome.out.empty()) << outcome.out;
    if (c.args.empty()) continue;  // no arguments at all: the usage text
    EXPECT_EQ(outcome.err.rfind("error: ", 0), 0u) << outcome.err;
    EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << "not one line: " << outcome.err;
  }
}

TEST_F(TreskTest, HelpAndVersionExplainThemselves) {
  const Outcome version = RunTresk({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tresk " TRESK_VERSION "\n");

  const Outcome help = RunTresk({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("run"), std::string::npos);
  EXPECT_NE(help.out.find("tresk run --help"), std::string::npos);

  const Outcome runHelp = RunTresk({"run", "--help"});
  EXPECT_EQ(runHelp.status, 0);
  for (const char* word : {"FILE", "--lang", "--value", "--call", "--eval", "--exec", "--timeout",
                           "--no-source-info", "Exit status", ".pas pascal"})
    EXPECT_NE(runHelp.out.find(word), std::string::npos) << word;
}

TEST_F(TreskTest, EngineLanguagesReportTheMissingEngine) {
  const Outcome outcome = RunTresk({"run", File("s.vbs", "MsgBox 1")});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "error: Can't create script engine 'VBScript'\n");
}

// A compile error: "error: " and the message with the line (counted from 0)
// and the position; without source information only the message.
TEST_F(TreskTest, CompileErrorsNameTheirPosition) {
  const std::string script = File("syntax.pas", "begin\n  X := ;\nend;\n");
  const Outcome plain = RunTresk({"run", script, "--no-source-info"});
  EXPECT_EQ(plain.status, 1);
  ASSERT_EQ(plain.err.rfind("error: ", 0), 0u) << plain.err;
  EXPECT_EQ(plain.err.find("Source:"), std::string::npos) << plain.err;

  const Outcome located = RunTresk({"run", script});
  EXPECT_EQ(located.status, 1);
  EXPECT_EQ(located.err.substr(0, plain.err.size()), plain.err) << located.err;
  EXPECT_NE(located.err.find("\nSource: $"), std::string::npos) << located.err;
  EXPECT_NE(located.err.find(" [line: 1, pos: 8]\n"), std::string::npos) << located.err;
}

TEST_F(TreskTest, EndlessScriptsStopOnTimeoutAndOnCtrlC) {
  const std::string script =
      File("endless.pas", "begin\n  ShowMessage('started');\n  while True do ;\nend;\n");
  const auto start = std::chrono::steady_clock::now();
  const Outcome timedOut = RunTresk({"run", script, "--timeout", "1"});
  // A generous bound: it tells a hang from the watcher doing its work.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(timedOut.status, 1);
  EXPECT_EQ(timedOut.out, "started\n");
  EXPECT_EQ(timedOut.err, "error: Script execution has been aborted.\n");

  const Outcome interrupted = RunTresk({"run", script}, "", true);
  EXPECT_EQ(interrupted.status, 1);
  EXPECT_EQ(interrupted.err, "error: Script execution has been aborted.\n");

  // A script waiting for input cannot be stopped inside the machine; the
  // process ends after the grace period, with the same message.
  const std::string waiting =
      File("waiting.pas", "var S;\nbegin\n  ShowMessage('asking');\n  InputQuery('T', 'Q', S);\nend;\n");
  for (bool interrupt : {false, true}) {
    const auto asked = std::chrono::steady_clock::now();
    const Outcome stopped =
        interrupt ? RunTresk({"run", waiting}, "", true, true)
                  : RunTresk({"run", waiting, "--timeout", "1"}, "", false, true);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(30));
    EXPECT_EQ(stopped.status, 1) << interrupt;
    EXPECT_EQ(stopped.out.substr(0, 7), "asking\n") << interrupt;
    EXPECT_EQ(stopped.err, "error: Script execution has been aborted.\n") << interrupt;
  }
}

TEST_F(TreskTest, ReadsUtf8AndUtf16WithByteOrderMarks) {
  // begin ShowMessage('café ✓'); end;
  const std::u16string text = u"begin ShowMessage('caf\u00E9 \u2713'); end;";
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (char16_t c : text) {
    le += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    be += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
  }
  const std::string utf8 = "begin ShowMessage('caf\xC3\xA9 \xE2\x9C\x93'); end;";
  const std::string files[] = {File("utf8.pas", utf8), File("bom8.pas", "\xEF\xBB\xBF" + utf8),
                               File("le.pas", le), File("be.pas", be)};
  for (const std::string& file : files) {
    const Outcome outcome = RunTresk({"run", file});
    EXPECT_EQ(outcome.status, 0) << file << outcome.err;
    EXPECT_EQ(outcome.out, "caf\xC3\xA9 \xE2\x9C\x93\n") << file;
  }
  const Outcome piped = RunTresk({"run", "-", "--lang", "PASCAL"}, utf8);
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out, "caf\xC3\xA9 \xE2\x9C\x93\n");
}

TEST_F(TreskTest, ValuesAndCallArgumentsAreNumbersWhenTheyReadAsNumbers) {
  const std::string script = File("calc.pas",
                                  "function Add(A; B);\n"
                                  "begin\n  Result := A + B;\nend;\n"
                                  "procedure Say(S);\n"
                                  "begin\n  ShowMessage(S);\nend;\n"
                                  "begin\n  ShowMessage(Base);\nend;\n");
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"--value", "Base=041", "--call", "Add", "40", "2"}, "41\n42\n"},
      {{"--value", "Base=0.5", "--call", "Add", "-1.25", "1e1"}, "0.5\n8.75\n"},
      {{"--value", "Base=a=b", "--call", "Add", "ab", "cd"}, "a=b\nabcd\n"},
      {{"--value", "Base=", "--call", "Say", "hello"}, "\nhello\n"},  // no result: nothing more
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"run", script};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome outcome = RunTresk(args);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, c.out) << c.args[1];
  }
  // After the global code: --exec, then --eval, then --call, whatever their order here.
  const Outcome ordered = RunTresk({"run", script, "--value", "Base=start", "--call", "Say", "call",
                                    "--eval", "Add(Base, '+eval')", "--exec", "Say('exec')"});
  EXPECT_EQ(ordered.status, 0) << ordered.err;
  EXPECT_EQ(ordered.out, "start\nexec\nstart+eval\ncall\n");

  const Outcome missing = RunTresk({"run", script, "--value", "Base=1", "--call", "Missing"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "1\n");
  EXPECT_NE(missing.err.find("Missing"), std::string::npos) << missing.err;
}

}  // namespace
