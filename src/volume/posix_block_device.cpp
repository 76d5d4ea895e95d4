#include "volume/posix_block_device.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quorvane {

std::unique_ptr<PosixBlockDevice> PosixBlockDevice::Open(const std::string& path) {
  // Read-only, always: the volume is never written.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::unique_ptr<PosixBlockDevice>(new PosixBlockDevice(fd));
}

PosixBlockDevice::~PosixBlockDevice() { ::close(fd_); }

int PosixBlockDevice::ReadAt(uint64_t offset, std::span<uint8_t> out) {
  size_t done = 0;
  while (done < out.size()) {
    const ssize_t got = ::pread(fd_, out.data() + done, out.size() - done,
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

}  // namespace quorvane
