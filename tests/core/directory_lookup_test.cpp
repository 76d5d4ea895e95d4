// Drive paths checked and shortened through our own FAT reader, and the
// subdirectory lists of the folder chooser, on real mtools volumes with long
// names and on crafted volumes with broken chains and stale long names.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/crafted_volume.h"
#include "support/memory_volume.h"
#include "support/mtools_volume.h"
#include "support/temp_dir.h"
#include "volume/dir_entry.h"
#include "volume/directory_lookup.h"
#include "volume/drive_table.h"
#include "volume/long_name.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::Optional;
using testing::CraftedEntry;
using testing::CraftedVolume;
using testing::MemoryDriveSource;
using testing::MtoolsVolume;
using testing::ShortName;
using testing::TempDir;
using testing::UnchangedGuard;

// Long names of the directories in /Many: each takes two long-name entries
// and a short one, so with 16 entries to a cluster the fifth (entries 14 to
// 16, after "." and "..") straddles a cluster boundary.
std::string ManyName(int i) { return "A rather long folder " + std::to_string(i); }
std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// /My Documents/Letters 2024   /DOCS/OLD   /docs2 (lower case)  /README.TXT (a file)
// /Gone (deleted)  /Many/<ManyName(0..11)>  /LONGNAME.DIR (a directory with an extension)
class LookupOnRealVolume : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    volume_ = new MtoolsVolume(dir_->File("vol.img"));
    volume_->MakeDirectory("/My Documents")
        .MakeDirectory("/My Documents/Letters 2024")
        .MakeDirectory("/DOCS")
        .MakeDirectory("/DOCS/OLD")
        .MakeDirectory("/docs2")
        .MakeDirectory("/Gone")
        .MakeDirectory("/Many")
        .MakeDirectory("/LONGNAME.DIR")
        .AddFile("/README.TXT", std::string("hello"));
    for (int i = 0; i < 12; ++i) volume_->MakeDirectory("/Many/" + ManyName(i));
    volume_->DeleteTree("/Gone");
  }
  static void TearDownTestSuite() {
    delete volume_;
    delete dir_;
  }

  void SetUp() override { drives_.Map('C', volume_->path()); }

  std::optional<std::string> Short(std::u16string_view path) { return lookup_.ShortPath(path); }

  static TempDir* dir_;
  static MtoolsVolume* volume_;
  DriveTable drives_;
  DirectoryLookup lookup_{drives_};
  UnchangedGuard unchanged_{volume_->path()};
};

TempDir* LookupOnRealVolume::dir_ = nullptr;
MtoolsVolume* LookupOnRealVolume::volume_ = nullptr;

TEST_F(LookupOnRealVolume, ShortensLiveDirectoriesByLongOrShortNameIgnoringCase) {
  EXPECT_THAT(Short(u"C:\\My Documents"), Optional(std::string("C:\\MYDOCU~1")));
  EXPECT_THAT(Short(u"c:\\MY DOCUMENTS\\letters 2024"),
              Optional(std::string("C:\\MYDOCU~1\\LETTER~1")));
  EXPECT_THAT(Short(u"C:\\mydocu~1\\Letters 2024"), Optional(std::string("C:\\MYDOCU~1\\LETTER~1")));
  EXPECT_THAT(Short(u"C:\\docs\\old"), Optional(std::string("C:\\DOCS\\OLD")));
  EXPECT_THAT(Short(u"C:\\DOCS2"), Optional(std::string("C:\\DOCS2")));
  EXPECT_THAT(Short(u"C:\\longname.dir"), Optional(std::string("C:\\LONGNAME.DIR")));
  // Every one of the long names, also those split across two clusters.
  for (int i = 0; i < 12; ++i) {
    const auto shortened = Short(u"C:\\Many\\" + Wide(ManyName(i)));
    ASSERT_TRUE(shortened.has_value()) << ManyName(i) << "\n" << volume_->List("/Many");
    EXPECT_TRUE(shortened->starts_with("C:\\MANY\\AR")) << *shortened;
  }
}

TEST_F(LookupOnRealVolume, RootTrailingBackslashDotsAndSlashes) {
  EXPECT_THAT(Short(u"C:\\"), Optional(std::string("C:")));
  EXPECT_THAT(Short(u"c:"), Optional(std::string("C:")));
  EXPECT_THAT(Short(u"C:\\DOCS\\"), Optional(std::string("C:\\DOCS")));
  EXPECT_THAT(Short(u"C:/DOCS//OLD/"), Optional(std::string("C:\\DOCS\\OLD")));
  EXPECT_THAT(Short(u"C:\\DOCS\\.\\OLD\\..\\..\\My Documents"), Optional(std::string("C:\\MYDOCU~1")));
  EXPECT_THAT(Short(u"C:\\..\\DOCS"), Optional(std::string("C:\\DOCS")));
  EXPECT_THAT(Short(u"C:\\DOCS. "), Optional(std::string("C:\\DOCS")));
}

TEST_F(LookupOnRealVolume, RefusesWhatIsNoLiveDirectory) {
  EXPECT_EQ(Short(u"C:\\Nowhere"), std::nullopt);
  EXPECT_EQ(Short(u"C:\\DOCS\\Nowhere"), std::nullopt);
  EXPECT_EQ(Short(u"C:\\README.TXT"), std::nullopt);  // a file
  EXPECT_EQ(Short(u"C:\\Gone"), std::nullopt);        // deleted
  EXPECT_EQ(Short(u"C:\\My Doc"), std::nullopt);      // part of a name
  EXPECT_EQ(Short(u"D:\\"), std::nullopt);            // no such drive
  EXPECT_EQ(Short(u"\\DOCS"), std::nullopt);          // no drive path
  EXPECT_EQ(Short(u"/tmp"), std::nullopt);
}

TEST_F(LookupOnRealVolume, ListsLiveSubdirectoriesWithLongNamesInEntryOrder) {
  const auto root = lookup_.Subdirectories(u"C:");
  ASSERT_TRUE(root.has_value());
  std::vector<std::pair<std::string, std::u16string>> names;
  for (const DirectoryName& name : *root) names.emplace_back(name.shortName, name.longName);
  EXPECT_THAT(names, ElementsAre(std::pair{std::string("MYDOCU~1"), std::u16string(u"My Documents")},
                                 std::pair{std::string("DOCS"), std::u16string()},
                                 std::pair{std::string("DOCS2"), std::u16string(u"docs2")},
                                 std::pair{std::string("MANY"), std::u16string(u"Many")},
                                 std::pair{std::string("LONGNAME.DIR"), std::u16string()}))
      << volume_->List("/");

  const auto many = lookup_.Subdirectories(u"C:\\many\\");
  ASSERT_TRUE(many.has_value());
  ASSERT_EQ(many->size(), 12u);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ((*many)[static_cast<size_t>(i)].longName, Wide(ManyName(i)));
  }

  EXPECT_THAT(lookup_.Subdirectories(u"C:\\DOCS\\OLD"), Optional(::testing::IsEmpty()));
  EXPECT_EQ(lookup_.Subdirectories(u"C:\\Gone"), std::nullopt);
}

TEST_F(LookupOnRealVolume, FindsTheFat32DrivesOfTheTable) {
  TempDir other;
  const std::string not_fat = other.File("zeros.img");
  testing::WriteFileBytes(not_fat, std::vector<uint8_t>(64 * 1024, 0));
  drives_.Map('E', not_fat);
  EXPECT_THAT(lookup_.Fat32Drives(), ElementsAre(3));
}

// Crafted volumes: what tools do not make.
class LookupOnCraftedVolume : public ::testing::Test {
 protected:
  std::optional<std::string> Short(CraftedVolume& volume, std::u16string_view path) {
    drives_.MapBytes('C', volume.bytes());
    return DirectoryLookup(drives_).ShortPath(path);
  }
  MemoryDriveSource drives_;
};

// A long-name entry (part `number` of `parts`) for the 11 stored bytes `name11`.
std::vector<uint8_t> LongPart(std::u16string_view text, int number, int parts,
                              std::string_view name11) {
  std::vector<uint8_t> entry(32, 0);
  entry[0] = static_cast<uint8_t>(number | (number == parts ? kLongNameLastPart : 0));
  entry[11] = kAttrLongName;
  std::array<uint8_t, 11> stored{};
  std::copy(name11.begin(), name11.end(), stored.begin());
  entry[13] = ShortNameChecksum(stored);
  const size_t offsets[] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  for (size_t i = 0; i < 13; ++i) {
    const size_t at = static_cast<size_t>(number - 1) * 13 + i;
    const char16_t c = at < text.size() ? text[at] : at == text.size() ? u'\0' : u'\xFFFF';
    entry[offsets[i]] = static_cast<uint8_t>(c);
    entry[offsets[i] + 1] = static_cast<uint8_t>(c >> 8);
  }
  return entry;
}

TEST_F(LookupOnCraftedVolume, EndsLoopingAndOutOfRangeChains) {
  CraftedVolume volume;
  // The root directory's chain loops back on itself; SUB's first cluster
  // lies past the volume's end.
  volume.Cycle({2, 3})
      .SetEntry(2, 0, {ShortName("SUB"), kAttrDirectory, 999999, 0})
      .SetEntry(3, 0, {ShortName("OTHER"), kAttrDirectory, 10, 0})
      .DotEntries(10, 0)
      .Chain({10});
  // Every entry of both clusters is used, so only the loop guard ends the walk.
  for (size_t i = 1; i < 16; ++i) {
    volume.SetEntry(2, i, {ShortName("F" + std::to_string(i), "TXT"), 0x20, 0, 1});
    volume.SetEntry(3, i, {ShortName("G" + std::to_string(i), "TXT"), 0x20, 0, 1});
  }
  EXPECT_THAT(Short(volume, u"C:\\OTHER"), Optional(std::string("C:\\OTHER")));
  EXPECT_EQ(Short(volume, u"C:\\NOPE"), std::nullopt);
  EXPECT_EQ(Short(volume, u"C:\\SUB"), std::nullopt);
  const auto listed = DirectoryLookup(drives_).Subdirectories(u"C:");
  ASSERT_TRUE(listed.has_value());
  EXPECT_EQ(listed->size(), 2u);
}

TEST_F(LookupOnCraftedVolume, TakesALongNameOnlyWithItsChecksumAndAllItsParts) {
  CraftedVolume volume;
  const std::string good = ShortName("PROJEC~1");
  const std::string stale = ShortName("OTHER");
  // "Project files" (one part) for PROJEC~1; a part written for a short name
  // that is gone, left before OTHER; a two-part name with its first part
  // missing before THIRD.
  volume.SetEntryBytes(2, 0, LongPart(u"Project files", 1, 1, good))
      .SetEntry(2, 1, {good, kAttrDirectory, 10, 0})
      .SetEntryBytes(2, 2, LongPart(u"Old stuff", 1, 1, ShortName("OLDSTU~1")))
      .SetEntry(2, 3, {stale, kAttrDirectory, 11, 0})
      .SetEntryBytes(2, 4, LongPart(u"A name of two parts", 2, 2, ShortName("THIRD")))
      .SetEntry(2, 5, {ShortName("THIRD"), kAttrDirectory, 12, 0})
      .Chain({10})
      .Chain({11})
      .Chain({12});
  EXPECT_THAT(Short(volume, u"C:\\project FILES"), Optional(std::string("C:\\PROJEC~1")));
  EXPECT_EQ(Short(volume, u"C:\\Old stuff"), std::nullopt);
  EXPECT_THAT(Short(volume, u"C:\\other"), Optional(std::string("C:\\OTHER")));
  EXPECT_EQ(Short(volume, u"C:\\A name of two parts"), std::nullopt);
  EXPECT_THAT(Short(volume, u"C:\\third"), Optional(std::string("C:\\THIRD")));
}

TEST(LongNames, CompareWithoutRegardToCaseBeyondAscii) {
  EXPECT_TRUE(NamesEqualIgnoringCase(u"Caf\u00e9 \u0153uvre", u"CAF\u00c9 \u0152UVRE"));
  EXPECT_TRUE(NamesEqualIgnoringCase(u"\u00ff\u017a", u"\u0178\u0179"));
  EXPECT_TRUE(NamesEqualIgnoringCase(u"\u043f\u0451\u03c3", u"\u041f\u0401\u03a3"));
  EXPECT_FALSE(NamesEqualIgnoringCase(u"\u00f7", u"\u00d7"));  // ÷ and × are no pair
  EXPECT_FALSE(NamesEqualIgnoringCase(u"abc", u"abcd"));
}

}  // namespace
}  // namespace quorvane
