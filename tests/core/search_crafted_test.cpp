// The search on volumes written byte by byte: the scan's rules, looping and
// out-of-volume chains, entries pointing back at ancestors, depth limits,
// unusable boot sectors, abort, and the filters' order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "recovery/search_context.h"
#include "support/crafted_volume.h"
#include "support/memory_volume.h"
#include "support/recording_search.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testing::CraftedEntry;
using testing::CraftedVolume;
using testing::ShortName;

constexpr uint32_t kRoot = 2;
constexpr uint32_t kEnd = 0x0FFFFFFF;
const std::string E5 = "\xE5";
const std::vector<std::string> kEndOfRun = {
    "caption: List of undeletable files ...", "progress: range 0 0", "status: "};

class SearchOnCraftedVolume : public ::testing::Test {
 protected:
  SearchOnCraftedVolume() { settings_.bSearchRecurse = settings_.bSearchDeletedDirs = 1; }
  // A live directory whose cluster ends its chain.
  void Dir(uint32_t in, size_t index, const std::string& name, uint32_t cluster) {
    volume_.SetEntry(in, index, CraftedEntry{ShortName(name), 0x10, cluster, 0});
    if (cluster >= 2 && cluster <= volume_.LastCluster()) volume_.SetFat(cluster, kEnd);
  }
  void File(uint32_t in, size_t index, const std::string& name, uint32_t size = 100,
            uint32_t cluster = 300, uint8_t attr = 0x20) {
    volume_.SetEntry(in, index, CraftedEntry{ShortName(name, "TXT"), attr, cluster, size});
  }
  // Empty files (never listed) to the cluster's end, so that no end mark stops the scan.
  void Fill(uint32_t cluster, size_t from) {
    for (size_t i = from; i < 16; ++i) File(cluster, i, "FILL" + std::to_string(i), 0);
  }
  std::vector<std::string> Run(const std::string& path = "C:") {
    drives_.MapBytes('C', volume_.bytes());
    settings_.strSearchDir = path;
    RunSearch(drives_, ui_->reports.boxes, settings_, ui_->report, abort_);
    EXPECT_THAT(ui_->reports.log.LinesStartingWith("box: "), IsEmpty());
    return ui_->list.Column0();
  }

  CraftedVolume volume_;
  testing::MemoryDriveSource drives_;
  SearchSettings settings_;
  std::unique_ptr<testing::RecordingSearch> ui_ = std::make_unique<testing::RecordingSearch>();
  std::atomic<int32_t> abort_{0};
};

TEST_F(SearchOnCraftedVolume, ScanListsDeletedFilesByAttributeSizeAndFirstClusterUntilABlankName) {
  settings_.bSearchSkipUnrecoverable = 1;  // the first cluster must be free and in the volume
  volume_.SetFat(31, kEnd);
  const struct { const char* name; uint8_t attr; uint32_t size, cluster; } entries[] = {
      {"\xE5PLAIN", 0x20, 100, 300}, {"\xE5" "ALLBITS", 0x27, 100, 300}, {"\xE5NOBITS", 0, 100, 300},
      {"\xE5LABEL", 0x08, 100, 300}, {"\xE5LABEL2", 0x28, 100, 300},     {"\xE5LONG", 0x0F, 100, 300},
      {"\xE5" "EMPTY", 0x20, 0, 300}, {"\xE5HUGE", 0x20, 0xFFFFFFFFu, 300}, {"LIVE", 0x20, 100, 300},
      {"\xE5TAKEN", 0x20, 100, 31},  {"\xE5" "BEYOND", 0x20, 100, 5000}, {"\xE5ZERO", 0x20, 100, 0},
      {"\xE5LAST", 0x20, 7, 300}};
  for (size_t i = 0; i < std::size(entries); ++i)
    File(kRoot, i, entries[i].name, entries[i].size, entries[i].cluster, entries[i].attr);
  File(kRoot, 13, " X");  // a blank first byte ends the directory
  File(kRoot, 14, E5 + "HIDDEN");
  volume_.Chain({kRoot, 3});
  File(3, 0, E5 + "NEXT");
  EXPECT_THAT(Run(), ElementsAre("C:\\" + E5 + "LAST   .TXT", "C:\\" + E5 + "HUGE   .TXT",
                                 "C:\\" + E5 + "NOBITS .TXT", "C:\\" + E5 + "ALLBITS.TXT",
                                 "C:\\" + E5 + "PLAIN  .TXT"));
  EXPECT_EQ(ui_->list.rows().front().second, "7");
  EXPECT_EQ(ui_->list.rows().at(1).second, "4294967295");  // sizes are unsigned: 4 GiB less one byte
}

TEST_F(SearchOnCraftedVolume, LoopingEscapingAndUnreadableChainsAndAncestorsEndOnlyTheirCall) {
  volume_.Cycle({kRoot, 3});  // the root's chain comes back to its first cluster
  File(kRoot, 0, E5 + "ROOT1");
  Fill(kRoot, 1);
  File(3, 0, E5 + "ROOT2");
  Dir(3, 1, "AWAY", 10);
  volume_.SetFat(10, 5000);  // beyond the last cluster
  File(10, 0, E5 + "AWAY");
  Dir(3, 2, "NOWHERE", 0);
  Dir(3, 3, "FAR", 60000);
  Dir(3, 4, "SELF", 11);
  volume_.Cycle({11});
  File(11, 0, E5 + "SELF");
  for (uint32_t back : {kRoot, 11u})  // entries pointing back at an ancestor
    volume_.SetEntry(11, back == 11 ? 2 : 1, CraftedEntry{ShortName("BACK"), 0x10, back, 0});
  Fill(11, 3);
  Dir(3, 5, "BAD", 12);
  File(12, 0, E5 + "UNREAD");
  drives_.FailSectors('C', volume_.FirstDataSector() + 10, 1, EIO);  // cluster 12
  Fill(3, 6);
  EXPECT_THAT(Run(), ElementsAre("C:\\SELF    \\" + E5 + "SELF   .TXT", "C:\\AWAY    \\" + E5 + "AWAY   .TXT",
                                 "C:\\" + E5 + "ROOT2  .TXT", "C:\\" + E5 + "ROOT1  .TXT"));
}

TEST_F(SearchOnCraftedVolume, LadderOfTwinSubdirectoryEntriesEndsAtOnceListingEveryLevel) {
  // 27 directories, each with two subdirectory entries naming the next one
  // and a deleted file: 2^27 paths, yet each directory is read a few times.
  constexpr uint32_t kLevels = 27;
  for (uint32_t level = 0, dir = kRoot; level < kLevels; dir = 10 + level++) {
    Dir(dir, 0, "A", 10 + level);
    Dir(dir, 1, "B", 10 + level);
    File(dir, 2, E5 + "L" + std::to_string(level));
  }
  const auto started = std::chrono::steady_clock::now();
  const std::vector<std::string> rows = Run();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
  std::map<std::string, size_t> per_level;
  for (const std::string& row : rows) ++per_level[row.substr(row.rfind('\\') + 1)];
  ASSERT_EQ(per_level.size(), kLevels);  // no level is lost
  for (const auto& [file, count] : per_level) EXPECT_LE(count, kReadsPerClusterAndSearch) << file;
}

TEST_F(SearchOnCraftedVolume, PathsOfAnyLengthAreEnteredButNotPast100Components) {
  // 40 levels of eight-letter names: rows of up to 383 bytes, all listed.
  std::string path = "C:";
  std::vector<std::string> expected;
  for (uint32_t level = 0, parent = kRoot; level < 40; parent = 10 + level++, path += "\\DIRECTRY") {
    File(parent, 1, E5 + "FILE");
    Dir(parent, 0, "DIRECTRY", 10 + level);
    expected.push_back(path + "\\" + E5 + "FILE   .TXT");
  }
  File(49, 0, E5 + "FILE");
  expected.push_back(path + "\\" + E5 + "FILE   .TXT");
  EXPECT_GT(expected.back().size(), 370u);
  EXPECT_THAT(Run(), ElementsAreArray(expected));

  volume_ = CraftedVolume();
  path = "C:";
  for (uint32_t level = 0, parent = kRoot; level < 101; parent = 10 + level++, path += "\\A") {
    Dir(parent, 0, "A", 10 + level);
    File(parent, 1, E5 + "AT" + std::to_string(level));
  }
  File(110, 0, E5 + "AT101");
  const std::string hundred = path.substr(0, path.size() - 2);  // 100 components
  ui_ = std::make_unique<testing::RecordingSearch>();
  EXPECT_THAT(Run(hundred), ElementsAre(hundred + "\\" + E5 + "AT100  .TXT"));
  ui_ = std::make_unique<testing::RecordingSearch>();
  EXPECT_THAT(Run(path), IsEmpty());
  EXPECT_THAT(ui_->reports.log.LinesStartingWith("caption: "), ElementsAre("caption: " + path, kEndOfRun[0]));
}

TEST_F(SearchOnCraftedVolume, UnusableBootSectorListsNothingAndEndsAsUsual) {
  std::vector<std::string> expected = {"progress: range 0 1", "progress: pos 1", "caption: C:"};
  expected.insert(expected.end(), kEndOfRun.begin(), kEndOfRun.end());
  for (int damage = 0; damage < 3; ++damage) {  // the last one: boot sector unreadable
    volume_ = CraftedVolume();
    File(kRoot, 0, E5 + "LOST");
    if (damage == 0) volume_.SetSectorsPerCluster(0);
    if (damage == 1) volume_.SetRootCluster(100000);
    if (damage == 2) drives_.FailSectors('C', 0, 1, EIO);
    ui_ = std::make_unique<testing::RecordingSearch>();
    EXPECT_THAT(Run(), IsEmpty()) << damage;
    EXPECT_THAT(ui_->reports.log.Lines(), ElementsAreArray(expected)) << damage;
  }
}

TEST_F(SearchOnCraftedVolume, AbortStopsEveryCallAtItsNextReadingOfTheFlag) {
  Dir(kRoot, 0, "D1", 10);
  File(10, 0, E5 + "IN1");
  Dir(kRoot, 1, "D2", 11);
  File(11, 0, E5 + "IN2");
  File(kRoot, 2, E5 + "ROOT");  // in the cluster in hand: still listed
  ui_->caption.on_text = [this](const std::string& text) {
    if (text == "C:\\D1      ") abort_ = 1;
  };
  EXPECT_THAT(Run(), ElementsAre("C:\\" + E5 + "ROOT   .TXT"));
  std::vector<std::string> expected = {
      "progress: range 0 1", "progress: pos 1", "caption: C:", "progress: range 0 0",
      "caption: C:\\D1      ", "progress: range 0 0", "status: ",  // D2 returns at once
      "row: C:\\" + E5 + "ROOT   .TXT | 100"};
  expected.insert(expected.end(), kEndOfRun.begin(), kEndOfRun.end());
  EXPECT_THAT(ui_->reports.log.Lines(), ElementsAreArray(expected));
}

TEST_F(SearchOnCraftedVolume, FiltersApplyInOrderEachChangingItsBufferOnlyWhenReached) {
  File(kRoot, 0, E5 + "EPORT");
  settings_.bSearchNameFilter = settings_.bSearchExtFilter = settings_.bSearchDeletedDirFilter = 1;
  struct Case { const char *name, *ext, *dir, *name_after, *ext_after, *dir_after; } cases[] = {
      {"report", "txtx", "nope", "REPORT", "TXT", "NOPE"},
      {"other", "txtx", "c:", "OTHER", "txtx", "c:"},  // the name filter fails first
      {"report", "doc", "c:", "REPORT", "DOC", "c:"},  // then the extension filter
  };
  for (const Case& c : cases) {
    SetFilterText(settings_.szSearchNameFilter, c.name);
    SetFilterText(settings_.szSearchExtFilter, c.ext);
    SetFilterText(settings_.szSearchDeletedDirFilter, c.dir);
    EXPECT_THAT(Run(), IsEmpty());
    EXPECT_EQ(FilterText(settings_.szSearchNameFilter), c.name_after);
    EXPECT_EQ(FilterText(settings_.szSearchExtFilter), c.ext_after);
    EXPECT_EQ(FilterText(settings_.szSearchDeletedDirFilter), c.dir_after);
  }
}

}  // namespace
}  // namespace quorvane
