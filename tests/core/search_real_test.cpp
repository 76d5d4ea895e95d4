// The search on a real volume made with mkfs.fat and mtools: the rows and
// reports it gives, and that every row leads the engine back to its file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "recovery/search_context.h"
#include "recovery/undelete_engine.h"
#include "support/mtools_volume.h"
#include "support/recording_search.h"
#include "support/row_volumes.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "volume/host/drive_table.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using testing::PatternBytes;
using testing::RecordingSearch;

const std::string E5 = "\xE5";

struct Family {
  const char* name;
  int fatBits;
  uint32_t mib;
};

class SearchOnEveryFatFamily : public ::testing::TestWithParam<Family> {};

INSTANTIATE_TEST_SUITE_P(, SearchOnEveryFatFamily,
                         ::testing::Values(Family{"FAT12", 12, 2}, Family{"FAT16", 16, 16},
                                           Family{"FAT32", 32, 33}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(SearchOnEveryFatFamily, ListsAndReportsAsThePageShowsAndEveryRowRecoversItsFile) {
  // Clusters of 512 bytes (16 entries); all is made before anything is deleted,
  // since mtools reuses deleted entries. BIG spans three clusters; GONE, XDIR and
  // YDIR are deleted trees, XDIR and YDIR twins by stored name, as are AB and CB.
  // FAT12 and FAT16 keep the root directory in a fixed region, FAT32 in a
  // cluster chain: the rows and the bytes are the same.
  testing::TempDir dir;
  testing::MtoolsVolume v(dir.File("vol.img"), GetParam().mib, GetParam().fatBits);
  testing::FillSearchVolume(v);
  testing::UnchangedGuard unchanged(v.path());

  DriveTable drives;
  drives.Map('C', v.path());
  SearchSettings settings;
  std::unique_ptr<RecordingSearch> ui;
  std::atomic<int32_t> abort{0};
  auto search = [&](const std::string& path) {
    ui = std::make_unique<RecordingSearch>();
    settings.strSearchDir = path;
    RunSearch(drives, ui->reports.boxes, settings, ui->report, abort);
    return ui->list.Column0();
  };
  EXPECT_THAT(search("C:\\DOCS\\OLD"), ElementsAre("C:\\DOCS\\OLD\\" + E5 + "OTES   .TXT"));
  EXPECT_THAT(ui->reports.log.Lines(),
              ElementsAre("progress: range 0 1", "progress: pos 1", "caption: C:\\DOCS\\OLD",
                          "row: C:\\DOCS\\OLD\\" + E5 + "OTES   .TXT | 1500",
                          "caption: List of undeletable files ...", "progress: range 0 0", "status: "));
  settings.bSearchRecurse = 1;  // deleted directories are entered only when asked
  EXPECT_EQ(search("c:").size(), 9u);
  EXPECT_EQ(ui->reports.log.LinesStartingWith("caption: ").size(), 6u + 1u);  // one per live directory

  settings.bSearchDeletedDirs = 1;
  const std::string docs = "C:\\DOCS    \\", big = docs + "BIG     \\" + E5;
  // Long-name entries, live and empty files give no row; twins (same
  // stored name) are both listed, the later one with its first cluster,
  // which leads the walk along their path to its own entry.
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
      {"C:\\TWINS   \\" + E5 + "B      .BIN", PatternBytes(900, 9)},
      {"C:\\TWIND   \\" + E5 + "DIR    \\" + E5 + "NE     .TXT", PatternBytes(800, 10)},
  };
  std::vector<std::string> expected_rows;
  for (const auto& [row, bytes] : expected) expected_rows.push_back(row);
  ASSERT_THAT(search("C:"), ::testing::UnorderedElementsAreArray(expected_rows));

  const testing::RecordingList& listed = ui->list;
  for (size_t i = 0; i < listed.found.size(); ++i) {
    const auto& [row, size] = listed.found[i];
    const auto wanted = std::find_if(expected.begin(), expected.end(), [&](const auto& e) {
      return e.first == row && std::to_string(e.second.size()) == size;
    });
    ASSERT_NE(wanted, expected.end()) << row << " " << size;
    testing::TempDir out;
    testing::ScopedCurrentDir cwd(out.path());
    RecordingSearch engine_ui;
    CUndeleteEngine engine(drives, engine_ui.reports.boxes);
    if (const auto cluster = listed.firstClusters[i]) {
      UndeleteOptions options;
      options.expectedEntry = ExpectedEntry{wanted->second.size(), *cluster};
      engine.SetOptions(options);
    }
    EXPECT_EQ(engine.UndeleteByPath(row, engine_ui.reports.status, engine_ui.reports.progress, abort), 0)
        << engine_ui.reports.log.Dump();
    EXPECT_EQ(testing::ReadFileBytes(out.File("X" + row.substr(row.rfind('\\') + 2))), wanted->second)
        << row;
  }
  // The first of the twins is found by its path alone; only the other names its entry.
  EXPECT_EQ(std::count_if(listed.firstClusters.begin(), listed.firstClusters.end(),
                          [](const auto& cluster) { return cluster.has_value(); }),
            1);
}

TEST(SearchOnRealVolume, DeletedDirectoriesWhoseClustersLiveDirectoriesReuseAreNotEntered) {
  // Five TMP directories, made and deleted in turn in P1 to P5, share the
  // first cluster that LIVE holds now; OLD\SUB's went to LIVE\DEEP. Those
  // clusters begin with LIVE's and DEEP's own "." and "..", which name
  // other parents: the deleted directories are gone, and only the live
  // ones list their deleted files.
  testing::TempDir dir;
  testing::MtoolsVolume v(dir.File("reuse.img"));
  constexpr uint32_t kReused = 3000;
  for (const char* parent : {"/P1", "/P2", "/P3", "/P4", "/P5", "/OLD"}) v.MakeDirectory(parent);
  v.AddFile("/OLD/KEEP.TXT", PatternBytes(50, 1));
  for (const std::string parent : {"/P1", "/P2", "/P3", "/P4", "/P5"}) {
    v.SetNextFreeCluster(kReused).MakeDirectory(parent + "/TMP");
    v.AddFile(parent + "/TMP/F.TXT", PatternBytes(300, 7)).DeleteTree(parent + "/TMP");
  }
  v.SetNextFreeCluster(kReused + 1).MakeDirectory("/OLD/SUB").DeleteTree("/OLD/SUB");
  v.SetNextFreeCluster(kReused).MakeDirectory("/LIVE").MakeDirectory("/LIVE/DEEP");
  v.AddFile("/LIVE/F.TXT", PatternBytes(300, 7)).AddFile("/LIVE/DEEP/G.TXT", PatternBytes(900, 8));
  v.Delete("/LIVE/F.TXT").Delete("/LIVE/DEEP/G.TXT");
  testing::UnchangedGuard unchanged(v.path());

  DriveTable drives;
  drives.Map('C', v.path());
  SearchSettings settings;
  settings.strSearchDir = "C:";
  settings.bSearchRecurse = settings.bSearchDeletedDirs = 1;
  RecordingSearch ui;
  std::atomic<int32_t> abort{0};
  RunSearch(drives, ui.reports.boxes, settings, ui.report, abort);

  const std::string file = E5 + "       .TXT", deep = "DEEP    \\" + file;
  const std::vector<std::string> expected = {"C:\\LIVE    \\" + file, "C:\\LIVE    \\" + deep};
  ASSERT_THAT(ui.list.Column0(), ::testing::UnorderedElementsAreArray(expected)) << ui.reports.log.Dump();
}

// Directories whose 8.3 names have extensions, typed as a person types
// them: the search takes them as its directory, and a recovery walks
// through them; a path that ends at a directory names no file.
TEST(SearchOnRealVolume, DirectoriesWithExtensionsAreSearchedAndWalkedAndNoDirectoryIsAFile) {
  testing::TempDir dir;
  testing::MtoolsVolume v(dir.File("ext.img"), 16, 16);
  testing::AddWalkCases(v, /*reused_cluster=*/false);
  testing::UnchangedGuard unchanged(v.path());
  auto cli = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"--drive", "C:=" + v.path()});
    testing::CommandOptions options;
    options.stdout_only = args[2] == "search";
    return testing::RunCli(args, options);
  };
  const struct { const char* directory; std::string row; size_t size; } searched[] = {
      {"C:\\CASES\\ARCHIVE.OLD", "C:\\CASES\\ARCHIVE.OLD\\" + E5 + "EPORT  .TXT", 1300},
      {"C:\\CASES\\V1.01", "C:\\CASES\\V1.01\\" + E5 + "ETUP   .EXE", 2100},
      {"C:\\CASES\\ARCHIVE .OLD", "C:\\CASES\\ARCHIVE .OLD\\" + E5 + "EPORT  .TXT", 1300},
  };
  for (const auto& s : searched) {
    const auto run = cli({"search", s.directory});
    EXPECT_EQ(run.status, 0) << s.directory << run.output;
    EXPECT_EQ(run.output, s.row + "\t" + std::to_string(s.size) + "\n") << s.directory;
  }
  // The deleted tree 2019.Q4 is entered with --deleted-dirs, by its stored name.
  const auto deleted = cli({"search", "--recurse", "--deleted-dirs", "C:\\CASES\\" + E5 + "019.Q4"});
  EXPECT_THAT(deleted.output, ::testing::HasSubstr(E5 + "019.Q4\\" + E5 + "ALES   .CSV\t900\n"));

  const struct { const char* path; const char* written; std::vector<uint8_t> bytes; } typed[] = {
      {"C:\\CASES\\ARCHIVE.OLD\\REPORT.TXT", "REPORT.TXT", PatternBytes(1300, 21)},
      {"C:\\CASES\\V1.01\\SETUP.EXE", "SETUP.EXE", PatternBytes(2100, 23)},
      {"C:\\CASES\\README", "README", PatternBytes(333, 26)},  // no extension
  };
  for (const auto& t : typed) {
    testing::TempDir out;
    const auto run = cli({"undelete", "-o", out.str(), t.path});
    EXPECT_EQ(run.status, 0) << t.path << run.output;
    EXPECT_EQ(testing::ReadFileBytes(out.File(t.written)), t.bytes) << t.path;
  }
  for (const char* directory : {"C:\\CASES\\ARCHIVE.OLD", "C:\\CASES\\V1.01", "C:\\CASES\\DEEP"}) {
    testing::TempDir out;
    const auto run = cli({"undelete", "-o", out.str(), directory});
    EXPECT_EQ(run.status, 1) << directory;
    EXPECT_THAT(run.output, ::testing::HasSubstr("File not found !")) << directory;
    EXPECT_TRUE(std::filesystem::is_empty(out.path())) << directory;
  }
}

}  // namespace
}  // namespace quorvane
