#pragma once
// The drive table as both programs print it (quorvane-cli drives, and the
// wizard on standard output when it starts), one line a drive:
//
//   C: /dev/sdb1 "CARD" FAT32 7.5 GiB partition 1 at 1048576 (mounted on /media/alice/CARD, read-write)
//
// "C: PATH" first, as scripts read it; then what its summary tells
// (drive_summary.h): the volume's label in quotes (left out when it has
// none; a control character in it shows as '?'), its family, its size, the
// partition it is of PATH with the partition's first byte on PATH, or, after
// " - ", why it holds no volume that can be read ("no FAT or exFAT volume");
// then where the volume is mounted, if anywhere, each mount point
// with its access ("read-write" or "read-only"; none when only UDisks2
// reports the mount). Each part is left out when not known.
#include <cstdint>
#include <string>

#include "volume/host/drive_table.h"

namespace quorvane {

// Opens the drives that need it (see SummarizeDrive).
std::string DescribeDrives(DriveTable& drives);

// A size in bytes as people read it: "512 bytes", "40.0 MiB", "7.5 GiB".
std::string SizeText(uint64_t bytes);

}  // namespace quorvane
