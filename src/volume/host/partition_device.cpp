#include "volume/host/partition_device.h"

#include <algorithm>

namespace quorvane {

int PartitionDevice::ReadAt(uint64_t offset, std::span<uint8_t> out) {
  const uint64_t inside = offset >= length_ ? 0 : std::min<uint64_t>(out.size(), length_ - offset);
  if (inside != 0) {
    if (const int error = disk_->ReadAt(offset_ + offset, out.first(static_cast<size_t>(inside))))
      return error;
  }
  return inside == out.size() ? 0 : past_end_error_;
}

}  // namespace quorvane
