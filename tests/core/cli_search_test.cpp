// quorvane-cli search, run as a user runs it: rows on standard output in the
// list's order, each passing unchanged to quorvane-cli undelete.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/crafted_volume.h"
#include "support/mtools_volume.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::CraftedEntry;
using testing::RunCli;
using testing::ShortName;

const std::string E5 = "\xE5";

TEST(CliSearch, PrintsRowsInTheListsOrderWhichUndeleteAndMapsOptionsAsThePageDoes) {
  // A file whose first cluster was taken again, a live and a deleted subdirectory.
  testing::CraftedVolume crafted;
  crafted.SetEntry(2, 0, CraftedEntry{ShortName(E5 + "FREE", "BIN"), 0x20, 30, 600}).FillCluster(30, 0x41);
  crafted.FillCluster(31, 0x42).SetEntry(2, 1, CraftedEntry{ShortName(E5 + "TAKEN", "BIN"), 0x20, 32, 20});
  crafted.SetFat(32, 0x0FFFFFFF).SetEntry(2, 2, CraftedEntry{ShortName("SUB"), 0x10, 10, 0}).SetFat(10, 0x0FFFFFFF);
  crafted.SetEntry(10, 0, CraftedEntry{ShortName(E5 + "INSUB", "BIN"), 0x20, 33, 30});
  crafted.SetEntry(2, 3, CraftedEntry{ShortName(E5 + "OLD"), 0x10, 11, 0});
  crafted.SetEntry(11, 0, CraftedEntry{ShortName(E5 + "INOLD", "BIN"), 0x20, 34, 40});
  testing::TempDir dir;
  const std::string image = dir.File("crafted.img");
  testing::WriteFileBytes(image, crafted.bytes());
  testing::UnchangedGuard unchanged(image);
  auto search = [&](std::vector<std::string> options) {
    options.insert(options.begin(), {"--drive", "C:=" + image, "search"});
    return RunCli(options);
  };

  const std::string row = "C:\\" + E5 + "FREE   .BIN";
  testing::TempDir out;
  auto undelete = RunCli({"--drive", "C:=" + image, "undelete", "-o", out.str(), row});
  EXPECT_EQ(undelete.status, 0) << undelete.output;
  std::vector<uint8_t> bytes(crafted.ClusterBytes(), 0x41);
  bytes.resize(600, 0x42);
  EXPECT_EQ(testing::ReadFileBytes(out.File("XFREE   .BIN")), bytes);

  const std::string free_row = row + "\t600\n";
  const std::string sub_row = "C:\\SUB     \\" + E5 + "INSUB  .BIN\t30\n";
  const std::string old_row = "C:\\" + E5 + "OLD    \\" + E5 + "INOLD  .BIN\t40\n";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"C:"}, free_row},
      {{"--all", "C:"}, "C:\\" + E5 + "TAKEN  .BIN\t20\n" + free_row},
      {{"--deleted-dirs", "C:"}, free_row},
      {{"--recurse", "C:"}, sub_row + free_row},
      {{"--recurse", "--deleted-dirs", "C:\\"}, old_row + sub_row + free_row},
      {{"--recurse", "--deleted-dirs", "--name", "inold", "--ext=bin", "--deleted-dir", "old", "C:"}, old_row},
  };
  // Rows alone, in the list's order: standard error is no terminal.
  for (const auto& [options, rows] : cases) {
    const auto run = search(options);
    EXPECT_EQ(run.status, 0) << options[0];
    EXPECT_EQ(run.output, rows) << options[0];
  }

  // On a terminal the deleted mark shows as its Latin-1 character in UTF-8,
  // in rows and in the directories the search names as it enters them.
  testing::CommandOptions terminal;
  terminal.terminal = true;
  auto shown = RunCli({"--drive", "C:=" + image, "search", "--recurse", "--deleted-dirs", "C:"}, terminal);
  EXPECT_EQ(shown.status, 0);
  EXPECT_THAT(shown.output, HasSubstr("C:\\\xC3\xA5" "FREE   .BIN\t600\n"));
  EXPECT_THAT(shown.output, Not(HasSubstr(E5)));

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--ext", "html", "C:"}, {"--name", "LONGNAMES", "C:"}, {"--recurse"},
        {"--bogus", "C:"}, {"C:", "D:"}, {"--all=1", "C:"}, {"C:", "--name"}}) {
    auto refused = search(bad);
    EXPECT_EQ(refused.status, 2) << bad.front();
    EXPECT_THAT(refused.output, HasSubstr("quorvane-cli")) << bad.front();
  }
}

TEST(CliSearch, JsonRowsComeAsFoundAndAnyNameBytePassesBackThroughHex) {
  // Names a damaged volume can hold: a TAB, a quote and a newline.
  testing::CraftedVolume crafted;
  crafted.SetEntry(2, 0, CraftedEntry{ShortName(E5 + "T\tA", "BIN"), 0x20, 40, 10}).FillCluster(40, 0x41);
  crafted.SetEntry(2, 1, CraftedEntry{ShortName(E5 + "Q\"\n", "TXT"), 0x20, 41, 5}).FillCluster(41, 0x42);
  testing::TempDir dir;
  const std::string image = dir.File("odd.img");
  testing::WriteFileBytes(image, crafted.bytes());
  testing::UnchangedGuard unchanged(image);

  auto run = RunCli({"--drive", "C:=" + image, "search", "--json", "C:\\"});
  EXPECT_EQ(run.status, 0);
  // In the directory's order, the reverse of the list's.
  EXPECT_EQ(run.output,
            "{\"path\": \"C:\\\\\xC3\xA5T\\u0009A    .BIN\", \"path_hex\": \"433a5ce5540941202020202e42494e\", \"size\": 10}\n"
            "{\"path\": \"C:\\\\\xC3\xA5Q\\\"\\u000a    .TXT\", \"path_hex\": \"433a5ce551220a202020202e545854\", \"size\": 5}\n");

  const struct {
    std::string hex, name;
    std::vector<uint8_t> bytes;
  } recovered[] = {{"433a5ce5540941202020202e42494e", "XT\tA    .BIN", std::vector<uint8_t>(10, 0x41)},
                   {"433a5ce551220a202020202e545854", "XQ\"\n    .TXT", std::vector<uint8_t>(5, 0x42)}};
  for (const auto& [hex, name, bytes] : recovered) {
    testing::TempDir out;
    auto undelete = RunCli({"--drive", "C:=" + image, "undelete", "-o", out.str(), "--hex", hex});
    EXPECT_EQ(undelete.status, 0) << hex << "\n" << undelete.output;
    EXPECT_EQ(testing::ReadFileBytes(out.File(name)), bytes) << hex;
  }
}

}  // namespace
}  // namespace quorvane
