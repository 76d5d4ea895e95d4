#pragma once
// An image file or block device, opened read-only and read with pread.
#include <memory>
#include <string>

#include "volume/block_device.h"

namespace quorvane {

class PosixBlockDevice final : public BlockDevice {
 public:
  // nullptr when the path cannot be opened for reading.
  static std::unique_ptr<PosixBlockDevice> Open(const std::string& path);
  ~PosixBlockDevice() override;
  PosixBlockDevice(const PosixBlockDevice&) = delete;
  PosixBlockDevice& operator=(const PosixBlockDevice&) = delete;

  int ReadAt(uint64_t offset, std::span<uint8_t> out) override;

 private:
  explicit PosixBlockDevice(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace quorvane
