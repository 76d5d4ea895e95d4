#include "support/failing_image_mount.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace quorvane::testing {

namespace {

#ifdef QUORVANE_FAILING_IMAGE_FS
constexpr char kServer[] = QUORVANE_FAILING_IMAGE_FS;
#else
constexpr char kServer[] = "";
#endif

// Whether `dir` is the root of a mount of its own.
bool IsMountPoint(const std::string& dir) {
  struct stat inside {}, parent {};
  return ::stat(dir.c_str(), &inside) == 0 && ::stat((dir + "/..").c_str(), &parent) == 0 &&
         inside.st_dev != parent.st_dev;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

FailingImageMount::FailingImageMount(const std::string& image, const std::vector<BadBytes>& bad) {
  if (kServer[0] == '\0') {
    why_not_ = "the tests were built without libfuse3 (libfuse3-dev): no failing_image_fs";
    return;
  }
  if (::access("/dev/fuse", R_OK | W_OK) != 0) {
    why_not_ = "/dev/fuse is missing or not usable here";
    return;
  }
  const std::string mount_point = dir_.File("mnt");
  const std::string log = dir_.File("server.log");
  ::mkdir(mount_point.c_str(), 0700);
  std::vector<std::string> args{kServer, image, mount_point};
  for (const BadBytes& range : bad)
    args.push_back(std::to_string(range.start) + "-" + std::to_string(range.end));
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const int spawned = ::posix_spawn(&server_, kServer, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    server_ = -1;
    why_not_ = "cannot start ";
    why_not_.append(kServer);
    return;
  }
  // The server mounts, then serves; it ends at once when mounting fails.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < give_up) {
    if (IsMountPoint(mount_point)) {
      mounted_ = true;
      break;
    }
    int status = 0;
    if (::waitpid(server_, &status, WNOHANG) == server_) {
      server_ = -1;
      why_not_ = "FUSE mount failed: " + FileText(log);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!mounted_) why_not_ = "the FUSE mount did not appear in 10 s: " + FileText(log);
  struct stat served {};
  if (mounted_ && ::stat(path().c_str(), &served) != 0) why_not_ = "the mount serves no image";
}

FailingImageMount::~FailingImageMount() {
  const std::string mount_point = dir_.File("mnt");
  // The server ends when its file system is unmounted.
  if (mounted_ && ::umount2(mount_point.c_str(), 0) != 0) ::umount2(mount_point.c_str(), MNT_DETACH);
  if (server_ > 0) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (::waitpid(server_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > give_up) {
        ::kill(server_, SIGKILL);
        ::waitpid(server_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ::rmdir(mount_point.c_str());
}

}  // namespace quorvane::testing
