// Finding FAT and exFAT volumes on this machine: through UDisks2 where it
// answers, else with libblkid's low-level probe.
#include <algorithm>
#include <blkid/blkid.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "volume/host/drive_table.h"
#include "volume/host/udisks_client.h"

namespace quorvane {

namespace {

std::string ReadLine(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// What libblkid's low-level probe reads on `device`, when it finds a FAT12,
// FAT16, FAT32 or exFAT volume there (TYPE "vfat" with any VERSION, or
// "exfat"); with the partition's number and start from sysfs.
std::optional<VolumeFacts> ProbeFatFamily(const std::string& device) {
  blkid_probe probe = blkid_new_probe_from_filename(device.c_str());
  if (!probe) return std::nullopt;
  blkid_probe_enable_superblocks(probe, 1);
  blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_TYPE | BLKID_SUBLKS_VERSION | BLKID_SUBLKS_LABEL);
  std::optional<VolumeFacts> facts;
  if (blkid_do_safeprobe(probe) == 0) {
    const auto value = [&](const char* name) {
      const char* text = nullptr;
      return blkid_probe_lookup_value(probe, name, &text, nullptr) == 0 && text ? std::string(text)
                                                                                  : std::string();
    };
    const std::string type = value("TYPE");
    const std::string version = value("VERSION");
    if (type == "vfat" || type == "exfat") {
      facts.emplace();
      facts->label = value("LABEL");
      facts->size = static_cast<uint64_t>(std::max<blkid_loff_t>(blkid_probe_get_size(probe), 0));
      if (type == "exfat")
        facts->family = "exFAT";
      else if (version == "FAT12" || version == "FAT16" || version == "FAT32")
        facts->family = version;
    }
  }
  blkid_free_probe(probe);
  if (facts) {
    // The kernel's numbers for a partition: /sys/class/block/sdb1/partition,
    // and its start in 512-byte units whatever the disk's sectors.
    const std::filesystem::path sys = "/sys/class/block/" + std::filesystem::path(device).filename().string();
    const std::string number = ReadLine(sys / "partition");
    const std::string start = ReadLine(sys / "start");
    if (!number.empty() && !start.empty()) {
      char* end = nullptr;
      facts->partition = static_cast<uint32_t>(std::strtoul(number.c_str(), &end, 10));
      facts->offset = std::strtoull(start.c_str(), &end, 10) * 512;
    }
  }
  return facts;
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
  for (const std::string& device : BlockDevices()) {
    auto facts = ProbeFatFamily(device);
    if (!facts) continue;
    char letter = 'C';
    while (letter <= 'Z' && paths_.contains(DriveNumber(letter))) ++letter;
    if (letter > 'Z') break;
    Map(letter, device);
    facts_[DriveNumber(letter)] = std::move(*facts);
  }
}

}  // namespace quorvane
