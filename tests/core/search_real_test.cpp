// The search on a real volume made with mkfs.fat and mtools: the rows each
// setting gives, and that every row leads the engine back to its file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "recovery/search_worker.h"
#include "recovery/undelete_engine.h"
#include "support/mtools_volume.h"
#include "support/recording_search.h"
#include "support/temp_dir.h"
#include "volume/drive_table.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using testing::PatternBytes;
using testing::RecordingSearchControls;
using testing::TempDir;

const std::string E5 = "\xE5";

// Clusters of 512 bytes (16 entries); all is made before anything is deleted,
// since mtools reuses deleted entries.
//   /Root long name.txt (deleted)
//   /DOCS: REPORT.DOC, KEEP.TXT (live), "A long name file.txt", EMPTY.DAT (size 0)
//   /DOCS/OLD/NOTES.TXT     /DOCS/BIG: F00.BIN .. F39.BIN, three clusters
//   /GONE (deleted tree): INNER.BIN, SUB/DEEP.TXT
//   /TWINS: AB.BIN, CB.BIN  /TWIND: XDIR/ONE.TXT, YDIR/TWO.TXT (both trees deleted)
class SearchOnRealVolume : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    auto& v = *(volume_ = new testing::MtoolsVolume(dir_->File("vol.img")));
    for (const char* d : {"/DOCS", "/DOCS/OLD", "/DOCS/BIG", "/GONE", "/GONE/SUB", "/TWINS", "/TWIND",
                          "/TWIND/XDIR", "/TWIND/YDIR"})
      v.MakeDirectory(d);
    v.AddFile("/DOCS/EMPTY.DAT", std::string());
    v.AddFile("/DOCS/KEEP.TXT", PatternBytes(300, 3));
    for (const auto& [path, bytes] : Files()) v.AddFile(path, bytes);
    for (int i = 0; i < 40; ++i) v.AddFile(BigName(i), PatternBytes(100 + i, 100 + i));
    v.AddFile("/TWIND/YDIR/TWO.TXT", PatternBytes(400, 11));
    for (const auto& [path, bytes] : Files())
      if (!path.starts_with("/GONE") && !path.starts_with("/TWIND")) v.Delete(path);
    v.Delete("/DOCS/EMPTY.DAT");
    for (int i : {5, 20, 35}) v.Delete(BigName(i));  // one in each cluster of BIG
    for (const char* tree : {"/GONE", "/TWIND/XDIR", "/TWIND/YDIR"}) v.DeleteTree(tree);
  }
  static void TearDownTestSuite() {
    delete volume_;
    delete dir_;
  }
  static std::vector<std::pair<std::string, std::vector<uint8_t>>> Files() {
    return {{"/Root long name.txt", PatternBytes(700, 1)},     {"/DOCS/REPORT.DOC", PatternBytes(5000, 2)},
            {"/DOCS/A long name file.txt", PatternBytes(1024, 4)}, {"/DOCS/OLD/NOTES.TXT", PatternBytes(1500, 5)},
            {"/GONE/INNER.BIN", PatternBytes(2000, 6)},         {"/GONE/SUB/DEEP.TXT", PatternBytes(513, 7)},
            {"/TWINS/AB.BIN", PatternBytes(600, 8)},            {"/TWINS/CB.BIN", PatternBytes(900, 9)},
            {"/TWIND/XDIR/ONE.TXT", PatternBytes(800, 10)}};
  }
  static std::string BigName(int i) { return "/DOCS/BIG/F" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".BIN"; }

  void SetUp() override { drives_.Map('C', volume_->path()); }
  std::vector<std::string> Search(const std::string& path) {
    ui_ = std::make_unique<RecordingSearchControls>();
    settings_.strSearchDir = path;
    SearchWorker(drives_, ui_->reports.boxes, settings_, ui_->controls, abort_);
    return ui_->list.Column0();
  }

  static TempDir* dir_;
  static testing::MtoolsVolume* volume_;
  DriveTable drives_;
  SearchSettings settings_;
  std::unique_ptr<RecordingSearchControls> ui_;
  std::atomic<int32_t> abort_{0};
  testing::UnchangedGuard unchanged_{volume_->path()};
};

TempDir* SearchOnRealVolume::dir_ = nullptr;
testing::MtoolsVolume* SearchOnRealVolume::volume_ = nullptr;

TEST_F(SearchOnRealVolume, OneDirectoryListsItsDeletedFilesLastFoundFirst) {
  // Long-name entries, the live file and the empty file give no row.
  EXPECT_THAT(Search("C:\\DOCS"), ElementsAre("C:\\DOCS\\" + E5 + "LONGN~1.TXT", "C:\\DOCS\\" + E5 + "EPORT  .DOC"));
  EXPECT_EQ(ui_->list.rows()[1].second, "5000");
  EXPECT_THAT(Search("c:"), ElementsAre("c:\\" + E5 + "OOTLO~1.TXT"));
  EXPECT_THAT(Search("C:\\DOCS\\OLD"), ElementsAre("C:\\DOCS\\OLD\\" + E5 + "OTES   .TXT"));
  EXPECT_THAT(ui_->reports.log.Lines(),
              ElementsAre("progress: range 0 1", "progress: pos 1", "caption: C:\\DOCS\\OLD",
                          "row: C:\\DOCS\\OLD\\" + E5 + "OTES   .TXT | 1500",
                          "caption: List of undeletable files ...", "progress: range 0 0", "status: ",
                          "button: undelete on", "button: show files on", "button: abort off"));
}

TEST_F(SearchOnRealVolume, RecursionEntersDeletedDirectoriesOnlyWhenAsked) {
  settings_.bSearchRecurse = 1;
  const std::string docs = "C:\\DOCS", big = docs + "\\BIG     \\" + E5;
  EXPECT_THAT(Search("C:\\DOCS"), ElementsAre(docs + "\\" + E5 + "LONGN~1.TXT", docs + "\\" + E5 + "EPORT  .DOC",
                                              big + "35     .BIN", big + "20     .BIN", big + "05     .BIN",
                                              docs + "\\OLD     \\" + E5 + "OTES   .TXT"));
  // Deleted directories are not entered, though a caption shows for each live one.
  EXPECT_EQ(Search("C:").size(), 6u + 3u);  // and the root file and the two twins
  EXPECT_EQ(ui_->reports.log.LinesStartingWith("caption: ").size(), 6u + 1u);
}

TEST_F(SearchOnRealVolume, EveryRowRecoversTheFileItNames) {
  settings_.bSearchRecurse = settings_.bSearchDeletedDirs = 1;
  const std::string docs = "C:\\DOCS    \\", big = docs + "BIG     \\" + E5;
  // Twins (same stored name) both name the first of them, as the walk finds it.
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> expected = {
      {"C:\\" + E5 + "OOTLO~1.TXT", PatternBytes(700, 1)},
      {docs + E5 + "EPORT  .DOC", PatternBytes(5000, 2)},
      {docs + E5 + "LONGN~1.TXT", PatternBytes(1024, 4)},
      {docs + "OLD     \\" + E5 + "OTES   .TXT", PatternBytes(1500, 5)},
      {big + "05     .BIN", PatternBytes(105, 105)},
      {big + "20     .BIN", PatternBytes(120, 120)},
      {big + "35     .BIN", PatternBytes(135, 135)},
      {"C:\\" + E5 + "ONE    \\" + E5 + "NNER   .BIN", PatternBytes(2000, 6)},
      {"C:\\" + E5 + "ONE    \\" + E5 + "UB     \\" + E5 + "EEP    .TXT", PatternBytes(513, 7)},
      {"C:\\TWINS   \\" + E5 + "B      .BIN", PatternBytes(600, 8)},
      {"C:\\TWINS   \\" + E5 + "B      .BIN", PatternBytes(600, 8)},
      {"C:\\TWIND   \\" + E5 + "DIR    \\" + E5 + "NE     .TXT", PatternBytes(800, 10)},
      {"C:\\TWIND   \\" + E5 + "DIR    \\" + E5 + "NE     .TXT", PatternBytes(800, 10)},
  };
  std::vector<std::string> expected_rows;
  for (const auto& [row, bytes] : expected) expected_rows.push_back(row);
  ASSERT_THAT(Search("C:"), ::testing::UnorderedElementsAreArray(expected_rows));

  for (const auto& [row, bytes] : expected) {
    TempDir out;
    testing::ScopedCurrentDir cwd(out.path());
    RecordingSearchControls ui;
    CUndeleteEngine engine(drives_, ui.reports.boxes);
    EXPECT_EQ(engine.UndeleteByPath(row, ui.reports.status, ui.reports.progress, abort_), 0) << ui.reports.log.Dump();
    EXPECT_EQ(testing::ReadFileBytes(out.File("X" + row.substr(row.rfind('\\') + 2))), bytes) << row;
  }
}

}  // namespace
}  // namespace quorvane
