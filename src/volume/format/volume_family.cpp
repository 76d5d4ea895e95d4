#include "volume/format/volume_family.h"

#include <algorithm>

#include "volume/little_endian.h"

namespace quorvane {

std::string_view FamilyName(VolumeFamily family) {
  switch (family) {
    case VolumeFamily::kFat12: return "FAT12";
    case VolumeFamily::kFat16: return "FAT16";
    case VolumeFamily::kFat32: return "FAT32";
    case VolumeFamily::kExFat: return "exFAT";
  }
  return "FAT";
}

namespace {

constexpr size_t kSectorBytes = 512;
constexpr uint32_t kMaxFat12Clusters = 4084;

std::string TrimmedField(std::span<const uint8_t> sector, size_t at, size_t size) {
  std::string text(reinterpret_cast<const char*>(sector.data()) + at, size);
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

std::optional<BootSectorFamily> FamilyOfBootSector(std::span<const uint8_t> sector) {
  if (sector.size() < kSectorBytes || LoadLe16(sector, 510) != 0xAA55) return std::nullopt;
  constexpr std::string_view kExFatName = "EXFAT   ";
  if (std::equal(kExFatName.begin(), kExFatName.end(), sector.begin() + 3)) {
    // BytesPerSectorShift 9..12, SectorsPerClusterShift up to a 32 MiB cluster.
    const uint8_t sector_shift = sector[108];
    const uint8_t cluster_shift = sector[109];
    if (sector_shift < 9 || sector_shift > 12 || sector_shift + cluster_shift > 25) return std::nullopt;
    return BootSectorFamily{VolumeFamily::kExFat, {}};
  }
  const uint32_t bytes_per_sector = LoadLe16(sector, 11);
  const uint32_t sectors_per_cluster = sector[13];
  const uint32_t reserved = LoadLe16(sector, 14);
  const uint32_t fats = sector[16];
  const uint32_t root_entries = LoadLe16(sector, 17);
  const uint32_t total16 = LoadLe16(sector, 19);
  const uint32_t fat16_size = LoadLe16(sector, 22);
  const uint32_t total = total16 != 0 ? total16 : LoadLe32(sector, 32);
  const uint32_t fat_size = fat16_size != 0 ? fat16_size : LoadLe32(sector, 36);
  if (bytes_per_sector < 512 || bytes_per_sector > 4096 || !IsPowerOfTwo(bytes_per_sector) ||
      !IsPowerOfTwo(sectors_per_cluster) || sectors_per_cluster > 128 || reserved == 0 ||
      fats == 0 || fat_size == 0 || total == 0)
    return std::nullopt;
  const uint64_t root_sectors =
      (uint64_t{root_entries} * 32 + bytes_per_sector - 1) / bytes_per_sector;
  const uint64_t data_start = reserved + uint64_t{fats} * fat_size + root_sectors;
  if (data_start >= total) return std::nullopt;
  const uint64_t clusters = (total - data_start) / sectors_per_cluster;
  // FAT32 has no fixed root region and keeps its FAT size in the 32-bit
  // field (a small volume formatted so stays FAT32, as drivers read it);
  // the others are FAT12 or FAT16 by their count of clusters. Each keeps
  // its label after its own extended boot signature (0x29).
  if (root_entries == 0 && fat16_size == 0)
    return BootSectorFamily{VolumeFamily::kFat32, sector[66] == 0x29 ? TrimmedField(sector, 71, 11) : ""};
  if (root_entries == 0) return std::nullopt;
  const auto family = clusters <= kMaxFat12Clusters ? VolumeFamily::kFat12 : VolumeFamily::kFat16;
  if (sector[38] != 0x29) return BootSectorFamily{family, {}};
  return BootSectorFamily{family, TrimmedField(sector, 43, 11)};
}

}  // namespace quorvane
