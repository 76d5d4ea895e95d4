#include "support/run_command.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
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

struct Pipe {
  int fd[2] = {-1, -1};
  Pipe() {
    if (::pipe2(fd, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  }
  ~Pipe() {
    for (int f : fd)
      if (f >= 0) ::close(f);
  }
  void Close(int i) {
    if (fd[i] >= 0) ::close(fd[i]);
    fd[i] = -1;
  }
};

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& argv, const CommandOptions& options) {
  if (argv.empty()) throw std::invalid_argument("RunCommand: empty command");
  Pipe in, out;

  std::vector<std::string> env_strings;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "MTOOLS_SKIP_CHECK=", 18) != 0) env_strings.emplace_back(*e);
  env_strings.emplace_back("MTOOLS_SKIP_CHECK=1");
  std::vector<char*> envp;
  for (auto& s : env_strings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (auto& s : args) argp.push_back(s.data());
  argp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in.fd[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out.fd[1], 1);
  posix_spawn_file_actions_adddup2(&actions, out.fd[1], 2);
  if (!options.cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.cwd.c_str());
  pid_t pid = 0;
  const int spawn_error = ::posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawn_error != 0) {
    return {127, "cannot start " + CommandLine(argv) + ": " + std::strerror(spawn_error)};
  }
  in.Close(0);
  out.Close(1);

  // Feed the input and drain the output together, so neither side can block
  // the other on a full pipe.
  CommandResult result;
  size_t written = 0;
  if (options.input.empty()) in.Close(1);
  const auto old_sigpipe = std::signal(SIGPIPE, SIG_IGN);
  while (out.fd[0] >= 0) {
    pollfd fds[2] = {{out.fd[0], POLLIN, 0}, {in.fd[1], POLLOUT, 0}};
    const nfds_t count = in.fd[1] >= 0 ? 2 : 1;
    if (::poll(fds, count, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (count == 2 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
      const ssize_t n = ::write(in.fd[1], options.input.data() + written,
                                options.input.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (n < 0 || written == options.input.size()) in.Close(1);
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      char buffer[4096];
      const ssize_t n = ::read(out.fd[0], buffer, sizeof buffer);
      if (n > 0)
        result.output.append(buffer, static_cast<size_t>(n));
      else if (n == 0 || errno != EINTR)
        out.Close(0);
    }
  }
  in.Close(1);
  std::signal(SIGPIPE, old_sigpipe);

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

std::string RunCommandOrThrow(const std::vector<std::string>& argv, const CommandOptions& options) {
  CommandResult result = RunCommand(argv, options);
  if (result.status != 0)
    throw std::runtime_error(CommandLine(argv) + " failed with status " +
                             std::to_string(result.status) + ":\n" + result.output);
  return std::move(result.output);
}

std::string CliPath() { return QUORVANE_CLI_PATH; }

CommandResult RunCli(const std::vector<std::string>& args, const CommandOptions& options) {
  std::vector<std::string> argv{CliPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunCommand(argv, options);
}

}  // namespace quorvane::testing
