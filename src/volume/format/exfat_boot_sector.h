#pragma once
// The main boot sector of an exFAT volume: its fields, decoded from the
// volume's first sector, and the layout they describe, checked and given in
// 512-byte sectors whatever the volume's own sector size (512 to 4096).
#include <cstdint>
#include <optional>
#include <span>

#include "volume/expected.h"
#include "volume/format/fat_params.h"

namespace quorvane {

struct ExFatBootSector {
  // Byte offsets of the fields in the sector.
  static constexpr size_t kFileSystemNameAt = 3;         // 8 bytes: "EXFAT   "
  static constexpr size_t kPartitionOffsetAt = 64;       // u64, in the volume's sectors
  static constexpr size_t kVolumeLengthAt = 72;          // u64, in the volume's sectors
  static constexpr size_t kFatOffsetAt = 80;             // u32, the first FAT's first sector
  static constexpr size_t kFatLengthAt = 84;             // u32, sectors of one FAT
  static constexpr size_t kClusterHeapOffsetAt = 88;     // u32, cluster 2's first sector
  static constexpr size_t kClusterCountAt = 92;          // u32
  static constexpr size_t kRootClusterAt = 96;           // u32, FirstClusterOfRootDirectory
  static constexpr size_t kVolumeSerialNumberAt = 100;   // u32
  static constexpr size_t kFileSystemRevisionAt = 104;   // u16: minor in the low byte, major in the high
  static constexpr size_t kVolumeFlagsAt = 106;          // u16: bit 0 ActiveFat, bit 1 VolumeDirty
  static constexpr size_t kBytesPerSectorShiftAt = 108;  // u8: 9..12
  static constexpr size_t kSectorsPerClusterShiftAt = 109;  // u8
  static constexpr size_t kNumberOfFatsAt = 110;         // u8: 1, or 2 on TexFAT
  static constexpr size_t kSignatureAt = 510;            // u16: 0xAA55 whatever the sector size
  static constexpr size_t kSize = 512;

  bool namedExFat = false;  // the file-system name field reads "EXFAT   "
  uint64_t partitionOffset = 0;
  uint64_t volumeLength = 0;
  uint32_t fatOffset = 0;
  uint32_t fatLength = 0;
  uint32_t clusterHeapOffset = 0;
  uint32_t clusterCount = 0;
  uint32_t rootCluster = 0;
  uint32_t volumeSerialNumber = 0;
  uint16_t fileSystemRevision = 0;
  uint16_t volumeFlags = 0;
  uint8_t bytesPerSectorShift = 0;
  uint8_t sectorsPerClusterShift = 0;
  uint8_t numberOfFats = 0;
  uint16_t signature = 0;

  // None when `sector` is shorter than 512 bytes. Decodes only; Layout()
  // checks.
  static std::optional<ExFatBootSector> Parse(std::span<const uint8_t> sector);
};

// Why a boot sector describes no exFAT volume this system can walk.
enum class ExFatBootProblem {
  kTooShort,      // less than 512 bytes
  kNotExFat,      // no 0xAA55 signature, or the name is not "EXFAT   "
  kRevision,      // a major revision other than 1
  kSectorSize,    // BytesPerSectorShift outside 9..12
  kClusterSize,   // a cluster over 32 MiB
  kFatCount,      // NumberOfFats neither 1 nor 2
  kFatOutside,    // the FATs begin inside the boot regions, reach into the heap, or hold too few entries
  kHeapOutside,   // the cluster heap begins at or past the volume's end
  kClusterCount,  // no cluster, or more than the heap holds before the volume's end
  kRootOutside,   // the root directory's first cluster is not 2 .. ClusterCount + 1
  kTooLarge,      // the heap ends past 2 TiB, or cluster numbers need more than 28 bits
};

// The layout of an exFAT volume in 512-byte sectors and bytes.
struct ExFatLayout {
  uint32_t bytesPerSector = 0;     // the volume's own sector: 512 to 4096
  uint32_t sectorsPerCluster = 0;  // 512-byte sectors per cluster: 1 to 65536
  uint64_t volumeSectors = 0;      // VolumeLength
  uint64_t fatSector = 0;          // the active FAT's first sector
  uint64_t fatSectors = 0;         // the sectors of one FAT
  uint64_t heapSector = 0;         // cluster 2's first sector
  uint32_t clusterCount = 0;
  uint32_t rootCluster = 0;
  uint8_t numberOfFats = 0;
  uint8_t activeFat = 0;           // 0 or 1: which FAT and allocation bitmap are in use
  bool dirty = false;              // VolumeDirty: the volume was not unmounted cleanly
  uint32_t serialNumber = 0;

  uint64_t ClusterBytes() const { return uint64_t{sectorsPerCluster} * 512; }
  uint32_t LastCluster() const { return clusterCount + 1; }
  bool IsClusterInHeap(uint32_t cluster) const {
    return cluster >= kFirstDataCluster && cluster <= LastCluster();
  }
  uint64_t ClusterSector(uint32_t cluster) const {
    return heapSector + uint64_t{cluster - kFirstDataCluster} * sectorsPerCluster;
  }
  uint64_t HeapEndSector() const { return heapSector + uint64_t{clusterCount} * sectorsPerCluster; }
};

// The checked layout of `sector`, or the first problem found.
Expected<ExFatLayout, ExFatBootProblem> ExFatLayoutOf(std::span<const uint8_t> sector);

// The layout of drive `drive` in the terms the view reads every family in:
// 512-byte sectors, one FAT (the active one) at m_nReservedSectors, the heap
// at m_nFirstDataSector. m_nTotalSectors is the heap's end, so that the last
// cluster is ClusterCount + 1 exactly: the allocation bitmap has no bit past
// it. None for what ExFatLayoutOf refuses.
std::optional<FatParams> ExFatParams(std::span<const uint8_t> boot_sector, int32_t drive);

}  // namespace quorvane
