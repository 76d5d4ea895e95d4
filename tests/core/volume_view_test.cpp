// The per-operation cached view gives the bytes direct reads give, and reads
// each FAT chunk and directory cluster once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/crafted_volume.h"
#include "support/memory_volume.h"
#include "support/recording_reports.h"
#include "support/temp_dir.h"
#include "volume/fat_params.h"
#include "volume/volume_view.h"

namespace quorvane::testing {
namespace {

// A volume whose FAT spans more than one cached chunk of 256 sectors, every
// FAT entry and every cluster different.
CraftedVolume PatternVolume(uint32_t clusters, uint32_t seed) {
  CraftedVolume volume({.sectors_per_cluster = 1, .reserved_sectors = 32, .clusters = clusters});
  const std::vector<uint8_t> noise = PatternBytes(size_t{clusters} * 4 + 8, seed);
  for (uint32_t c = 2; c <= volume.LastCluster(); ++c) {
    volume.SetFat(c, static_cast<uint32_t>(noise[c] | noise[c + 1] << 8 | noise[c + 2] << 16 |
                                           noise[c + 3] << 24));
    volume.FillCluster(c, PatternBytes(512, seed * 100'000 + c));
  }
  return volume;
}

struct Fixture {
  MemoryDriveSource drives;
  RecordingReports reports;
  SectorReader reader{drives, reports.boxes, ReaderVariant::kEngine};
  FatParams params;
};

TEST(VolumeView, GivesTheBytesOfDirectReadsAndReadsEachOnce) {
  const CraftedVolume volume = PatternVolume(40'000, 1);  // FAT of 313 sectors
  ASSERT_GT(volume.FatSectors(), 256u);
  Fixture f;
  f.drives.MapBytes('C', volume.bytes());
  f.params.m_nDrive = 3;
  ASSERT_EQ(f.params.ReadBootSector(f.reader), 0);
  VolumeView view(f.reader, f.params);

  for (uint32_t c : {2u, 3u, 127u, 128u, 32767u, 32768u, 32769u, 40'001u, 5u}) {
    EXPECT_EQ(view.FatEntry(c), f.params.ReadFatEntry(f.reader, c)) << c;
    const auto cached = view.ReadCluster(c);
    ASSERT_TRUE(cached);
    EXPECT_EQ(*cached, *f.reader.ReadSectors(3, f.params.ClusterToSector(c), 1)) << c;
  }

  f.drives.ResetCounters();
  for (uint32_t c = 2; c <= 40'001; c += 97) view.FatEntry(c);
  for (uint32_t c : {2u, 3u, 127u, 32768u, 40'001u}) view.ReadCluster(c);
  EXPECT_EQ(f.drives.Reads('C'), 0u) << "everything asked again came from the cache";

  std::vector<uint8_t> run(3 * 512);
  ASSERT_TRUE(view.ReadClusterRunQuietly(100, 3, run));
  EXPECT_EQ(run, *f.reader.ReadSectors(3, f.params.ClusterToSector(100), 3));
  EXPECT_EQ(f.drives.Reads('C'), 2u);
}

TEST(VolumeView, EvictsOldClustersButNeverHandsOutStaleOrForeignBytes) {
  const CraftedVolume c_volume = PatternVolume(300, 2);
  const CraftedVolume d_volume = PatternVolume(300, 3);
  Fixture f;
  f.drives.MapBytes('C', c_volume.bytes()).MapBytes('D', d_volume.bytes());
  f.params.m_nDrive = 3;
  ASSERT_EQ(f.params.ReadBootSector(f.reader), 0);
  VolumeView view(f.reader, f.params, /*cluster_cache_bytes=*/4 * 512);

  const auto held = view.ReadCluster(10);
  for (uint32_t c = 11; c < 30; ++c) ASSERT_TRUE(view.ReadCluster(c));
  EXPECT_EQ(*held, std::vector<uint8_t>(c_volume.bytes().begin() + c_volume.ClusterOffset(10),
                                        c_volume.bytes().begin() + c_volume.ClusterOffset(11)));
  f.drives.ResetCounters();
  EXPECT_EQ(*view.ReadCluster(10), *held);
  EXPECT_EQ(f.drives.Reads('C'), 1u) << "cluster 10 was evicted and read again";

  // The same view over another drive's volume.
  f.params.m_nDrive = 4;
  const auto fat_d = view.FatEntry(20);
  EXPECT_EQ(fat_d, d_volume.Fat(20) & 0x0FFFFFFF);
  EXPECT_NE(fat_d, c_volume.Fat(20) & 0x0FFFFFFF);
  EXPECT_EQ(view.ReadCluster(29)->at(0), d_volume.bytes()[d_volume.ClusterOffset(29)]);
}

TEST(VolumeView, FailedFatChunkFallsBackToTheSingleSectorAndItsMessage) {
  const CraftedVolume volume = PatternVolume(1000, 4);  // FAT of 8 sectors
  Fixture f;
  f.drives.MapBytes('C', volume.bytes());
  f.params.m_nDrive = 3;
  ASSERT_EQ(f.params.ReadBootSector(f.reader), 0);
  const uint32_t bad_sector = f.params.FatSectorOf(600);
  f.drives.FailSectors('C', bad_sector, 1, EIO);
  VolumeView view(f.reader, f.params);

  // Entries outside the bad sector still read, one sector at a time.
  EXPECT_EQ(view.FatEntry(5), volume.Fat(5) & 0x0FFFFFFF);
  EXPECT_EQ(view.FatEntry(600), std::nullopt);
  EXPECT_EQ(f.reports.log.Lines(),
            std::vector<std::string>{"box: " + std::to_string(EIO) +
                                     " | Reading sectors ...Failed   | 0"});
  // A cluster that cannot be read gives nothing rather than zeros.
  f.drives.FailSectors('C', f.params.ClusterToSector(50), 1, EIO);
  EXPECT_EQ(view.ReadCluster(50), nullptr);
  std::vector<uint8_t> run(4 * 512);
  EXPECT_FALSE(view.ReadClusterRunQuietly(48, 4, run));
  EXPECT_EQ(f.reports.log.Lines().size(), 2u);
}

}  // namespace
}  // namespace quorvane::testing
