#pragma once
// Host paths on the command line: a directory under the mount point of a
// drive's volume ("/media/alice/CARD/DCIM") stands for that drive's
// directory, a deleted file's name in it for that file, and reading a volume
// that is mounted read-write is warned of.
#include <optional>
#include <string>

#include "volume/host/drive_table.h"

namespace quorvane::cli {

// Whether `path` is given as a host path rather than a drive path (C:\...):
// an absolute one, or a relative one naming a host directory.
bool IsHostPath(const std::string& path);

// The drive path, in stored 8.3 names, of the host directory `path`; none
// with the reason in `why` when it lies on no drive's mounted volume or
// names no live directory there.
std::optional<std::string> DriveDirectoryOfHostPath(DriveTable& drives, const std::string& path,
                                                    std::string& why);

// Whether the file path `path` is given as a host path: an absolute one, or
// a relative one with a slash whose directory is a host directory
// ("CARD/DCIM/?MG_0001.JPG"). "REPORT.TXT" alone stays a drive path
// without its drive.
bool IsHostFilePath(const std::string& path);

// A file named by a host path under a drive's mounted volume: its
// directory as DriveDirectoryOfHostPath maps it (stored 8.3 bytes, "C:" for
// the root), and the last component as given. A deleted file is no host
// file: the name is the one a search listed or a person typed, an 8.3 name
// or a long name.
struct HostFileOnDrive {
  std::string driveDirectory;
  std::string name;
};

// None with the reason in `why` as for a directory.
std::optional<HostFileOnDrive> DriveFileOfHostPath(DriveTable& drives, const std::string& path,
                                                   std::string& why);

// One line on standard error when `drive`'s volume is mounted read-write,
// or mounted where this process cannot see how (only UDisks2 reports it).
void WarnIfMountedReadWrite(const DriveTable& drives, int32_t drive);

}  // namespace quorvane::cli
