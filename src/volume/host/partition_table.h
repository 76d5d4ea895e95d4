#pragma once
// The partition table at the start of a disk or of an image of one: an MBR
// with its primary partitions and the logical partitions its extended
// partitions hold (a chain of EBRs), or a GPT behind its protective MBR.
// A first sector that is itself a FAT or exFAT boot sector is a volume
// without a table (a "superfloppy", as cards are often formatted), not an
// MBR, though it ends in the same 0x55AA.
//
// The table is data from the disk and may be damaged or hostile: every read
// lies inside the disk, every loop is bounded, and entries that make no
// sense are dropped or clipped (see ReadPartitionTable).
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "volume/host/block_device.h"

namespace quorvane {

enum class PartitionScheme {
  kNone,  // no table: a volume from sector 0, or nothing known
  kMbr,
  kGpt,
};

struct PartitionEntry {
  // As Linux numbers it: MBR primaries 1-4 by their slot, logical partitions
  // from 5 in chain order; GPT entry index + 1.
  uint32_t number = 0;
  uint64_t offset = 0;  // bytes from the start of the disk
  uint64_t length = 0;  // bytes, clipped to the end of the disk
  uint8_t mbrType = 0;  // MBR: the type byte (0x0C FAT32 LBA); GPT: 0
  // GPT: the type GUID as stored (its first three fields little-endian);
  // MBR: zeros.
  std::array<uint8_t, 16> gptType{};
  // An MBR extended partition: it holds the EBR chain, not a volume.
  bool extended = false;
};

struct PartitionTable {
  PartitionScheme scheme = PartitionScheme::kNone;
  std::vector<PartitionEntry> partitions;  // in table order
  // GPT: the primary header or its entry array was damaged and the backup
  // at the disk's last sector was read instead.
  bool fromBackupGpt = false;
};

// Bounds for a damaged table.
inline constexpr uint32_t kMaxLogicalPartitions = 128;      // EBRs read per disk
inline constexpr uint64_t kMaxGptEntryArrayBytes = 1 << 20;  // 8,192 entries of 128 bytes

// Reads the table of `disk`, whose size is `diskSize` bytes; no read ends
// past that. Logical sectors are 512 bytes for an MBR; a GPT is also looked
// for with 4096-byte sectors.
//
// Entries dropped: empty ones (type 0, no sectors, GPT's zero type GUID),
// those that start at sector 0 (or, for a logical partition, at its own EBR;
// for GPT, before the first usable LBA), those that start at or past the
// disk's end (a logical partition: its extended partition's end), those
// that end before they start, and those that overlap an entry kept before
// them in table order. Clipped: entries that run past the disk's end (a
// logical partition: its extended partition's end), so that a truncated image
// still gives its partitions' first parts.
// The EBR chain is followed while each link points forward inside its
// extended partition, for at most kMaxLogicalPartitions EBRs in all.
// A GPT header is taken when its signature, sizes, own LBA and CRC32 hold
// and its entry array (at most kMaxGptEntryArrayBytes, inside the disk)
// matches its CRC32; else the backup header at the last sector is tried.
// When neither holds, the table is a GPT with no partitions.
PartitionTable ReadPartitionTable(BlockDevice& disk, uint64_t diskSize);

// "MBR", "GPT", or "no partition table".
std::string SchemeName(PartitionScheme scheme);

// A GPT type GUID in its usual text form: "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7".
std::string GuidText(std::span<const uint8_t, 16> guid);

// The CRC32 of IEEE 802.3 that GPT uses for its header and entry array.
uint32_t Crc32(std::span<const uint8_t> bytes);
// The same CRC32 carried on over `bytes` from the CRC32 of the bytes before
// them (0 before any), for data that comes in pieces: PNG chunks, ZIP entries.
uint32_t Crc32Continue(uint32_t crc_so_far, std::span<const uint8_t> bytes);

}  // namespace quorvane
