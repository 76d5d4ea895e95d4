// The exFAT boot sector of real volumes made by mkfs.exfat, in several
// sector and cluster sizes, against what dump.exfat (exfatprogs) reads of
// them; and damaged copies, each refused for its own reason.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "support/exfat_volume.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "volume/format/exfat_bitmap.h"
#include "volume/format/exfat_boot_sector.h"
#include "volume/format/volume_family.h"
#include "volume/host/drive_table.h"
#include "volume/little_endian.h"

namespace quorvane::testing {
namespace {

// dump.exfat's "Name:\t\tvalue" lines, by name.
std::map<std::string, uint64_t> DumpExFat(const std::string& image) {
  const CommandResult run = RunCommand({"dump.exfat", image}, {.cwd = {}, .stdout_only = true});
  EXPECT_EQ(run.status, 0) << run.output;
  std::map<std::string, uint64_t> values;
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const size_t value = line.find_first_not_of(" \t", colon + 1);
    if (value == std::string::npos) continue;
    try {
      values[line.substr(0, colon)] = std::stoull(line.substr(value), nullptr, 0);
    } catch (const std::exception&) {
    }
  }
  return values;
}

TEST(ExFatBootSector, RealVolumesInEverySectorAndSeveralClusterSizes) {
  if (const std::string why = ExFatVolumesUnavailable(); !why.empty()) GTEST_SKIP() << why;
  const struct {
    uint32_t sector_bytes, cluster_bytes, mib;
  } cases[] = {{512, 512, 16}, {512, 4096, 32}, {512, 32768, 64}, {512, 131072, 64},
               {4096, 4096, 32}, {4096, 65536, 64}};
  for (const auto& c : cases) {
    const std::string what = std::to_string(c.sector_bytes) + "-byte sectors, " +
                             std::to_string(c.cluster_bytes) + "-byte clusters";
    SCOPED_TRACE(what);
    TempDir dir;
    ExFatVolume(dir.File("exfat.img"), {.mib = c.mib, .cluster_bytes = c.cluster_bytes,
                                        .sector_bytes = c.sector_bytes, .label = {}});
    const std::vector<uint8_t> image = ReadFileBytes(dir.File("exfat.img"));
    const std::span<const uint8_t> sector(image.data(), 512);
    auto dump = DumpExFat(dir.File("exfat.img"));
    const uint64_t to512 = c.sector_bytes / 512;

    const auto layout = ExFatLayoutOf(sector);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->bytesPerSector, c.sector_bytes);
    EXPECT_EQ(layout->ClusterBytes(), c.cluster_bytes);
    EXPECT_EQ(uint64_t{1} << dump["Sector Size Bits"], c.sector_bytes);
    EXPECT_EQ(layout->volumeSectors, dump["Volume Length(sectors)"] * to512);
    EXPECT_EQ(layout->fatSector, dump["FAT Offset(sector offset)"] * to512);
    EXPECT_EQ(layout->fatSectors, dump["FAT Length(sectors)"] * to512);
    EXPECT_EQ(layout->heapSector, dump["Cluster Heap Offset (sector offset)"] * to512);
    EXPECT_EQ(layout->clusterCount, dump["Cluster Count"]);
    EXPECT_EQ(layout->rootCluster, dump["Root Cluster (cluster offset)"]);
    EXPECT_EQ(layout->serialNumber, dump["Volume Serial"]);
    EXPECT_EQ(layout->numberOfFats, 1);
    EXPECT_FALSE(layout->dirty);
    const auto family = FamilyOfBootSector(sector);
    ASSERT_TRUE(family);
    EXPECT_EQ(family->family, VolumeFamily::kExFat);

    const auto params = ExFatParams(sector, 3);
    ASSERT_TRUE(params);
    EXPECT_EQ(params->m_family, VolumeFamily::kExFat);
    EXPECT_EQ(params->m_nBytesPerSector, 512);
    EXPECT_EQ(params->m_nNumFats, 1);
    EXPECT_EQ(uint64_t(params->m_nSectorsPerCluster), c.cluster_bytes / 512);
    EXPECT_EQ(uint64_t(params->m_nReservedSectors), layout->fatSector);
    EXPECT_EQ(params->m_nFirstDataSector, layout->heapSector);
    EXPECT_EQ(params->LastCluster(), layout->clusterCount + 1);
    EXPECT_EQ(params->ClusterBytes(), c.cluster_bytes);
    EXPECT_FALSE(params->Problem());

    // Through these values, the root's records read as dump.exfat reads them,
    // and the up-case table and the bitmap they point at open.
    const ExFatListing listing = ListExFatVolume(dir.File("exfat.img"));
    ASSERT_TRUE(listing.root.bitmap && listing.root.upcase);
    EXPECT_EQ(listing.root.bitmap->firstCluster, dump["Bitmap start cluster"]);
    EXPECT_EQ(listing.root.bitmap->length, dump["Bitmap size"]);
    EXPECT_EQ(listing.root.upcase->firstCluster, dump["Upcase table start cluster"]);
    EXPECT_EQ(listing.root.upcase->length, dump["Upcase table size"]);
    EXPECT_TRUE(listing.upcase) << "the volume's up-case table gives its checksum";
    DriveTable drives;
    drives.Map('C', dir.File("exfat.img"));
    SectorReader reader(drives);
    VolumeView view(reader, *params);
    auto bitmap = ExFatBitmap::Open(view, *listing.root.bitmap);
    ASSERT_TRUE(bitmap);
    // A new volume uses clusters for the bitmap, the up-case table and the root.
    const auto used = (*bitmap)->CountInUse(2, layout->clusterCount);
    ASSERT_TRUE(used);
    EXPECT_EQ(*used, layout->clusterCount - dump["Free Clusters"]);
  }
}

TEST(ExFatBootSector, DamagedCopiesAreRefusedEachForItsReason) {
  if (const std::string why = ExFatVolumesUnavailable(); !why.empty()) GTEST_SKIP() << why;
  TempDir dir;
  ExFatVolume(dir.File("exfat.img"), {.mib = 32, .cluster_bytes = 4096, .sector_bytes = 512, .label = {}});
  const std::vector<uint8_t> image = ReadFileBytes(dir.File("exfat.img"));
  const std::vector<uint8_t> good(image.begin(), image.begin() + 512);
  const auto layout = ExFatLayoutOf(good);
  ASSERT_TRUE(layout);
  const uint32_t fat = static_cast<uint32_t>(layout->fatSector);
  const uint32_t heap = static_cast<uint32_t>(layout->heapSector);
  const uint32_t fits = static_cast<uint32_t>((layout->volumeSectors - heap) / layout->sectorsPerCluster);

  using P = ExFatBootProblem;
  using B = ExFatBootSector;
  const struct {
    const char* what;
    size_t at, width;
    uint64_t value;
    P problem;
  } cases[] = {
      {"no signature", B::kSignatureAt, 2, 0, P::kNotExFat},
      {"another name", B::kFileSystemNameAt + 7, 1, 'X', P::kNotExFat},
      {"revision 2.0", B::kFileSystemRevisionAt, 2, 0x0200, P::kRevision},
      {"256-byte sectors", B::kBytesPerSectorShiftAt, 1, 8, P::kSectorSize},
      {"8 KiB sectors", B::kBytesPerSectorShiftAt, 1, 13, P::kSectorSize},
      {"64 MiB clusters", B::kSectorsPerClusterShiftAt, 1, 17, P::kClusterSize},
      {"no FAT", B::kNumberOfFatsAt, 1, 0, P::kFatCount},
      {"three FATs", B::kNumberOfFatsAt, 1, 3, P::kFatCount},
      {"the FAT in the boot region", B::kFatOffsetAt, 4, 23, P::kFatOutside},
      {"a FAT of 0 sectors", B::kFatLengthAt, 4, 0, P::kFatOutside},
      {"the FAT into the heap", B::kFatLengthAt, 4, heap - fat + 1, P::kFatOutside},
      {"a FAT too short for the clusters", B::kFatLengthAt, 4, 1, P::kFatOutside},
      {"the heap at the volume's end", B::kClusterHeapOffsetAt, 4, layout->volumeSectors, P::kHeapOutside},
      {"a volume ending before its heap", B::kVolumeLengthAt, 8, heap, P::kHeapOutside},
      {"no cluster", B::kClusterCountAt, 4, 0, P::kClusterCount},
      {"a cluster past the volume's end", B::kClusterCountAt, 4, fits + 1, P::kClusterCount},
      {"a huge cluster count", B::kClusterCountAt, 4, 0xFFFFFFFF, P::kClusterCount},
      {"root cluster 1", B::kRootClusterAt, 4, 1, P::kRootOutside},
      {"root past the last cluster", B::kRootClusterAt, 4, layout->clusterCount + 2, P::kRootOutside},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> sector = good;
    for (size_t i = 0; i < c.width; ++i) sector[c.at + i] = static_cast<uint8_t>(c.value >> (8 * i));
    const auto refused = ExFatLayoutOf(sector);
    ASSERT_FALSE(refused) << c.what;
    EXPECT_EQ(refused.error(), c.problem) << c.what;
    EXPECT_FALSE(ExFatParams(sector, 3)) << c.what;
  }
  const auto short_sector = ExFatLayoutOf(std::span(good).first(511));
  ASSERT_FALSE(short_sector);
  EXPECT_EQ(short_sector.error(), P::kTooShort);
}

TEST(ExFatBootSector, TheSecondFatAndTheLimitsOfTheView) {
  // Byte-built: what no volume made here can hold. The FATs are just long
  // enough for the clusters, and the heap follows them.
  const auto sector = [](uint64_t volume, uint32_t clusters, uint8_t cluster_shift, uint8_t fats = 1,
                         uint16_t flags = 0) {
    const uint32_t fat_length = static_cast<uint32_t>((uint64_t{clusters} + 2) * 4 / 512 + 1);
    std::vector<uint8_t> s(512, 0);
    const char name[] = "EXFAT   ";
    std::copy(name, name + 8, s.begin() + 3);
    StoreLe32(s, 72, static_cast<uint32_t>(volume));
    StoreLe32(s, 76, static_cast<uint32_t>(volume >> 32));
    StoreLe32(s, 80, 2048);
    StoreLe32(s, 84, fat_length);
    StoreLe32(s, 88, 2048 + fats * fat_length);
    StoreLe32(s, 92, clusters);
    StoreLe32(s, 96, 5);
    StoreLe16(s, 104, 0x0100);
    StoreLe16(s, 106, flags);
    s[108] = 9;
    s[109] = cluster_shift;
    s[110] = fats;
    StoreLe16(s, 510, 0xAA55);
    return s;
  };
  // TexFAT's second FAT, when active, is the one the view reads.
  const auto first = ExFatLayoutOf(sector(1 << 20, 100000, 3, 2, 0));
  const auto second = ExFatParams(sector(1 << 20, 100000, 3, 2, 1), 3);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(uint64_t(second->m_nReservedSectors), first->fatSector + first->fatSectors);
  EXPECT_EQ(second->m_nFirstDataSector, first->heapSector);

  // The largest cluster count the view's 28-bit cluster numbers hold, and one more.
  constexpr uint32_t kLargest = 0x0FFFFFEE;
  const uint64_t room = 4u << 20;  // ample for the FAT and the heap's start
  const auto largest = ExFatParams(sector(room + kLargest, kLargest, 0), 3);
  ASSERT_TRUE(largest);
  EXPECT_EQ(largest->LastCluster(), kLargest + 1);
  EXPECT_TRUE(ExFatLayoutOf(sector(room + kLargest + 1, kLargest + 1, 0)));
  EXPECT_FALSE(ExFatParams(sector(room + kLargest + 1, kLargest + 1, 0), 3));
  // 128 KiB clusters: a heap ending past 2 TiB (2^32 sectors of 512 bytes)
  // is refused, one ending before it taken.
  const uint64_t volume = uint64_t{1} << 34;
  EXPECT_TRUE(ExFatLayoutOf(sector(volume, 0x01000000, 8)));
  EXPECT_FALSE(ExFatParams(sector(volume, 0x01000000, 8), 3));
  EXPECT_TRUE(ExFatParams(sector(volume, 0x00FF0000, 8), 3));
}

}  // namespace
}  // namespace quorvane::testing
