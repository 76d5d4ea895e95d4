// The mount table of this machine and the device numbers of the drives'
// volumes, read from /proc and /sys, with the mount points UDisks2 reported.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "volume/host/drive_table.h"
#include "volume/host/mount_table.h"

namespace quorvane {

namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

uint64_t DeviceNumberIn(const std::filesystem::path& sys_dir) {
  unsigned major = 0, minor = 0;
  char colon = 0;
  std::istringstream numbers(ReadText(sys_dir / "dev"));
  return numbers >> major >> colon >> minor && colon == ':' ? PackDeviceNumber(major, minor) : 0;
}

uint64_t NumberIn(const std::filesystem::path& file) {
  uint64_t value = 0;
  std::istringstream(ReadText(file)) >> value;
  return value;
}

// The device number of the partition of the disk at `disk_dir` (its sysfs
// directory) that begins `offset` bytes into it, or 0. The kernel gives a
// partition's start in 512-byte units whatever the disk's sectors.
uint64_t PartitionDeviceAt(const std::filesystem::path& disk_dir, uint64_t offset) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(disk_dir, error)) {
    if (!std::filesystem::exists(entry.path() / "partition", error)) continue;
    if (NumberIn(entry.path() / "start") * 512 == offset) return DeviceNumberIn(entry.path());
  }
  return 0;
}

// The device number of the volume `offset` bytes into the file of `image`
// (the same file, by device and inode) as a loop device shows it: a loop
// device backed by it from that offset (mount -o loop,offset=...), or the
// partition of a loop device backed by it from an earlier offset (losetup
// -P) that begins there; or 0.
uint64_t LoopDeviceOf(const struct stat& image, uint64_t offset) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/block", error)) {
    if (!entry.path().filename().string().starts_with("loop")) continue;
    std::string backing = ReadText(entry.path() / "loop" / "backing_file");
    while (!backing.empty() && backing.back() == '\n') backing.pop_back();
    struct stat st {};
    if (backing.empty() || ::stat(backing.c_str(), &st) != 0) continue;
    if (st.st_dev != image.st_dev || st.st_ino != image.st_ino) continue;
    const uint64_t loop_offset = NumberIn(entry.path() / "loop" / "offset");
    if (loop_offset == offset) return DeviceNumberIn(entry.path());
    if (loop_offset < offset)
      if (const uint64_t partition = PartitionDeviceAt(entry.path(), offset - loop_offset)) return partition;
  }
  return 0;
}

// The device number of the volume `offset` bytes into the block device
// `disk`: the device itself at 0, else its partition that begins there.
uint64_t BlockVolumeOf(dev_t disk, uint64_t offset) {
  if (offset == 0) return disk;
  return PartitionDeviceAt("/sys/dev/block/" + std::to_string(major(disk)) + ":" + std::to_string(minor(disk)),
                           offset);
}

// The mount points UDisks2 reported for the drives of `drives` that `mounts`
// does not show for the same device, as mounts of the whole volume whose
// access is unknown. A drive with no device number is given one no device
// has (packed device numbers stay below 2^44) in `devices`.
std::vector<MountEntry> ReportedMounts(const DriveTable& drives,
                                       const std::vector<MountEntry>& mounts,
                                       std::map<int32_t, uint64_t>& devices) {
  std::vector<MountEntry> reported;
  for (const auto& [drive, path] : drives.entries()) {
    const VolumeFacts* facts = drives.FactsOf(drive);
    if (!facts) continue;
    for (const std::string& point : facts->mountPoints) {
      const uint64_t device =
          devices.try_emplace(drive, (uint64_t{1} << 63) | static_cast<uint32_t>(drive)).first->second;
      const bool shown = std::any_of(mounts.begin(), mounts.end(), [&](const MountEntry& mount) {
        return mount.device == device && mount.mountPoint == point;
      });
      if (!shown) reported.push_back(MountEntry{device, "/", point, false, false});
    }
  }
  return reported;
}

}  // namespace

MountedVolumes MountedVolumes::OfThisMachine(const DriveTable& drives) {
  std::map<int32_t, uint64_t> devices;
  for (const auto& [drive, path] : drives.entries()) {
    // The number UDisks2 gives is that of the device it opens for the drive.
    if (const VolumeFacts* facts = drives.FactsOf(drive); facts && facts->deviceNumber) {
      devices[drive] = facts->deviceNumber;
      continue;
    }
    // A drive that reads a partition of its image or disk is mounted as
    // the device of that partition.
    const PartitionPlace* partition = drives.PartitionOf(drive);
    const uint64_t offset = partition ? partition->offset : 0;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) continue;
    if (S_ISBLK(st.st_mode)) {
      if (const uint64_t volume = BlockVolumeOf(st.st_rdev, offset)) devices[drive] = volume;
    } else if (S_ISREG(st.st_mode)) {
      if (const uint64_t loop = LoopDeviceOf(st, offset)) devices[drive] = loop;
    }
  }
  std::vector<MountEntry> mounts = ParseMountInfo(ReadText("/proc/self/mountinfo"));
  // First, so that of two mounts on one point the kernel's, seen here, wins.
  std::vector<MountEntry> all = ReportedMounts(drives, mounts, devices);
  all.insert(all.end(), std::make_move_iterator(mounts.begin()), std::make_move_iterator(mounts.end()));
  return MountedVolumes(std::move(all), std::move(devices));
}

}  // namespace quorvane
