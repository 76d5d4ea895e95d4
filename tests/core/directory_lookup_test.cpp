// Drive paths checked and shortened through our own FAT reader, and the
// folder chooser's subdirectory lists, on a real mtools volume and on a
// crafted one with looping chains.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/crafted_volume.h"
#include "support/memory_volume.h"
#include "support/mtools_volume.h"
#include "support/temp_dir.h"
#include "volume/format/dir_entry.h"
#include "volume/format/directory_lookup.h"
#include "volume/host/drive_table.h"

namespace quorvane {
namespace {

using ::testing::Optional;
using testing::ShortName;

// Each takes two long-name entries and a short one, so with 16 entries to a
// cluster the fifth (entries 14 to 16, after "." and "..") straddles two clusters.
std::string ManyName(int i) { return "A rather long folder " + std::to_string(i); }
std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

TEST(LookupOnRealVolume, ShortensLiveDirectoriesRefusesTheRestAndListsSubdirectories) {
  testing::TempDir dir;
  testing::MtoolsVolume volume(dir.File("vol.img"));
  for (const char* d : {"/My Documents", "/My Documents/Letters 2024", "/DOCS", "/DOCS/OLD", "/docs2", "/Gone",
                        "/Many", "/LONGNAME.DIR"})
    volume.MakeDirectory(d);
  volume.AddFile("/README.TXT", std::string("hello"));
  for (int i = 0; i < 12; ++i) volume.MakeDirectory("/Many/" + ManyName(i));
  volume.DeleteTree("/Gone");
  testing::UnchangedGuard unchanged(volume.path());
  DriveTable drives;
  drives.Map('C', volume.path());
  DirectoryLookup lookup(drives);
  const std::pair<std::u16string, std::optional<std::string>> cases[] = {
      {u"C:\\My Documents", "C:\\MYDOCU~1"},
      {u"c:\\MY DOCUMENTS\\letters 2024", "C:\\MYDOCU~1\\LETTER~1"},
      {u"C:\\docs\\old", "C:\\DOCS\\OLD"},
      {u"C:\\DOCS2", "C:\\DOCS2"},
      {u"C:\\longname.dir", "C:\\LONGNAME.DIR"},
      {u"C:\\", "C:"},
      {u"C:\\DOCS\\", "C:\\DOCS"},
      {u"C:/DOCS//OLD/", "C:\\DOCS\\OLD"},
      {u"C:\\DOCS\\.\\OLD\\..\\..\\My Documents", "C:\\MYDOCU~1"},
      {u"C:\\DOCS. ", "C:\\DOCS"},
      {u"C:\\Nowhere", std::nullopt},
      {u"C:\\README.TXT", std::nullopt},  // a file
      {u"C:\\Gone", std::nullopt},        // deleted
      {u"C:\\My Doc", std::nullopt},      // part of a name
      {u"D:\\", std::nullopt},
      {u"\\DOCS", std::nullopt},
  };
  for (const auto& [path, expected] : cases)
    EXPECT_EQ(lookup.ShortPath(path), expected) << std::string(path.begin(), path.end());
  const auto root = lookup.Subdirectories(u"C:");
  ASSERT_TRUE(root.has_value());
  std::vector<std::pair<std::string, std::u16string>> names;
  for (const DirectoryName& name : *root) names.emplace_back(name.shortName, name.longName);
  EXPECT_THAT(names, ::testing::ElementsAre(std::pair{std::string("MYDOCU~1"), std::u16string(u"My Documents")},
                                            std::pair{std::string("DOCS"), std::u16string()},
                                            std::pair{std::string("DOCS2"), std::u16string(u"docs2")},
                                            std::pair{std::string("MANY"), std::u16string(u"Many")},
                                            std::pair{std::string("LONGNAME.DIR"), std::u16string()}));
  const auto many = lookup.Subdirectories(u"C:\\many\\");
  ASSERT_TRUE(many.has_value());
  ASSERT_EQ(many->size(), 12u);
  for (size_t i = 0; i < 12; ++i) EXPECT_EQ((*many)[i].longName, Wide(ManyName(static_cast<int>(i))));
  EXPECT_THAT(lookup.Subdirectories(u"C:\\DOCS\\OLD"), Optional(::testing::IsEmpty()));
  EXPECT_EQ(lookup.Subdirectories(u"C:\\Gone"), std::nullopt);
}

TEST(LookupOnCraftedVolume, EndsLoopingAndOutOfRangeChains) {
  testing::CraftedVolume volume;
  // The root's chain loops back on itself; SUB's first cluster lies past the end.
  volume.Cycle({2, 3})
      .SetEntry(2, 0, {ShortName("SUB"), kAttrDirectory, 999999, 0})
      .SetEntry(3, 0, {ShortName("OTHER"), kAttrDirectory, 10, 0})
      .SetEntry(10, 0, {ShortName("."), kAttrDirectory, 10, 0})
      .SetEntry(10, 1, {ShortName(".."), kAttrDirectory, 0, 0})
      .Chain({10});
  // Every entry of both clusters is used, so only the loop guard ends the walk.
  for (size_t i = 1; i < 16; ++i) {
    volume.SetEntry(2, i, {ShortName("F", "TXT"), 0x20, 0, 1});
    volume.SetEntry(3, i, {ShortName("G", "TXT"), 0x20, 0, 1});
  }
  testing::MemoryDriveSource drives;
  drives.MapBytes('C', volume.bytes());
  DirectoryLookup lookup(drives);
  EXPECT_THAT(lookup.ShortPath(u"C:\\OTHER"), Optional(std::string("C:\\OTHER")));
  EXPECT_EQ(lookup.ShortPath(u"C:\\NOPE"), std::nullopt);
  EXPECT_EQ(lookup.ShortPath(u"C:\\SUB"), std::nullopt);
  const auto listed = lookup.Subdirectories(u"C:");
  ASSERT_TRUE(listed.has_value());
  EXPECT_EQ(listed->size(), 2u);
}

}  // namespace
}  // namespace quorvane
