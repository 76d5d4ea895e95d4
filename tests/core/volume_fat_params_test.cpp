// FAT values no volume of the other tests holds, and the refusal of volumes
// the layout cannot walk.
#include <gtest/gtest.h>

#include "support/crafted_volume.h"
#include "volume/format/boot_sector.h"
#include "volume/format/dir_entry.h"
#include "volume/format/fat_params.h"
#include "volume/little_endian.h"

namespace quorvane::testing {
namespace {

// Sector and offset arithmetic shows in every byte-for-byte recovery; what
// those volumes never hold is pinned here.
TEST(FatParams, EndMarksAndClusterWords) {
  std::array<uint8_t, 32> raw{};
  StoreLe16(raw, 20, 1);
  StoreLe16(raw, 26, 2);
  EXPECT_EQ(DirEntry::Parse(raw).FirstCluster(), 65538u);
  for (uint32_t end : {0x0FFFFFF8u, 0xFFFFFFFFu}) EXPECT_TRUE(FatParams::IsEndOfChain(end)) << end;
  for (uint32_t next : {0x0FFFFFF7u, 0u}) EXPECT_FALSE(FatParams::IsEndOfChain(next)) << next;
}

TEST(FatParams, FromBootSectorRefusesWhatItCannotWalkAndSaysWhy) {
  const std::vector<uint8_t> good = CraftedVolume({.sectors_per_cluster = 8, .clusters = 1000}).bytes();
  const auto params = FatParams::FromBootSector(good, 3);
  ASSERT_TRUE(params);
  EXPECT_EQ(params->m_nSectorsPerCluster, 8);
  EXPECT_FALSE(params->Problem());
  using P = BootSectorProblem;
  using B = BootSector;
  const uint32_t past_last = params->LastCluster() + 1;
  const struct {
    const char* what;
    size_t at, width;
    uint32_t value;
    P problem;
  } cases[] = {
      {"1024 bytes per sector", B::kBytesPerSectorAt, 2, 1024, P::kSectorSize},
      {"0 bytes per sector", B::kBytesPerSectorAt, 2, 0, P::kSectorSize},
      {"0 sectors per cluster", B::kSectorsPerClusterAt, 1, 0, P::kClusterSize},
      {"3 sectors per cluster", B::kSectorsPerClusterAt, 1, 3, P::kClusterSize},
      {"no FAT", B::kNumFatsAt, 1, 0, P::kNoFat},
      {"FAT of 0 sectors", B::kFatSize32At, 4, 0, P::kNoFat},
      {"FATs past 32-bit sectors", B::kFatSize32At, 4, 0x7FFFFFFF, P::kDataAreaPastEnd},
      {"data area past the end", B::kTotalSectors32At, 4, params->FirstDataSector(), P::kDataAreaPastEnd},
      {"root cluster 1", B::kRootClusterAt, 4, 1, P::kRootOutside},
      {"root past the last", B::kRootClusterAt, 4, past_last, P::kRootOutside},
      {"root with the top bit set", B::kRootClusterAt, 4, 0x80000002, P::kRootOutside},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> sector(good.begin(), good.begin() + 512);
    if (c.width == 1) sector[c.at] = static_cast<uint8_t>(c.value);
    if (c.width == 2) StoreLe16(sector, c.at, static_cast<uint16_t>(c.value));
    if (c.width == 4) StoreLe32(sector, c.at, c.value);
    const auto refused = FatParams::FromBootSector(sector, 3);
    ASSERT_FALSE(refused) << c.what;
    EXPECT_EQ(refused.error(), c.problem) << c.what;
  }
  const auto short_sector = FatParams::FromBootSector(std::span(good).first(511), 3);
  ASSERT_FALSE(short_sector);
  EXPECT_EQ(short_sector.error(), P::kTooShort);
}

}  // namespace
}  // namespace quorvane::testing
