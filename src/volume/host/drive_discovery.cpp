// Finding FAT32 volumes on this machine: through UDisks2 where it answers,
// else with libblkid's low-level probe.
#include <algorithm>
#include <blkid/blkid.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "volume/host/drive_table.h"
#include "volume/host/udisks_client.h"

namespace quorvane {

namespace {

bool ProbesAsFat32(const std::string& device) {
  blkid_probe probe = blkid_new_probe_from_filename(device.c_str());
  if (!probe) return false;
  blkid_probe_enable_superblocks(probe, 1);
  blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_TYPE | BLKID_SUBLKS_VERSION);
  bool fat32 = false;
  if (blkid_do_safeprobe(probe) == 0) {
    const char* type = nullptr;
    const char* version = nullptr;
    blkid_probe_lookup_value(probe, "TYPE", &type, nullptr);
    blkid_probe_lookup_value(probe, "VERSION", &version, nullptr);
    fat32 = type && version && std::strcmp(type, "vfat") == 0 && std::strcmp(version, "FAT32") == 0;
  }
  blkid_free_probe(probe);
  return fat32;
}

// Block devices in the order the kernel lists them.
std::vector<std::string> BlockDevices() {
  std::vector<std::string> devices;
  std::ifstream partitions("/proc/partitions");
  std::string line;
  while (std::getline(partitions, line)) {
    const auto name_at = line.find_last_of(' ');
    if (name_at == std::string::npos || line.find_first_of("0123456789") == std::string::npos)
      continue;
    const std::string name = line.substr(name_at + 1);
    if (!name.empty() && name != "name") devices.push_back("/dev/" + name);
  }
  return devices;
}

}  // namespace

void DriveTable::Discover() {
  std::string why;
  if (DiscoverThrough(SystemBusUdisksClient(), why)) {
    discovery_note_ = "drives from UDisks2 on the system bus; volumes are opened through it";
    return;
  }
  discovery_note_ = "drives from libblkid (UDisks2 did not answer: " + why + ")";
  // libblkid reads the devices itself: without UDisks2 an ordinary user
  // finds only those that user may read (usually the disk group's).
  if (::geteuid() != 0) discovery_note_ += "; only devices this user may read are found";
  DiscoverWithBlkid();
}

void DriveTable::DiscoverWithBlkid() {
  for (const std::string& device : BlockDevices())
    if (ProbesAsFat32(device) && !MapNext(device)) break;
}

}  // namespace quorvane
