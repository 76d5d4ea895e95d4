// FAT32 layout: the boot-sector values, the arithmetic over them and the
// refusal of volumes the arithmetic cannot walk.
#include <cctype>
#include <ostream>

#include <gtest/gtest.h>

#include "support/crafted_volume.h"
#include "support/memory_volume.h"
#include "support/recording_reports.h"
#include "volume/dir_entry.h"
#include "volume/fat_params.h"
#include "volume/little_endian.h"
#include "volume/volume_view.h"

namespace quorvane::testing {
namespace {

FatParams Params(int32_t reserved, int32_t fats, int32_t fat_size, int32_t spc, int32_t root) {
  FatParams p;
  p.m_nDrive = 3;
  p.m_nReservedSectors = reserved;
  p.m_nNumFats = fats;
  p.m_nFatSize = fat_size;
  p.m_nSectorsPerCluster = spc;
  p.m_nRootCluster = root;
  p.m_nBytesPerSector = 512;
  p.m_nTotalSectors = 2'000'000;
  return p;
}

TEST(FatParams, ClusterArithmetic) {
  const FatParams two_fats = Params(32, 2, 1000, 8, 2);
  EXPECT_EQ(two_fats.FirstDataSector(), 2032u);
  EXPECT_EQ(two_fats.ClusterToSector(2), 2032u);
  EXPECT_EQ(two_fats.ClusterToSector(5), 2056u);
  EXPECT_EQ(two_fats.ClusterToSector(7), 2072u);
  EXPECT_EQ(two_fats.ClusterBytes(), 4096u);
  EXPECT_EQ(EntriesIn(SectorBuffer(two_fats.ClusterBytes())), 128u);

  EXPECT_EQ(Params(32, 1, 1000, 8, 2).FirstDataSector(), 1032u);

  // Cluster 300: FAT sector 2 (300 >> 7), offset 44 * 4.
  EXPECT_EQ(two_fats.FatSectorOf(300), 34u);
  EXPECT_EQ(FatParams::FatOffsetOf(300), 176u);
  EXPECT_EQ(FatParams::FatOffsetOf(127), 508u);
  EXPECT_EQ(two_fats.FatSectorOf(128), 33u);
}

TEST(FatParams, EndOfChainIsFromF8UpWhateverTheTopBits) {
  EXPECT_TRUE(FatParams::IsEndOfChain(0x0FFFFFFF));
  EXPECT_TRUE(FatParams::IsEndOfChain(0x0FFFFFF8));
  EXPECT_TRUE(FatParams::IsEndOfChain(0xFFFFFFFF));
  EXPECT_FALSE(FatParams::IsEndOfChain(0x0FFFFFF7));
  EXPECT_FALSE(FatParams::IsEndOfChain(0));
}

TEST(DirEntry, FieldsAtTheirOffsets) {
  std::array<uint8_t, 32> raw{};
  std::copy_n("\xE5" "EPORT  TXT", 11, raw.begin());
  raw[11] = 0x20;
  StoreLe16(raw, 20, 1);
  StoreLe16(raw, 26, 2);
  StoreLe32(raw, 28, 0x01020304);
  // Bytes the system does not read must not leak into the fields.
  std::fill(raw.begin() + 12, raw.begin() + 20, 0xFF);
  std::fill(raw.begin() + 22, raw.begin() + 26, 0xFF);

  const DirEntry e = DirEntry::Parse(raw);
  EXPECT_EQ(e.FirstCluster(), 65538u);
  EXPECT_EQ(e.fileSize, 0x01020304u);
  EXPECT_EQ(e.attr, 0x20);
  EXPECT_EQ(e.NameBytes(), "\xE5" "EPORT  ");
  EXPECT_EQ(e.ExtBytes(), "TXT");

  StoreLe16(raw, 20, 0xFFFF);
  StoreLe16(raw, 26, 0xFFFF);
  EXPECT_EQ(DirEntry::Parse(raw).FirstCluster(), 0xFFFFFFFFu);
}

TEST(FatParams, BootSectorIsReadFromSectorZeroOrLeftAloneWhenUnreadable) {
  CraftedVolume volume({.sectors_per_cluster = 4, .reserved_sectors = 40, .clusters = 500,
                        .root_cluster = 9});
  MemoryDriveSource drives;
  drives.MapBytes('D', volume.bytes());
  RecordingReports reports;
  SectorReader reader(drives, reports.boxes, ReaderVariant::kEngine);

  FatParams params;
  params.m_nDrive = 4;
  ASSERT_EQ(params.ReadBootSector(reader), 0);
  EXPECT_EQ(params.m_nBytesPerSector, 512);
  EXPECT_EQ(params.m_nSectorsPerCluster, 4);
  EXPECT_EQ(params.m_nReservedSectors, 40);
  EXPECT_EQ(params.m_nNumFats, 2);
  EXPECT_EQ(params.m_nFatSize, static_cast<int32_t>(volume.FatSectors()));
  EXPECT_EQ(params.m_nRootCluster, 9);
  EXPECT_EQ(params.m_nTotalSectors, volume.TotalSectors());
  ASSERT_EQ(drives.ReadLog('D').size(), 1u);
  EXPECT_EQ(drives.ReadLog('D')[0].offset, 0u);
  EXPECT_EQ(drives.ReadLog('D')[0].length, 512u);

  // The 16-bit total wins when it is set.
  volume.SetBootBytes(19, std::array<uint8_t, 2>{0x34, 0x12});
  params.ParseBootSector(volume.bytes());
  EXPECT_EQ(params.m_nTotalSectors, 0x1234u);

  drives.FailSectors('D', 0, 1, EIO);
  const FatParams before = params;
  EXPECT_EQ(params.ReadBootSector(reader), 1);
  EXPECT_EQ(params.m_nRootCluster, before.m_nRootCluster);
  EXPECT_EQ(params.m_nTotalSectors, before.m_nTotalSectors);
}

TEST(FatParams, ReadFatEntryReadsOneSectorOfTheFirstCopyAndKeeps28Bits) {
  CraftedVolume volume({.clusters = 1000});
  volume.SetFat(300, 0xF0000005).SetFatCopy(1, 301, 77).SetFat(302, 0xF0000000);
  MemoryDriveSource drives;
  drives.MapBytes('C', volume.bytes());
  RecordingReports reports;
  SectorReader reader(drives, reports.boxes, ReaderVariant::kEngine);
  FatParams params;
  params.m_nDrive = 3;
  ASSERT_EQ(params.ReadBootSector(reader), 0);
  drives.ResetCounters();

  EXPECT_EQ(params.ReadFatEntry(reader, 300), 5u);
  ASSERT_EQ(drives.ReadLog('C').size(), 1u);
  EXPECT_EQ(drives.ReadLog('C')[0].FirstSector(), 32u + 2);
  EXPECT_EQ(drives.ReadLog('C')[0].SectorCount(), 1u);
  EXPECT_EQ(params.ReadFatEntry(reader, 301), 0u);  // the second copy is never read
  EXPECT_EQ(params.ReadFatEntry(reader, 302), 0u);  // free, whatever the top bits hold

  drives.FailSectors('C', 34, 1, EIO);
  EXPECT_EQ(params.ReadFatEntry(reader, 300), std::nullopt);
}

// Each case breaks one value of a good volume.
struct Refusal {
  const char* what;
  void (*apply)(FatParams&);
};
void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.what; }

class UsableFat32 : public ::testing::TestWithParam<Refusal> {};

FatParams GoodParams() {
  CraftedVolume volume({.sectors_per_cluster = 8, .clusters = 1000});
  FatParams p;
  p.ParseBootSector(volume.bytes());
  return p;
}

TEST(UsableFat32Accepts, AGoodVolumeAndEveryPowerOfTwoClusterUpTo128) {
  for (int32_t spc : {1, 2, 4, 8, 16, 32, 64, 128}) {
    FatParams p = GoodParams();
    p.m_nSectorsPerCluster = spc;
    p.m_nTotalSectors = p.FirstDataSector() + 1000u * static_cast<uint32_t>(spc);
    EXPECT_TRUE(p.IsUsableFat32()) << spc;
  }
  FatParams root_is_last = GoodParams();
  root_is_last.m_nRootCluster = static_cast<int32_t>(root_is_last.LastCluster());
  EXPECT_TRUE(root_is_last.IsUsableFat32());
}

TEST_P(UsableFat32, Refuses) {
  FatParams p = GoodParams();
  ASSERT_TRUE(p.IsUsableFat32());
  GetParam().apply(p);
  EXPECT_FALSE(p.IsUsableFat32()) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    BadBootSectors, UsableFat32,
    ::testing::Values(
        Refusal{"1024 bytes per sector", [](FatParams& p) { p.m_nBytesPerSector = 1024; }},
        Refusal{"256 bytes per sector", [](FatParams& p) { p.m_nBytesPerSector = 256; }},
        Refusal{"0 bytes per sector", [](FatParams& p) { p.m_nBytesPerSector = 0; }},
        Refusal{"0 sectors per cluster", [](FatParams& p) { p.m_nSectorsPerCluster = 0; }},
        Refusal{"3 sectors per cluster", [](FatParams& p) { p.m_nSectorsPerCluster = 3; }},
        Refusal{"256 sectors per cluster", [](FatParams& p) { p.m_nSectorsPerCluster = 256; }},
        Refusal{"no FAT", [](FatParams& p) { p.m_nNumFats = 0; }},
        Refusal{"FAT of 0 sectors", [](FatParams& p) { p.m_nFatSize = 0; }},
        Refusal{"root cluster 0", [](FatParams& p) { p.m_nRootCluster = 0; }},
        Refusal{"root cluster 1", [](FatParams& p) { p.m_nRootCluster = 1; }},
        Refusal{"root cluster past the last",
                [](FatParams& p) { p.m_nRootCluster = static_cast<int32_t>(p.LastCluster() + 1); }},
        Refusal{"root cluster with the top bit set",
                [](FatParams& p) { p.m_nRootCluster = INT32_MIN + 2; }},
        Refusal{"data area past the end",
                [](FatParams& p) { p.m_nTotalSectors = p.FirstDataSector(); }},
        Refusal{"FATs past the 32-bit sector numbers",
                [](FatParams& p) { p.m_nFatSize = INT32_MAX; }},
        Refusal{"no sectors at all", [](FatParams& p) { p.m_nTotalSectors = 0; }}),
    [](const ::testing::TestParamInfo<Refusal>& info) {
      std::string name;
      for (const char* c = info.param.what; *c; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
      return name;
    });

TEST(FatParams, LastClusterIsTheSmallerOfDataAreaAndFat) {
  FatParams p = GoodParams();  // 1000 clusters of 8 sectors, FAT for 1002 entries or more
  EXPECT_EQ(p.LastCluster(), 1001u);
  p.m_nTotalSectors += 8 * 100'000;  // data area larger than the FAT can describe
  EXPECT_EQ(p.LastCluster(), static_cast<uint32_t>(p.m_nFatSize) * 128 - 1);
  EXPECT_FALSE(p.IsClusterInVolume(1));
  EXPECT_TRUE(p.IsClusterInVolume(2));
}

}  // namespace
}  // namespace quorvane::testing
