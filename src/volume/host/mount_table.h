#pragma once
// Where the drives' volumes are mounted on this machine: the kernel's mount
// table (/proc/self/mountinfo) taken apart, and a host path under a mount
// point turned into the drive path it names ("/media/alice/CARD/DCIM" on
// the card that is drive C: gives "C:\DCIM"). The parsing and the mapping
// take the table's text and the device numbers as data; only
// MountedVolumes::OfThisMachine reads the system.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

class DriveTable;

// One line of mountinfo.
struct MountEntry {
  uint64_t device = 0;      // the mounted file system's device number (major:minor)
  std::string root;         // the directory of that file system mounted here, "/" for all of it
  std::string mountPoint;   // where it is mounted, escapes decoded
  bool readWrite = false;   // both the mount and its file system are read-write
  // False for a mount that only UDisks2 reports (this process's mount table
  // does not show it, as in another mount namespace): readWrite is then false
  // but nothing is known of it.
  bool accessKnown = true;
};

// Device numbers as the kernel writes them, "major:minor", packed as
// makedev packs them on Linux.
uint64_t PackDeviceNumber(uint32_t major, uint32_t minor);

// A mountinfo field with its octal escapes (\040 for a blank, \011, \012,
// \134) decoded.
std::string DecodeMountField(std::string_view field);

// Every well-formed line of `text`, in the kernel's order (a later mount on
// the same point hides an earlier one). Malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The mounts of the drives' volumes. `volumeDevices` gives each drive number
// the device number its volume is mounted as.
class MountedVolumes {
 public:
  MountedVolumes(std::vector<MountEntry> mounts, std::map<int32_t, uint64_t> volumeDevices);

  // The mount table of this machine for the volumes of `drives`: a block
  // device by its own number (a UDisks2 drive's as UDisks2 gives it, which
  // needs no device node here), an image file by the loop device whose
  // backing file it is; and the mount points UDisks2 reported for a drive
  // (VolumeFacts) that the mount table does not show. Linux only: Windows
  // names its volumes by letter.
  static MountedVolumes OfThisMachine(const DriveTable& drives);

  // The drive path that the absolute, resolved host path `path` names:
  // "C:\" followed by the components below the mount point joined by
  // backslashes. The mount whose point is the longest component-wise prefix
  // of `path` decides; none when that mount is not a drive's volume.
  std::optional<std::string> DrivePathOf(const std::string& path) const;

  // The mounts of `drive`'s volume, in the kernel's order.
  std::vector<MountEntry> MountsOf(int32_t drive) const;

 private:
  std::vector<MountEntry> mounts_;
  std::map<int32_t, uint64_t> volume_devices_;
};

}  // namespace quorvane
