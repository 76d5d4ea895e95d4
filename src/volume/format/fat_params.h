#pragma once
// The boot-sector values of one operation and the arithmetic over them.
#include <cstdint>
#include <optional>

#include "volume/expected.h"
#include "volume/format/dir_entry.h"
#include "volume/format/volume_family.h"
#include "volume/host/sector_reader.h"

namespace quorvane {

inline constexpr uint32_t kFatEntryMask = 0x0FFFFFFF;
inline constexpr uint32_t kEndOfChain = 0x0FFFFFF8;
inline constexpr uint32_t kFirstDataCluster = 2;
// The fixed root region of FAT12 and FAT16 is read as if it were one
// cluster of this number: no FAT entry can hold it, so no directory entry
// leads there.
inline constexpr uint32_t kRootRegion = 0xFFFFFFFF;

// Why a boot sector describes no FAT32 volume this system can walk.
enum class BootSectorProblem {
  kTooShort,         // less than one sector
  kSectorSize,       // not 512 bytes per sector
  kClusterSize,      // sectors per cluster not a power of two up to 128
  kNoFat,            // no FAT copy, or one of 0 sectors
  kDataAreaPastEnd,  // the data area does not begin inside the volume
  kRootOutside,      // the root directory's cluster lies outside the volume
};

struct FatParams {
  int32_t m_nDrive = 0;             // 1 = A:, 3 = C:
  int32_t m_nFatSize = 0;           // sectors per FAT copy
  int32_t m_nNumFats = 0;           // number of FAT copies
  int32_t m_nReservedSectors = 0;   // the first FAT copy begins here
  int32_t m_nSectorsPerCluster = 0;
  int32_t m_nRootCluster = 0;       // first cluster of the root directory
  int32_t m_nBytesPerSector = 0;
  uint32_t m_nTotalSectors = 0;     // sectors in the volume
  // FAT12 and FAT16 by their cluster count; exFAT's layout is given in the
  // same terms (its FAT, its cluster heap from m_nFirstDataSector).
  VolumeFamily m_family = VolumeFamily::kFat32;
  uint32_t m_nRootEntries = 0;      // FAT12/16: entries of the fixed root region
  uint32_t m_nFirstDataSector = 0;  // exFAT: the cluster heap's first sector

  // The values of drive `drive` from its boot sector, checked: a value
  // returned is one every function below may work with.
  static Expected<FatParams, BootSectorProblem> FromBootSector(std::span<const uint8_t> sector,
                                                               int32_t drive);

  // What keeps the values from describing a FAT32 volume this system can
  // walk; none when nothing does. Checked before any arithmetic: zero sectors
  // per cluster would divide by zero and a foreign volume would be walked as
  // garbage.
  std::optional<BootSectorProblem> Problem() const;

  uint32_t FirstDataSector() const;
  // FAT12/16: where the fixed root region begins, and its sectors.
  uint32_t RootRegionSector() const;
  uint32_t RootRegionSectors() const;
  bool HasRootRegion() const {
    return m_family == VolumeFamily::kFat12 || m_family == VolumeFamily::kFat16;
  }
  // The first cluster an entry records. FAT12 and FAT16 have no high word:
  // the field is reserved there and may hold anything.
  uint32_t FirstClusterOf(const DirEntry& entry) const {
    return HasRootRegion() ? entry.clusterLow : entry.FirstCluster();
  }
  uint32_t ClusterToSector(uint32_t cluster) const;
  uint32_t ClusterBytes() const;
  // Number of the volume's last cluster: the smaller of what the data area
  // holds and what the FAT can describe. Valid only without a Problem().
  uint32_t LastCluster() const;
  bool IsClusterInVolume(uint32_t cluster) const {
    return cluster >= kFirstDataCluster && cluster <= LastCluster();
  }

  // The entry of `cluster` lies at this byte of the FAT: 4 bytes an entry on
  // FAT32 and exFAT, 2 on FAT16, one and a half on FAT12.
  uint64_t FatByteOf(uint32_t cluster) const {
    switch (m_family) {
      case VolumeFamily::kFat12: return uint64_t{cluster} + cluster / 2;
      case VolumeFamily::kFat16: return uint64_t{cluster} * 2;
      default: return uint64_t{cluster} * 4;
    }
  }
  // The sector of the first FAT copy holding the entry of `cluster`, and the
  // entry's byte offset in it. A FAT12 entry may run into the next sector.
  uint32_t FatSectorOf(uint32_t cluster) const;
  uint32_t FatOffsetOf(uint32_t cluster) const { return static_cast<uint32_t>(FatByteOf(cluster) % 512); }
  // Reads the FAT entry of `cluster` straight from the volume (one sector).
  ReadResult<uint32_t> ReadFatEntry(SectorReader& reader, uint32_t cluster) const;

  static bool IsEndOfChain(uint32_t value) { return value >= kEndOfChain; }
  // The FAT entry of `cluster` stored at `offset` of FAT bytes (two bytes
  // past it must be there for FAT12), as a FAT32 value: its low 28 bits, and
  // the end-of-chain and bad-cluster values of FAT12 and FAT16 raised to
  // FAT32's, so that every walk reads them alike.
  uint32_t FatEntryAt(std::span<const uint8_t> fat_bytes, size_t offset, uint32_t cluster) const;
};

}  // namespace quorvane
