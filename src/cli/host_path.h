#pragma once
// Host directories on the command line: a directory under the mount point of
// a drive's volume ("/media/alice/CARD/DCIM") stands for that drive's
// directory, and reading a volume that is mounted read-write is warned of.
#include <optional>
#include <string>

#include "volume/drive_table.h"

namespace quorvane::cli {

// Whether `path` is given as a host path rather than a drive path (C:\...):
// an absolute one, or a relative one naming a host directory.
bool IsHostPath(const std::string& path);

// The drive path, in stored 8.3 names, of the host directory `path`; none
// with the reason in `why` when it lies on no drive's mounted volume or
// names no live directory there.
std::optional<std::string> DriveDirectoryOfHostPath(DriveTable& drives, const std::string& path,
                                                    std::string& why);

// One line on standard error when `drive`'s volume is mounted read-write,
// or mounted where this process cannot see how (only UDisks2 reports it).
void WarnIfMountedReadWrite(const DriveTable& drives, int32_t drive);

}  // namespace quorvane::cli
