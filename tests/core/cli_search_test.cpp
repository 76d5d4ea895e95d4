// quorvane-cli search, run as a user runs it: rows on standard output in the
// list's order, each passing unchanged to quorvane-cli undelete.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "recovery/search_worker.h"
#include "support/crafted_volume.h"
#include "support/mtools_volume.h"
#include "support/recording_search.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "volume/drive_table.h"

namespace quorvane {
namespace {

using ::testing::HasSubstr;
using testing::CraftedEntry;
using testing::PatternBytes;
using testing::RunCli;
using testing::ShortName;
using testing::UnchangedGuard;

const std::string E5 = "\xE5";

testing::CommandResult Search(const std::string& image, std::vector<std::string> options) {
  options.insert(options.begin(), {"--drive", "C:=" + image, "search"});
  return RunCli(options);
}

TEST(CliSearch, PrintsTheInProcessRowsAndEachRowUndeletes) {
  testing::TempDir dir;
  testing::MtoolsVolume volume(dir.File("card.img"));
  volume.MakeDirectory("/DOCS").MakeDirectory("/DOCS/OLD").MakeDirectory("/GONE");
  volume.AddFile("/DOCS/REPORT.DOC", PatternBytes(5000, 1)).AddFile("/DOCS/NOTES.TXT", PatternBytes(20, 2));
  volume.AddFile("/DOCS/OLD/PLAN.TXT", PatternBytes(1234, 3)).AddFile("/GONE/INNER.BIN", PatternBytes(700, 4));
  volume.AddFile("/DOCS/TAKEN.TXT", PatternBytes(300, 5));
  for (const char* path : {"/DOCS/REPORT.DOC", "/DOCS/NOTES.TXT", "/DOCS/OLD/PLAN.TXT"}) volume.Delete(path);
  volume.DeleteTree("/GONE");
  UnchangedGuard unchanged(volume.path());

  auto run = Search(volume.path(), {"--recurse", "--deleted-dirs", "C:\\"});
  ASSERT_EQ(run.status, 0) << run.output;
  DriveTable drives;
  drives.Map('C', volume.path());
  SearchSettings settings;
  settings.strSearchDir = "C:";
  settings.bSearchRecurse = settings.bSearchDeletedDirs = settings.bSearchSkipUnrecoverable = 1;
  testing::RecordingSearchControls ui;
  std::atomic<int32_t> abort{0};
  SearchWorker(drives, ui.reports.boxes, settings, ui.controls, abort);
  std::string expected;
  for (const auto& [path, size] : ui.list.rows()) expected += path + "\t" + size + "\n";
  EXPECT_EQ(run.output, expected);  // nothing else: standard error is no terminal
  EXPECT_THAT(expected, HasSubstr("C:\\" + E5 + "ONE    \\" + E5 + "NNER   .BIN\t700\n"));

  const std::string row = "C:\\DOCS    \\" + E5 + "EPORT  .DOC";
  ASSERT_THAT(run.output, HasSubstr(row + "\t5000\n"));
  testing::TempDir out;
  auto undelete = RunCli({"--drive", "C:=" + volume.path(), "undelete", "-o", out.str(), row});
  EXPECT_EQ(undelete.status, 0) << undelete.output;
  EXPECT_EQ(testing::ReadFileBytes(out.File("XEPORT  .DOC")), PatternBytes(5000, 1));

  auto filtered = Search(volume.path(), {"--recurse", "--all", "--name", "plan", "--ext=txt", "--deleted-dir", "old", "C:"});
  EXPECT_EQ(filtered.output, "C:\\DOCS    \\OLD     \\" + E5 + "LAN    .TXT\t1234\n");
  EXPECT_EQ(Search(volume.path(), {"E:"}).output, "quorvane-cli: CreateFile () Failed !\n");
}

TEST(CliSearch, OptionsSetTheSearchAsThePageDoesAndBadUsageExits2) {
  // A file whose first cluster was taken again, a live and a deleted subdirectory.
  testing::CraftedVolume crafted;
  crafted.SetEntry(2, 0, CraftedEntry{ShortName(E5 + "FREE", "BIN"), 0x20, 30, 10});
  crafted.SetEntry(2, 1, CraftedEntry{ShortName(E5 + "TAKEN", "BIN"), 0x20, 31, 20}).SetFat(31, 0x0FFFFFFF);
  crafted.SetEntry(2, 2, CraftedEntry{ShortName("SUB"), 0x10, 10, 0}).SetFat(10, 0x0FFFFFFF);
  crafted.SetEntry(10, 0, CraftedEntry{ShortName(E5 + "INSUB", "BIN"), 0x20, 32, 30});
  crafted.SetEntry(2, 3, CraftedEntry{ShortName(E5 + "OLD"), 0x10, 11, 0});
  crafted.SetEntry(11, 0, CraftedEntry{ShortName(E5 + "INOLD", "BIN"), 0x20, 33, 40});
  testing::TempDir dir;
  const std::string image = dir.File("crafted.img");
  crafted.Save(image);
  UnchangedGuard unchanged(image);
  const std::string free_row = "C:\\" + E5 + "FREE   .BIN\t10\n";
  const std::string sub_row = "C:\\SUB     \\" + E5 + "INSUB  .BIN\t30\n";
  const std::string old_row = "C:\\" + E5 + "OLD    \\" + E5 + "INOLD  .BIN\t40\n";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"C:"}, free_row},
      {{"--all", "C:"}, "C:\\" + E5 + "TAKEN  .BIN\t20\n" + free_row},
      {{"--deleted-dirs", "C:"}, free_row},
      {{"--recurse", "C:"}, sub_row + free_row},
      {{"--recurse", "--deleted-dirs", "C:"}, old_row + sub_row + free_row},
  };
  for (const auto& [options, rows] : cases) EXPECT_EQ(Search(image, options).output, rows) << options[0];

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--ext", "html", "C:"}, {"--name", "LONGNAMES", "C:"}, {"--recurse"},
        {"--bogus", "C:"}, {"C:", "D:"}, {"--all=1", "C:"}, {"C:", "--name"}}) {
    auto refused = Search(image, bad);
    EXPECT_EQ(refused.status, 2) << bad.front();
    EXPECT_THAT(refused.output, HasSubstr("quorvane-cli")) << bad.front();
  }
}

}  // namespace
}  // namespace quorvane
