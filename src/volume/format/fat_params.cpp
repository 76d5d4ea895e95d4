#include "volume/format/fat_params.h"

#include <algorithm>

#include "volume/format/boot_sector.h"
#include "volume/little_endian.h"

namespace quorvane {

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
  if (const auto problem = params.Problem()) return Fail(*problem);
  return params;
}

std::optional<BootSectorProblem> FatParams::Problem() const {
  const auto spc = static_cast<uint32_t>(m_nSectorsPerCluster);
  if (m_nBytesPerSector != static_cast<int32_t>(kSectorSize)) return BootSectorProblem::kSectorSize;
  if (spc == 0 || spc > 128 || (spc & (spc - 1)) != 0) return BootSectorProblem::kClusterSize;
  if (m_nNumFats < 1 || m_nFatSize == 0) return BootSectorProblem::kNoFat;
  // The data area must begin inside the volume, reckoned without overflow.
  const uint64_t first_data = static_cast<uint64_t>(static_cast<uint32_t>(m_nReservedSectors)) +
                              static_cast<uint64_t>(m_nNumFats) *
                                  static_cast<uint32_t>(m_nFatSize);
  if (first_data + spc > m_nTotalSectors) return BootSectorProblem::kDataAreaPastEnd;
  if (!IsClusterInVolume(static_cast<uint32_t>(m_nRootCluster))) return BootSectorProblem::kRootOutside;
  return std::nullopt;
}

uint32_t FatParams::FirstDataSector() const {
  return static_cast<uint32_t>(m_nReservedSectors) +
         static_cast<uint32_t>(m_nNumFats) * static_cast<uint32_t>(m_nFatSize);
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
  const uint64_t by_fat = static_cast<uint64_t>(static_cast<uint32_t>(m_nFatSize)) * 128 - 1;
  return static_cast<uint32_t>(std::min({by_data, by_fat, uint64_t{kFatEntryMask - 16}}));
}

uint32_t FatParams::FatSectorOf(uint32_t cluster) const {
  return static_cast<uint32_t>(m_nReservedSectors) + (cluster >> 7);
}

uint32_t FatParams::FatEntryAt(std::span<const uint8_t> fat_bytes, size_t offset) {
  return LoadLe32(fat_bytes, offset) & kFatEntryMask;
}

ReadResult<uint32_t> FatParams::ReadFatEntry(SectorReader& reader, uint32_t cluster) const {
  auto sector = reader.ReadSectors(m_nDrive, FatSectorOf(cluster), 1);
  if (!sector) return Fail(sector.error());
  return FatEntryAt(*sector, FatOffsetOf(cluster));
}

}  // namespace quorvane
