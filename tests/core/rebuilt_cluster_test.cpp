// Rebuilding the first cluster of entries whose high word a delete cleared,
// on a crafted volume of 140,000 clusters: each kind of evidence, alone and
// against the others.
#include <gtest/gtest.h>

#include <functional>

#include "recovery/rebuilt_cluster.h"
#include "support/crafted_volume.h"
#include "support/memory_volume.h"
#include "volume/little_endian.h"

namespace quorvane {
namespace {

using testing::CraftedEntry;
using testing::CraftedVolume;
using testing::ShortName;

constexpr uint32_t kLow = 1000;            // the low word every entry keeps
constexpr uint32_t kHigh1 = 65536 + kLow;  // the candidates past it
constexpr uint32_t kHigh2 = 2 * 65536 + kLow;

const std::string kJpeg("\xFF\xD8\xFF\xE0\0\x10JFIF", 10);

// The entry as parsed from its 32 stored bytes.
DirEntry Parsed(const CraftedEntry& e) {
  std::array<uint8_t, 32> raw{};
  std::copy(e.name11.begin(), e.name11.end(), raw.begin());
  raw[11] = e.attr;
  StoreLe16(raw, 20, static_cast<uint16_t>(e.first_cluster >> 16));
  StoreLe16(raw, 26, static_cast<uint16_t>(e.first_cluster));
  StoreLe32(raw, 28, e.size);
  return DirEntry::Parse(raw);
}

struct Case {
  const char* what;
  std::function<void(CraftedVolume&)> lay;  // the volume around the entry
  CraftedEntry entry;
  RebuildHints hints;
  std::vector<uint32_t> neighbours;  // first clusters of live entries beside it
  std::optional<uint32_t> cluster;  // none: nothing survives
  bool guessed = false;
};

TEST(RebuiltCluster, EvidenceChoosesAmongTheClustersTheLowWordAllows) {
  auto fill = [](CraftedVolume& v, uint32_t c, const std::string& bytes) {
    v.FillCluster(c, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  };
  const CraftedEntry photo{ShortName("\xE5HOTO", "JPG"), 0x20, kLow, 3000};
  const CraftedEntry data{ShortName("\xE5" "ATA", "BIN"), 0x20, kLow, 512};
  const CraftedEntry folder{ShortName("\xE5OLDER"), 0x10, kLow, 0};
  const Case cases[] = {
      {"only one candidate is free", [&](CraftedVolume& v) {
         v.SetFat(kLow, 0x0FFFFFFF).SetFat(kHigh2, 0x0FFFFFFF);
         fill(v, kHigh1, kJpeg);
       }, photo, {"JPG", 0, {}}, {}, kHigh1},
      {"the only free one does not begin as the name says", [&](CraftedVolume& v) {
         v.SetFat(kLow, 0x0FFFFFFF).SetFat(kHigh2, 0x0FFFFFFF);
         fill(v, kHigh1, "plain text");
       }, photo, {"JPG", 0, {}}, {}, kHigh1, true},
      {"the content picks one of three free ones", [&](CraftedVolume& v) {
         fill(v, kLow, "plain text");
         fill(v, kHigh1, kJpeg);
         fill(v, kHigh2, std::string("PK\x03\x04", 4));
       }, photo, {"JPG", 0, {}}, {}, kHigh1},
      {"the long name's extension decides, not the stored one", [&](CraftedVolume& v) {
         fill(v, kLow, std::string("PK\x03\x04", 4));
         fill(v, kHigh1, std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
       }, CraftedEntry{ShortName("\xE5" "ETTER~1", "DOC"), 0x20, kLow, 3000}, {"docx", 0, {}}, {}, kLow},
      {"no room for the size before the volume ends", [&](CraftedVolume& v) {
         v.SetFat(kLow, 0x0FFFFFFF).SetFat(kHigh1, 0x0FFFFFFF);
       }, CraftedEntry{ShortName("\xE5IG", "BIN"), 0x20, kLow, 9000 * 512}, {"BIN", 0, {}}, {}, std::nullopt},
      {"clusters in one run beat clusters with gaps", [&](CraftedVolume& v) {
         v.SetFat(kLow + 2, 0x0FFFFFFF).SetFat(kHigh2, 0x0FFFFFFF);
       }, CraftedEntry{ShortName("\xE5" "ATA", "BIN"), 0x20, kLow, 4 * 512}, {"BIN", 0, {}}, {kLow}, kHigh1, true},
      {"unknown content: the nearest to the neighbours, guessed", [](CraftedVolume&) {},
       data, {"BIN", 0, {}}, {kHigh2 + 40}, kHigh2, true},
      {"a directory proves itself with . and ..", [&](CraftedVolume& v) {
         // Its own . and .., and another directory's leftovers.
         for (auto [at, parent] : {std::pair{kHigh1, 0u}, {kLow, 77u}})
           v.SetEntry(at, 0, {ShortName("."), 0x10, at, 0}).SetEntry(at, 1, {ShortName(".."), 0x10, parent, 0});
       }, folder, {"", 0, {}}, {kLow}, kHigh1},
      {"every candidate in use", [&](CraftedVolume& v) {
         for (uint32_t c : {kLow, kHigh1, kHigh2}) v.SetFat(c, 0x0FFFFFFF);
       }, data, {"BIN", 0, {}}, {}, std::nullopt},
  };
  for (const Case& c : cases) {
    CraftedVolume volume({.clusters = 140'000});
    c.lay(volume);
    testing::MemoryDriveSource drives;
    drives.MapBytes('C', volume.bytes());
    SectorReader reader(drives);
    const auto params = FatParams::FromBootSector(*reader.ReadSectors(3, 0, 1), 3);
    ASSERT_TRUE(params);
    VolumeView view(reader, *params);
    const DirEntry entry = Parsed(c.entry);
    ASSERT_TRUE(MayHaveLostHighWord(entry, *params)) << c.what;
    // The directory cluster holding it: the live neighbours, then an end.
    std::vector<uint8_t> siblings((c.neighbours.size() + 1) * 32, 0);
    for (size_t i = 0; i < c.neighbours.size(); ++i) {
      std::fill_n(siblings.begin() + 32 * i, 11, 'N');
      StoreLe16(siblings, 32 * i + 20, static_cast<uint16_t>(c.neighbours[i] >> 16));
      StoreLe16(siblings, 32 * i + 26, static_cast<uint16_t>(c.neighbours[i]));
    }
    RebuildHints hints = c.hints;
    hints.siblings = siblings;
    const auto rebuilt = RebuildFirstCluster(view, entry, hints);
    ASSERT_EQ(rebuilt.has_value(), c.cluster.has_value()) << c.what;
    if (!rebuilt) continue;
    EXPECT_EQ(rebuilt->cluster, *c.cluster) << c.what;
    EXPECT_EQ(rebuilt->guessed, c.guessed) << c.what;
  }
}

TEST(RebuiltCluster, OnlyDeletedEntriesWithoutAHighWordOnLargeVolumesQualify) {
  CraftedVolume small;  // 400 clusters
  const auto small_params = FatParams::FromBootSector(small.bytes(), 3);
  CraftedVolume large({.clusters = 70'000});
  const auto large_params = FatParams::FromBootSector(large.bytes(), 3);
  ASSERT_TRUE(small_params && large_params);
  const auto entry = [](const char* name, uint32_t cluster) { return Parsed({ShortName(name), 0x20, cluster, 0}); };
  EXPECT_TRUE(MayHaveLostHighWord(entry("\xE5", 5), *large_params));
  EXPECT_FALSE(MayHaveLostHighWord(entry("\xE5", 5), *small_params));
  EXPECT_FALSE(MayHaveLostHighWord(entry("\xE5", 65536 + 5), *large_params));  // the high word is kept
  EXPECT_FALSE(MayHaveLostHighWord(entry("A", 5), *large_params));             // live
  EXPECT_FALSE(MayHaveLostHighWord(entry("\xE5", 0), *large_params));          // no cluster at all
}

TEST(RebuiltCluster, OnAVolumeOfManyBandsTheFatIsReadASectorPerCandidate) {
  // 128 free candidates, 65,536 clusters apart, each in a FAT chunk of its
  // own: a FAT sector each is what the evidence needs, where chunks of
  // 128 KiB were read once (16 MiB for one file, on every file). The
  // boot sector of a crafted volume, grown to 8,388,608 clusters of zeros.
  CraftedVolume crafted({.clusters = 70'000});
  std::vector<uint8_t> boot(crafted.bytes().begin(), crafted.bytes().begin() + 512);
  constexpr uint32_t kClusters = 128 * 65536;
  const uint32_t fat_sectors = (kClusters + 2) / 128 + 1;
  const uint32_t reserved = LoadLe16(boot, 14);
  StoreLe32(boot, 36, fat_sectors);
  StoreLe32(boot, 32, reserved + 2 * fat_sectors + kClusters);
  testing::MemoryDriveSource drives;
  drives.MapSparse('C', (uint64_t{reserved} + 2 * fat_sectors + kClusters) * 512, {{0, boot}});
  SectorReader reader(drives);
  const auto params = FatParams::FromBootSector(*reader.ReadSectors(3, 0, 1), 3);
  ASSERT_TRUE(params);
  ASSERT_EQ(params->LastCluster(), kClusters + 1);
  VolumeView view(reader, *params);

  const DirEntry entry = Parsed({ShortName("\xE5", "JPG"), 0x20, kLow, 3000});
  const size_t reads_before = drives.ReadLog('C').size();
  const auto rebuilt = RebuildFirstCluster(view, entry, {"JPG", 0, {}});
  ASSERT_TRUE(rebuilt);
  EXPECT_TRUE(rebuilt->guessed);  // zeros everywhere: no candidate begins as a JPEG
  uint64_t bytes = 0;
  const auto log = drives.ReadLog('C');
  for (size_t i = reads_before; i < log.size(); ++i) bytes += log[i].length;
  // A FAT sector and a first sector for each of the 128 candidates.
  EXPECT_LE(bytes, 2u * 128 * 512) << log.size() - reads_before << " reads";
}

}  // namespace
}  // namespace quorvane
