#include "volume/host/posix_block_device.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

// What a file that is no volume is, in the words a user knows.
const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  return "no regular file";
}

void Explain(std::string* why, const std::string& text) {
  if (why) *why = text;
}

FileIdentity IdentityOf(const struct stat& st) {
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                      S_ISBLK(st.st_mode), static_cast<uint64_t>(st.st_rdev)};
}

}  // namespace

std::optional<FileIdentity> IdentityOfDescriptor(int fd) {
  struct stat st{};
  if (::fstat(fd, &st) != 0) return std::nullopt;
  return IdentityOf(st);
}

std::optional<FileIdentity> IdentityOfPath(const std::string& path) {
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return IdentityOf(st);
}

std::unique_ptr<PosixBlockDevice> PosixBlockDevice::Open(const std::string& path, std::string* why) {
  // Read-only, always: the volume is never written. O_NONBLOCK lets the open
  // of a FIFO return at once instead of waiting for a writer.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) {
    const int error = errno;
    struct stat st{};
    // A socket cannot be opened at all; name it rather than its errno.
    if (::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
      Explain(why, std::string(KindOf(st.st_mode)) + ", not an image file or block device");
    else
      Explain(why, std::strerror(error));
    return nullptr;
  }
  return Adopt(std::move(fd), why);
}

std::unique_ptr<PosixBlockDevice> PosixBlockDevice::Adopt(UniqueFd fd, std::string* why) {
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags < 0) {
    Explain(why, std::strerror(errno));
    return nullptr;
  }
  // A descriptor that could write is refused, though nothing would write
  // through it: the volume is only ever reached read-only.
  if ((flags & O_ACCMODE) != O_RDONLY) {
    Explain(why, "opened for writing, not read-only");
    return nullptr;
  }
  struct stat st{};
  if (::fstat(fd.get(), &st) != 0) {
    Explain(why, std::strerror(errno));
    return nullptr;
  }
  if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)) {
    Explain(why, std::string(KindOf(st.st_mode)) + ", not an image file or block device");
    return nullptr;
  }
  // Reads of files and disks never block; the flag is dropped all the same.
  if (flags & O_NONBLOCK) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  return std::unique_ptr<PosixBlockDevice>(new PosixBlockDevice(std::move(fd), IdentityOf(st)));
}

int PosixBlockDevice::ReadAt(uint64_t offset, std::span<uint8_t> out) {
  size_t done = 0;
  while (done < out.size()) {
    const ssize_t got = ::pread(fd_.get(), out.data() + done, out.size() - done,
                                static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (got == 0) return EIO;  // the volume ends before the request does
    done += static_cast<size_t>(got);
  }
  return 0;
}

std::optional<HostFileRange> PosixBlockDevice::HostRange(uint64_t offset, uint64_t length) const {
  struct stat st{};
  if (::fstat(fd_.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  const auto size = static_cast<uint64_t>(st.st_size);
  if (offset > size || length > size - offset) return std::nullopt;
  return HostFileRange{fd_.get(), offset};
}

std::optional<uint64_t> PosixBlockDevice::Size() const {
  struct stat st{};
  if (::fstat(fd_.get(), &st) != 0) return std::nullopt;
  if (S_ISREG(st.st_mode)) return static_cast<uint64_t>(st.st_size);
  uint64_t bytes = 0;
  if (S_ISBLK(st.st_mode) && ::ioctl(fd_.get(), BLKGETSIZE64, &bytes) == 0) return bytes;
  return std::nullopt;
}

}  // namespace quorvane
