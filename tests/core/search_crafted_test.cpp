// The search on volumes written byte by byte: the scan's rules, looping and
// out-of-volume chains, entries that point back at their ancestors, the depth
// limits, unusable boot sectors, failed reads, abort, and the walk by stored
// names.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "recovery/search_worker.h"
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
using testing::MemoryDriveSource;
using testing::RecordingSearchControls;
using testing::ShortName;

constexpr uint32_t kRoot = 2;
constexpr uint32_t kEnd = 0x0FFFFFFF;
const std::string E5 = "\xE5";

class SearchOnCraftedVolume : public ::testing::Test {
 protected:
  SearchOnCraftedVolume() {
    settings_.bSearchRecurse = 1;
    settings_.bSearchDeletedDirs = 1;
  }
  // A directory entry for a live or deleted directory whose cluster ends its chain
  // (a deleted one's chain stays free, as deletion leaves it).
  void Dir(uint32_t in, size_t index, const std::string& name, uint32_t cluster,
           const std::string& ext = "") {
    volume_.SetEntry(in, index, CraftedEntry{ShortName(name, ext), 0x10, cluster, 0});
    if (name[0] != E5[0] && cluster >= 2 && cluster <= volume_.LastCluster())
      volume_.SetFat(cluster, kEnd);
  }
  void File(uint32_t in, size_t index, const std::string& name, uint32_t size = 100,
            uint32_t cluster = 300, uint8_t attr = 0x20) {
    volume_.SetEntry(in, index, CraftedEntry{ShortName(name, "TXT"), attr, cluster, size});
  }
  // Empty files, never listed, in entries `from` to the cluster's last, so that
  // no end mark stops the scan there.
  void Fill(uint32_t cluster, size_t from) {
    for (size_t i = from; i < 16; ++i) File(cluster, i, "FILL" + std::to_string(i), 0);
  }
  // A fresh set of controls for the next run.
  void NewRun() { ui_ = std::make_unique<RecordingSearchControls>(); }
  std::vector<std::string> Run(const std::string& path = "C:") {
    drives_.MapBytes('C', volume_.bytes());
    settings_.strSearchDir = path;
    EXPECT_EQ(SearchWorker(drives_, ui_->reports.boxes, settings_, ui_->controls, abort_), 0);
    return ui_->list.Column0();
  }
  std::vector<std::string> Captions() const { return ui_->reports.log.LinesStartingWith("caption: "); }
  // What every run ends with.
  static std::vector<std::string> EndOfRun() {
    return {"caption: List of undeletable files ...", "progress: range 0 0", "status: ",
            "button: undelete on", "button: show files on", "button: abort off"};
  }

  CraftedVolume volume_;
  MemoryDriveSource drives_;
  SearchSettings settings_;
  std::unique_ptr<RecordingSearchControls> ui_ = std::make_unique<RecordingSearchControls>();
  std::atomic<int32_t> abort_{0};
};

TEST_F(SearchOnCraftedVolume, ScanListsDeletedFilesByAttributeAndSizeUntilABlankName) {
  File(kRoot, 0, E5 + "PLAIN");
  File(kRoot, 1, E5 + "ALLBITS", 100, 300, 0x27);  // read-only, hidden, system, archive
  File(kRoot, 2, E5 + "NOBITS", 100, 300, 0x00);
  File(kRoot, 3, E5 + "LABEL", 100, 300, 0x08);
  File(kRoot, 4, E5 + "LABEL2", 100, 300, 0x28);
  File(kRoot, 5, E5 + "LONG", 100, 300, 0x0F);
  File(kRoot, 6, E5 + "EMPTY", 0);
  File(kRoot, 7, E5 + "HUGE", 0x80000000u);
  File(kRoot, 8, "LIVE");
  volume_.SetEntry(kRoot, 9, CraftedEntry{ShortName(E5 + "SIZED"), 0x10, 20, 4});
  File(kRoot, 10, E5 + "LAST", 7);
  volume_.SetEntryBytes(kRoot, 11, std::vector<uint8_t>{' ', 'X'});  // ends the directory
  File(kRoot, 12, E5 + "HIDDEN");
  volume_.Chain({kRoot, 3});
  File(3, 0, E5 + "NEXT");
  EXPECT_THAT(Run(), ElementsAre("C:\\" + E5 + "LAST   .TXT", "C:\\" + E5 + "NOBITS .TXT",
                                 "C:\\" + E5 + "ALLBITS.TXT", "C:\\" + E5 + "PLAIN  .TXT"));
  EXPECT_EQ(ui_->list.rows().front().second, "7");
  EXPECT_THAT(Captions(), ElementsAre("caption: C:", "caption: List of undeletable files ..."));
}

TEST_F(SearchOnCraftedVolume, LoopingOrEscapingChainsEndTheirCallAndEachEntryIsSeenOnce) {
  volume_.Cycle({kRoot, 3});  // the root directory's chain comes back to its first cluster
  File(kRoot, 0, E5 + "ROOT1");
  Fill(kRoot, 1);
  File(3, 0, E5 + "ROOT2");
  Dir(3, 1, "AWAY", 10);
  volume_.SetFat(10, 5000);  // beyond the last cluster
  File(10, 0, E5 + "AWAY");
  Dir(3, 2, "NOWHERE", 0);   // first cluster outside the volume
  Dir(3, 3, "FAR", 60000);
  Dir(3, 4, "SELF", 11);
  volume_.Cycle({11});
  File(11, 0, E5 + "SELF");
  Fill(11, 1);
  Fill(3, 5);
  EXPECT_THAT(Run(), ElementsAre("C:\\SELF    \\" + E5 + "SELF   .TXT",
                                 "C:\\AWAY    \\" + E5 + "AWAY   .TXT",
                                 "C:\\" + E5 + "ROOT2  .TXT", "C:\\" + E5 + "ROOT1  .TXT"));
}

TEST_F(SearchOnCraftedVolume, EntriesPointingBackAtAnAncestorAreNotFollowed) {
  // Two loops per directory would otherwise double the work at every level.
  Dir(kRoot, 0, "SUB", 10);
  File(kRoot, 1, E5 + "TOP");
  Dir(10, 0, "BACK", kRoot);
  Dir(10, 1, "BACK2", kRoot);
  Dir(10, 2, "ITSELF", 10);
  File(10, 3, E5 + "INNER");
  EXPECT_THAT(Run(), ElementsAre("C:\\" + E5 + "TOP    .TXT", "C:\\SUB     \\" + E5 + "INNER  .TXT"));
  EXPECT_THAT(Captions(), ElementsAre("caption: C:", "caption: C:\\SUB     ",
                                      "caption: C:\\SUB     \\BACK    ",
                                      "caption: C:\\SUB     \\BACK2   ",
                                      "caption: C:\\SUB     \\ITSELF  ",
                                      "caption: List of undeletable files ..."));
}

TEST_F(SearchOnCraftedVolume, DirectoriesDeeperThanARecoveryCanNameAreNotEntered) {
  // 29 levels of eight-letter names: C: and 28 of them make 254 characters.
  std::string path = "C:";
  std::vector<std::string> expected;
  uint32_t parent = kRoot;
  for (uint32_t level = 0; level < 30; ++level) {
    File(parent, 1, E5 + "FILE");
    expected.push_back(path + "\\" + E5 + "FILE   .TXT");
    Dir(parent, 0, "DIRECTRY", 10 + level);
    path += "\\DIRECTRY";
    parent = 10 + level;
  }
  expected.pop_back();  // the 30th level: 263 characters
  EXPECT_THAT(Run(), ElementsAreArray(expected));
  EXPECT_EQ(Captions().size(), 29u + 1u);
}

TEST_F(SearchOnCraftedVolume, AtMostAHundredComponentsAreWalked) {
  std::string path = "C:";
  uint32_t parent = kRoot;
  for (uint32_t level = 0; level < 101; ++level) {
    Dir(parent, 0, "A", 10 + level);
    File(parent, 1, E5 + "AT" + std::to_string(level));
    path += "\\A";
    parent = 10 + level;
  }
  File(parent, 0, E5 + "AT101");
  // 100 components: its file is listed, the 101st directory is not entered.
  const std::string hundred = path.substr(0, path.size() - 2);
  EXPECT_THAT(Run(hundred), ElementsAre(hundred + "\\" + E5 + "AT100  .TXT"));
  NewRun();
  EXPECT_THAT(Run(path), IsEmpty());
  EXPECT_THAT(Captions(), ElementsAre("caption: " + path, "caption: List of undeletable files ..."));
}

TEST_F(SearchOnCraftedVolume, UnusableBootSectorListsNothingAndEndsTheRunQuietly) {
  File(kRoot, 0, E5 + "LOST");
  auto expected = std::vector<std::string>{"progress: range 0 1", "progress: pos 1", "caption: C:"};
  for (const auto& line : EndOfRun()) expected.push_back(line);

  drives_.FailSectors('C', 0, 1, EIO);
  EXPECT_THAT(Run(), IsEmpty());
  EXPECT_THAT(ui_->reports.log.Lines(), ElementsAreArray(expected));

  for (auto damage : {+[](CraftedVolume& v) { v.SetSectorsPerCluster(0); },
                      +[](CraftedVolume& v) { v.SetRootCluster(100000); }}) {
    CraftedVolume volume;
    volume.SetEntry(kRoot, 0, CraftedEntry{ShortName(E5 + "LOST", "TXT"), 0x20, 300, 100});
    damage(volume);
    MemoryDriveSource drives;
    drives.MapBytes('C', volume.bytes());
    RecordingSearchControls ui;
    settings_.strSearchDir = "C:";
    SearchWorker(drives, ui.reports.boxes, settings_, ui.controls, abort_);
    EXPECT_THAT(ui.list.rows(), IsEmpty());
    EXPECT_THAT(ui.reports.log.Lines(), ElementsAreArray(expected));
  }
  EXPECT_THAT(ui_->reports.boxes.boxes(), IsEmpty());
}

TEST_F(SearchOnCraftedVolume, OnlyAVolumeThatCannotBeOpenedShowsABox) {
  drives_.FailOpen('C');
  EXPECT_THAT(Run(), IsEmpty());
  ASSERT_EQ(ui_->reports.boxes.boxes().size(), 1u);
  EXPECT_EQ(ui_->reports.boxes.boxes()[0].text, "CreateFile () Failed !");
  // No drive token: nothing happens before the run's end.
  NewRun();
  EXPECT_THAT(Run("DOCS"), IsEmpty());
  EXPECT_THAT(ui_->reports.log.Lines(), ElementsAreArray(EndOfRun()));
}

TEST_F(SearchOnCraftedVolume, UnreadableDirectoryEndsOnlyItsOwnCall) {
  Dir(kRoot, 0, "BAD", 10);
  File(10, 0, E5 + "GONE");
  Dir(kRoot, 1, "GOOD", 11);
  File(11, 0, E5 + "FOUND");
  drives_.FailSectors('C', volume_.FirstDataSector() + 8, 1, EIO);  // cluster 10
  EXPECT_THAT(Run(), ElementsAre("C:\\GOOD    \\" + E5 + "FOUND  .TXT"));
  EXPECT_THAT(ui_->reports.boxes.boxes(), IsEmpty());
}

TEST_F(SearchOnCraftedVolume, DeletedDirectoriesAndAllBelowAreReadInTheirFirstClusterOnly) {
  // The deleted directory's chain left in place, as if it had not been freed.
  Dir(kRoot, 0, E5 + "OLD", 10);
  volume_.Chain({10, 11});
  File(10, 0, E5 + "FIRST");
  Dir(10, 1, "LIVE", 20);
  volume_.Chain({20, 21});
  File(20, 0, E5 + "LIVE1");
  Fill(20, 1);
  File(21, 0, E5 + "LIVE2");  // a live directory's chain, below a deleted one
  File(10, 2, "KEPT");        // live, but its row holds the deleted mark
  Fill(10, 3);
  File(11, 0, E5 + "SECOND");
  const std::string old = "C:\\" + E5 + "OLD    ";
  EXPECT_THAT(Run(), ElementsAre(old + "\\KEPT    .TXT", old + "\\LIVE    \\" + E5 + "LIVE1  .TXT",
                                 old + "\\" + E5 + "FIRST  .TXT"));
  settings_.bSearchDeletedDirs = 0;
  NewRun();
  EXPECT_THAT(Run(), IsEmpty());
}

TEST_F(SearchOnCraftedVolume, SubdirectoriesAreWalkedToByTheirStoredNames) {
  // Twins: the walk always finds the first, whose files are listed twice.
  Dir(kRoot, 0, E5 + "WIN", 10);
  File(10, 0, E5 + "ONE");
  Dir(kRoot, 1, E5 + "WIN", 11);
  File(11, 0, E5 + "TWO");
  // An extension is not part of the path: the walk finds the later OLD.
  Dir(kRoot, 2, "OLD", 12, "DIR");
  File(12, 0, E5 + "DIREXT");
  // Stored in lower case: the walk looks for LOW and finds the later entry.
  volume_.SetEntry(kRoot, 3, CraftedEntry{ShortName("low"), 0x10, 13, 0});
  volume_.SetFat(13, kEnd);
  File(13, 0, E5 + "LOWER");
  Dir(kRoot, 4, "OLD", 14);
  File(14, 0, E5 + "PLAIN");
  Dir(kRoot, 5, "LOW", 15);
  File(15, 0, E5 + "UPPER");
  const std::string twin = "C:\\" + E5 + "WIN    \\" + E5 + "ONE    .TXT";
  EXPECT_THAT(Run(), ElementsAre("C:\\LOW     \\" + E5 + "UPPER  .TXT",
                                 "C:\\OLD     \\" + E5 + "PLAIN  .TXT",
                                 "C:\\low     \\" + E5 + "UPPER  .TXT",
                                 "C:\\OLD     \\" + E5 + "PLAIN  .TXT", twin, twin));
}

TEST_F(SearchOnCraftedVolume, SkippingUnrecoverableFilesNeedsAFreeFirstClusterInTheVolume) {
  settings_.bSearchSkipUnrecoverable = 1;
  File(kRoot, 0, E5 + "FREE", 100, 30);
  File(kRoot, 1, E5 + "TAKEN", 100, 31);
  volume_.SetFat(31, kEnd);
  File(kRoot, 2, E5 + "BEYOND", 100, 5000);  // its FAT entry lies past the volume's end
  File(kRoot, 3, E5 + "ZERO", 100, 0);
  EXPECT_THAT(Run(), ElementsAre("C:\\" + E5 + "FREE   .TXT"));
}

TEST_F(SearchOnCraftedVolume, AbortStopsEveryCallAtItsNextReadingOfTheFlag) {
  Dir(kRoot, 0, "D1", 10);
  File(10, 0, E5 + "IN1");
  Dir(kRoot, 1, "D2", 11);
  File(11, 0, E5 + "IN2");
  File(kRoot, 2, E5 + "ROOT");  // in the cluster in hand: still listed
  ui_->caption.set_on_text([this](const std::string& text) {
    if (text == "C:\\D1      ") abort_ = 1;
  });
  EXPECT_THAT(Run(), ElementsAre("C:\\" + E5 + "ROOT   .TXT"));
  std::vector<std::string> expected = {
      "progress: range 0 1", "progress: pos 1",   "caption: C:",
      "progress: range 0 0", "caption: C:\\D1      ",
      "progress: range 0 0", "status: ",  // D2 returns at once
      "row: C:\\" + E5 + "ROOT   .TXT | 100"};
  for (const auto& line : EndOfRun()) expected.push_back(line);
  EXPECT_THAT(ui_->reports.log.Lines(), ElementsAreArray(expected));
}

TEST_F(SearchOnCraftedVolume, FilterBuffersAreChangedInPlaceOnlyWhenApplied) {
  File(kRoot, 0, E5 + "EPORT");
  settings_.bSearchNameFilter = settings_.bSearchExtFilter = settings_.bSearchDeletedDirFilter = 1;
  SetFilterText(settings_.szSearchNameFilter, "report");
  SetFilterText(settings_.szSearchExtFilter, "txtx");
  SetFilterText(settings_.szSearchDeletedDirFilter, "nope");
  EXPECT_THAT(Run(), IsEmpty());
  EXPECT_EQ(FilterText(settings_.szSearchNameFilter), "REPORT");
  EXPECT_EQ(FilterText(settings_.szSearchExtFilter), "TXT");
  EXPECT_EQ(FilterText(settings_.szSearchDeletedDirFilter), "NOPE");

  // The name filter fails first: the later buffers stay as typed.
  SetFilterText(settings_.szSearchNameFilter, "other");
  SetFilterText(settings_.szSearchExtFilter, "txtx");
  SetFilterText(settings_.szSearchDeletedDirFilter, "c:");
  EXPECT_THAT(Run(), IsEmpty());
  EXPECT_EQ(FilterText(settings_.szSearchExtFilter), "txtx");
  EXPECT_EQ(FilterText(settings_.szSearchDeletedDirFilter), "c:");
}

}  // namespace
}  // namespace quorvane
