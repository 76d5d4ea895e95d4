#pragma once
// ReadSectors: whole 512-byte sectors of a drive by absolute sector number.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "volume/host/block_device.h"
#include "volume/read_error.h"

namespace quorvane {

inline constexpr uint32_t kSectorSize = 512;

// One reader serves one operation: it keeps the drive's volume open from the
// first successful open until it is destroyed. A drive that fails to open is
// tried again on the next request, as each request stands on its own. The
// reader tells nobody of a failure; it returns it.
class SectorReader {
 public:
  explicit SectorReader(DriveSource& drives) : drives_(drives) {}

  // A buffer of exactly count * 512 bytes, or why the read failed.
  ReadResult<SectorBuffer> ReadSectors(int32_t drive, uint32_t first, uint32_t count);

  // Reads count * 512 bytes into `out`, which must be that large.
  ReadStatus ReadInto(int32_t drive, uint32_t first, uint32_t count, std::span<uint8_t> out);

  // Where `count` sectors from `first` lie in a host file, when the drive's
  // volume is a regular file holding them all.
  std::optional<HostFileRange> HostRange(int32_t drive, uint32_t first, uint32_t count) {
    BlockDevice* device = Device(drive);
    if (!device) return std::nullopt;
    return device->HostRange(uint64_t{first} * kSectorSize, uint64_t{count} * kSectorSize);
  }

  // The host file behind the volume this reader has open, if any.
  std::optional<FileIdentity> VolumeIdentity() const {
    return device_ ? device_->Identity() : std::nullopt;
  }

 private:
  BlockDevice* Device(int32_t drive);

  DriveSource& drives_;
  int32_t open_drive_ = 0;
  std::unique_ptr<BlockDevice> device_;
};

}  // namespace quorvane
