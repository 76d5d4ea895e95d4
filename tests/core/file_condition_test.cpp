// The condition word of a deleted file, by the copy's own taking rule, on a
// crafted volume of 400 clusters of 512 bytes.
#include <gtest/gtest.h>

#include "recovery/file_condition.h"
#include "support/crafted_volume.h"
#include "support/memory_volume.h"

namespace quorvane {
namespace {

TEST(FileCondition, TheClustersTheSizeNeedsDecideTheWord) {
  testing::CraftedVolume volume;  // clusters 2 .. 401
  volume.SetFat(20, 0x0FFFFFFF).SetFat(32, 5);  // in use
  testing::MemoryDriveSource drives;
  drives.MapBytes('C', volume.bytes());
  SectorReader reader(drives);
  const auto params = FatParams::FromBootSector(*reader.ReadSectors(3, 0, 1), 3);
  ASSERT_TRUE(params);
  VolumeView view(reader, *params);
  const struct { const char* what; uint32_t first, size; FileCondition condition; } cases[] = {
      {"free and in one run", 10, 10 * 512, FileCondition::kIntact},
      {"the last byte in the last free one", 10, 9 * 512 + 1, FileCondition::kIntact},
      {"an empty file", 10, 0, FileCondition::kIntact},
      {"a cluster in use on the way", 30, 4 * 512, FileCondition::kGaps},
      {"the volume ends first", 395, 20 * 512, FileCondition::kShort},
      {"the first cluster in use", 20, 512, FileCondition::kOverwritten},
      {"the first cluster outside the volume", 402, 512, FileCondition::kOverwritten},
      {"cluster 0", 0, 512, FileCondition::kOverwritten},
  };
  for (const auto& c : cases) EXPECT_EQ(ConditionOf(view, c.first, c.size), c.condition) << c.what;
  EXPECT_EQ(ConditionWord(FileCondition::kGuessed), "guessed");
}

}  // namespace
}  // namespace quorvane
