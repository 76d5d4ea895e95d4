#pragma once
// UDisks2 as the drive table sees it: the block devices the daemon manages
// and a read-only descriptor of one of them, opened by the daemon after
// polkit has allowed it, so that a desktop user needs no root. The drive
// table calls only this interface; SystemBusUdisksClient talks to the
// daemon on the system bus, and tests can put a stand-in in its place.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "volume/host/unique_fd.h"

namespace quorvane {

// One object with the org.freedesktop.UDisks2.Block interface, with the
// properties the drive table reads. Byte-string properties are given
// without their trailing NUL.
struct UdisksBlock {
  std::string objectPath;  // /org/freedesktop/UDisks2/block_devices/sdb1
  std::string device;      // Block.Device: /dev/sdb1
  uint64_t deviceNumber = 0;  // Block.DeviceNumber: the device's dev_t, 0 when not given
  std::string idType;      // Block.IdType: "vfat"
  std::string idVersion;   // Block.IdVersion: "FAT32"
  std::string idLabel;     // Block.IdLabel, empty when the volume has none
  uint64_t size = 0;       // Block.Size, in bytes
  bool hintIgnore = false; // Block.HintIgnore: not to be shown to the user
  // Filesystem.MountPoints; empty when not mounted or no file system.
  std::vector<std::string> mountPoints;
  // Partition.Number and Partition.Offset (bytes on its disk); 0 for a
  // block device that is no partition.
  uint32_t partitionNumber = 0;
  uint64_t partitionOffset = 0;
};

class UdisksClient {
 public:
  virtual ~UdisksClient() = default;

  // Every block device the daemon manages (ObjectManager.GetManagedObjects),
  // in the daemon's order; none, with the reason in `why`, when no UDisks2
  // answers (no bus, no daemon, no reply in time, a reply that makes no
  // sense).
  virtual std::optional<std::vector<UdisksBlock>> BlockDevices(std::string& why) = 0;

  // The block device of `objectPath` opened read-only by the daemon; it may
  // wait while the user authenticates. An invalid descriptor, with the
  // reason in `why`, when it cannot be had. Workers call it at the same time.
  virtual UniqueFd OpenReadOnly(const std::string& objectPath, std::string& why) = 0;
};

// The client for the UDisks2 daemon on the system bus (the address in
// DBUS_SYSTEM_BUS_ADDRESS, else the standard socket). Each call makes its
// own connection, so calls from several threads never share one.
std::unique_ptr<UdisksClient> SystemBusUdisksClient();

}  // namespace quorvane
