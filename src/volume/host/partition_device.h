#pragma once
// One partition of a disk or disk image as a volume of its own: byte 0 is
// the partition's first byte, and the volume ends where the partition does.
#include <cerrno>
#include <memory>

#include "volume/host/block_device.h"

namespace quorvane {

class PartitionDevice final : public BlockDevice {
 public:
  // The `length` bytes of `disk` from byte `offset`. `past_end_error` is
  // the error number the platform's own devices give for a read past the
  // end (ERROR_HANDLE_EOF on Windows).
  PartitionDevice(std::unique_ptr<BlockDevice> disk, uint64_t offset, uint64_t length,
                  int past_end_error = EIO)
      : disk_(std::move(disk)), offset_(offset), length_(length), past_end_error_(past_end_error) {}

  // A read that ends past the partition fills what lies inside it and fails
  // with `past_end_error`, as a read past the end of an image file does: the
  // rest of the disk is never read.
  int ReadAt(uint64_t offset, std::span<uint8_t> out) override;
  // The disk's: a directory on any partition of the same disk is on it.
  std::optional<FileIdentity> Identity() const override { return disk_->Identity(); }
  std::optional<uint64_t> Size() const override { return length_; }
  std::optional<HostFileRange> HostRange(uint64_t offset, uint64_t length) const override {
    if (offset > length_ || length > length_ - offset) return std::nullopt;
    return disk_->HostRange(offset_ + offset, length);
  }

 private:
  std::unique_ptr<BlockDevice> disk_;
  uint64_t offset_;
  uint64_t length_;
  int past_end_error_;
};

}  // namespace quorvane
