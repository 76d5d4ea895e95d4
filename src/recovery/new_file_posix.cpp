#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "recovery/new_file.h"
#include "volume/host/posix_block_device.h"

namespace quorvane {

std::FILE* CreateNewFile(const std::string& host_name, bool& name_taken) {
  // O_EXCL fails on any existing name, a link included, so nothing is ever
  // truncated or written through a link.
  const int fd = ::open(host_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        0666);
  if (fd < 0) {
    name_taken = errno == EEXIST;
    return nullptr;
  }
  std::FILE* file = ::fdopen(fd, "wb");
  if (!file) ::close(fd);
  return file;
}

bool SetNewFileTimes(std::FILE* file, std::optional<int64_t> modified,
                     std::optional<int64_t> accessed) {
  if (!modified && !accessed) return true;
  auto spec = [](std::optional<int64_t> seconds) {
    timespec at{};
    if (seconds) at.tv_sec = static_cast<time_t>(*seconds);
    else at.tv_nsec = UTIME_OMIT;
    return at;
  };
  const timespec times[2] = {spec(accessed), spec(modified)};
  return ::futimens(::fileno(file), times) == 0;
}

std::optional<FileIdentity> IdentityOfNewFile(std::FILE* file) {
  return IdentityOfDescriptor(::fileno(file));
}

}  // namespace quorvane
