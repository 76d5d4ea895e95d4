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
  std::string stdout_path = {};  // standard output goes to this file (/dev/full) instead
};

// Runs `argv` (no shell; argv[0] looked up in PATH, standard input empty)
// with MTOOLS_SKIP_CHECK=1 added to the environment and waits for it.
CommandResult RunCommand(const std::vector<std::string>& argv, const CommandOptions& options = {});
// Same, but throws std::runtime_error with the command line and its output
// when the status is not 0.
void RunCommandOrThrow(const std::vector<std::string>& argv);

// Runs the quorvane-cli built with these tests.
CommandResult RunCli(const std::vector<std::string>& args, const CommandOptions& options = {});

// Runs the quorvane-cli built with these tests with `mountinfo` as this
// machine's mount table: in a mount namespace of its own, whose /proc holds
// just that text as /proc/self/mountinfo. Mounts made by the kernel's vfat
// driver, which a test machine may lack, are so given as data. Needs root
// (unshare -m); the status is 127 with a reason when it cannot be done.
CommandResult RunCliWithMountTable(const std::string& mountinfo,
                                   const std::vector<std::string>& args,
                                   const CommandOptions& options = {});

// The quorvane-cli built with these tests, left running while the test reads
// what it writes: standard output and error go into one pipe that holds at
// most `pipe_bytes` (rounded up to a page), so that the program waits in a
// write once the test stops reading. Killed and reaped if still running
// when the object goes.
class RunningCli {
 public:
  RunningCli(const std::vector<std::string>& args, int pipe_bytes);
  ~RunningCli();
  RunningCli(const RunningCli&) = delete;
  RunningCli& operator=(const RunningCli&) = delete;

  int pipeBytes() const { return pipe_bytes_; }  // what the pipe holds
  // One read: what the program has written so far, at least a byte; empty
  // once the program has closed its end.
  std::string ReadSome();
  std::string ReadToEnd();
  void Signal(int signal);
  // The exit status, 128 + signal number when killed by a signal.
  int Wait();

 private:
  int pid_ = -1;
  int output_ = -1;
  int pipe_bytes_ = 0;
  int status_ = -1;
};

}  // namespace quorvane::testing
