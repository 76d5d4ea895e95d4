#include "volume/format/opened_volume.h"

#include "volume/format/directory_walk.h"
#include "volume/format/exfat_boot_sector.h"
#include "volume/format/exfat_entry_set.h"
#include "volume/format/exfat_names.h"

namespace quorvane {

Expected<std::unique_ptr<OpenedVolume>, VolumeOpenError> OpenedVolume::Open(
    DriveSource& drives, int32_t drive, size_t cluster_cache_bytes) {
  std::unique_ptr<OpenedVolume> volume(new OpenedVolume(drives));
  const auto boot = volume->reader_.ReadSectors(drive, 0, 1);
  if (!boot) return Fail(VolumeOpenError{VolumeOpenError::Kind::kUnreadable, boot.error()});
  const auto family = FamilyOfBootSector(*boot);
  if (family && family->family == VolumeFamily::kExFat) {
    VolumeOpenError error;
    if (!volume->OpenExFat(*boot, drive, cluster_cache_bytes, error)) return Fail(error);
    return volume;
  }
  const auto params = FatParams::FromBootSector(*boot, drive);
  if (!params) return Fail(VolumeOpenError{VolumeOpenError::Kind::kNotFat, {}});
  volume->params_ = *params;
  volume->view_ = std::make_unique<VolumeView>(volume->reader_, volume->params_, cluster_cache_bytes);
  return volume;
}

// exFAT keeps which clusters are in use in its allocation bitmap, a file of
// the root directory; without it no free cluster can be told, so a volume
// whose bitmap cannot be found or read is not walked.
bool OpenedVolume::OpenExFat(std::span<const uint8_t> boot, int32_t drive, size_t cluster_cache_bytes,
                             VolumeOpenError& error) {
  error = VolumeOpenError{VolumeOpenError::Kind::kNotFat, {}};
  const auto layout = ExFatLayoutOf(boot);
  const auto params = ExFatParams(boot, drive);
  if (!layout || !params) return false;
  params_ = *params;
  view_ = std::make_unique<VolumeView>(reader_, params_, cluster_cache_bytes);

  ExFatRootRecords records;
  ExFatEntrySetReader sets;
  const WalkEnd end = WalkDirectory(*view_, {RootCluster()}, [&](const WalkedEntry& at) {
    sets.Add(at.raw);
    while (const auto item = sets.Next()) records.Take(*item, layout->activeFat);
    return sets.AtEnd() ? Visit::kStop : Visit::kGoOn;
  });
  if (end.kind == WalkEnd::Kind::kUnreadable && end.atFirstCluster) {
    error = VolumeOpenError{VolumeOpenError::Kind::kUnreadable, end.error};
    return false;
  }
  if (!records.bitmap) return false;
  auto bitmap = ExFatBitmap::Open(*view_, *records.bitmap);
  if (!bitmap) return false;
  bitmap_ = std::move(*bitmap);
  view_->UseAllocationMap(bitmap_.get());
  if (records.upcase) upcase_ = LoadExFatUpcaseTable(*view_, *records.upcase);
  if (records.label) label_ = Utf16ToUtf8(records.label->label);
  return true;
}

}  // namespace quorvane
