#pragma once
// The boot-sector values of one operation and the arithmetic over them.
#include <cstdint>
#include <optional>

#include "volume/expected.h"
#include "volume/host/sector_reader.h"

namespace quorvane {

inline constexpr uint32_t kFatEntryMask = 0x0FFFFFFF;
inline constexpr uint32_t kEndOfChain = 0x0FFFFFF8;
inline constexpr uint32_t kFirstDataCluster = 2;

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
  uint32_t ClusterToSector(uint32_t cluster) const;
  uint32_t ClusterBytes() const;
  // Number of the volume's last cluster: the smaller of what the data area
  // holds and what the FAT can describe. Valid only without a Problem().
  uint32_t LastCluster() const;
  bool IsClusterInVolume(uint32_t cluster) const {
    return cluster >= kFirstDataCluster && cluster <= LastCluster();
  }

  // The sector of the first FAT copy holding the entry of `cluster`, and the
  // entry's byte offset in it.
  uint32_t FatSectorOf(uint32_t cluster) const;
  static uint32_t FatOffsetOf(uint32_t cluster) { return (cluster & 0x7F) * 4; }
  // Reads the FAT entry of `cluster` straight from the volume (one sector).
  ReadResult<uint32_t> ReadFatEntry(SectorReader& reader, uint32_t cluster) const;

  static bool IsEndOfChain(uint32_t value) { return value >= kEndOfChain; }
  // The FAT entry stored at `offset` of FAT bytes: its low 28 bits.
  static uint32_t FatEntryAt(std::span<const uint8_t> fat_bytes, size_t offset);
};

}  // namespace quorvane
