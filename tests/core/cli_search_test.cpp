// quorvane-cli search, run as a user runs it: rows on standard output as
// they are found, each passing unchanged to quorvane-cli undelete.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
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

// The lines of an output, for a comparison in which their order does not count.
std::multiset<std::string> Lines(const std::string& output) {
  std::multiset<std::string> lines;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) lines.insert(line);
  return lines;
}

TEST(CliSearch, PrintsRowsWhichUndeleteTakesAndMapsOptionsAsThePageDoes) {
  // A file whose first cluster was taken again, a live and a deleted subdirectory.
  testing::CraftedVolume crafted;
  crafted.SetEntry(2, 0, CraftedEntry{ShortName(E5 + "FREE", "BIN"), 0x20, 30, 600}).FillCluster(30, 0x41);
  crafted.FillCluster(31, 0x42).SetEntry(2, 1, CraftedEntry{ShortName(E5 + "TAKEN", "BIN"), 0x20, 32, 20});
  crafted.SetFat(32, 0x0FFFFFFF).SetEntry(2, 2, CraftedEntry{ShortName("SUB"), 0x10, 10, 0}).SetFat(10, 0x0FFFFFFF);
  crafted.SetEntry(10, 0, CraftedEntry{ShortName(E5 + "INSUB", "BIN"), 0x20, 33, 30});
  crafted.SetEntry(2, 3, CraftedEntry{ShortName(E5 + "OLD"), 0x10, 11, 0});
  // A deleted directory still begins with its own "." and "..".
  crafted.SetEntry(11, 0, CraftedEntry{ShortName("."), 0x10, 11, 0});
  crafted.SetEntry(11, 1, CraftedEntry{ShortName(".."), 0x10, 0, 0});
  crafted.SetEntry(11, 2, CraftedEntry{ShortName(E5 + "INOLD", "BIN"), 0x20, 34, 40});
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
      {{"--all", "C:"}, free_row + "C:\\" + E5 + "TAKEN  .BIN\t20\n"},
      {{"--deleted-dirs", "C:"}, free_row},
      {{"--recurse", "C:"}, free_row + sub_row},
      {{"--recurse", "--deleted-dirs", "C:\\"}, free_row + sub_row + old_row},
      {{"--recurse", "--deleted-dirs", "--name", "inold", "--ext=bin", "--deleted-dir", "old", "C:"}, old_row},
  };
  // Rows alone: standard error is no terminal.
  for (const auto& [options, rows] : cases) {
    const auto run = search(options);
    EXPECT_EQ(run.status, 0) << options[0];
    EXPECT_EQ(Lines(run.output), Lines(rows)) << options[0];
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

TEST(CliSearch, RowsComeInTheOrderFoundAndReachAReaderWhileTheSearchRuns) {
  testing::TempDir dir;
  testing::MtoolsVolume volume(dir.File("card.img"));
  volume.MakeDirectory("/DOCS").AddFile("/DOCS/ZETA.TXT", testing::PatternBytes(100, 1));
  volume.MakeDirectory("/DOCS/SUB").AddFile("/DOCS/SUB/INNER.TXT", testing::PatternBytes(200, 2));
  volume.AddFile("/DOCS/ALPHA.TXT", testing::PatternBytes(300, 3));
  volume.AddFile("/DOCS/MID.TXT", testing::PatternBytes(400, 4));
  for (const char* gone : {"/DOCS/ZETA.TXT", "/DOCS/SUB/INNER.TXT", "/DOCS/ALPHA.TXT", "/DOCS/MID.TXT"})
    volume.Delete(gone);
  // Many deleted files in one directory: more rows than the pipe below holds.
  std::filesystem::create_directory(dir.File("many"));
  for (int i = 0; i < 600; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "F%07d.TXT", i);
    std::ofstream(dir.File("many") + "/" + name) << "row " << i;
  }
  testing::RunCommandOrThrow({"mcopy", "-i", volume.path(), "-s", dir.File("many"), "::/"});
  testing::RunCommandOrThrow({"mdel", "-i", volume.path(), "::/MANY/*.TXT"});
  testing::UnchangedGuard unchanged(volume.path());

  // In entry order, a subdirectory's rows where its entry stands, whatever
  // the form; neither sorted nor the results page's order.
  const std::string rows = "C:\\DOCS\\" + E5 + "ETA    .TXT\t100\n"
                           "C:\\DOCS\\SUB     \\" + E5 + "NNER   .TXT\t200\n"
                           "C:\\DOCS\\" + E5 + "LPHA   .TXT\t300\n"
                           "C:\\DOCS\\" + E5 + "ID     .TXT\t400\n";
  const auto plain = RunCli({volume.path(), "search", "--recurse", "C:\\DOCS"});
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.output, rows);
  testing::CommandOptions into_file;  // written in large blocks: the same rows
  into_file.stdout_path = dir.File("rows.txt");
  testing::WriteFileBytes(into_file.stdout_path, std::vector<uint8_t>{});
  EXPECT_EQ(RunCli({volume.path(), "search", "--recurse", "C:\\DOCS"}, into_file).status, 0);
  const auto in_file = testing::ReadFileBytes(into_file.stdout_path);
  EXPECT_EQ(std::string(in_file.begin(), in_file.end()), rows);
  testing::CommandOptions terminal;
  terminal.terminal = true;
  for (const auto& options : {testing::CommandOptions{}, terminal}) {
    const auto detailed = RunCli({volume.path(), "search", "--recurse", "--details", "C:\\DOCS"}, options);
    EXPECT_EQ(detailed.status, 0);
    std::string shown;  // the first two columns of the rows; a terminal's status lines left out
    std::istringstream in(detailed.output);
    for (std::string line; std::getline(in, line);)
      if (const size_t tab = line.find('\t'); tab != std::string::npos)
        shown += line.substr(0, line.find('\t', tab + 1)) + "\n";
    std::string expected = rows;
    for (size_t at; options.terminal && (at = expected.find(E5)) != std::string::npos;)
      expected.replace(at, 1, "\xC3\xA5");  // the deleted mark as text
    EXPECT_EQ(shown, expected) << detailed.output;
  }

  // A reader has the first row while the search runs: once the pipe is
  // full the search waits, so Ctrl-C finds it running and stops it; the rows
  // written are the first of the full listing.
  const auto all = RunCli({volume.path(), "search", "C:\\MANY"});
  ASSERT_EQ(all.status, 0);
  testing::RunningCli reader({volume.path(), "search", "C:\\MANY"}, 4096);
  ASSERT_GT(all.output.size(), 2u * static_cast<size_t>(reader.pipeBytes()));
  std::string output = reader.ReadSome();
  EXPECT_TRUE(output.starts_with("C:\\MANY\\" + E5)) << output;
  // Each row is written whole when found: a buffer written when full would
  // cut one (a row is 23 bytes, a pipe's buffer 4096).
  EXPECT_TRUE(output.ends_with("\n")) << output;
  reader.Signal(SIGINT);
  output += reader.ReadToEnd();
  EXPECT_EQ(reader.Wait(), 130);
  const std::string interrupted = "quorvane-cli: the search was interrupted\n";
  ASSERT_TRUE(output.ends_with(interrupted)) 
      << output.substr(output.size() - std::min<size_t>(output.size(), 200));
  const std::string written = output.substr(0, output.size() - interrupted.size());
  EXPECT_LT(written.size(), all.output.size());
  EXPECT_TRUE(all.output.starts_with(written));
  EXPECT_TRUE(written.ends_with("\n"));  // whole rows only

  // Rows that cannot be written end the search with status 1 and a reason.
  testing::CommandOptions full;
  full.stdout_path = "/dev/full";
  for (const char* form : {"--recurse", "--details", "--json"}) {
    const auto failed = RunCli({volume.path(), "search", form, "C:\\MANY"}, full);
    EXPECT_EQ(failed.status, 1) << form;
    EXPECT_EQ(failed.output, "quorvane-cli: the rows found could not all be written\n") << form;
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
  // In the directory's order.
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


TEST(CliSearch, DetailedRowsGiveLongPathsInUtf8DirectoryAfterDirectory) {
  // Long names past ASCII (Latin-1 and CJK), in directories whose rows come
  // one after another and alternate with a deeper one's: each row's long
  // path is its own.
  testing::TempDir dir;
  testing::MtoolsVolume volume(dir.File("utf8.img"));
  volume.MakeDirectory("/Caf\xC3\xA9")
      .AddFile("/Caf\xC3\xA9/R\xC3\xA9sum\xC3\xA9 2024.txt", "first")
      .MakeDirectory("/Caf\xC3\xA9/Fotos \xC3\xBC")
      .AddFile("/Caf\xC3\xA9/Fotos \xC3\xBC/\xE6\x97\xA5\xE8\xA8\x98.txt", "second")
      .AddFile("/Caf\xC3\xA9/na\xC3\xAFve notes.txt", "third")
      .AddFile("/plain notes.txt", "fourth");
  for (const char* name : {"/Caf\xC3\xA9/R\xC3\xA9sum\xC3\xA9 2024.txt",
                           "/Caf\xC3\xA9/Fotos \xC3\xBC/\xE6\x97\xA5\xE8\xA8\x98.txt",
                           "/Caf\xC3\xA9/na\xC3\xAFve notes.txt", "/plain notes.txt"})
    volume.Delete(name);
  const auto run = RunCli({"--drive", "C:=" + volume.path(), "search", "--recurse", "--details", "C:"});
  ASSERT_EQ(run.status, 0) << run.output;
  std::vector<std::string> long_paths;
  std::istringstream in(run.output);
  for (std::string line; std::getline(in, line);) {
    const auto columns = line.find('\t', line.find('\t') + 1);
    long_paths.push_back(line.substr(columns + 1, line.find('\t', columns + 1) - columns - 1));
  }
  EXPECT_THAT(long_paths, ::testing::UnorderedElementsAre(
                              "C:\\Caf\xC3\xA9\\R\xC3\xA9sum\xC3\xA9 2024.txt",
                              "C:\\Caf\xC3\xA9\\Fotos \xC3\xBC\\\xE6\x97\xA5\xE8\xA8\x98.txt",
                              "C:\\Caf\xC3\xA9\\na\xC3\xAFve notes.txt", "C:\\plain notes.txt"))
      << run.output;
}

}  // namespace
}  // namespace quorvane
