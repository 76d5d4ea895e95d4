#include "cli/host_path.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "cli/cli_reports.h"
#include "volume/directory_lookup.h"
#include "volume/mount_table.h"

namespace quorvane::cli {

namespace {

// UTF-8 (the host's names) as UTF-16, as the directory lookup takes paths;
// a byte that starts no valid sequence stands for itself (Latin-1). (Unused
// on Windows, which reads no mount table.)
[[maybe_unused]] std::u16string Utf16OfUtf8(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const size_t length = byte < 0x80 ? 1 : (byte >> 5) == 6 ? 2 : (byte >> 4) == 14 ? 3 : (byte >> 3) == 30 ? 4 : 0;
    bool valid = length != 0 && i + length <= text.size();
    char32_t code = length == 1 ? byte : byte & (0x3F >> length);
    for (size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = code << 6 | (next & 0x3F);
    }
    if (!valid) {
      out.push_back(byte);
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    i += length;
  }
  return out;
}

std::string ReadWriteMountPoints(const DriveTable& drives, int32_t drive) {
#ifdef _WIN32
  (void)drives;
  (void)drive;
  return {};
#else
  std::string points;
  for (const MountEntry& mount : MountedVolumes::OfThisMachine(drives).MountsOf(drive))
    if (mount.readWrite) points.append(points.empty() ? "" : ", ").append(mount.mountPoint);
  return points;
#endif
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
  const std::string points = ReadWriteMountPoints(drives, drive);
  if (points.empty()) return;
  PrintError(std::string("warning: ") + DriveLetter(drive) + ": is mounted read-write on " +
             points + ": writes by the running system can overwrite deleted files; unmount it or "
             "mount it read-only first");
}

std::string MountNote(const DriveTable& drives, int32_t drive) {
#ifdef _WIN32
  (void)drives;
  (void)drive;
  return {};
#else
  std::string note;
  for (const MountEntry& mount : MountedVolumes::OfThisMachine(drives).MountsOf(drive))
    note.append(note.empty() ? " (mounted on " : "; ")
        .append(mount.mountPoint)
        .append(mount.readWrite ? ", read-write" : ", read-only");
  return note.empty() ? note : note + ")";
#endif
}

}  // namespace quorvane::cli
