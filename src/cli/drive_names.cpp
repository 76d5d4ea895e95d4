#include "cli/drive_names.h"

#include "cli/row_text.h"
#include "volume/format/volume_family.h"
#include "volume/host/sector_reader.h"
#include "volume/path_text.h"

namespace quorvane::cli {

DriveNames NamesOfDrivePath(DriveTable& drives, const std::string& path) {
  if (path.size() < 2 || path[1] != ':') return DriveNames::kFatBytes;
  const int32_t drive = DriveNumber(path[0]);
  if (drive < DriveNumber('B') || drive > DriveNumber('Z')) return DriveNames::kFatBytes;
  // A volume opened through UDisks2 is not opened twice for this.
  if (const VolumeFacts* facts = drives.FactsOf(drive); facts && !facts->family.empty())
    return facts->family == FamilyName(VolumeFamily::kExFat) ? DriveNames::kExFatUtf8 : DriveNames::kFatBytes;
  SectorReader reader(drives);
  const auto boot = reader.ReadSectors(drive, 0, 1);
  if (!boot) return DriveNames::kFatBytes;
  const auto family = FamilyOfBootSector(*boot);
  return family && family->family == VolumeFamily::kExFat ? DriveNames::kExFatUtf8 : DriveNames::kFatBytes;
}

std::string RowText(const std::string& bytes, DriveNames names) {
  return names == DriveNames::kExFatUtf8 ? bytes : Latin1ToUtf8(bytes);
}

std::string RowBytes(const std::string& text, DriveNames names) {
  return names == DriveNames::kExFatUtf8 ? text : TypedPathToBytes(text);
}

}  // namespace quorvane::cli
