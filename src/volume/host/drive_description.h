#pragma once
// The drive table as both programs print it (quorvane-cli drives, and the
// wizard on standard output when it starts), one line a drive:
//
//   C: /dev/sdb1 "CARD" 7.5 GiB (mounted on /media/alice/CARD, read-write)
//
// "C: PATH" first, as scripts read it; then, for a volume UDisks2 reported,
// its label in quotes (left out when it has none; a control character in it
// shows as '?') and its size; then where the volume is mounted, if anywhere,
// each mount point with its access ("read-write" or "read-only"; none when
// only UDisks2 reports the mount).
#include <cstdint>
#include <string>

#include "volume/host/drive_table.h"

namespace quorvane {

std::string DescribeDrives(const DriveTable& drives);

// A size in bytes as people read it: "512 bytes", "40.0 MiB", "7.5 GiB".
std::string SizeText(uint64_t bytes);

}  // namespace quorvane
