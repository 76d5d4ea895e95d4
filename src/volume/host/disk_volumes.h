#pragma once
// The FAT and exFAT volumes a disk or disk image holds, as the drive table
// maps them: the partitions of its table whose first sector is a FAT or
// exFAT boot sector.
#include <cstdint>
#include <vector>

#include "volume/host/block_device.h"

namespace quorvane {

// Where a volume lies on its disk: one partition of the disk's table.
struct PartitionPlace {
  uint32_t number = 0;  // as Linux numbers it (partition_table.h)
  uint64_t offset = 0;  // bytes from the disk's start
  uint64_t length = 0;  // bytes
};

// The FAT12/16/32 and exFAT partitions of `disk`, in table order. Each is
// told by its boot sector, not by its type, since types lie: a 0x83 partition
// may hold FAT and a 0x0C one ext4. Empty when the disk's size is unknown,
// when it has no table (sector 0 is a volume's boot sector, or no table is
// there), or when no partition of its table holds such a volume: the disk is
// then one volume, FAT or not.
std::vector<PartitionPlace> FatPartitionsOf(BlockDevice& disk);

}  // namespace quorvane
