#pragma once
// One volume as a job opens it, once: the device stays open for the job,
// the boot sector is read once into the family and layout, and every later
// read goes through the one cached view. The families are variants behind
// this object: FAT12, FAT16 and FAT32 differ in their FAT entries and root
// directory (a fixed region after the FATs on FAT12/16, a cluster chain on
// FAT32), exFAT in its directory entries and its allocation bitmap.
#include <cstdint>
#include <memory>
#include <optional>

#include "volume/expected.h"
#include "volume/format/exfat_bitmap.h"
#include "volume/format/exfat_upcase_table.h"
#include "volume/format/fat_params.h"
#include "volume/format/volume_family.h"
#include "volume/format/volume_view.h"
#include "volume/host/block_device.h"
#include "volume/host/sector_reader.h"
#include "volume/read_error.h"

namespace quorvane {

// Why a volume could not be opened.
struct VolumeOpenError {
  enum class Kind {
    kUnreadable,  // the device does not open, or its boot sector cannot be read: `read` says why
    kNotFat,      // the boot sector describes no FAT12, FAT16, FAT32 or exFAT volume this system walks
  };
  Kind kind = Kind::kUnreadable;
  ReadError read;
};

class OpenedVolume {
 public:
  // `drives` must outlive the volume. Reads the boot sector of `drive` (3 =
  // C:) and, for exFAT, finds its allocation bitmap. `cluster_cache_bytes`
  // bounds the view's cache of directory clusters.
  static Expected<std::unique_ptr<OpenedVolume>, VolumeOpenError> Open(
      DriveSource& drives, int32_t drive, size_t cluster_cache_bytes = 16u << 20);

  OpenedVolume(const OpenedVolume&) = delete;
  OpenedVolume& operator=(const OpenedVolume&) = delete;

  int32_t drive() const { return params_.m_nDrive; }
  VolumeFamily family() const { return params_.m_family; }
  bool IsExFat() const { return params_.m_family == VolumeFamily::kExFat; }
  // The layout in 512-byte sectors, whatever the volume's own sector size.
  const FatParams& params() const { return params_; }
  VolumeView& view() { return *view_; }
  SectorReader& reader() { return reader_; }
  // The root directory's first cluster; on FAT12 and FAT16 kRootRegion,
  // which the view and the walk read as the fixed root region.
  uint32_t RootCluster() const { return static_cast<uint32_t>(params_.m_nRootCluster); }
  // The host file behind the volume, to keep output off it.
  std::optional<FileIdentity> Identity() const { return reader_.VolumeIdentity(); }
  // exFAT: the up-case table its names are compared through (the volume's
  // own, or a fallback for the common alphabets when it cannot be read).
  const ExFatUpcaseTable& Upcase() const { return upcase_ ? *upcase_ : ExFatUpcaseTable::Fallback(); }
  // exFAT: the label its root directory records (UTF-8), empty without one.
  const std::string& ExFatLabel() const { return label_; }

 private:
  explicit OpenedVolume(DriveSource& drives) : reader_(drives) {}
  bool OpenExFat(std::span<const uint8_t> boot, int32_t drive, size_t cluster_cache_bytes,
                 VolumeOpenError& error);

  SectorReader reader_;
  FatParams params_;
  std::unique_ptr<VolumeView> view_;
  std::unique_ptr<ExFatBitmap> bitmap_;  // exFAT: which clusters are in use
  std::optional<ExFatUpcaseTable> upcase_;
  std::string label_;
};

}  // namespace quorvane
