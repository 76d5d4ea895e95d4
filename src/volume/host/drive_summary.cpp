#include "volume/host/drive_summary.h"

#include <array>

#include "volume/format/volume_family.h"
#include "volume/host/partition_table.h"

namespace quorvane {

namespace {

// Why the drive could not be opened, without the path the line already
// names ("/img/x.img: No such file or directory").
std::string OpenProblem(const DriveTable& drives, int32_t drive, const std::string& source) {
  std::string why = drives.OpenFailure(drive);
  if (why.starts_with(source + ": ")) why.erase(0, source.size() + 2);
  return "cannot be opened: " + why;
}

}  // namespace

DriveSummary SummarizeDrive(DriveTable& drives, int32_t drive) {
#ifndef _WIN32
  return SummarizeDrive(drives, drive, MountedVolumes::OfThisMachine(drives));
#else
  return SummarizeDrive(drives, drive, MountedVolumes({}, {}));
#endif
}

DriveSummary SummarizeDrive(DriveTable& drives, int32_t drive, const MountedVolumes& mounted) {
  DriveSummary summary;
  summary.drive = drive;
  summary.source = drives.PathOf(drive);
  const VolumeFacts* facts = drives.FactsOf(drive);
  if (facts) {
    summary.label = facts->label;
    summary.family = facts->family;
    summary.size = facts->size;
    summary.partition = facts->partition;
    summary.offset = facts->offset;
  }
  const PartitionPlace* partition = drives.PartitionOf(drive);
  if (partition) {
    summary.partition = partition->number;
    summary.offset = partition->offset;
    summary.size = partition->length;
  }
  for (const MountEntry& mount : mounted.MountsOf(drive)) summary.mountPoints.push_back(mount.mountPoint);
  if (facts && !facts->family.empty() && drives.OpensThroughUdisks(drive)) return summary;

  auto device = drives.OpenDrive(drive);
  if (!device) {
    summary.problem = OpenProblem(drives, drive, summary.source);
    return summary;
  }
  if (summary.size == 0) summary.size = device->Size().value_or(0);
  std::array<uint8_t, 512> sector{};
  if (device->ReadAt(0, sector) != 0) {
    summary.problem = "its first sector cannot be read";
    return summary;
  }
  const auto found = FamilyOfBootSector(sector);
  if (!found) {
    summary.family.clear();
    summary.problem = "no FAT or exFAT volume";
    // A disk whose table lists no FAT partition is mapped whole.
    if (const auto size = device->Size(); size && !partition) {
      const PartitionTable table = ReadPartitionTable(*device, *size);
      if (table.scheme != PartitionScheme::kNone)
        summary.problem = "no FAT or exFAT partition in its " + SchemeName(table.scheme) + " partition table";
    }
    return summary;
  }
  summary.family = std::string(FamilyName(found->family));
  if (summary.label.empty() && found->label != "NO NAME") summary.label = found->label;
  return summary;
}

}  // namespace quorvane
