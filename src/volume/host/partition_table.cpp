#include "volume/host/partition_table.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>
#include <optional>

#include "volume/format/volume_family.h"
#include "volume/little_endian.h"

namespace quorvane {

namespace {

constexpr uint64_t kMbrSectorSize = 512;

// GPT's 64-bit fields. (The exFAT readers keep a copy each too.)
constexpr size_t kMbrSlotsAt = 446;
constexpr uint8_t kProtectiveType = 0xEE;
constexpr uint32_t kGptMinHeaderSize = 92;
constexpr uint32_t kGptMinEntrySize = 128;

// One of the four 16-byte slots of an MBR or EBR.
struct MbrSlot {
  uint8_t status = 0;    // 0x80 bootable, 0x00 not; anything else: no table
  uint8_t type = 0;      // 0 for an empty slot
  uint32_t start = 0;    // first LBA: from the disk's start in an MBR, from its EBR in an EBR
  uint32_t sectors = 0;  // length in sectors
};

MbrSlot SlotOf(std::span<const uint8_t> sector, size_t index) {
  const size_t at = kMbrSlotsAt + index * 16;
  return MbrSlot{sector[at], sector[at + 4], LoadLe32(sector, at + 8), LoadLe32(sector, at + 12)};
}

bool HasBootSignature(std::span<const uint8_t> sector) { return LoadLe16(sector, 510) == 0xAA55; }

// 0x05 CHS, 0x0F LBA, 0x85 Linux: each holds an EBR chain.
bool IsExtendedType(uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

// Products and sums in bytes that stop at the largest value instead of
// wrapping: such an entry then starts past every disk and is dropped.
uint64_t Times(uint64_t a, uint64_t b) {
  return b != 0 && a > std::numeric_limits<uint64_t>::max() / b ? std::numeric_limits<uint64_t>::max()
                                                                : a * b;
}
uint64_t Plus(uint64_t a, uint64_t b) {
  return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max() : a + b;
}

// Where partitions are clipped: the end of the disk's last whole sector, so
// that a partition stays whole sectors on an image cut short mid-sector.
uint64_t ClipEnd(uint64_t disk_size) { return disk_size / kMbrSectorSize * kMbrSectorSize; }

// Reads only when the whole request lies inside the disk.
bool ReadInside(BlockDevice& disk, uint64_t disk_size, uint64_t offset, std::span<uint8_t> out) {
  if (offset > disk_size || out.size() > disk_size - offset) return false;
  return disk.ReadAt(offset, out) == 0;
}

// The byte ranges taken by the entries kept so far, to find overlaps in
// logarithmic time however many entries a GPT lists.
class TakenRanges {
 public:
  // Keeps `entry` when it starts inside [lower, upper): clipped at `upper`,
  // and unless it overlaps a range taken before. False when dropped.
  bool Take(PartitionEntry& entry, uint64_t lower, uint64_t upper) {
    if (entry.length == 0 || entry.offset < lower || entry.offset >= upper) return false;
    entry.length = std::min(entry.length, upper - entry.offset);
    const uint64_t end = entry.offset + entry.length;
    const auto after = ranges_.lower_bound(entry.offset);
    if (after != ranges_.end() && after->first < end) return false;
    if (after != ranges_.begin() && std::prev(after)->second > entry.offset) return false;
    ranges_.emplace(entry.offset, end);
    return true;
  }

 private:
  std::map<uint64_t, uint64_t> ranges_;  // first byte -> end
};

// The four slots of sector 0 when it holds an MBR: the boot signature, and a
// status byte of 0x00 or 0x80 in every slot (boot code in their place makes
// other values: then it is no table).
std::optional<std::array<MbrSlot, 4>> MbrSlots(std::span<const uint8_t> sector) {
  if (!HasBootSignature(sector)) return std::nullopt;
  std::array<MbrSlot, 4> slots;
  for (size_t i = 0; i < slots.size(); ++i) {
    slots[i] = SlotOf(sector, i);
    if (slots[i].status != 0x00 && slots[i].status != 0x80) return std::nullopt;
  }
  return slots;
}

// The logical partitions of `container` through its EBR chain. Each EBR
// holds a logical partition in its first slot, placed from the EBR itself,
// and the link to the next EBR in a later slot, placed from the extended
// partition's start. A link that does not lead forward inside the extended
// partition ends the chain, so no EBR is read twice; `ebrs_read` bounds the
// chains of all extended partitions together.
void ReadLogicals(BlockDevice& disk, uint64_t disk_size, const PartitionEntry& container,
                  uint32_t& next_number, uint32_t& ebrs_read, TakenRanges& taken,
                  std::vector<PartitionEntry>& out) {
  const uint64_t first_ebr = container.offset / kMbrSectorSize;
  const uint64_t end = container.offset + container.length;
  uint64_t ebr = first_ebr;
  std::array<uint8_t, kMbrSectorSize> sector{};
  while (ebrs_read < kMaxLogicalPartitions) {
    ++ebrs_read;
    if (!ReadInside(disk, disk_size, ebr * kMbrSectorSize, sector) || !HasBootSignature(sector)) return;
    const MbrSlot data = SlotOf(sector, 0);
    if (data.type != 0 && data.sectors != 0 && !IsExtendedType(data.type)) {
      PartitionEntry entry;
      entry.number = next_number++;
      entry.offset = Times(Plus(ebr, data.start), kMbrSectorSize);
      entry.length = uint64_t{data.sectors} * kMbrSectorSize;
      entry.mbrType = data.type;
      // Not over its own EBR, not out of its extended partition.
      if (taken.Take(entry, (ebr + 1) * kMbrSectorSize, end)) out.push_back(entry);
    }
    std::optional<uint64_t> next;
    for (size_t i = 1; i < 4 && !next; ++i) {
      const MbrSlot link = SlotOf(sector, i);
      if (IsExtendedType(link.type) && link.sectors != 0) next = first_ebr + link.start;
    }
    if (!next || *next <= ebr || Times(*next, kMbrSectorSize) >= end) return;
    ebr = *next;
  }
}

PartitionTable ReadMbr(BlockDevice& disk, uint64_t disk_size, const std::array<MbrSlot, 4>& slots) {
  PartitionTable table;
  table.scheme = PartitionScheme::kMbr;
  TakenRanges primaries;
  for (size_t i = 0; i < slots.size(); ++i) {
    const MbrSlot& slot = slots[i];
    if (slot.type == 0 || slot.sectors == 0) continue;
    PartitionEntry entry;
    entry.number = static_cast<uint32_t>(i + 1);
    entry.offset = uint64_t{slot.start} * kMbrSectorSize;
    entry.length = uint64_t{slot.sectors} * kMbrSectorSize;
    entry.mbrType = slot.type;
    entry.extended = IsExtendedType(slot.type);
    if (primaries.Take(entry, kMbrSectorSize, ClipEnd(disk_size))) table.partitions.push_back(entry);
  }
  // Logical partitions lie inside their extended partition, which overlaps
  // no primary one: they are kept apart from each other only.
  uint32_t next_number = 5;
  uint32_t ebrs_read = 0;
  TakenRanges logicals;
  const std::vector<PartitionEntry> primary = table.partitions;
  for (const PartitionEntry& container : primary)
    if (container.extended)
      ReadLogicals(disk, disk_size, container, next_number, ebrs_read, logicals, table.partitions);
  return table;
}

// The fields of a GPT header that place its entries.
struct GptHeader {
  uint64_t firstUsable = 0;
  uint64_t lastUsable = 0;
  uint64_t entriesLba = 0;
  uint32_t count = 0;
  uint32_t entrySize = 0;
  uint32_t entriesCrc = 0;
};

// The header at `lba`, when its signature, sizes, own LBA and CRC32 hold
// and its entry array lies inside the disk, clear of sector 0 and of the
// header itself, and is no larger than kMaxGptEntryArrayBytes.
std::optional<GptHeader> ReadGptHeader(BlockDevice& disk, uint64_t disk_size, uint32_t sector_size,
                                       uint64_t lba) {
  const uint64_t disk_sectors = disk_size / sector_size;
  if (lba >= disk_sectors) return std::nullopt;
  std::vector<uint8_t> sector(sector_size);
  if (!ReadInside(disk, disk_size, lba * sector_size, sector)) return std::nullopt;
  if (std::memcmp(sector.data(), "EFI PART", 8) != 0) return std::nullopt;
  const uint32_t header_size = LoadLe32(sector, 12);
  if (header_size < kGptMinHeaderSize || header_size > sector_size) return std::nullopt;
  const uint32_t stored_crc = LoadLe32(sector, 16);
  StoreLe32(sector, 16, 0);  // the CRC32 is taken with its own field zeroed
  if (Crc32(std::span(sector).first(header_size)) != stored_crc) return std::nullopt;
  if (LoadLe64(sector, 24) != lba) return std::nullopt;
  GptHeader header;
  header.firstUsable = LoadLe64(sector, 40);
  header.lastUsable = LoadLe64(sector, 48);
  header.entriesLba = LoadLe64(sector, 72);
  header.count = LoadLe32(sector, 80);
  header.entrySize = LoadLe32(sector, 84);
  header.entriesCrc = LoadLe32(sector, 88);
  // An entry is 128 bytes times a power of two.
  if (header.entrySize < kGptMinEntrySize || (header.entrySize & (header.entrySize - 1)) != 0)
    return std::nullopt;
  const uint64_t array_bytes = uint64_t{header.count} * header.entrySize;
  if (array_bytes > kMaxGptEntryArrayBytes || header.firstUsable > header.lastUsable) return std::nullopt;
  const uint64_t array_sectors = (array_bytes + sector_size - 1) / sector_size;
  if (header.entriesLba == 0 || header.entriesLba >= disk_sectors ||
      array_sectors > disk_sectors - header.entriesLba)
    return std::nullopt;
  if (header.entriesLba <= lba && lba < header.entriesLba + array_sectors) return std::nullopt;
  return header;
}

std::optional<PartitionTable> ReadGptAt(BlockDevice& disk, uint64_t disk_size, uint32_t sector_size,
                                        uint64_t lba) {
  const auto header = ReadGptHeader(disk, disk_size, sector_size, lba);
  if (!header) return std::nullopt;
  std::vector<uint8_t> entries(size_t{header->count} * header->entrySize);
  if ((!entries.empty() && !ReadInside(disk, disk_size, header->entriesLba * sector_size, entries)) ||
      Crc32(entries) != header->entriesCrc)
    return std::nullopt;
  PartitionTable table;
  table.scheme = PartitionScheme::kGpt;
  TakenRanges taken;
  // Nothing before the first usable LBA, nor at sector 0 whatever the header says.
  const uint64_t lower = Times(std::max<uint64_t>(header->firstUsable, 1), sector_size);
  for (uint32_t i = 0; i < header->count; ++i) {
    const auto bytes = std::span<const uint8_t>(entries).subspan(size_t{i} * header->entrySize, kGptMinEntrySize);
    if (std::all_of(bytes.begin(), bytes.begin() + 16, [](uint8_t b) { return b == 0; })) continue;
    const uint64_t first = LoadLe64(bytes, 32);
    const uint64_t last = LoadLe64(bytes, 40);  // inclusive
    if (last < first) continue;
    PartitionEntry entry;
    entry.number = i + 1;
    entry.offset = Times(first, sector_size);
    entry.length = Times(last - first + 1, sector_size);
    std::copy(bytes.begin(), bytes.begin() + 16, entry.gptType.begin());
    if (taken.Take(entry, lower, ClipEnd(disk_size))) table.partitions.push_back(entry);
  }
  return table;
}

// The primary header at LBA 1, else the backup at the last LBA; 512-byte
// sectors first, then 4096-byte ones. A GPT with no valid header lists
// nothing: the protective MBR describes no volume.
PartitionTable ReadGpt(BlockDevice& disk, uint64_t disk_size) {
  constexpr uint32_t kSectorSizes[] = {512, 4096};
  for (const uint32_t sector_size : kSectorSizes)
    if (auto table = ReadGptAt(disk, disk_size, sector_size, 1)) return std::move(*table);
  for (const uint32_t sector_size : kSectorSizes) {
    const uint64_t disk_sectors = disk_size / sector_size;
    if (disk_sectors < 3) continue;
    if (auto table = ReadGptAt(disk, disk_size, sector_size, disk_sectors - 1)) {
      table->fromBackupGpt = true;
      return std::move(*table);
    }
  }
  PartitionTable none;
  none.scheme = PartitionScheme::kGpt;
  return none;
}

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

uint32_t Crc32Continue(uint32_t crc_so_far, std::span<const uint8_t> bytes) {
  uint32_t crc = crc_so_far ^ 0xFFFFFFFFu;
  for (const uint8_t byte : bytes) crc = kCrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

uint32_t Crc32(std::span<const uint8_t> bytes) { return Crc32Continue(0, bytes); }

PartitionTable ReadPartitionTable(BlockDevice& disk, uint64_t diskSize) {
  std::array<uint8_t, kMbrSectorSize> sector{};
  if (!ReadInside(disk, diskSize, 0, sector)) return {};
  // A FAT boot sector also ends in 0x55AA, and its boot code can sit where
  // the slots would: it is read as the volume it describes first.
  if (FamilyOfBootSector(sector)) return {};
  const auto slots = MbrSlots(sector);
  if (!slots) return {};
  if (std::any_of(slots->begin(), slots->end(), [](const MbrSlot& s) { return s.type == kProtectiveType; }))
    return ReadGpt(disk, diskSize);
  return ReadMbr(disk, diskSize, *slots);
}

std::string SchemeName(PartitionScheme scheme) {
  switch (scheme) {
    case PartitionScheme::kMbr: return "MBR";
    case PartitionScheme::kGpt: return "GPT";
    case PartitionScheme::kNone: break;
  }
  return "no partition table";
}

std::string GuidText(std::span<const uint8_t, 16> guid) {
  // Data1-Data3 are stored little-endian, Data4 as bytes.
  static constexpr int kOrder[] = {3, 2, 1, 0, -1, 5, 4, -1, 7, 6, -1, 8, 9, -1, 10, 11, 12, 13, 14, 15};
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const int at : kOrder) {
    if (at < 0) {
      text.push_back('-');
      continue;
    }
    text.push_back(kDigits[guid[static_cast<size_t>(at)] >> 4]);
    text.push_back(kDigits[guid[static_cast<size_t>(at)] & 0xF]);
  }
  return text;
}

}  // namespace quorvane
