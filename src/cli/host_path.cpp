#include "cli/host_path.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "cli/cli_reports.h"
#include "cli/row_text.h"
#include "volume/format/directory_lookup.h"
#include "volume/host/mount_table.h"

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

namespace {

// The drive path of the host directory `directory`, in stored 8.3 names.
// The reasons in `why` name `shown`, the path as given, and for a file
// `file_name` follows the directory's drive path.
std::optional<std::string> DriveDirectoryNamed(DriveTable& drives, const std::string& directory,
                                               const std::string& shown,
                                               const std::string* file_name, std::string& why) {
#ifdef _WIN32
  (void)drives;
  (void)directory;
  why = "'" + shown + "' is no drive path (" + (file_name ? "C:\\DOCS\\REPORT.TXT" : "C:\\DOCS") + ")";
  return std::nullopt;
#else
  char resolved[PATH_MAX];
  if (!::realpath(directory.c_str(), resolved)) {
    why = directory + ": " + std::strerror(errno);
    return std::nullopt;
  }
  const auto drive_path = MountedVolumes::OfThisMachine(drives).DrivePathOf(resolved);
  if (!drive_path) {
    why = "'" + shown + "' lies on no mounted volume of the drive table; give a drive path (" +
          (file_name ? "C:\\DOCS\\REPORT.TXT" : "C:\\DOCS") + ")";
    return std::nullopt;
  }
  auto short_path = DirectoryLookup(drives).ShortPath(Utf16OfUtf8(*drive_path));
  if (!short_path) {
    const std::string failure = drives.OpenFailure(DriveNumber((*drive_path)[0]));
    why = "'" + shown + "' (" + *drive_path + (file_name ? "\\" + *file_name : "") + ") " +
          (!failure.empty() ? "cannot be read (" + failure + ")"
           : file_name      ? "lies in no directory on its volume"
                            : "names no directory on its volume");
  }
  return short_path;
#endif
}

}  // namespace

std::optional<std::string> DriveDirectoryOfHostPath(DriveTable& drives, const std::string& path,
                                                    std::string& why) {
  return DriveDirectoryNamed(drives, path, path, nullptr, why);
}

bool IsHostFilePath(const std::string& path) {
  if (path.starts_with('/')) return true;
  const size_t slash = path.rfind('/');
  return slash != std::string::npos && IsHostPath(path.substr(0, slash + 1));
}

std::optional<HostFileOnDrive> DriveFileOfHostPath(DriveTable& drives, const std::string& path,
                                                   std::string& why) {
  const size_t slash = path.rfind('/');
  // "/X.TXT" lies in the root directory; "X.TXT" alone in the current one.
  const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  auto drive_directory = DriveDirectoryNamed(drives, directory, path, &name, why);
  if (!drive_directory) return std::nullopt;
  return HostFileOnDrive{std::move(*drive_directory), std::move(name)};
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
