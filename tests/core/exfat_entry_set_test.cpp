// exFAT entry sets as a real driver writes and deletes them (exfat-fuse on a
// volume made by mkfs.exfat), checked against The Sleuth Kit; and the sets
// no tool writes, built byte by byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "support/exfat_volume.h"
#include "support/temp_dir.h"
#include "volume/format/exfat_bitmap.h"
#include "volume/format/exfat_boot_sector.h"
#include "volume/format/exfat_names.h"
#include "volume/host/drive_table.h"
#include "volume/little_endian.h"

namespace quorvane::testing {
namespace {

namespace fs = std::filesystem;

const std::string kLongName =
    "A long name that needs five name entries, which is past seventy units.txt";

// 512-byte clusters: 16 entries to a directory cluster, so sets of three
// entries run across clusters, and directories grow past one cluster.
// The files are written first, then `before` is copied, then some are
// deleted (exfat-fuse reuses no slot here: nothing is made after the
// deletions).
struct RealVolume {
  TempDir dir;
  std::string path = dir.File("exfat.img");
  std::string before = dir.File("before.img");

  RealVolume() {
    ExFatVolume volume(path, {.mib = 16, .cluster_bytes = 512, .sector_bytes = 512, .label = "Quorvane"});
    volume.Change([](const fs::path& root) {
      WriteFileBytes(root / "keep.bin", PatternBytes(10000, 1));
      WriteFileBytes(root / "gone.bin", PatternBytes(20000, 2));
      // Appended in turn: each takes clusters between the other's.
      for (int round = 0; round < 6; ++round) {
        AppendToFile(root / "frag1.bin", PatternBytes(1500, 10 + round));
        AppendToFile(root / "frag2.bin", PatternBytes(1500, 20 + round));
      }
      fs::create_directory(root / "Café");
      WriteFileBytes(root / "Café" / "日記.txt", PatternBytes(3, 3));
      WriteFileBytes(root / "Café" / kLongName, PatternBytes(700, 4));
      fs::create_directory(root / "Many");
      for (int i = 0; i < 20; ++i)
        WriteFileBytes(root / "Many" / ("file " + std::to_string(i) + ".txt"), PatternBytes(600, 100 + i));
      fs::create_directories(root / "Old" / "Sub");
      WriteFileBytes(root / "Old" / "a.txt", PatternBytes(1200, 5));
      WriteFileBytes(root / "Old" / "Sub" / "deep.txt", PatternBytes(900, 6));
    });
    fs::copy_file(path, before);
    volume.Change([](const fs::path& root) {
      fs::remove(root / "gone.bin");
      fs::remove(root / "frag2.bin");
      fs::remove(root / "Many" / "file 7.txt");
      fs::remove_all(root / "Old");
    });
  }
};

class ExFatRealVolume : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = ExFatVolumesUnavailable(); !why.empty()) GTEST_SKIP() << why;
    volume_ = std::make_unique<RealVolume>();
  }
  std::unique_ptr<RealVolume> volume_;
};

// As istat shows a time: the 2-second time of the DOS fields, without the
// 10 ms count that exFAT adds to it.
std::string Shown(ExFatTimestamp t) {
  EXPECT_LT(t.tenMs, 200);
  t.tenMs = 0;
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d (UTC)", t.Year(), t.Month(), t.Day(),
                t.Hour(), t.Minute(), t.Second());
  return text;
}

bool Contiguous(const std::vector<uint64_t>& sectors) {
  for (size_t i = 1; i < sectors.size(); ++i)
    if (sectors[i] != sectors[i - 1] + 1) return false;
  return true;
}

TEST_F(ExFatRealVolume, EveryFileAndDeletedFileAsTheSleuthKitReadsIt) {
  const ExFatListing listing = ListExFatVolume(volume_->path);
  const std::vector<SleuthKitFile> tsk = SleuthKitFiles(volume_->path);
  std::vector<std::string> ours, theirs;
  for (const auto& f : listing.files) ours.push_back(f.path);
  for (const auto& f : tsk) theirs.push_back(f.path);
  std::sort(ours.begin(), ours.end());
  std::sort(theirs.begin(), theirs.end());
  ASSERT_EQ(ours, theirs);
  EXPECT_TRUE(listing.damaged.empty());
  const FatParams& params = listing.params;
  for (const SleuthKitFile& expected : tsk) {
    SCOPED_TRACE(expected.path);
    const ExFatListed* found = listing.Find(expected.path);
    ASSERT_NE(found, nullptr);
    const ExFatFileSet& set = found->set;
    EXPECT_EQ(set.deleted, expected.deleted);
    EXPECT_EQ(set.isDirectory, expected.directory);
    EXPECT_EQ(set.size, expected.size);
    EXPECT_EQ(set.validDataLength, set.size);
    EXPECT_EQ(Shown(set.modified), expected.written);
    EXPECT_EQ(Shown(set.created), expected.created);
    EXPECT_EQ(set.modified.UtcOffsetMinutes(), 0);
    ASSERT_FALSE(expected.sectors.empty());
    EXPECT_EQ(params.ClusterToSector(set.firstCluster), expected.sectors.front());
    if (set.noFatChain) {
      EXPECT_TRUE(Contiguous(expected.sectors));
    }
    EXPECT_TRUE(set.checksumMatches);
    ASSERT_TRUE(listing.upcase);
    EXPECT_EQ(set.nameHash, ExFatNameHash(set.name, *listing.upcase));
  }
  // What the files were made to be.
  EXPECT_TRUE(listing.Find("keep.bin")->set.noFatChain);
  for (const char* fragmented : {"frag1.bin", "frag2.bin"}) {
    EXPECT_FALSE(listing.Find(fragmented)->set.noFatChain) << fragmented;
    const auto sectors = std::find_if(tsk.begin(), tsk.end(), [&](auto& f) { return f.path == fragmented; });
    EXPECT_FALSE(Contiguous(sectors->sectors)) << fragmented;
  }
  EXPECT_EQ(listing.Find("Café/" + kLongName)->set.secondaryCount, 1 + 5);
  EXPECT_EQ(listing.Find("Café/日記.txt")->set.name, u"日記.txt");
  const auto crossing = std::count_if(listing.files.begin(), listing.files.end(),
                                      [](auto& f) { return f.crossesCluster; });
  EXPECT_GE(crossing, 3) << "the sets of Many/ run across its 512-byte clusters";
  ASSERT_TRUE(listing.root.label);
  EXPECT_EQ(listing.root.label->label, u"Quorvane");
}

// exfat-fuse deletes by clearing the in-use bit of each entry's type and
// nothing else of the set; it clears the file's bits in the allocation
// bitmap and, for a file with a FAT chain, zeroes the chain.
TEST_F(ExFatRealVolume, HowExfatFuseDeletes) {
  const ExFatListing before = ListExFatVolume(volume_->before);
  const ExFatListing after = ListExFatVolume(volume_->path);
  DriveTable drives;
  drives.Map('C', volume_->before);
  drives.Map('D', volume_->path);
  SectorReader reader(drives);
  FatParams params_before = before.params, params_after = after.params;
  params_after.m_nDrive = 4;
  VolumeView view_before(reader, params_before), view_after(reader, params_after);
  auto bitmap_before = ExFatBitmap::Open(view_before, *before.root.bitmap);
  auto bitmap_after = ExFatBitmap::Open(view_after, *after.root.bitmap);
  ASSERT_TRUE(bitmap_before && bitmap_after);

  std::vector<std::string> deleted;
  for (const ExFatListed& gone : after.files) {
    if (!gone.set.deleted) continue;
    deleted.push_back(gone.path);
    SCOPED_TRACE(gone.path);
    const ExFatListed* was = before.Find(gone.path);
    ASSERT_NE(was, nullptr);
    EXPECT_FALSE(was->set.deleted);
    ASSERT_EQ(gone.raw.size(), was->raw.size());
    // rm -r deletes a directory's files first, and each delete stamps the
    // directory's modified time (and so its checksum) before its own.
    auto restamped = [&](size_t i) {
      return was->set.isDirectory &&
             (i == ExFatFileEntry::kSetChecksumAt || i == ExFatFileEntry::kSetChecksumAt + 1 ||
              (i >= ExFatFileEntry::kModifiedTimestampAt && i < ExFatFileEntry::kModifiedTimestampAt + 4) ||
              i == ExFatFileEntry::kModified10msAt || i == ExFatFileEntry::kModifiedUtcOffsetAt);
    };
    for (size_t i = 0; i < gone.raw.size(); ++i) {
      if (restamped(i)) continue;
      EXPECT_EQ(gone.raw[i], i % 32 == 0 ? was->raw[i] & 0x7F : was->raw[i]) << "byte " << i;
    }
    EXPECT_TRUE(gone.set.checksumMatches);
    // Its clusters were in use, and are free now.
    const uint32_t clusters = static_cast<uint32_t>((gone.set.size + 511) / 512);
    std::vector<uint32_t> chain{gone.set.firstCluster};
    while (!was->set.noFatChain && chain.size() < clusters) chain.push_back(*view_before.FatEntry(chain.back()));
    for (uint32_t c = 0; c < clusters; ++c) {
      const uint32_t cluster = was->set.noFatChain ? gone.set.firstCluster + c : chain[c];
      EXPECT_TRUE(*(*bitmap_before)->InUse(cluster)) << cluster;
      EXPECT_FALSE(*(*bitmap_after)->InUse(cluster)) << cluster;
      EXPECT_EQ(*view_after.FatEntry(cluster), 0u) << cluster;
    }
    if (!was->set.noFatChain) {
      EXPECT_NE(*view_before.FatEntry(gone.set.firstCluster), 0u);
    }
  }
  std::sort(deleted.begin(), deleted.end());
  EXPECT_EQ(deleted, (std::vector<std::string>{"Many/file 7.txt", "Old", "Old/Sub", "Old/Sub/deep.txt",
                                               "Old/a.txt", "frag2.bin", "gone.bin"}));
}

// A set whose stored checksum no longer fits its bytes.
TEST_F(ExFatRealVolume, ChecksumCatchesEveryChangedByteOfEverySet) {
  const ExFatListing listing = ListExFatVolume(volume_->path);
  for (const ExFatListed& file : listing.files) {
    for (size_t at = 1; at < file.raw.size(); ++at) {
      if (at == 2 || at == 3 || at % 32 == 0) continue;  // the checksum itself; the types
      std::vector<uint8_t> changed = file.raw;
      changed[at] ^= 0x10;
      ExFatEntrySetReader reader;
      for (size_t e = 0; e < changed.size(); e += 32) reader.Add(std::span(changed).subspan(e, 32));
      const auto item = reader.Next();
      // A changed SecondaryCount or NameLength may leave no whole set.
      if (const auto* set = item ? std::get_if<ExFatFileSet>(&*item) : nullptr) {
        EXPECT_FALSE(set->checksumMatches) << file.path << " byte " << at;
      }
    }
  }
}

// ---- Sets no tool writes ----

std::vector<uint8_t> Entry(uint8_t type) {
  std::vector<uint8_t> e(32, 0);
  e[0] = type;
  return e;
}

// A whole set of `name` (ASCII), deleted or not, with a correct checksum.
std::vector<std::vector<uint8_t>> MakeSet(const std::string& name, bool deleted = false) {
  const size_t name_entries = (name.size() + 14) / 15;
  std::vector<std::vector<uint8_t>> set{Entry(kExFatFile), Entry(kExFatStreamExtension)};
  set[0][1] = static_cast<uint8_t>(1 + name_entries);
  set[1][1] = kExFatAllocationPossible | kExFatNoFatChain;
  set[1][3] = static_cast<uint8_t>(name.size());
  StoreLe32(set[1], 20, 40);
  StoreLe32(set[1], 24, 1234);
  for (size_t i = 0; i < name_entries; ++i) {
    set.push_back(Entry(kExFatFileName));
    for (size_t k = 0; k < 15 && i * 15 + k < name.size(); ++k) set.back()[2 + 2 * k] = name[i * 15 + k];
  }
  std::vector<uint8_t> flat;
  for (auto& e : set) flat.insert(flat.end(), e.begin(), e.end());
  StoreLe16(set[0], 2, ExFatSetChecksum(flat));
  if (deleted)
    for (auto& e : set) e[0] &= 0x7F;
  return set;
}

// What the reader yields for `entries`, as short text: "file NAME",
// "deleted NAME", "damaged N why", "bitmap", "label TEXT".
std::vector<std::string> Read(const std::vector<std::vector<uint8_t>>& entries) {
  ExFatEntrySetReader reader;
  std::vector<std::string> out;
  auto drain = [&] {
    while (auto item = reader.Next()) {
      if (auto* set = std::get_if<ExFatFileSet>(&*item)) {
        out.push_back((set->deleted ? "deleted " : "file ") + set->nameUtf8 +
                      (set->checksumMatches ? "" : " (checksum)"));
      } else if (auto* damaged = std::get_if<ExFatDamagedSet>(&*item)) {
        out.push_back("damaged " + std::to_string(damaged->entryIndex) + " " +
                      std::to_string(static_cast<int>(damaged->why)));
      } else if (std::holds_alternative<ExFatBitmapRecord>(*item)) {
        out.push_back("bitmap");
      } else if (auto* label = std::get_if<ExFatLabelRecord>(&*item)) {
        out.push_back("label " + Utf16ToUtf8(label->label));
      }
    }
  };
  for (const auto& e : entries) {
    reader.Add(e);
    drain();
  }
  reader.Finish();
  drain();
  return out;
}

template <typename... Parts>
std::vector<std::vector<uint8_t>> Join(Parts... parts) {
  std::vector<std::vector<uint8_t>> all;
  (all.insert(all.end(), parts.begin(), parts.end()), ...);
  return all;
}

TEST(ExFatEntrySetReader, DamagedSetsAreRefusedAndTheNextSetsStillRead) {
  using Sets = std::vector<std::vector<uint8_t>>;
  const auto with = [](Sets set, size_t entry, size_t at, uint8_t value) {
    set[entry][at] = value;
    return set;
  };
  const auto label = [](uint8_t count, char16_t first) {
    std::vector<uint8_t> e = Entry(kExFatVolumeLabel);
    e[1] = count;
    StoreLe16(e, 2, first);
    return e;
  };
  const Sets good = MakeSet("after.txt");
  const Sets deleted = MakeSet("an old file name.txt", true);  // 4 entries
  const std::string kSecondaryCount = "0", kIncomplete = "1", kNoStream = "2", kNameLength = "3",
                    kNameMissing = "4";
  const struct {
    const char* what;
    Sets entries;
    std::vector<std::string> expected;
  } cases[] = {
      {"a live and a deleted set", Join(MakeSet("x"), deleted), {"file x", "deleted an old file name.txt"}},
      {"SecondaryCount 1", Join(with(MakeSet("x"), 0, 1, 1), good),
       {"damaged 0 " + kSecondaryCount, "file after.txt"}},
      {"SecondaryCount 19", Join(with(MakeSet("x"), 0, 1, 19), good),
       {"damaged 0 " + kSecondaryCount, "file after.txt"}},
      {"a name entry in the stream's place", Join(with(MakeSet("x"), 1, 0, kExFatFileName), good),
       {"damaged 0 " + kNoStream, "file after.txt"}},
      {"NameLength 0", Join(with(MakeSet("x"), 1, 3, 0), good), {"damaged 0 " + kNameLength, "file after.txt"}},
      {"NameLength 16 with one name entry", Join(with(MakeSet("x"), 1, 3, 16), good),
       {"damaged 0 " + kNameLength, "file after.txt"}},
      {"NameLength 255 with one name entry", Join(with(MakeSet("x"), 1, 3, 255), good),
       {"damaged 0 " + kNameLength, "file after.txt"}},
      {"a vendor entry where the name goes", Join(with(MakeSet("x"), 2, 0, 0xE0), good),
       {"damaged 0 " + kNameMissing, "file after.txt"}},
      // A new set took the slots after a deleted File entry: the deleted
      // set is not stitched from the new set's entries.
      {"a deleted set written over by a live one", Join(Sets{deleted[0]}, good),
       {"damaged 0 " + kIncomplete, "file after.txt"}},
      {"a deleted set written over by another deleted one", Join(Sets{deleted[0], deleted[1]}, MakeSet("b", true)),
       {"damaged 0 " + kIncomplete, "deleted b"}},
      {"a live secondary in a deleted set", Join(with(deleted, 2, 0, kExFatFileName), good),
       {"damaged 0 " + kIncomplete, "file after.txt"}},
      {"the directory's end inside a set", Join(Sets{good[0], good[1], Entry(0)}, MakeSet("unseen")),
       {"damaged 0 " + kIncomplete}},
      {"the directory's last cluster ends inside a set", Sets{good[0], good[1]}, {"damaged 0 " + kIncomplete}},
      {"secondaries without their File entry", Join(Sets{good[1], good[2], deleted[3]}, good),
       {"file after.txt"}},
      {"a changed name", Join(with(MakeSet("x"), 2, 2, 'y')), {"file y (checksum)"}},
      {"the root's records", Sets{Entry(kExFatAllocationBitmap), label(1, u'Q'), Entry(0xA0), Entry(0x03)},
       {"bitmap", "label Q"}},
      {"a label that counts past 11 characters", Sets{label(200, u'Q')}, {"label Q" + std::string(10, '\0')}},
  };
  for (const auto& c : cases) EXPECT_EQ(Read(c.entries), c.expected) << c.what;
}

TEST(ExFatEntrySetReader, EntriesAfterTheEndAreCountedAndIgnored) {
  ExFatEntrySetReader reader;
  for (const auto& e : Join(MakeSet("x"), std::vector<std::vector<uint8_t>>{Entry(0)}, MakeSet("y"))) reader.Add(e);
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(reader.entriesSeen(), 7u);
  ASSERT_TRUE(reader.Next());
  EXPECT_FALSE(reader.Next());
}

}  // namespace
}  // namespace quorvane::testing
