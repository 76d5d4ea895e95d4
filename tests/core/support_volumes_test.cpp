// The real-volume tests rely on mtools deleting as the old systems did.
#include <gtest/gtest.h>

#include "support/mtools_volume.h"
#include "support/temp_dir.h"
#include "volume/dir_entry.h"
#include "volume/fat_params.h"

namespace quorvane::testing {
namespace {

TEST(MtoolsVolume, DeletedEntryKeepsE5AndItsClusterWordsAndSize) {
  TempDir dir;
  MtoolsVolume volume(dir.File("real.img"));
  const std::vector<uint8_t> content = PatternBytes(3000);
  volume.AddFile("/REPORT.TXT", content).Delete("/REPORT.TXT");

  const std::vector<uint8_t> image = ReadFileBytes(volume.path());
  const auto checked = FatParams::FromBootSector(image, 3);
  ASSERT_TRUE(checked);
  const FatParams& params = *checked;
  const auto root = std::span<const uint8_t>(image).subspan(
      params.ClusterToSector(static_cast<uint32_t>(params.m_nRootCluster)) * 512ull, 512);
  size_t i = 0;  // past a volume label, if any
  while (i < 15 && DirEntry::Parse(EntryBytes(root, i)).attr == kAttrVolumeLabel) ++i;
  const DirEntry deleted = DirEntry::Parse(EntryBytes(root, i));
  EXPECT_EQ(deleted.name[0], kDeletedMark);
  EXPECT_EQ(deleted.ExtBytes(), "TXT");
  EXPECT_EQ(deleted.fileSize, 3000u);
  ASSERT_TRUE(params.IsClusterInVolume(deleted.FirstCluster()));
  const auto first = std::span<const uint8_t>(image).subspan(
      params.ClusterToSector(deleted.FirstCluster()) * 512ull, 512);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), content.begin()));
}

}  // namespace
}  // namespace quorvane::testing
