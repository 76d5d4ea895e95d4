// FAT32 layout arithmetic and the refusal of volumes it cannot walk.
#include <gtest/gtest.h>

#include "support/crafted_volume.h"
#include "volume/dir_entry.h"
#include "volume/fat_params.h"
#include "volume/little_endian.h"

namespace quorvane::testing {
namespace {

TEST(FatParams, ClusterArithmetic) {
  FatParams p;
  p.m_nReservedSectors = 32;
  p.m_nNumFats = 2;
  p.m_nFatSize = 1000;
  p.m_nSectorsPerCluster = 8;
  p.m_nBytesPerSector = 512;
  std::array<uint8_t, 32> raw{};
  StoreLe16(raw, 20, 1);
  StoreLe16(raw, 26, 2);
  const struct { const char* what; uint64_t actual, expected; } cases[] = {
      {"first data sector", p.FirstDataSector(), 2032},
      {"cluster 5", p.ClusterToSector(5), 2056},
      {"root cluster 7", p.ClusterToSector(7), 2072},
      {"FAT sector of 300", p.FatSectorOf(300), 32 + 2},
      {"FAT offset of 300", FatParams::FatOffsetOf(300), 176},
      {"end of chain F8", FatParams::IsEndOfChain(0x0FFFFFF8), true},
      {"end of chain, top bits set", FatParams::IsEndOfChain(0xFFFFFFFF), true},
      {"F7 is no end", FatParams::IsEndOfChain(0x0FFFFFF7), false},
      {"free is no end", FatParams::IsEndOfChain(0), false},
      {"cluster words high 1, low 2", DirEntry::Parse(raw).FirstCluster(), 65538},
  };
  for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;
}

TEST(FatParams, IsUsableFat32RefusesWhatItCannotWalk) {
  FatParams good;
  good.ParseBootSector(CraftedVolume({.sectors_per_cluster = 8, .clusters = 1000}).bytes());
  ASSERT_TRUE(good.IsUsableFat32());
  const struct { const char* what; void (*apply)(FatParams&); } cases[] = {
      {"1024 bytes per sector", [](FatParams& p) { p.m_nBytesPerSector = 1024; }},
      {"0 bytes per sector", [](FatParams& p) { p.m_nBytesPerSector = 0; }},
      {"0 sectors per cluster", [](FatParams& p) { p.m_nSectorsPerCluster = 0; }},
      {"3 sectors per cluster", [](FatParams& p) { p.m_nSectorsPerCluster = 3; }},
      {"256 sectors per cluster", [](FatParams& p) { p.m_nSectorsPerCluster = 256; }},
      {"no FAT", [](FatParams& p) { p.m_nNumFats = 0; }},
      {"FAT of 0 sectors", [](FatParams& p) { p.m_nFatSize = 0; }},
      {"root cluster 1", [](FatParams& p) { p.m_nRootCluster = 1; }},
      {"root past the last",
       [](FatParams& p) { p.m_nRootCluster = static_cast<int32_t>(p.LastCluster() + 1); }},
      {"root with the top bit set", [](FatParams& p) { p.m_nRootCluster = INT32_MIN + 2; }},
      {"data area past the end", [](FatParams& p) { p.m_nTotalSectors = p.FirstDataSector(); }},
      {"FATs past 32-bit sectors", [](FatParams& p) { p.m_nFatSize = INT32_MAX; }},
  };
  for (const auto& c : cases) {
    FatParams p = good;
    c.apply(p);
    EXPECT_FALSE(p.IsUsableFat32()) << c.what;
  }
}

}  // namespace
}  // namespace quorvane::testing
