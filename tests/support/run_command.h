#pragma once
// Running programs from tests: the tools that make volumes, and quorvane-cli.
#include <string>
#include <vector>

namespace quorvane::testing {

struct CommandResult {
  int status = -1;     // exit status; 128 + signal number when killed by a signal
  std::string output;  // standard output and standard error, interleaved
};

struct CommandOptions {
  std::string cwd;  // working directory; empty = the test's own
  bool stdout_only = false;  // standard error goes to /dev/null
  bool terminal = false;     // standard output and error are a terminal (a pseudo-terminal)
};

// Runs `argv` (no shell; argv[0] looked up in PATH, standard input empty)
// with MTOOLS_SKIP_CHECK=1 added to the environment and waits for it.
CommandResult RunCommand(const std::vector<std::string>& argv, const CommandOptions& options = {});
// Same, but throws std::runtime_error with the command line and its output
// when the status is not 0.
void RunCommandOrThrow(const std::vector<std::string>& argv);

// Runs the quorvane-cli built with these tests.
CommandResult RunCli(const std::vector<std::string>& args, const CommandOptions& options = {});

}  // namespace quorvane::testing
