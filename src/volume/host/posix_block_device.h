#pragma once
// An image file or block device, opened read-only and read with pread.
#include <memory>
#include <string>

#include "volume/host/block_device.h"
#include "volume/host/unique_fd.h"

namespace quorvane {

class PosixBlockDevice final : public BlockDevice {
 public:
  // nullptr when the path cannot be opened for reading or is neither a
  // regular file nor a block device; `why` (when given) then says which.
  // The open never blocks: a FIFO is refused, not waited on.
  static std::unique_ptr<PosixBlockDevice> Open(const std::string& path, std::string* why = nullptr);
  // Takes over `fd`, opened elsewhere (UDisks2 opens devices for a user who
  // may not). The same checks as Open: it must be open for reading only,
  // and an image file or block device; otherwise nullptr, `fd` closed.
  static std::unique_ptr<PosixBlockDevice> Adopt(UniqueFd fd, std::string* why = nullptr);
  PosixBlockDevice(const PosixBlockDevice&) = delete;
  PosixBlockDevice& operator=(const PosixBlockDevice&) = delete;

  int ReadAt(uint64_t offset, std::span<uint8_t> out) override;
  std::optional<FileIdentity> Identity() const override { return identity_; }
  // A file's size, or a block device's (BLKGETSIZE64), as it is now.
  std::optional<uint64_t> Size() const override;
  // An image file's own bytes; a block device's are read as they are.
  std::optional<HostFileRange> HostRange(uint64_t offset, uint64_t length) const override;

 private:
  PosixBlockDevice(UniqueFd fd, const FileIdentity& identity)
      : fd_(std::move(fd)), identity_(identity) {}
  UniqueFd fd_;
  FileIdentity identity_;
};

// The identity of an open file descriptor, or none when fstat fails.
std::optional<FileIdentity> IdentityOfDescriptor(int fd);
// The identity of the file at `path`, or none when stat fails.
std::optional<FileIdentity> IdentityOfPath(const std::string& path);

}  // namespace quorvane
