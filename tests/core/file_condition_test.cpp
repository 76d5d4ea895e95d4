// The condition word of a deleted file, by the copy's own taking rule, on a
// crafted volume of 400 clusters of 512 bytes.
#include <gtest/gtest.h>

#include "recovery/cluster_claims.h"
#include "recovery/file_condition.h"
#include "support/crafted_volume.h"
#include "support/memory_volume.h"

namespace quorvane {
namespace {

class ConditionOnCraftedVolume : public ::testing::Test {
 protected:
  void SetUp() override {
    volume_.SetFat(20, 0x0FFFFFFF).SetFat(32, 5);  // in use
    drives_.MapBytes('C', volume_.bytes());
    const auto params = FatParams::FromBootSector(*reader_.ReadSectors(3, 0, 1), 3);
    ASSERT_TRUE(params);
    params_ = *params;
    view_.emplace(reader_, *params_);
  }
  testing::CraftedVolume volume_;  // clusters 2 .. 401
  testing::MemoryDriveSource drives_;
  SectorReader reader_{drives_};
  std::optional<FatParams> params_;
  std::optional<VolumeView> view_;
};

TEST_F(ConditionOnCraftedVolume, TheClustersTheSizeNeedsDecideTheWord) {
  VolumeView& view = *view_;
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

// Runs that overlap where first clusters cut them, and entries that begin
// at the same cluster: the word says which claim a copy met.
TEST_F(ConditionOnCraftedVolume, ClaimsOfOtherDeletedEntriesMakeAFileClaimedOrContested) {
  VolumeView& view = *view_;
  const ClusterClaims claims = ClusterClaims::Of(
      view, {{40, 6, "BIN"}, {42, 4, "BIN"}, {44, 1, "BIN"}, {60, 2, "BIN"}, {60, 2, "DAT"},
             {70, 3, "BIN"}, {20, 2, "BIN"}, {30, 6, "BIN"}, {36, 1, "BIN"}});
  // Cluster 20 is in use: that entry claims nothing.
  EXPECT_EQ(claims.entries(), 8u);
  const struct { const char* what; uint32_t first, clusters; FileCondition condition; } cases[] = {
      {"steps over the runs of two entries", 40, 6, FileCondition::kClaimed},
      {"keeps its run, steps over the next", 42, 4, FileCondition::kClaimed},
      // Both runs before it would have gone on over it.
      {"reached by two runs", 44, 1, FileCondition::kContested},
      {"same first cluster and size: no winner", 60, 2, FileCondition::kContested},
      {"alone, its run ends where its size does", 70, 3, FileCondition::kIntact},
      {"first cluster inside another entry's run", 41, 1, FileCondition::kClaimed},
      {"a cluster in use stepped over, then a claim", 30, 6, FileCondition::kClaimed},
      {"the first cluster in use", 20, 2, FileCondition::kOverwritten},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ConditionOf(view, c.first, c.clusters * 512, &claims), c.condition) << c.what;
  // Without claims every one of them is as the classic rule finds it.
  EXPECT_EQ(ConditionOf(view, 40, 6 * 512), FileCondition::kIntact);
  EXPECT_EQ(ConditionOf(view, 30, 6 * 512), FileCondition::kGaps);
}

}  // namespace
}  // namespace quorvane
