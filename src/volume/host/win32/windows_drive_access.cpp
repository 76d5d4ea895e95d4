// How the drive table reaches its volumes on Windows.
//
// The drive letters are the system's own: drive n is the volume with letter
// 'A' + n - 1, read through the VWIN32 device where there is one (Windows
// 95/98 family), else as the volume file \\.\X: (NT family). The table only
// adds to that: a letter mapped with --drive L:=PATH (or a bare PATH) reads
// that image file, or another volume given as \\.\X:, instead. With no such
// arguments the front ends call Discover, which lists the system's FAT32
// volumes as "D: \\.\D:" lines; that is what `quorvane-cli drives` prints.
// A letter missing from the table still reaches the system's volume.
#include "volume/format/boot_sector.h"
#include "volume/host/drive_table.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <string_view>

#include "volume/host/partition_device.h"
#include "volume/host/win32/volume_file_device.h"
#include "volume/host/win32/vwin32_device.h"

namespace quorvane {

namespace {

bool IsDriveNumber(int32_t drive) { return drive >= 1 && drive <= 26; }

std::string FullPath(const std::string& path) {
  const std::string relative = path.empty() ? "." : path;
  const DWORD needed = GetFullPathNameA(relative.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::string full(needed, '\0');
  const DWORD length = GetFullPathNameA(relative.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return {};
  full.resize(length);
  return full;
}

// The letter of a full path such as D:\OUT or \\?\D:\OUT; 0 for others (UNC).
char DriveLetterOf(std::string path) {
  if (path.starts_with("\\\\?\\") || path.starts_with("\\\\.\\")) path.erase(0, 4);
  if (path.size() < 2 || path[1] != ':' || !std::isalpha(static_cast<unsigned char>(path[0])))
    return 0;
  return static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
}

// The volume's unique name (\\?\Volume{...}\) of the file system that holds
// `path`, or empty when the system cannot tell.
std::string VolumeNameOf(const std::string& path) {
  char mount_point[MAX_PATH + 1];
  if (!GetVolumePathNameA(path.c_str(), mount_point, sizeof mount_point)) return {};
  char volume[MAX_PATH + 1];
  if (!GetVolumeNameForVolumeMountPointA(mount_point, volume, sizeof volume)) return {};
  return volume;
}

// Whether the volume's boot sector names FAT32 in its file-system type field.
// Asked when the system names another file system or none, as Wine does for
// a volume image standing in for a drive.
bool BootSectorSaysFat32(DriveTable& table, int32_t drive) {
  auto device = table.OpenDrive(drive);
  std::array<uint8_t, BootSector::kSize> sector{};
  if (!device || device->ReadAt(0, sector) != 0) return false;
  return BootSector::Parse(sector)->SaysFat32();
}

}  // namespace

std::unique_ptr<BlockDevice> DriveTable::OpenPath(const std::string& path, std::string& why) {
  auto device = VolumeFileDevice::Open(path);
  if (!device) why = "it cannot be opened";
  return device;
}

std::unique_ptr<BlockDevice> DriveTable::OpenDrive(int32_t drive) {
  if (!IsDriveNumber(drive)) return nullptr;
  const std::string mapped = PathOf(drive);
  if (!mapped.empty() && mapped != VolumeFileDevice::VolumePath(DriveLetter(drive))) {
    std::unique_ptr<BlockDevice> device = VolumeFileDevice::Open(mapped);
    // A partition of an image is a volume from its own first byte.
    if (const PartitionPlace* partition = PartitionOf(drive); device && partition)
      device = std::make_unique<PartitionDevice>(std::move(device), partition->offset, partition->length,
                                                 ERROR_HANDLE_EOF);
    return device;
  }
  if (auto device = Vwin32Device::Open(drive)) return device;
  return VolumeFileDevice::Open(VolumeFileDevice::VolumePath(DriveLetter(drive)));
}

bool DriveTable::VolumeHoldsDirectory(int32_t drive, const std::string& directory) {
  if (!IsDriveNumber(drive)) return false;
  // The letter of the volume read for `drive`. An image file is no volume of
  // its own: writing beside it never reuses its clusters.
  const std::string mapped = PathOf(drive);
  const char letter = mapped.empty() ? DriveLetter(drive)
                      : mapped.starts_with("\\\\.\\") ? DriveLetterOf(mapped)
                                                        : 0;
  if (letter == 0) return false;
  const std::string full = FullPath(directory);
  if (full.empty()) return false;
  if (DriveLetterOf(full) == letter) return true;
  // A volume can also be mounted in a folder of another drive.
  const std::string volume = VolumeNameOf(full);
  return !volume.empty() && volume == VolumeNameOf(std::string(1, letter) + ":\\");
}

void DriveTable::Discover() {
  // No "insert a disk" boxes for empty removable drives while asking.
  const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  const DWORD present = GetLogicalDrives();
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    if (!(present & (1u << (letter - 'A')))) continue;
    const std::string root = std::string(1, letter) + ":\\";
    const UINT type = GetDriveTypeA(root.c_str());
    if (type != DRIVE_FIXED && type != DRIVE_REMOVABLE) continue;
    char file_system[MAX_PATH + 1] = {};
    const bool named_fat32 = GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr,
                                                   nullptr, file_system, sizeof file_system) &&
                             std::string_view(file_system) == "FAT32";
    if (named_fat32 || BootSectorSaysFat32(*this, DriveNumber(letter)))
      paths_[DriveNumber(letter)] = VolumeFileDevice::VolumePath(letter);
  }
  SetErrorMode(previous);
}

}  // namespace quorvane
