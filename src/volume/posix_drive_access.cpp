// How the drive table reaches its volumes on POSIX systems: the mapped image
// file or block device, opened read-only.
#include "volume/drive_table.h"
#include "volume/posix_block_device.h"
#include "volume/volume_identity.h"

namespace quorvane {

std::unique_ptr<BlockDevice> DriveTable::OpenDrive(int32_t drive) {
  const std::string path = PathOf(drive);
  if (path.empty()) {
    NoteOpenResult(drive, "no image or device is mapped to this drive");
    return nullptr;
  }
  std::string why;
  auto device = PosixBlockDevice::Open(path, &why);
  NoteOpenResult(drive, device ? std::string() : path + ": " + why);
  return device;
}

bool DriveTable::VolumeHoldsDirectory(int32_t drive, const std::string& directory) {
  const std::string path = PathOf(drive);
  return !path.empty() && VolumeHoldsPath(path, directory);
}

}  // namespace quorvane
