#include "volume/format/opened_volume.h"

namespace quorvane {

Expected<std::unique_ptr<OpenedVolume>, VolumeOpenError> OpenedVolume::Open(
    DriveSource& drives, int32_t drive, size_t cluster_cache_bytes) {
  std::unique_ptr<OpenedVolume> volume(new OpenedVolume(drives));
  const auto boot = volume->reader_.ReadSectors(drive, 0, 1);
  if (!boot) return Fail(VolumeOpenError{VolumeOpenError::Kind::kUnreadable, boot.error()});
  const auto params = FatParams::FromBootSector(*boot, drive);
  if (!params) return Fail(VolumeOpenError{VolumeOpenError::Kind::kNotFat, {}});
  volume->params_ = *params;
  volume->view_ = std::make_unique<VolumeView>(volume->reader_, volume->params_, cluster_cache_bytes);
  return volume;
}

}  // namespace quorvane
