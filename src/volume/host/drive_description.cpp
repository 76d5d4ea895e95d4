#include "volume/host/drive_description.h"

#include <iterator>

#include "volume/host/drive_summary.h"
#include "volume/host/mount_table.h"

namespace quorvane {

std::string SizeText(uint64_t bytes) {
  static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  size_t unit = 0;
  uint64_t size = 1024;
  while (unit + 1 < std::size(kUnits) && bytes / size >= 1024) {
    size *= 1024;
    ++unit;
  }
  // One decimal, rounded, in integers: the wizard runs in the user's locale.
  // (The remainder is below 2^60, so ten times it fits.)
  uint64_t whole = bytes / size;
  uint64_t tenths = (bytes % size * 10 + size / 2) / size;
  if (tenths == 10) {
    ++whole;
    tenths = 0;
  }
  if (whole == 1024 && unit + 1 < std::size(kUnits)) {  // 1023.96 KiB shows as 1.0 MiB
    whole = 1;
    ++unit;
  }
  return std::to_string(whole) + "." + std::to_string(tenths) + " " + kUnits[unit];
}

namespace {

// A label or mount point as part of one line: both come from the volume (a
// desktop names the mount point after the label), and a control character
// in them (a newline) would make a line that reads as another drive.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') c = '?';
  return text;
}

}  // namespace

std::string DescribeDrives(DriveTable& drives) {
#ifndef _WIN32
  const MountedVolumes mounted = MountedVolumes::OfThisMachine(drives);
#else
  const MountedVolumes mounted({}, {});
#endif
  std::string table;
  for (const auto& [drive, path] : drives.entries()) {
    const DriveSummary summary = SummarizeDrive(drives, drive, mounted);
    table.append(1, DriveLetter(drive)).append(": ").append(path);
    if (!summary.label.empty()) table.append(" \"").append(OneLine(summary.label)).append("\"");
    if (!summary.family.empty()) table.append(" ").append(summary.family);
    if (summary.size != 0) table.append(" ").append(SizeText(summary.size));
    if (summary.partition != 0)
      table.append(" partition ")
          .append(std::to_string(summary.partition))
          .append(" at ")
          .append(std::to_string(summary.offset));
    if (!summary.problem.empty()) table.append(" - ").append(OneLine(summary.problem));
    std::string mounts;
    for (const MountEntry& mount : mounted.MountsOf(drive)) {
      mounts.append(mounts.empty() ? " (mounted on " : "; ").append(OneLine(mount.mountPoint));
      if (mount.accessKnown) mounts.append(mount.readWrite ? ", read-write" : ", read-only");
    }
    if (!mounts.empty()) table.append(mounts).append(")");
    table.append("\n");
  }
  return table;
}

}  // namespace quorvane
