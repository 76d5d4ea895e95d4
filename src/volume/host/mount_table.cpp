#include "volume/host/mount_table.h"

#include <sstream>

#include "volume/path_text.h"

namespace quorvane {

namespace {

// The components of an absolute path; empty ones (from "//" or a trailing
// slash) dropped.
std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(path);
  while (std::getline(in, part, '/'))
    if (!part.empty()) parts.push_back(part);
  return parts;
}

bool IsPrefix(const std::vector<std::string>& prefix, const std::vector<std::string>& path) {
  if (prefix.size() > path.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (prefix[i] != path[i]) return false;
  return true;
}

bool HasOption(const std::string& options, std::string_view wanted) {
  std::istringstream in(options);
  std::string option;
  while (std::getline(in, option, ','))
    if (option == wanted) return true;
  return false;
}

}  // namespace

uint64_t PackDeviceNumber(uint32_t major, uint32_t minor) {
  // glibc's makedev: minor's low byte, major's low 12 bits, then the rest.
  return (uint64_t{major & 0xFFFu} << 8) | (uint64_t{major & ~0xFFFu} << 32) | (minor & 0xFFu) |
         (uint64_t{minor & ~0xFFu} << 12);
}

std::string DecodeMountField(std::string_view field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    const auto octal = [&](size_t at) { return field[at] >= '0' && field[at] <= '7'; };
    if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      out.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                      (field[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  // 36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue
  std::vector<MountEntry> mounts;
  std::istringstream lines{std::string(text)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string field; in >> field;) fields.push_back(field);
    size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-") ++separator;
    if (separator + 3 >= fields.size()) continue;  // no "-", or no type, source and options after it
    unsigned major = 0, minor = 0;
    char colon = 0, rest = 0;
    std::istringstream numbers(fields[2]);
    if (!(numbers >> major >> colon >> minor) || colon != ':' || numbers >> rest) continue;
    MountEntry entry;
    entry.device = PackDeviceNumber(major, minor);
    entry.root = DecodeMountField(fields[3]);
    entry.mountPoint = DecodeMountField(fields[4]);
    entry.readWrite = HasOption(fields[5], "rw") && HasOption(fields[separator + 3], "rw");
    mounts.push_back(std::move(entry));
  }
  return mounts;
}

MountedVolumes::MountedVolumes(std::vector<MountEntry> mounts,
                               std::map<int32_t, uint64_t> volumeDevices)
    : mounts_(std::move(mounts)), volume_devices_(std::move(volumeDevices)) {}

std::optional<std::string> MountedVolumes::DrivePathOf(const std::string& path) const {
  if (path.empty() || path[0] != '/') return std::nullopt;
  const std::vector<std::string> parts = Components(path);
  const MountEntry* best = nullptr;
  size_t best_length = 0;
  for (const MountEntry& mount : mounts_) {
    const std::vector<std::string> point = Components(mount.mountPoint);
    // ">=": of two mounts on one point, the later one is the one seen.
    if (IsPrefix(point, parts) && (!best || point.size() >= best_length)) {
      best = &mount;
      best_length = point.size();
    }
  }
  if (!best) return std::nullopt;
  for (const auto& [drive, device] : volume_devices_) {
    if (device != best->device) continue;
    // A mount of a subdirectory of the volume (a bind mount) starts there.
    std::vector<std::string> inside = Components(best->root);
    inside.insert(inside.end(), parts.begin() + static_cast<ptrdiff_t>(best_length), parts.end());
    std::string drive_path = {DriveLetter(drive), ':', '\\'};
    for (size_t i = 0; i < inside.size(); ++i) drive_path.append(i ? "\\" : "").append(inside[i]);
    return drive_path;
  }
  return std::nullopt;
}

std::vector<MountEntry> MountedVolumes::MountsOf(int32_t drive) const {
  std::vector<MountEntry> found;
  const auto it = volume_devices_.find(drive);
  if (it == volume_devices_.end()) return found;
  for (const MountEntry& mount : mounts_)
    if (mount.device == it->second) found.push_back(mount);
  return found;
}

}  // namespace quorvane
