#include "volume/host/disk_volumes.h"

#include <array>

#include "volume/format/volume_family.h"
#include "volume/host/partition_table.h"

namespace quorvane {

std::vector<PartitionPlace> FatPartitionsOf(BlockDevice& disk) {
  std::vector<PartitionPlace> found;
  const auto size = disk.Size();
  if (!size) return found;
  const PartitionTable table = ReadPartitionTable(disk, *size);
  std::array<uint8_t, 512> boot{};
  for (const PartitionEntry& partition : table.partitions) {
    // The table keeps its partitions inside the disk; one shorter than a
    // sector holds no volume.
    if (partition.extended || partition.length < boot.size()) continue;
    if (disk.ReadAt(partition.offset, boot) != 0 || !FamilyOfBootSector(boot)) continue;
    found.push_back(PartitionPlace{partition.number, partition.offset, partition.length});
  }
  return found;
}

}  // namespace quorvane
