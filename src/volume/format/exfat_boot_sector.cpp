#include "volume/format/exfat_boot_sector.h"

#include <algorithm>
#include <string_view>

#include "volume/little_endian.h"

namespace quorvane {

namespace {

constexpr uint32_t kMaxClusterShift = 25;  // 32 MiB
// The main and backup boot regions take 12 sectors each.
constexpr uint32_t kBootRegionsSectors = 24;


// `value` volume sectors as 512-byte sectors; UINT64_MAX when that overflows.
uint64_t In512(uint64_t value, uint32_t shift) {
  return value > (UINT64_MAX >> shift) ? UINT64_MAX : value << shift;
}

}  // namespace

std::optional<ExFatBootSector> ExFatBootSector::Parse(std::span<const uint8_t> sector) {
  if (sector.size() < kSize) return std::nullopt;
  ExFatBootSector b;
  constexpr std::string_view kName = "EXFAT   ";
  b.namedExFat = std::equal(kName.begin(), kName.end(), sector.begin() + kFileSystemNameAt);
  b.partitionOffset = LoadLe64(sector, kPartitionOffsetAt);
  b.volumeLength = LoadLe64(sector, kVolumeLengthAt);
  b.fatOffset = LoadLe32(sector, kFatOffsetAt);
  b.fatLength = LoadLe32(sector, kFatLengthAt);
  b.clusterHeapOffset = LoadLe32(sector, kClusterHeapOffsetAt);
  b.clusterCount = LoadLe32(sector, kClusterCountAt);
  b.rootCluster = LoadLe32(sector, kRootClusterAt);
  b.volumeSerialNumber = LoadLe32(sector, kVolumeSerialNumberAt);
  b.fileSystemRevision = LoadLe16(sector, kFileSystemRevisionAt);
  b.volumeFlags = LoadLe16(sector, kVolumeFlagsAt);
  b.bytesPerSectorShift = sector[kBytesPerSectorShiftAt];
  b.sectorsPerClusterShift = sector[kSectorsPerClusterShiftAt];
  b.numberOfFats = sector[kNumberOfFatsAt];
  b.signature = LoadLe16(sector, kSignatureAt);
  return b;
}

Expected<ExFatLayout, ExFatBootProblem> ExFatLayoutOf(std::span<const uint8_t> sector) {
  using P = ExFatBootProblem;
  const auto boot = ExFatBootSector::Parse(sector);
  if (!boot) return Fail(P::kTooShort);
  if (boot->signature != 0xAA55 || !boot->namedExFat) return Fail(P::kNotExFat);
  if (boot->fileSystemRevision >> 8 != 1) return Fail(P::kRevision);
  if (boot->bytesPerSectorShift < 9 || boot->bytesPerSectorShift > 12) return Fail(P::kSectorSize);
  if (boot->bytesPerSectorShift + boot->sectorsPerClusterShift > kMaxClusterShift)
    return Fail(P::kClusterSize);
  if (boot->numberOfFats != 1 && boot->numberOfFats != 2) return Fail(P::kFatCount);

  // From here on in 512-byte sectors, in 64 bits: no sum below can overflow.
  const uint32_t shift = boot->bytesPerSectorShift - 9u;
  ExFatLayout layout;
  layout.bytesPerSector = 1u << boot->bytesPerSectorShift;
  layout.sectorsPerCluster = 1u << (shift + boot->sectorsPerClusterShift);
  layout.volumeSectors = In512(boot->volumeLength, shift);
  layout.fatSectors = uint64_t{boot->fatLength} << shift;
  layout.heapSector = uint64_t{boot->clusterHeapOffset} << shift;
  layout.clusterCount = boot->clusterCount;
  layout.rootCluster = boot->rootCluster;
  layout.numberOfFats = boot->numberOfFats;
  layout.activeFat = boot->numberOfFats == 2 ? (boot->volumeFlags & 1) : 0;
  layout.dirty = (boot->volumeFlags & 2) != 0;
  layout.serialNumber = boot->volumeSerialNumber;
  const uint64_t first_fat = uint64_t{boot->fatOffset} << shift;
  layout.fatSector = first_fat + layout.activeFat * layout.fatSectors;

  if (boot->fatOffset < kBootRegionsSectors || layout.fatSectors == 0 ||
      first_fat + layout.numberOfFats * layout.fatSectors > layout.heapSector)
    return Fail(P::kFatOutside);
  if (layout.heapSector >= layout.volumeSectors) return Fail(P::kHeapOutside);
  if (layout.clusterCount == 0 ||
      layout.clusterCount > (layout.volumeSectors - layout.heapSector) / layout.sectorsPerCluster)
    return Fail(P::kClusterCount);
  // Entries 0 and 1 of the FAT describe no cluster.
  if ((uint64_t{layout.clusterCount} + 2) * 4 > layout.fatSectors * 512) return Fail(P::kFatOutside);
  if (!layout.IsClusterInHeap(layout.rootCluster)) return Fail(P::kRootOutside);
  return layout;
}

std::optional<FatParams> ExFatParams(std::span<const uint8_t> boot_sector, int32_t drive) {
  const auto layout = ExFatLayoutOf(boot_sector);
  if (!layout) return std::nullopt;
  // The view keeps sector numbers in 32 bits and FAT values in 28: larger
  // volumes are refused rather than read wrong.
  if (layout->HeapEndSector() > UINT32_MAX || layout->LastCluster() > kFatEntryMask - 16)
    return std::nullopt;
  FatParams params;
  params.m_family = VolumeFamily::kExFat;
  params.m_nDrive = drive;
  params.m_nBytesPerSector = static_cast<int32_t>(kSectorSize);
  params.m_nSectorsPerCluster = static_cast<int32_t>(layout->sectorsPerCluster);
  params.m_nReservedSectors = static_cast<int32_t>(static_cast<uint32_t>(layout->fatSector));
  params.m_nNumFats = 1;
  // Only the entries of the volume's clusters are read: a FAT longer than
  // that need not fit the field.
  const uint64_t fat_needed = ((uint64_t{layout->clusterCount} + 2) * 4 + kSectorSize - 1) / kSectorSize;
  params.m_nFatSize = static_cast<int32_t>(std::min(layout->fatSectors, fat_needed));
  params.m_nRootCluster = static_cast<int32_t>(layout->rootCluster);
  params.m_nFirstDataSector = static_cast<uint32_t>(layout->heapSector);
  params.m_nTotalSectors = static_cast<uint32_t>(layout->HeapEndSector());
  if (params.Problem()) return std::nullopt;
  return params;
}

}  // namespace quorvane
