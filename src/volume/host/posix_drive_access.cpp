// How the drive table reaches its volumes on POSIX systems: a drive that
// UDisks2 reported is opened read-only by the daemon (polkit may ask the
// user first); any other mapped image file or block device is opened
// read-only here.
#include "volume/host/drive_table.h"
#include "volume/host/partition_device.h"
#include "volume/host/posix_block_device.h"
#include "volume/host/udisks_client.h"
#include "volume/host/volume_identity.h"

namespace quorvane {

std::unique_ptr<BlockDevice> DriveTable::OpenPath(const std::string& path, std::string& why) {
  return PosixBlockDevice::Open(path, &why);
}

std::unique_ptr<BlockDevice> DriveTable::OpenDrive(int32_t drive) {
  const std::string path = PathOf(drive);
  if (path.empty()) {
    NoteOpenResult(drive, "no image or device is mapped to this drive");
    return nullptr;
  }
  std::string why;
  const auto object = udisks_objects_.find(drive);
  if (object == udisks_objects_.end() || !udisks_) {
    std::unique_ptr<BlockDevice> device = PosixBlockDevice::Open(path, &why);
    NoteOpenResult(drive, device ? std::string() : path + ": " + why);
    // A partition of the disk or image is a volume from its own first byte.
    if (const PartitionPlace* partition = PartitionOf(drive); device && partition)
      device = std::make_unique<PartitionDevice>(std::move(device), partition->offset, partition->length);
    return device;
  }
  UniqueFd fd = udisks_->OpenReadOnly(object->second, why);
  auto device = fd ? PosixBlockDevice::Adopt(std::move(fd), &why) : nullptr;
  NoteOpenResult(drive, device ? std::string() : path + " (through UDisks2): " + why);
  if (device) NoteOpenedIdentity(drive, device->Identity());
  return device;
}

bool DriveTable::VolumeHoldsDirectory(int32_t drive, const std::string& directory) {
  const std::string path = PathOf(drive);
  if (path.empty()) return false;
  // A device UDisks2 opened is known by its descriptor once it has been
  // opened, and by the number UDisks2 gives, even where this process cannot
  // see its node. Either one holding the directory refuses it: a drive may
  // have been opened already (to tell its family) when the output
  // directory is checked.
  const auto opened = OpenedIdentity(drive);
  if (opened && VolumeHoldsPath(*opened, directory)) return true;
  if (const VolumeFacts* facts = FactsOf(drive); facts && facts->deviceNumber) {
    FileIdentity device;
    device.isBlockDevice = true;
    device.blockDevice = facts->deviceNumber;
    return VolumeHoldsPath(device, directory);
  }
  return !opened && VolumeHoldsPath(path, directory);
}

}  // namespace quorvane
