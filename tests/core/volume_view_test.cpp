// The cached view gives the bytes direct reads give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "support/crafted_volume.h"
#include "support/memory_volume.h"
#include "support/recording_reports.h"
#include "support/temp_dir.h"
#include "volume/format/fat_params.h"
#include "volume/little_endian.h"
#include "volume/format/volume_view.h"

namespace quorvane::testing {
namespace {

TEST(VolumeView, CachedReadsEqualDirectReads) {
  // A FAT of more than one cached chunk (256 sectors), every entry and cluster different.
  CraftedVolume volume({.sectors_per_cluster = 1, .clusters = 40'000});
  const std::vector<uint8_t> noise = PatternBytes(40'000 * 4 + 8);
  for (uint32_t c = 2; c <= volume.LastCluster(); ++c) {
    volume.SetFat(c, LoadLe32(noise, c));
    volume.FillCluster(c, PatternBytes(512, c));
  }
  MemoryDriveSource drives;
  drives.MapBytes('C', volume.bytes());
  SectorReader reader(drives);
  const auto checked = FatParams::FromBootSector(*reader.ReadSectors(3, 0, 1), 3);
  ASSERT_TRUE(checked);
  const FatParams params = *checked;
  VolumeView view(reader, params, /*cluster_cache_bytes=*/4 * 512);

  for (int pass = 0; pass < 2; ++pass) {  // the second pass comes from the caches
    for (uint32_t c : {2u, 127u, 128u, 32767u, 32768u, 40'001u, 5u, 6u, 7u, 8u, 9u}) {
      EXPECT_EQ(*view.FatEntry(c), *params.ReadFatEntry(reader, c)) << c;
      const auto cached = view.ReadCluster(c);
      ASSERT_TRUE(cached);
      EXPECT_EQ(**cached, *reader.ReadSectors(3, params.ClusterToSector(c), 1)) << c;
    }
  }
  // Entries read a FAT sector at a time give the same values, from the
  // sectors kept or from a chunk already held; a sector that fails is not
  // kept.
  VolumeView apart(reader, params);
  const uint32_t bad = 20'000;
  drives.FailSectors('C', params.FatSectorOf(bad), 1, EIO);
  for (int pass = 0; pass < 2; ++pass) {
    for (uint32_t c : {2u, 127u, 128u, 32767u, 32768u, 40'001u, 5u, 300u})
      EXPECT_EQ(*apart.FatEntryAlone(c), *params.ReadFatEntry(reader, c)) << c;
    const auto failed = apart.FatEntryAlone(bad);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().number, EIO);
  }
  ASSERT_TRUE(apart.FatEntry(33'000));  // its chunk, from 32768 on
  const size_t reads = drives.ReadLog('C').size();
  EXPECT_EQ(*apart.FatEntryAlone(33'001), *params.ReadFatEntry(reader, 33'001));
  EXPECT_EQ(drives.ReadLog('C').size(), reads + 1);  // only the direct read

  SectorBuffer run(3 * 512);
  ASSERT_TRUE(view.ReadClusterRun(100, 3, run));
  EXPECT_EQ(run, *reader.ReadSectors(3, params.ClusterToSector(100), 3));
}

TEST(VolumeView, SectorsReadOneByOneAreTheirOwnBytesAndFailures) {
  CraftedVolume volume({.sectors_per_cluster = 1, .clusters = 300});
  for (uint32_t c = 2; c <= volume.LastCluster(); ++c) volume.FillCluster(c, PatternBytes(512, c));
  MemoryDriveSource drives;
  drives.MapBytes('C', volume.bytes());
  SectorReader reader(drives);
  const FatParams params = *FatParams::FromBootSector(*reader.ReadSectors(3, 0, 1), 3);
  const uint32_t last = params.m_nTotalSectors - 1;
  const uint32_t bad = params.ClusterToSector(100);
  drives.FailSectors('C', bad, 1, EIO);
  VolumeView view(reader, params, /*cluster_cache_bytes=*/4 * 512);

  // Twice over, the second time partly from what the view kept; a failure
  // between takes the place of a kept sector and is not kept itself.
  for (int pass = 0; pass < 2; ++pass) {
    for (uint32_t sector : {last, bad - 1, bad + 1, last - 1, bad - 1, params.ClusterToSector(2)}) {
      const auto one = view.ReadOneSector(sector);
      ASSERT_TRUE(one) << sector;
      const SectorBuffer direct = *reader.ReadSectors(3, sector, 1);
      EXPECT_TRUE(std::equal(one->begin(), one->end(), direct.begin(), direct.end())) << sector;
    }
    EXPECT_FALSE(view.ReadOneSector(bad));
    EXPECT_FALSE(view.ReadOneSector(bad));
  }
  EXPECT_FALSE(view.ReadOneSector(static_cast<uint32_t>(volume.bytes().size() / 512)));
}

}  // namespace
}  // namespace quorvane::testing
