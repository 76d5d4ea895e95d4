// The drive table's UDisks2 volumes: which block devices become drives.
#include <algorithm>
#include <cctype>

#include "volume/host/drive_table.h"
#include "volume/host/natural_order.h"
#include "volume/host/udisks_client.h"

namespace quorvane {

namespace {

// libblkid's names, which UDisks2 passes on: IdType "vfat" for FAT12, FAT16
// and FAT32, "exfat" for exFAT.
bool IsFatFamily(const UdisksBlock& block) { return block.idType == "vfat" || block.idType == "exfat"; }

// The family from IdVersion ("FAT12", "FAT16", "FAT32"), or "exFAT"; empty
// when UDisks2 does not say which FAT it is.
std::string FamilyOf(const UdisksBlock& block) {
  if (block.idType == "exfat") return "exFAT";
  std::string version = block.idVersion;
  for (char& c : version) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return version == "FAT12" || version == "FAT16" || version == "FAT32" ? version : std::string();
}

}  // namespace

bool DriveTable::DiscoverThrough(std::shared_ptr<UdisksClient> udisks, std::string& why) {
  auto blocks = udisks->BlockDevices(why);
  if (!blocks) return false;
  std::erase_if(*blocks, [](const UdisksBlock& block) {
    return !IsFatFamily(block) || block.hintIgnore || block.device.empty();
  });
  // The daemon's order is that of its own table; the drive letters must not
  // change from one start to the next.
  std::sort(blocks->begin(), blocks->end(), [](const UdisksBlock& a, const UdisksBlock& b) {
    return NaturalLess(a.device, b.device);
  });
  char letter = 'C';
  for (UdisksBlock& block : *blocks) {
    while (letter <= 'Z' && paths_.contains(DriveNumber(letter))) ++letter;
    if (letter > 'Z') break;
    Map(letter, block.device);
    const int32_t drive = DriveNumber(letter);
    VolumeFacts& facts = facts_[drive];
    facts.label = std::move(block.idLabel);
    facts.size = block.size;
    facts.mountPoints = std::move(block.mountPoints);
    facts.deviceNumber = block.deviceNumber;
    facts.family = FamilyOf(block);
    facts.partition = block.partitionNumber;
    facts.offset = block.partitionNumber != 0 ? block.partitionOffset : 0;
    udisks_objects_[drive] = std::move(block.objectPath);
  }
  udisks_ = std::move(udisks);
  return true;
}

}  // namespace quorvane
