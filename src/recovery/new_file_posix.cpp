#include <cerrno>
#include <fcntl.h>
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

std::optional<FileIdentity> IdentityOfNewFile(std::FILE* file) {
  return IdentityOfDescriptor(::fileno(file));
}

}  // namespace quorvane
