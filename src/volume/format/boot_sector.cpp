#include "volume/format/boot_sector.h"

#include <algorithm>
#include <string_view>

#include "volume/little_endian.h"

namespace quorvane {

std::optional<BootSector> BootSector::Parse(std::span<const uint8_t> sector) {
  if (sector.size() < kSize) return std::nullopt;
  BootSector b;
  b.bytesPerSector = LoadLe16(sector, kBytesPerSectorAt);
  b.sectorsPerCluster = sector[kSectorsPerClusterAt];
  b.reservedSectors = LoadLe16(sector, kReservedSectorsAt);
  b.numFats = sector[kNumFatsAt];
  const uint16_t small_total = LoadLe16(sector, kTotalSectors16At);
  b.totalSectors = small_total != 0 ? small_total : LoadLe32(sector, kTotalSectors32At);
  b.rootEntries = LoadLe16(sector, kRootEntriesAt);
  b.fatSize16 = LoadLe16(sector, kFatSize16At);
  b.fatSize = b.fatSize16 != 0 ? b.fatSize16 : LoadLe32(sector, kFatSize32At);
  b.rootCluster = LoadLe32(sector, kRootClusterAt);
  std::copy_n(sector.begin() + kFileSystemTypeAt, b.fileSystemType.size(), b.fileSystemType.begin());
  b.signature = LoadLe16(sector, kSignatureAt);
  return b;
}

bool BootSector::SaysFat32() const {
  constexpr std::string_view kFat32 = "FAT32   ";
  return signature == 0xAA55 && std::equal(kFat32.begin(), kFat32.end(), fileSystemType.begin());
}

}  // namespace quorvane
