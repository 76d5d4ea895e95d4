#pragma once
// ReadSectors: whole 512-byte sectors of a drive by absolute sector number.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "volume/block_device.h"
#include "recovery/message_box_host.h"

namespace quorvane {

inline constexpr uint32_t kSectorSize = 512;

using SectorBuffer = std::vector<uint8_t>;

// The engine's reader reports a failed read with its error number; the
// search's reader stays silent about it. Both report a volume that cannot be
// opened.
enum class ReaderVariant { kEngine, kSearch };

inline constexpr char kCreateFileFailed[] = "CreateFile () Failed !";
inline constexpr char kReadingSectorsFailed[] = "Reading sectors ...Failed  ";

// One reader serves one operation: it keeps the drive's volume open from the
// first successful open until it is destroyed. A drive that fails to open is
// tried again on the next request, as each request stands on its own.
class SectorReader {
 public:
  SectorReader(DriveSource& drives, MessageBoxHost& boxes, ReaderVariant variant);

  // A buffer of exactly count * 512 bytes, or none when the read failed.
  std::optional<SectorBuffer> ReadSectors(int32_t drive, uint32_t first, uint32_t count);

  // Reads count * 512 bytes into `out` (which must be that large). Returns
  // true on success. `quiet` suppresses the read-failure message (used for
  // speculative large reads that fall back to single ones).
  bool ReadInto(int32_t drive, uint32_t first, uint32_t count, std::span<uint8_t> out,
                bool quiet = false);

  ReaderVariant variant() const { return variant_; }

  // The host file behind the volume this reader has open, if any.
  std::optional<FileIdentity> VolumeIdentity() const {
    return device_ ? device_->Identity() : std::nullopt;
  }

 private:
  BlockDevice* Device(int32_t drive);

  DriveSource& drives_;
  MessageBoxHost& boxes_;
  ReaderVariant variant_;
  int32_t open_drive_ = 0;
  std::unique_ptr<BlockDevice> device_;
};

}  // namespace quorvane
