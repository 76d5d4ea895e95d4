#include "cli/host_path.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "cli/cli_reports.h"
#include "cli/row_text.h"
#include "volume/directory_lookup.h"
#include "volume/mount_table.h"

namespace quorvane::cli {

namespace {

// The mount points of `drive`'s volume that the running system may write
// through: read-write ones, and those only UDisks2 reports (seen from here,
// nothing tells how they are mounted; UDisks2 mounts read-write unless told
// otherwise), the latter marked `perhaps`.
struct WritableMounts {
  std::string readWrite;
  std::string perhaps;
};

WritableMounts WritableMountPoints(const DriveTable& drives, int32_t drive) {
  WritableMounts points;
#ifdef _WIN32
  (void)drives;
  (void)drive;
#else
  for (const MountEntry& mount : MountedVolumes::OfThisMachine(drives).MountsOf(drive)) {
    std::string& list = mount.accessKnown ? points.readWrite : points.perhaps;
    if (mount.readWrite || !mount.accessKnown)
      list.append(list.empty() ? "" : ", ").append(mount.mountPoint);
  }
#endif
  return points;
}

}  // namespace

bool IsHostPath(const std::string& path) {
  if (path.starts_with('/')) return true;
  const bool drive_letter = path.size() >= 2 && path[1] == ':' &&
                            ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
  if (drive_letter) return false;
  // A relative path counts when it names a host directory: "DOCS" is
  // otherwise a drive path without its drive.
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error);
}

std::optional<std::string> DriveDirectoryOfHostPath(DriveTable& drives, const std::string& path,
                                                    std::string& why) {
#ifdef _WIN32
  (void)drives;
  why = "'" + path + "' is no drive path (C:\\DOCS)";
  return std::nullopt;
#else
  char resolved[PATH_MAX];
  if (!::realpath(path.c_str(), resolved)) {
    why = path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  const auto drive_path = MountedVolumes::OfThisMachine(drives).DrivePathOf(resolved);
  if (!drive_path) {
    why = "'" + path + "' lies on no mounted volume of the drive table; give a drive path (C:\\DOCS)";
    return std::nullopt;
  }
  auto short_path = DirectoryLookup(drives).ShortPath(Utf16OfUtf8(*drive_path));
  if (!short_path) {
    const std::string failure = drives.OpenFailure(DriveNumber((*drive_path)[0]));
    why = "'" + path + "' (" + *drive_path + ") " +
          (failure.empty() ? "names no directory on its volume" : "cannot be read (" + failure + ")");
  }
  return short_path;
#endif
}

void WarnIfMountedReadWrite(const DriveTable& drives, int32_t drive) {
  const WritableMounts points = WritableMountPoints(drives, drive);
  std::string how;
  if (!points.readWrite.empty())
    how = "mounted read-write on " + points.readWrite;
  else if (!points.perhaps.empty())
    how = "mounted on " + points.perhaps + ", perhaps read-write";
  else
    return;
  PrintError(std::string("warning: ") + DriveLetter(drive) + ": is " + how +
             ": writes by the running system can overwrite deleted files; unmount it or "
             "mount it read-only first");
}

}  // namespace quorvane::cli
