#include "volume/host/drive_summary.h"

#include <array>

#include "volume/format/volume_family.h"
#include "volume/host/mount_table.h"

namespace quorvane {

DriveSummary SummarizeDrive(DriveTable& drives, int32_t drive) {
  DriveSummary summary;
  summary.drive = drive;
  summary.source = drives.PathOf(drive);
  if (const VolumeFacts* facts = drives.FactsOf(drive)) {
    summary.label = facts->label;
    summary.size = facts->size;
  }
#ifndef _WIN32
  for (const MountEntry& mount : MountedVolumes::OfThisMachine(drives).MountsOf(drive))
    summary.mountPoints.push_back(mount.mountPoint);
#endif
  auto device = drives.OpenDrive(drive);
  if (!device) {
    summary.problem = drives.OpenFailure(drive);
    return summary;
  }
  std::array<uint8_t, 512> sector{};
  if (device->ReadAt(0, sector) != 0) {
    summary.problem = "its first sector cannot be read";
    return summary;
  }
  const auto found = FamilyOfBootSector(sector);
  if (!found) {
    summary.problem = "no FAT or exFAT volume";
    return summary;
  }
  summary.family = std::string(FamilyName(found->family));
  if (summary.label.empty() && found->label != "NO NAME") summary.label = found->label;
  return summary;
}

}  // namespace quorvane
