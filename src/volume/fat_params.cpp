#include "volume/fat_params.h"

#include <algorithm>

#include "volume/little_endian.h"

namespace quorvane {

int FatParams::ReadBootSector(SectorReader& reader) {
  auto sector = reader.ReadSectors(m_nDrive, 0, 1);
  if (!sector) return 1;
  ParseBootSector(*sector);
  return 0;
}

void FatParams::ParseBootSector(std::span<const uint8_t> sector) {
  if (sector.size() < kSectorSize) return;
  m_nBytesPerSector = LoadLe16(sector, 11);
  m_nSectorsPerCluster = sector[13];
  m_nReservedSectors = LoadLe16(sector, 14);
  m_nNumFats = sector[16];
  m_nFatSize = static_cast<int32_t>(LoadLe32(sector, 36));
  m_nRootCluster = static_cast<int32_t>(LoadLe32(sector, 44));
  const uint16_t small_total = LoadLe16(sector, 19);
  m_nTotalSectors = small_total != 0 ? small_total : LoadLe32(sector, 32);
}

bool FatParams::IsUsableFat32() const {
  const auto spc = static_cast<uint32_t>(m_nSectorsPerCluster);
  if (m_nBytesPerSector != static_cast<int32_t>(kSectorSize)) return false;
  if (spc == 0 || spc > 128 || (spc & (spc - 1)) != 0) return false;
  if (m_nNumFats < 1 || m_nFatSize == 0) return false;
  // The data area must begin inside the volume, reckoned without overflow.
  const uint64_t first_data = static_cast<uint64_t>(static_cast<uint32_t>(m_nReservedSectors)) +
                              static_cast<uint64_t>(m_nNumFats) *
                                  static_cast<uint32_t>(m_nFatSize);
  if (first_data + spc > m_nTotalSectors) return false;
  return IsClusterInVolume(static_cast<uint32_t>(m_nRootCluster));
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

std::optional<uint32_t> FatParams::ReadFatEntry(SectorReader& reader, uint32_t cluster) const {
  auto sector = reader.ReadSectors(m_nDrive, FatSectorOf(cluster), 1);
  if (!sector) return std::nullopt;
  return LoadLe32(*sector, FatOffsetOf(cluster)) & kFatEntryMask;
}

}  // namespace quorvane
