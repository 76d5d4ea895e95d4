#include "volume/format/fat_params.h"

#include <algorithm>

#include "volume/format/boot_sector.h"
#include "volume/little_endian.h"

namespace quorvane {

namespace {

// A volume with a fixed root region and fewer clusters than this is FAT12;
// with more, FAT16 (whose 16-bit entries then bound its last cluster).
constexpr uint32_t kFat12Clusters = 4085;

}  // namespace

Expected<FatParams, BootSectorProblem> FatParams::FromBootSector(std::span<const uint8_t> sector,
                                                                 int32_t drive) {
  const auto boot = BootSector::Parse(sector);
  if (!boot) return Fail(BootSectorProblem::kTooShort);
  FatParams params;
  params.m_nDrive = drive;
  params.m_nBytesPerSector = boot->bytesPerSector;
  params.m_nSectorsPerCluster = boot->sectorsPerCluster;
  params.m_nReservedSectors = boot->reservedSectors;
  params.m_nNumFats = boot->numFats;
  params.m_nFatSize = static_cast<int32_t>(boot->fatSize);
  params.m_nRootCluster = static_cast<int32_t>(boot->rootCluster);
  params.m_nTotalSectors = boot->totalSectors;
  // A FAT32 volume keeps its FAT size in the 32-bit field and has no fixed
  // root region; the others are FAT12 or FAT16 by their count of clusters.
  // (A small volume formatted as FAT32 stays FAT32, as every driver reads it.)
  if (boot->fatSize16 != 0 || boot->rootEntries != 0) {
    params.m_nRootEntries = boot->rootEntries;
    params.m_nRootCluster = static_cast<int32_t>(kRootRegion);
    params.m_family = VolumeFamily::kFat16;
    if (params.m_nBytesPerSector == static_cast<int32_t>(kSectorSize) && boot->sectorsPerCluster != 0 &&
        uint64_t{params.FirstDataSector()} < params.m_nTotalSectors) {
      const uint32_t clusters =
          (params.m_nTotalSectors - params.FirstDataSector()) / boot->sectorsPerCluster;
      params.m_family = clusters < kFat12Clusters ? VolumeFamily::kFat12 : VolumeFamily::kFat16;
    }
  }
  if (const auto problem = params.Problem()) return Fail(*problem);
  return params;
}

std::optional<BootSectorProblem> FatParams::Problem() const {
  const auto spc = static_cast<uint32_t>(m_nSectorsPerCluster);
  if (m_nBytesPerSector != static_cast<int32_t>(kSectorSize)) return BootSectorProblem::kSectorSize;
  const uint32_t max_spc = m_family == VolumeFamily::kExFat ? 65536 : 128;
  if (spc == 0 || spc > max_spc || (spc & (spc - 1)) != 0) return BootSectorProblem::kClusterSize;
  if (m_nNumFats < 1 || m_nFatSize == 0) return BootSectorProblem::kNoFat;
  // The data area must begin inside the volume, reckoned without overflow.
  const uint64_t first_data =
      m_family == VolumeFamily::kExFat
          ? m_nFirstDataSector
          : static_cast<uint64_t>(static_cast<uint32_t>(m_nReservedSectors)) +
                static_cast<uint64_t>(m_nNumFats) * static_cast<uint32_t>(m_nFatSize) +
                RootRegionSectors();
  if (first_data + spc > m_nTotalSectors) return BootSectorProblem::kDataAreaPastEnd;
  if (HasRootRegion()) {
    if (m_nRootEntries == 0) return BootSectorProblem::kRootOutside;
  } else if (!IsClusterInVolume(static_cast<uint32_t>(m_nRootCluster))) {
    return BootSectorProblem::kRootOutside;
  }
  return std::nullopt;
}

uint32_t FatParams::RootRegionSector() const {
  return static_cast<uint32_t>(m_nReservedSectors) +
         static_cast<uint32_t>(m_nNumFats) * static_cast<uint32_t>(m_nFatSize);
}

uint32_t FatParams::RootRegionSectors() const {
  return HasRootRegion() ? (m_nRootEntries * kDirEntrySize + kSectorSize - 1) / kSectorSize : 0;
}

uint32_t FatParams::FirstDataSector() const {
  if (m_family == VolumeFamily::kExFat) return m_nFirstDataSector;
  return RootRegionSector() + RootRegionSectors();
}

uint32_t FatParams::ClusterToSector(uint32_t cluster) const {
  return FirstDataSector() + (cluster - 2) * static_cast<uint32_t>(m_nSectorsPerCluster);
}

uint32_t FatParams::ClusterBytes() const {
  return static_cast<uint32_t>(m_nSectorsPerCluster) * static_cast<uint32_t>(m_nBytesPerSector);
}

uint32_t FatParams::LastCluster() const {
  const uint32_t data_sectors = m_nTotalSectors - FirstDataSector();
  const uint64_t by_data = data_sectors / static_cast<uint32_t>(m_nSectorsPerCluster) + 1;
  // The FAT's first two entries describe no cluster; a FAT12 entry at the
  // FAT's end needs both of its bytes inside it.
  const uint64_t fat_bytes = static_cast<uint64_t>(static_cast<uint32_t>(m_nFatSize)) * kSectorSize;
  uint64_t by_fat = 0;
  switch (m_family) {
    case VolumeFamily::kFat12: by_fat = fat_bytes * 2 / 3 - 1; break;
    case VolumeFamily::kFat16: by_fat = fat_bytes / 2 - 1; break;
    default: by_fat = fat_bytes / 4 - 1; break;
  }
  // Values from the end-of-chain marks up are no cluster numbers.
  const uint64_t by_family = m_family == VolumeFamily::kFat12   ? 0xFF6
                             : m_family == VolumeFamily::kFat16 ? 0xFFF6
                                                                : uint64_t{kFatEntryMask - 16};
  return static_cast<uint32_t>(std::min({by_data, by_fat, by_family}));
}

uint32_t FatParams::FatSectorOf(uint32_t cluster) const {
  return static_cast<uint32_t>(m_nReservedSectors) + static_cast<uint32_t>(FatByteOf(cluster) / kSectorSize);
}

uint32_t FatParams::FatEntryAt(std::span<const uint8_t> fat_bytes, size_t offset,
                               uint32_t cluster) const {
  switch (m_family) {
    case VolumeFamily::kFat12: {
      // Two entries share three bytes: an even cluster has the low 12 bits.
      const uint32_t pair = fat_bytes[offset] | uint32_t{fat_bytes[offset + 1]} << 8;
      const uint32_t value = cluster % 2 == 0 ? pair & 0xFFF : pair >> 4;
      return value >= 0xFF0 ? value + 0x0FFFF000 : value;
    }
    case VolumeFamily::kFat16: {
      const uint32_t value = LoadLe16(fat_bytes, offset);
      return value >= 0xFFF0 ? value + 0x0FFF0000 : value;
    }
    default:
      return LoadLe32(fat_bytes, offset) & kFatEntryMask;
  }
}

ReadResult<uint32_t> FatParams::ReadFatEntry(SectorReader& reader, uint32_t cluster) const {
  // A FAT12 entry that begins in a sector's last byte ends in the next one.
  const bool straddles = FatOffsetOf(cluster) == kSectorSize - 1;
  auto sectors = reader.ReadSectors(m_nDrive, FatSectorOf(cluster), straddles ? 2 : 1);
  if (!sectors) return Fail(sectors.error());
  return FatEntryAt(*sectors, FatOffsetOf(cluster), cluster);
}

}  // namespace quorvane
