#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#ifdef __linux__
#include <linux/fs.h>
#endif

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

// The host shares the image's blocks with the new file where its file
// system can (XFS, Btrfs: a clone of the range), and only then: where it
// would copy the bytes itself (copy_file_range on ext4 does), reading them
// here costs less. A clone takes whole blocks of the file system at the
// same place in both files; the few bytes after the last whole block are
// read and written here.
bool CopyIntoNewFile(std::FILE* file, const HostFileRange& from, uint64_t bytes, bool& unsupported) {
#ifdef FICLONERANGE
  const int out = ::fileno(file);
  const off_t start = ::lseek(out, 0, SEEK_END);
  struct stat about {};
  if (start < 0 || ::fstat(out, &about) != 0 || about.st_blksize <= 0) return false;
  const auto block = static_cast<uint64_t>(about.st_blksize);
  const uint64_t whole = bytes / block * block;
  // Not at a block boundary in both files: this run is read, the next may not be.
  if (whole == 0 || from.offset % block != 0 || static_cast<uint64_t>(start) % block != 0) return false;
  file_clone_range range{};
  range.src_fd = from.fd;
  range.src_offset = from.offset;
  range.src_length = whole;
  range.dest_offset = static_cast<uint64_t>(start);
  if (::ioctl(out, FICLONERANGE, &range) != 0) {
    unsupported = errno == EOPNOTSUPP || errno == ENOTTY || errno == EXDEV || errno == EINVAL ||
                  errno == EBADF || errno == ENOSYS || errno == EPERM;
    return false;
  }
  // The rest of the run, less than a block.
  std::vector<uint8_t> tail(static_cast<size_t>(bytes - whole));
  const bool tail_done =
      tail.empty() ||
      (::pread(from.fd, tail.data(), tail.size(), static_cast<off_t>(from.offset + whole)) ==
           static_cast<ssize_t>(tail.size()) &&
       ::pwrite(out, tail.data(), tail.size(), static_cast<off_t>(start + static_cast<off_t>(whole))) ==
           static_cast<ssize_t>(tail.size()));
  // Nothing of a copy that failed stays: the caller reads the bytes again,
  // and tells a read that fails.
  if (!tail_done) {
    if (::ftruncate(out, start) != 0 || ::lseek(out, start, SEEK_SET) < 0) unsupported = true;
    return false;
  }
  // stdio goes on writing after the bytes placed here.
  return std::fseek(file, 0, SEEK_END) == 0;
#else
  (void)file;
  (void)from;
  (void)bytes;
  unsupported = true;
  return false;
#endif
}

bool TruncateNewFile(std::FILE* file, uint64_t bytes) {
  return ::ftruncate(::fileno(file), static_cast<off_t>(bytes)) == 0 && std::fseek(file, 0, SEEK_END) == 0;
}

std::optional<FileIdentity> IdentityOfNewFile(std::FILE* file) {
  return IdentityOfDescriptor(::fileno(file));
}

}  // namespace quorvane
