// A deleted directory that grew past its first cluster: its later cluster,
// placed after the clusters of files written in between, is found by its
// bytes among the free clusters; nothing else is taken for one.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/mtools_volume.h"
#include "support/temp_dir.h"
#include "volume/format/dir_entry.h"
#include "volume/format/directory_continuation.h"
#include "volume/format/directory_walk.h"
#include "volume/format/opened_volume.h"
#include "volume/host/drive_table.h"

namespace quorvane {
namespace {

std::string FileName(int i) { return "/GREW/F" + std::to_string(100 + i) + ".TXT"; }

// The deleted files' names a walk of the directory at `first` sees.
std::vector<std::string> DeletedNames(VolumeView& view, uint32_t first, DirectoryScope scope) {
  std::vector<std::string> names;
  WalkDirectory(view, DirectoryExtent{first, scope}, [&](const WalkedEntry& at) {
    const DirEntry entry = DirEntry::Parse(at.raw);
    if (entry.IsDeleted() && !entry.IsLongNamePart() && !(entry.attr & kAttrDirectory))
      names.emplace_back(entry.NameBytes().substr(1, 3));
    return Visit::kGoOn;
  });
  return names;
}

TEST(DirectoryContinuation, ADeletedDirectorysLaterClusterIsFoundPastTheFilesBetween) {
  testing::TempDir dir;
  // 512-byte clusters: 16 slots, "." and ".." and 14 short entries fill the first.
  testing::MtoolsVolume volume(dir.File("vol.img"));
  volume.MakeDirectory("/GREW");
  const std::string text(700, 'x');  // two clusters of text each, between the directory's clusters
  for (int i = 0; i < 20; ++i) volume.AddFile(FileName(i), text + std::to_string(i));
  const uint32_t first = volume.FirstCluster("/GREW");
  volume.AddFile("/KEEP.BIN", std::string(3000, 'k'));  // a live file after it all
  volume.DeleteTree("/GREW");

  DriveTable drives;
  drives.Map('C', volume.path());
  auto opened = OpenedVolume::Open(drives, 3);
  ASSERT_TRUE(opened.has_value());
  VolumeView& view = (*opened)->view();

  EXPECT_EQ(DeletedNames(view, first, DirectoryScope::kFirstClusterOnly).size(), 14u);
  const auto all = DeletedNames(view, first, DirectoryScope::kFirstClusterThenContinuations);
  ASSERT_EQ(all.size(), 20u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(all[i], std::to_string(100 + i));

  // Not a directory's later cluster: text, random bytes, zeros, a first
  // cluster (it begins with "."), and entries with bad fields: attribute
  // bits no entry has, a directory with a size, a reserved character, a
  // first cluster past the volume.
  const FatParams& params = view.params();
  std::vector<uint8_t> cluster(512, 0);
  EXPECT_FALSE(ReadsAsDirectoryContinuation(cluster, params));
  std::mt19937 random(7);
  for (auto& b : cluster) b = static_cast<uint8_t>(random());
  EXPECT_FALSE(ReadsAsDirectoryContinuation(cluster, params));
  const std::string words = "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 ";
  for (size_t i = 0; i < cluster.size(); ++i) cluster[i] = static_cast<uint8_t>(words[i % words.size()]);
  EXPECT_FALSE(ReadsAsDirectoryContinuation(cluster, params));
  const auto later = view.ReadCluster(FindDirectoryContinuation(view, first).value());
  ASSERT_TRUE(later.has_value());
  std::vector<uint8_t> good((**later).begin(), (**later).end());
  EXPECT_TRUE(ReadsAsDirectoryContinuation(good, params));
  for (auto [offset, value] : std::vector<std::pair<size_t, uint8_t>>{
           {0, '.'}, {11, 0x48}, {11, kAttrDirectory}, {2, '*'}, {21, 0x7F}}) {
    std::vector<uint8_t> bad = good;
    bad[offset] = value;
    EXPECT_FALSE(ReadsAsDirectoryContinuation(bad, params)) << offset;
  }
}

}  // namespace
}  // namespace quorvane
