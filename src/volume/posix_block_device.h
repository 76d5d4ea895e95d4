#pragma once
// An image file or block device, opened read-only and read with pread.
#include <memory>
#include <string>

#include "volume/block_device.h"

namespace quorvane {

class PosixBlockDevice final : public BlockDevice {
 public:
  // nullptr when the path cannot be opened for reading or is neither a
  // regular file nor a block device; `why` (when given) then says which.
  // The open never blocks: a FIFO is refused, not waited on.
  static std::unique_ptr<PosixBlockDevice> Open(const std::string& path, std::string* why = nullptr);
  ~PosixBlockDevice() override;
  PosixBlockDevice(const PosixBlockDevice&) = delete;
  PosixBlockDevice& operator=(const PosixBlockDevice&) = delete;

  int ReadAt(uint64_t offset, std::span<uint8_t> out) override;
  std::optional<FileIdentity> Identity() const override { return identity_; }

 private:
  PosixBlockDevice(int fd, const FileIdentity& identity) : fd_(fd), identity_(identity) {}
  int fd_;
  FileIdentity identity_;
};

// The identity of an open file descriptor, or none when fstat fails.
std::optional<FileIdentity> IdentityOfDescriptor(int fd);

}  // namespace quorvane
