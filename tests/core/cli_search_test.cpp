// quorvane-cli search, run as a user runs it: rows on standard output in the
// list's order, each passing unchanged to quorvane-cli undelete.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
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
using testing::CraftedVolume;
using testing::ShortName;
using testing::MtoolsVolume;
using testing::PatternBytes;
using testing::ReadFileBytes;
using testing::RecordingSearchControls;
using testing::RunCli;
using testing::TempDir;
using testing::UnchangedGuard;

const std::string E5 = "\xE5";

class CliSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    volume_.MakeDirectory("/DOCS").MakeDirectory("/DOCS/OLD").MakeDirectory("/GONE");
    volume_.AddFile("/DOCS/REPORT.DOC", PatternBytes(5000, 1));
    volume_.AddFile("/DOCS/NOTES.TXT", PatternBytes(20, 2));
    volume_.AddFile("/DOCS/OLD/PLAN.TXT", PatternBytes(1234, 3));
    volume_.AddFile("/GONE/INNER.BIN", PatternBytes(700, 4));
    volume_.AddFile("/DOCS/TAKEN.TXT", PatternBytes(300, 5));
    for (const char* path : {"/DOCS/REPORT.DOC", "/DOCS/NOTES.TXT", "/DOCS/OLD/PLAN.TXT"})
      volume_.Delete(path);
    volume_.DeleteTree("/GONE");
    unchanged_ = std::make_unique<UnchangedGuard>(volume_.path());
  }
  testing::CommandResult Search(std::vector<std::string> options) {
    std::vector<std::string> args = {"--drive", "C:=" + volume_.path(), "search"};
    args.insert(args.end(), options.begin(), options.end());
    return RunCli(args);
  }
  // The rows the search gives in-process, printed as the command prints them.
  std::string Expected(const SearchSettings& settings) {
    DriveTable drives;
    drives.Map('C', volume_.path());
    SearchSettings copy = settings;
    RecordingSearchControls ui;
    std::atomic<int32_t> abort{0};
    SearchWorker(drives, ui.reports.boxes, copy, ui.controls, abort);
    std::string text;
    for (const auto& [path, size] : ui.list.rows()) text += path + "\t" + size + "\n";
    return text;
  }

  TempDir dir_;
  MtoolsVolume volume_{dir_.File("card.img")};
  std::unique_ptr<UnchangedGuard> unchanged_;
};

TEST_F(CliSearch, PrintsTheListTopRowFirstAndEachRowUndeletes) {
  auto run = Search({"--recurse", "--deleted-dirs", "C:\\"});
  ASSERT_EQ(run.status, 0) << run.output;
  SearchSettings settings;
  settings.strSearchDir = "C:";
  settings.bSearchRecurse = settings.bSearchDeletedDirs = settings.bSearchSkipUnrecoverable = 1;
  const std::string expected = Expected(settings);
  EXPECT_EQ(run.output, expected);  // nothing else: standard error is no terminal
  EXPECT_THAT(expected, HasSubstr("C:\\DOCS    \\OLD     \\" + E5 + "LAN    .TXT\t1234\n"));
  EXPECT_THAT(expected, HasSubstr("C:\\" + E5 + "ONE    \\" + E5 + "NNER   .BIN\t700\n"));

  TempDir out;
  const std::string row = "C:\\DOCS    \\" + E5 + "EPORT  .DOC";
  ASSERT_THAT(run.output, HasSubstr(row + "\t5000\n"));
  auto undelete = RunCli({"--drive", "C:=" + volume_.path(), "undelete", "-o", out.str(), row});
  EXPECT_EQ(undelete.status, 0) << undelete.output;
  EXPECT_EQ(ReadFileBytes(out.File("XEPORT  .DOC")), PatternBytes(5000, 1));
}

TEST_F(CliSearch, OptionsSetTheSearchAsThePageDoes) {
  // A file whose first cluster was taken again, a live and a deleted subdirectory.
  CraftedVolume crafted;
  crafted.SetEntry(2, 0, CraftedEntry{ShortName(E5 + "FREE", "BIN"), 0x20, 30, 10});
  crafted.SetEntry(2, 1, CraftedEntry{ShortName(E5 + "TAKEN", "BIN"), 0x20, 31, 20});
  crafted.SetFat(31, 0x0FFFFFFF);
  crafted.SetEntry(2, 2, CraftedEntry{ShortName("SUB"), 0x10, 10, 0}).SetFat(10, 0x0FFFFFFF);
  crafted.SetEntry(10, 0, CraftedEntry{ShortName(E5 + "INSUB", "BIN"), 0x20, 32, 30});
  crafted.SetEntry(2, 3, CraftedEntry{ShortName(E5 + "OLD"), 0x10, 11, 0});
  crafted.SetEntry(11, 0, CraftedEntry{ShortName(E5 + "INOLD", "BIN"), 0x20, 33, 40});
  const std::string image = dir_.File("crafted.img");
  crafted.Save(image);
  UnchangedGuard unchanged(image);
  auto run = [&](std::vector<std::string> options) {
    std::vector<std::string> args = {"--drive", "C:=" + image, "search"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back("C:");
    return RunCli(args).output;
  };
  const std::string free_row = "C:\\" + E5 + "FREE   .BIN\t10\n";
  const std::string sub_row = "C:\\SUB     \\" + E5 + "INSUB  .BIN\t30\n";
  const std::string old_row = "C:\\" + E5 + "OLD    \\" + E5 + "INOLD  .BIN\t40\n";
  EXPECT_EQ(run({}), free_row);
  EXPECT_EQ(run({"--all"}), "C:\\" + E5 + "TAKEN  .BIN\t20\n" + free_row);
  EXPECT_EQ(run({"--deleted-dirs"}), free_row);
  EXPECT_EQ(run({"--recurse"}), sub_row + free_row);
  EXPECT_EQ(run({"--recurse", "--deleted-dirs"}), old_row + sub_row + free_row);

  auto filtered = Search({"--recurse", "--all", "--name", "plan", "--ext=txt", "--deleted-dir",
                          "old", "C:"});
  EXPECT_EQ(filtered.output, "C:\\DOCS    \\OLD     \\" + E5 + "LAN    .TXT\t1234\n");

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--ext", "html", "C:"}, {"--name", "LONGNAMES", "C:"},
        {"--recurse"}, {"--bogus", "C:"}, {"C:", "D:"}, {"--all=1", "C:"}, {"C:", "--name"}}) {
    auto refused = Search(bad);
    EXPECT_EQ(refused.status, 2) << bad.front();
    EXPECT_THAT(refused.output, HasSubstr("quorvane-cli")) << bad.front();
  }
}

TEST_F(CliSearch, UnmappedDriveShowsTheReadersBoxAndListsNothing) {
  auto run = Search({"E:"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "quorvane-cli: CreateFile () Failed !\n");
}

}  // namespace
}  // namespace quorvane
