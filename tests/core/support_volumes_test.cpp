// The test volumes themselves: what the other tests take for granted about
// them holds.
#include <gtest/gtest.h>

#include "support/crafted_volume.h"
#include "support/mtools_volume.h"
#include "support/temp_dir.h"
#include "volume/dir_entry.h"
#include "volume/fat_params.h"
#include "volume/little_endian.h"

namespace quorvane::testing {
namespace {

TEST(CraftedVolume, IsAFat32VolumeThatFsckAcceptsAndOurParserReads) {
  TempDir dir;
  CraftedVolume volume({.sectors_per_cluster = 2, .clusters = 300});
  volume.DotEntries(5, 0)
      .SetEntry(2, 0, {ShortName("SUB"), kAttrDirectory, 5, 0})
      .SetEntry(2, 1, {ShortName("DATA", "BIN"), 0x20, 6, 1500})
      .Chain({5})
      .Chain({6, 7});
  volume.FillCluster(6, 0xAB).FillCluster(7, 0xCD);
  const std::string image = dir.File("crafted.img");
  volume.Save(image);

  const CommandResult fsck = RunCommand({"fsck.fat", "-n", image});
  EXPECT_EQ(fsck.status, 0) << fsck.output;
  EXPECT_NE(fsck.output.find("2 files"), std::string::npos) << fsck.output;

  FatParams params;
  params.ParseBootSector(volume.bytes());
  EXPECT_TRUE(params.IsUsableFat32());
  EXPECT_EQ(params.FirstDataSector(), volume.FirstDataSector());
  EXPECT_EQ(params.LastCluster(), volume.LastCluster());
  EXPECT_EQ(params.ClusterToSector(6) * 512u, volume.ClusterOffset(6));
  EXPECT_EQ(volume.Cluster(7)[0], 0xCD);
}

TEST(CraftedVolume, WritesChainsCyclesAndBadFieldsWhereAsked) {
  CraftedVolume volume;
  volume.Chain({10, 12, 11}).Cycle({20, 21});
  EXPECT_EQ(volume.Fat(10), 12u);
  EXPECT_EQ(volume.Fat(12, 1), 11u);  // the second copy too
  EXPECT_EQ(volume.Fat(11), 0x0FFFFFFFu);
  EXPECT_EQ(volume.Fat(21), 20u);

  volume.SetFatCopy(1, 30, 7);
  EXPECT_EQ(volume.Fat(30, 0), 0u);
  EXPECT_EQ(volume.Fat(30, 1), 7u);

  volume.SetEntry(2, 3, {ShortName("\xE5OO", "TXT"), 0x20, 0x00012345, 77});
  const DirEntry entry = DirEntry::Parse(volume.EntryBytes(2, 3));
  EXPECT_EQ(entry.FirstCluster(), 0x00012345u);
  EXPECT_EQ(entry.fileSize, 77u);
  EXPECT_EQ(entry.name[0], 0xE5);

  volume.SetSectorsPerCluster(0).SetRootCluster(0);
  FatParams params;
  params.ParseBootSector(volume.bytes());
  EXPECT_EQ(params.m_nSectorsPerCluster, 0);
  EXPECT_EQ(params.m_nRootCluster, 0);
  // The layout stays as built: cluster 2 is still where it was.
  EXPECT_EQ(volume.ClusterOffset(2), uint64_t{volume.FirstDataSector()} * 512);
}

// The engine's tests rely on mtools deleting as the old systems did.
TEST(MtoolsVolume, DeletedFileKeepsItsClusterWordsAndSizeAndFreesItsChain) {
  TempDir dir;
  MtoolsVolume volume(dir.File("real.img"));
  const std::vector<uint8_t> content = PatternBytes(3000);
  volume.MakeDirectory("/DOCS").AddFile("/DOCS/Quarterly report.txt", content);
  EXPECT_EQ(volume.ReadFile("/DOCS/Quarterly report.txt"), content);
  volume.Delete("/DOCS/Quarterly report.txt");

  const std::vector<uint8_t> image = ReadFileBytes(volume.path());
  FatParams params;
  params.ParseBootSector(image);
  ASSERT_TRUE(params.IsUsableFat32());
  EXPECT_EQ(params.m_nSectorsPerCluster, 1);

  // Find DOCS in the root, then the deleted short entry in DOCS.
  auto cluster_bytes = [&](uint32_t cluster) {
    return std::span<const uint8_t>(image).subspan(params.ClusterToSector(cluster) * 512ull,
                                                   params.ClusterBytes());
  };
  auto find = [&](uint32_t dir_cluster, auto predicate) -> std::optional<DirEntry> {
    const auto bytes = cluster_bytes(dir_cluster);
    for (size_t i = 0; i < EntriesIn(bytes); ++i) {
      const DirEntry e = DirEntry::Parse(EntryBytes(bytes, i));
      if (predicate(e)) return e;
    }
    return std::nullopt;
  };
  const auto docs = find(static_cast<uint32_t>(params.m_nRootCluster), [](const DirEntry& e) {
    return e.NameBytes() == "DOCS    " && e.attr == kAttrDirectory;
  });
  ASSERT_TRUE(docs) << volume.List("/");
  const auto deleted = find(docs->FirstCluster(), [](const DirEntry& e) {
    return e.name[0] == kDeletedMark && e.attr != kAttrLongName;
  });
  ASSERT_TRUE(deleted);
  EXPECT_EQ(deleted->ExtBytes(), "TXT");
  EXPECT_EQ(deleted->fileSize, 3000u);
  const uint32_t first = deleted->FirstCluster();
  ASSERT_TRUE(params.IsClusterInVolume(first));
  for (uint32_t c = first; c < first + 6; ++c) {
    const size_t fat1 = (params.FatSectorOf(c)) * 512ull + FatParams::FatOffsetOf(c);
    const size_t fat2 = fat1 + static_cast<size_t>(params.m_nFatSize) * 512;
    EXPECT_EQ(LoadLe32(image, fat1) & kFatEntryMask, 0u) << "cluster " << c;
    EXPECT_EQ(LoadLe32(image, fat2) & kFatEntryMask, 0u) << "cluster " << c;
  }
  // The bytes are still there, from the first cluster on.
  EXPECT_TRUE(std::equal(content.begin(), content.begin() + 512, cluster_bytes(first).begin()));
}

TEST(MtoolsVolume, FailingToolThrowsWithItsOutputAndChecksumSeesChanges) {
  TempDir dir;
  MtoolsVolume volume(dir.File("real.img"));
  try {
    volume.Delete("/NOFILE.TXT");
    FAIL() << "mdel of a missing file did not throw";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("mdel"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("not found"), std::string::npos) << e.what();
  }
  const uint64_t before = volume.Checksum();
  EXPECT_EQ(volume.Checksum(), before);
  volume.AddFile("/A.TXT", std::string("x"));
  EXPECT_NE(volume.Checksum(), before);
}

}  // namespace
}  // namespace quorvane::testing
