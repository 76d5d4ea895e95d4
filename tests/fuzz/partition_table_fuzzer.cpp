// Fuzz target: the partition table of a disk (MBR with its EBR chain, GPT
// with its backup), the FAT partitions the drive table takes from it, and
// each partition read as a volume of its own. The input is the whole disk;
// a read outside it, or outside a partition through that partition's
// device, stops the run.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "volume/host/disk_volumes.h"
#include "volume/host/partition_device.h"
#include "volume/host/partition_table.h"
#include "volume/little_endian.h"

using namespace quorvane;

namespace {

// The input as a disk that may be read only inside [first, end).
class BoundedDisk final : public BlockDevice {
 public:
  BoundedDisk(const uint8_t* data, size_t size, uint64_t first, uint64_t end)
      : data_(data), size_(size), first_(first), end_(end) {}

  int ReadAt(uint64_t offset, std::span<uint8_t> out) override {
    if (offset < first_ || offset > end_ || out.size() > end_ - offset) std::abort();
    if (!out.empty()) std::memcpy(out.data(), data_ + offset, out.size());
    return 0;
  }
  std::optional<uint64_t> Size() const override { return size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  uint64_t first_, end_;
};

uint64_t LoadLe64(std::span<const uint8_t> bytes, size_t offset) {
  return uint64_t{LoadLe32(bytes, offset)} | uint64_t{LoadLe32(bytes, offset + 4)} << 32;
}

// Makes the CRC32s of the GPT headers and entry arrays in `disk` right
// again, so that mutated entries and header fields reach the code past the
// checks instead of ending at them.
void RepairGptCrcs(std::vector<uint8_t>& disk) {
  const std::span<uint8_t> bytes(disk);
  for (const uint64_t sector_size : {512u, 4096u}) {
    const uint64_t sectors = disk.size() / sector_size;
    if (sectors < 2) continue;
    for (const uint64_t lba : {uint64_t{1}, sectors - 1}) {
      const auto header = bytes.subspan(lba * sector_size, sector_size);
      if (std::memcmp(header.data(), "EFI PART", 8) != 0) continue;
      const uint32_t header_size = LoadLe32(header, 12);
      const uint64_t array_bytes = uint64_t{LoadLe32(header, 80)} * LoadLe32(header, 84);
      const uint64_t array_at = LoadLe64(header, 72);
      if (array_bytes <= kMaxGptEntryArrayBytes && array_at < sectors &&
          array_bytes <= disk.size() - array_at * sector_size)
        StoreLe32(header, 88, Crc32(bytes.subspan(array_at * sector_size, array_bytes)));
      if (header_size < 92 || header_size > sector_size) continue;
      StoreLe32(header, 16, 0);
      StoreLe32(header, 16, Crc32(header.first(header_size)));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  // An odd first byte (boot code, which no table reads) asks for the GPT's
  // CRC32s to be made right first.
  std::vector<uint8_t> bytes(input, input + size);
  if (size > 0 && (input[0] & 1)) RepairGptCrcs(bytes);
  const uint8_t* data = bytes.data();
  BoundedDisk disk(data, size, 0, size);
  const PartitionTable table = ReadPartitionTable(disk, size);

  // What the table promises: each partition inside the disk and not empty,
  // numbers unique, and no two volumes sharing a byte (an extended partition
  // holds logical ones and is no volume).
  std::set<uint32_t> numbers;
  std::vector<std::pair<uint64_t, uint64_t>> volumes;
  for (const PartitionEntry& e : table.partitions) {
    if (e.length == 0 || e.offset == 0 || e.offset > size || e.length > size - e.offset) std::abort();
    if (!numbers.insert(e.number).second) std::abort();
    if (!e.extended) volumes.emplace_back(e.offset, e.offset + e.length);
  }
  std::sort(volumes.begin(), volumes.end());
  for (size_t i = 1; i < volumes.size(); ++i)
    if (volumes[i].first < volumes[i - 1].second) std::abort();

  // The drive table's partitions, each read through its own device at its
  // first and last sectors and across its end: the device may read the
  // partition's bytes only.
  for (const PartitionPlace& place : FatPartitionsOf(disk)) {
    PartitionDevice volume(std::make_unique<BoundedDisk>(data, size, place.offset, place.offset + place.length),
                           place.offset, place.length);
    std::vector<uint8_t> sector(512);
    if (volume.ReadAt(0, sector) != 0) std::abort();
    const uint64_t last = place.length - std::min<uint64_t>(place.length, 512);
    (void)volume.ReadAt(last, sector);
    if (volume.ReadAt(place.length - 1, sector) != EIO || volume.ReadAt(place.length, sector) != EIO) std::abort();
  }
  return 0;
}
