#include <algorithm>
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
  auto at_or_omit = [](std::optional<int64_t> seconds) {
    timespec at{};
    if (seconds) at.tv_sec = static_cast<time_t>(*seconds);
    else at.tv_nsec = UTIME_OMIT;
    return at;
  };
  const timespec times[2] = {at_or_omit(accessed), at_or_omit(modified)};
  return ::futimens(::fileno(file), times) == 0;
}

bool CopyIntoNewFile(std::FILE* file, const HostFileRange& from, uint64_t bytes, bool& unsupported) {
  const int out = ::fileno(file);
  const off_t start = ::lseek(out, 0, SEEK_END);
  if (start < 0) return false;
  auto in_at = static_cast<off_t>(from.offset);
  uint64_t left = bytes;
  while (left > 0) {
    const ssize_t copied = ::copy_file_range(from.fd, &in_at, out, nullptr,
                                             static_cast<size_t>(std::min<uint64_t>(left, 1u << 30)), 0);
    if (copied < 0 && errno == EINTR) continue;
    if (copied <= 0) {
      unsupported = copied < 0 && (errno == ENOSYS || errno == EXDEV || errno == EINVAL ||
                                   errno == EOPNOTSUPP || errno == EBADF);
      // Nothing of a failed copy stays: the bytes are read again, or the
      // failure is told, by the caller.
      if (::ftruncate(out, start) != 0 || ::lseek(out, start, SEEK_SET) < 0) unsupported = true;
      return false;
    }
    left -= static_cast<uint64_t>(copied);
  }
  // stdio goes on writing after the copied bytes.
  return std::fseek(file, 0, SEEK_END) == 0;
}

bool TruncateNewFile(std::FILE* file, uint64_t bytes) {
  return ::ftruncate(::fileno(file), static_cast<off_t>(bytes)) == 0 && std::fseek(file, 0, SEEK_END) == 0;
}

std::optional<FileIdentity> IdentityOfNewFile(std::FILE* file) {
  return IdentityOfDescriptor(::fileno(file));
}

}  // namespace quorvane
