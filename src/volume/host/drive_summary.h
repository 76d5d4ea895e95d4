#pragma once
// What a person needs to know which card a drive is: its label, family,
// size, the image or device it is on, and where it is mounted. The wizard's
// volume chooser and `quorvane-cli drives` show it.
#include <cstdint>
#include <string>
#include <vector>

#include "volume/host/drive_table.h"

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

// Opens the drive's volume and reads its boot sector: it may wait for a
// password (UDisks2 asks through polkit), so the wizard calls it off its
// UI thread.
DriveSummary SummarizeDrive(DriveTable& drives, int32_t drive);

}  // namespace quorvane
