#pragma once
// The boot-sector values of one operation and the arithmetic over them.
#include <cstdint>
#include <optional>

#include "volume/sector_reader.h"

namespace quorvane {

inline constexpr uint32_t kFatEntryMask = 0x0FFFFFFF;
inline constexpr uint32_t kEndOfChain = 0x0FFFFFF8;
inline constexpr uint32_t kFirstDataCluster = 2;

struct FatParams {
  int32_t m_nDrive = 0;             // 1 = A:, 3 = C:
  int32_t m_nFatSize = 0;           // sectors per FAT copy
  int32_t m_nNumFats = 0;           // number of FAT copies
  int32_t m_nReservedSectors = 0;   // the first FAT copy begins here
  int32_t m_nSectorsPerCluster = 0;
  int32_t m_nRootCluster = 0;       // first cluster of the root directory
  int32_t m_nBytesPerSector = 0;
  uint32_t m_nTotalSectors = 0;     // sectors in the volume

  // Reads sector 0 of m_nDrive and fills the boot-sector values: 0, or 1 when
  // the read failed (nothing changes then).
  int ReadBootSector(SectorReader& reader);
  // Fills the values from a boot sector already read.
  void ParseBootSector(std::span<const uint8_t> sector);

  // Whether the values describe a FAT32 volume this system can walk. Checked
  // before any arithmetic: zero sectors per cluster would divide by zero and
  // a foreign volume would be walked as garbage.
  bool IsUsableFat32() const;

  uint32_t FirstDataSector() const;
  uint32_t ClusterToSector(uint32_t cluster) const;
  uint32_t ClusterBytes() const;
  // Number of the volume's last cluster: the smaller of what the data area
  // holds and what the FAT can describe. Valid only when IsUsableFat32().
  uint32_t LastCluster() const;
  bool IsClusterInVolume(uint32_t cluster) const {
    return cluster >= kFirstDataCluster && cluster <= LastCluster();
  }

  // The sector of the first FAT copy holding the entry of `cluster`, and the
  // entry's byte offset in it.
  uint32_t FatSectorOf(uint32_t cluster) const;
  static uint32_t FatOffsetOf(uint32_t cluster) { return (cluster & 0x7F) * 4; }
  // Reads the FAT entry of `cluster` straight from the volume (one sector).
  std::optional<uint32_t> ReadFatEntry(SectorReader& reader, uint32_t cluster) const;

  static bool IsEndOfChain(uint32_t value) { return value >= kEndOfChain; }
};

}  // namespace quorvane
