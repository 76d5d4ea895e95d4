#pragma once
// What a person needs to know which card a drive is: its label, family,
// size, the image or device it is on, the partition it is there, and where
// it is mounted. The wizard's volume chooser and `quorvane-cli drives` show
// it.
#include <cstdint>
#include <string>
#include <vector>

#include "volume/host/drive_table.h"
#include "volume/host/mount_table.h"

namespace quorvane {

struct DriveSummary {
  int32_t drive = 0;           // 3 = C:
  std::string source;          // the image or device path
  std::string label;           // the volume's label, empty when it has none
  std::string family;          // "FAT12", "FAT16", "FAT32", "exFAT"; empty when unreadable
  uint64_t size = 0;           // bytes of the volume, 0 when unknown
  uint32_t partition = 0;      // the partition's number in its table; 0 for a whole image or device
  uint64_t offset = 0;         // where the volume begins on its image or device, in bytes
  std::vector<std::string> mountPoints;
  std::string problem;         // why the volume could not be read, empty when it could
};

// Reads the drive's boot sector for what its source did not tell: the
// partition and its size come from the drive table's mapping, else from
// what the source told (VolumeFacts), the size else from the image or
// device. A drive UDisks2 reported is not opened when UDisks2 told its
// family, since opening it may ask for a password; any other open may wait
// for one too, so the wizard calls this off its UI thread.
DriveSummary SummarizeDrive(DriveTable& drives, int32_t drive);
// The same with the machine's mounts read once for many drives.
DriveSummary SummarizeDrive(DriveTable& drives, int32_t drive, const MountedVolumes& mounted);

}  // namespace quorvane
