#include "support/run_command.h"

#include <cerrno>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace quorvane::testing {

namespace {

std::string CommandLine(const std::vector<std::string>& argv) {
  std::string line;
  for (const auto& arg : argv) {
    if (!line.empty()) line += ' ';
    line += '\'' + arg + '\'';
  }
  return line;
}

// The pointers posix_spawn takes: each string's, then a null. Valid while
// `strings` is.
std::vector<char*> NullTerminated(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& argv, const CommandOptions& options) {
  if (argv.empty()) throw std::invalid_argument("RunCommand: empty command");
  // out[0] is read, out[1] is the program's standard output (and error).
  int out[2];
  if (options.terminal) {
    out[0] = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (out[0] < 0 || ::grantpt(out[0]) != 0 || ::unlockpt(out[0]) != 0)
      throw std::runtime_error("no pseudo-terminal");
    out[1] = ::open(::ptsname(out[0]), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios modes{};
    if (out[1] < 0 || ::tcgetattr(out[1], &modes) != 0) throw std::runtime_error("no pseudo-terminal");
    modes.c_oflag &= ~static_cast<tcflag_t>(OPOST);  // lines end in \n, as written
    ::tcsetattr(out[1], TCSANOW, &modes);
  } else if (::pipe2(out, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }

  std::vector<std::string> env_strings;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "MTOOLS_SKIP_CHECK=", 18) != 0) env_strings.emplace_back(*e);
  env_strings.emplace_back("MTOOLS_SKIP_CHECK=1");
  std::vector<char*> envp = NullTerminated(env_strings);
  std::vector<std::string> args = argv;
  std::vector<char*> argp = NullTerminated(args);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (options.stdout_path.empty())
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, options.stdout_path.c_str(), O_WRONLY, 0);
  if (options.stdout_only)
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  else
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
  if (!options.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.cwd.c_str());
  pid_t pid = 0;
  const int spawn_error = ::posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (spawn_error != 0) {
    ::close(out[0]);
    return {127, "cannot start " + CommandLine(argv) + ": " + std::strerror(spawn_error)};
  }

  CommandResult result;
  char buffer[4096];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) != 0;) {
    if (n > 0)
      result.output.append(buffer, static_cast<size_t>(n));
    else if (errno != EINTR)
      break;  // a pseudo-terminal whose program has ended answers EIO
  }
  ::close(out[0]);

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

void RunCommandOrThrow(const std::vector<std::string>& argv) {
  const CommandResult result = RunCommand(argv);
  if (result.status != 0)
    throw std::runtime_error(CommandLine(argv) + " failed with status " +
                             std::to_string(result.status) + ":\n" + result.output);
}

CommandResult RunCli(const std::vector<std::string>& args, const CommandOptions& options) {
  std::vector<std::string> argv{QUORVANE_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunCommand(argv, options);
}

CommandResult RunCliWithMountTable(const std::string& mountinfo,
                                   const std::vector<std::string>& args,
                                   const CommandOptions& options) {
  std::vector<std::string> argv{
      "unshare", "-m", "--propagation", "private", "sh", "-c",
      "mount -t tmpfs tmpfs /proc && mkdir /proc/self && printf %s \"$0\" >/proc/self/mountinfo "
      "&& exec \"$@\"",
      mountinfo, QUORVANE_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunCommand(argv, options);
}

RunningCli::RunningCli(const std::vector<std::string>& args, int pipe_bytes) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  pipe_bytes_ = ::fcntl(out[0], F_SETPIPE_SZ, pipe_bytes);
  if (pipe_bytes_ < 0) throw std::runtime_error("the pipe's size cannot be set");
  std::vector<std::string> argv{QUORVANE_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> argp = NullTerminated(argv);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, out[1], 2);
  // Whatever the test runner ignores, the program starts as a shell starts it.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int spawn_error =
      ::posix_spawn(&pid, argp[0], &actions, &attributes, argp.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(out[1]);
  if (spawn_error != 0) {
    ::close(out[0]);
    throw std::runtime_error(std::string("cannot start quorvane-cli: ") + std::strerror(spawn_error));
  }
  pid_ = pid;
  output_ = out[0];
}

RunningCli::~RunningCli() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    Wait();
  }
  if (output_ >= 0) ::close(output_);
}

std::string RunningCli::ReadSome() {
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(output_, buffer, sizeof buffer);
    if (n >= 0) return std::string(buffer, static_cast<size_t>(n));
    if (errno != EINTR) return {};
  }
}

std::string RunningCli::ReadToEnd() {
  std::string all;
  for (std::string some; !(some = ReadSome()).empty();) all += some;
  return all;
}

void RunningCli::Signal(int signal) { ::kill(pid_, signal); }

int RunningCli::Wait() {
  if (pid_ < 0) return status_;
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return status_;
}

}  // namespace quorvane::testing
