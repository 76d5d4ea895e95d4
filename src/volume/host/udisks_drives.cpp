// The drive table's UDisks2 volumes: which block devices become drives.
#include <algorithm>

#include "volume/host/drive_table.h"
#include "volume/host/natural_order.h"
#include "volume/host/udisks_client.h"

namespace quorvane {

bool DriveTable::DiscoverThrough(std::shared_ptr<UdisksClient> udisks, std::string& why) {
  auto blocks = udisks->BlockDevices(why);
  if (!blocks) return false;
  std::erase_if(*blocks, [](const UdisksBlock& block) {
    return block.idType != "vfat" || block.idVersion != "FAT32" || block.hintIgnore ||
           block.device.empty();
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
    facts_[drive] =
        VolumeFacts{std::move(block.idLabel), block.size, std::move(block.mountPoints), block.deviceNumber};
    udisks_objects_[drive] = std::move(block.objectPath);
  }
  udisks_ = std::move(udisks);
  return true;
}

}  // namespace quorvane
