// quorvane-cli recover and undelete of several paths, run as a user runs
// them: real mtools volumes, the files checked by content against what was
// written and what The Sleuth Kit's tsk_recover brings back, the manifest
// against sha256sum and the dates mtools wrote.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/mtools_volume.h"
#include "support/nt_deleted.h"
#include "support/run_command.h"
#include "support/search_rows.h"
#include "support/scoped_zone.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::CommandOptions;
using testing::CommandResult;
using testing::MtoolsVolume;
using testing::PatternBytes;
using testing::ReadFileBytes;
using testing::RunCli;
using testing::RunCommand;
using testing::ScopedZone;
using testing::TempDir;


// A JSON object on one line, as the manifest writes it: its string, number
// and null values by key (strings unescaped for \\ and \").
std::map<std::string, std::string> JsonFields(const std::string& line) {
  std::map<std::string, std::string> fields;
  size_t at = 1;
  while ((at = line.find('"', at)) != std::string::npos) {
    const size_t key_end = line.find('"', at + 1);
    const std::string key = line.substr(at + 1, key_end - at - 1);
    at = key_end + 3;  // past `": `
    std::string value;
    if (line[at] == '"') {
      for (++at; line[at] != '"'; ++at) value.push_back(line[at] == '\\' ? line[++at] : line[at]);
      ++at;
    } else {
      const size_t end = line.find_first_of(",}", at);
      value = line.substr(at, end - at);
      at = end;
    }
    fields[key] = value;
    at = line.find_first_of(",}", at) + 1;
  }
  return fields;
}

std::vector<std::map<std::string, std::string>> Manifest(const fs::path& dir) {
  std::vector<std::map<std::string, std::string>> lines;
  std::ifstream in(dir / "quorvane-manifest.jsonl");
  for (std::string line; std::getline(in, line);) lines.push_back(JsonFields(line));
  return lines;
}

// Seconds since 1970 of a time as the program shows it, read by date(1).
int64_t SecondsOf(const std::string& shown) {
  const CommandResult run = RunCommand({"date", "-d", shown, "+%s"}, {.cwd = {}, .stdout_only = true});
  EXPECT_EQ(run.status, 0) << shown;
  return run.status == 0 ? std::stoll(run.output) : -1;
}

std::string Sha256Sum(const fs::path& file) {
  const CommandResult run = RunCommand({"sha256sum", file.string()}, {.cwd = {}, .stdout_only = true});
  EXPECT_EQ(run.status, 0) << run.output;
  return run.output.substr(0, 64);
}

size_t LinesStartingWith(const std::string& output, const std::string& start) {
  size_t count = 0;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) count += line.starts_with(start);
  return count;
}

const int64_t kSummer = 1559913730;  // 2019-06-07 13:22:10 UTC, 09:22:10 in New York
const int64_t kWinter = 1547212806;  // 2019-01-11 13:20:06 UTC

struct Written {
  std::string volumePath;  // as mtools names it
  std::vector<uint8_t> bytes;
  int64_t modified;
};

class CliRecover : public ::testing::Test {
 protected:
  void SetUp() override {
    // A deep tree of long names, deleted whole; 8.3 and long-named files
    // deleted in a live directory; sizes around SHA-256's 64-byte blocks.
    // Made first: mtools puts a new entry into a deleted one's slots.
    volume_.MakeDirectory("/NEW");
    std::string deep = "/Projects 2019";
    volume_.MakeDirectory(deep);
    for (const char* level : {"Quarterly reports", "Final drafts", "Board", "Level five", "Level six"}) {
      deep += std::string("/") + level;
      volume_.MakeDirectory(deep);
    }
    volume_.MakeDirectory("/DOCS");
    files_ = {
        {deep + "/Summary for the board.docx", PatternBytes(70000, 1), kSummer},
        {"/Projects 2019/Quarterly reports/Q1.TXT", PatternBytes(55, 2), kWinter},
        {"/DOCS/REPORT.TXT", PatternBytes(5000, 3), kSummer},
        {"/DOCS/Letter to the bank.txt", PatternBytes(64, 4), kWinter},
        {"/DOCS/NOTES.TXT", PatternBytes(56, 5), kSummer},
    };
    for (const Written& f : files_) volume_.AddDatedFile(f.volumePath, f.bytes, f.modified);
    // A file whose first cluster another file takes after its delete.
    volume_.AddFile("/DOCS/TAKEN.BIN", PatternBytes(512, 6));
    const uint32_t taken_first = volume_.FirstCluster("/DOCS/TAKEN.BIN");
    first_clusters_["/DOCS/REPORT.TXT"] = volume_.FirstCluster("/DOCS/REPORT.TXT");
    for (const Written& f : files_) {
      if (!f.volumePath.starts_with("/Projects")) volume_.Delete(f.volumePath);
    }
    volume_.Delete("/DOCS/TAKEN.BIN").DeleteTree("/Projects 2019");
    volume_.SetNextFreeCluster(taken_first - 1).AddFile("/NEW/TAKER.TXT", PatternBytes(512, 7));
    EXPECT_EQ(volume_.FirstCluster("/NEW/TAKER.TXT"), taken_first);
  }

  CommandResult Cli(std::vector<std::string> args, const CommandOptions& options = {}) {
    args.insert(args.begin(), {"--drive", "C:=" + volume_.path()});
    return RunCli(args, options);
  }

  ScopedZone zone_{"EST5EDT,M3.2.0,M11.1.0"};
  TempDir dir_;
  MtoolsVolume volume_{dir_.File("card.img")};
  std::vector<Written> files_;
  std::map<std::string, uint32_t> first_clusters_;
};

TEST_F(CliRecover, BringsBackTheTreeUnderLongNamesWithDatesAndAManifestAsTskRecoverDoes) {
  testing::UnchangedGuard unchanged(volume_.path());
  TempDir out, tsk;
  const CommandResult run =
      Cli({"recover", "--recurse", "--deleted-dirs", "--all", "--long-names", "-o", out.str(), "C:"});
  // The overwritten file comes back, but not intact: status 1.
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_THAT(run.output, HasSubstr("quorvane-cli: undeleted 6, partly undeleted 0, not undeleted 0, not intact 1\n"));
  EXPECT_THAT(run.output, HasSubstr("quorvane-cli: undeleted (overwritten): C:\\DOCS    \\\xC3\xA5" "AKEN   .BIN -> DOCS/XAKEN.BIN\n"));
  // Standard error is no terminal: one line a file, no status texts.
  EXPECT_EQ(LinesStartingWith(run.output, "undeleted: C:\\"), 5u) << run.output;
  EXPECT_THAT(run.output, Not(HasSubstr("Undeleting file")));

  ASSERT_EQ(RunCommand({"tsk_recover", "-e", volume_.path(), tsk.str()}).status, 0);
  const auto manifest = Manifest(out.path());
  ASSERT_EQ(manifest.size(), 6u);
  std::map<std::string, std::map<std::string, std::string>> by_output;
  for (const auto& line : manifest) by_output[line.at("output")] = line;
  for (const Written& f : files_) {
    // The host path under the long names; 8.3 names lost their first letter.
    std::string output = f.volumePath.substr(1), tsk_output = output;
    const size_t name_at = output.rfind('/') + 1;
    if (output.find_first_of("abcdefghijklmnopqrstuvwxyz ", name_at) == std::string::npos) {
      output[name_at] = 'X';
      tsk_output[name_at] = '_';
    }
    SCOPED_TRACE(output);
    ASSERT_EQ(by_output.count(output), 1u) << run.output;
    const auto& line = by_output[output];
    // The times the file was given, before a read moves its access time.
    struct stat written {};
    ASSERT_EQ(::stat((out.path() / output).c_str(), &written), 0);
    EXPECT_EQ(written.st_mtime, f.modified);
    EXPECT_EQ(SecondsOf(line.at("accessed")), written.st_atime);
    const std::vector<uint8_t> recovered = ReadFileBytes(out.path() / output);
    EXPECT_EQ(recovered, f.bytes);
    EXPECT_EQ(recovered, ReadFileBytes(tsk.path() / tsk_output));
    EXPECT_EQ(line.at("sha256"), Sha256Sum(out.path() / output));
    EXPECT_EQ(line.at("outcome"), "undeleted");
    EXPECT_EQ(line.at("condition"), "intact");
    EXPECT_EQ(line.at("size"), std::to_string(f.bytes.size()));
    EXPECT_EQ(line.at("bytes_written"), std::to_string(f.bytes.size()));
    EXPECT_EQ(line.at("message"), "null");
    // Each component's long name, else its 8.3 name as stored (the mark as Latin-1 text).
    std::string long_path = "C:" + f.volumePath;
    std::replace(long_path.begin(), long_path.end(), '/', '\\');
    if (output[name_at] == 'X') long_path.replace(long_path.rfind('\\') + 1, 1, "\xC3\xA5");
    EXPECT_EQ(line.at("long_path"), long_path);
    // The entry's time, shown in the zone it was kept in, and given to the file.
    EXPECT_EQ(SecondsOf(line.at("modified")), f.modified);
    EXPECT_THAT(line.at("modified"), HasSubstr(f.modified == kSummer ? "-04:00" : "-05:00"));
    EXPECT_NE(line.at("created"), "null");
    // The hex is the row's bytes, which undelete --hex takes back.
    const CommandResult again = Cli({"--quiet", "undelete", "-o", dir_.str(), "--hex", line.at("path_hex")});
    EXPECT_EQ(again.status, 0) << again.output;
  }
  const auto& report = by_output.at("DOCS/XEPORT.TXT");
  EXPECT_EQ(report.at("first_cluster"), std::to_string(first_clusters_["/DOCS/REPORT.TXT"]));
  const auto& taken = by_output.at("DOCS/XAKEN.BIN");
  EXPECT_EQ(taken.at("condition"), "overwritten");
  EXPECT_EQ(taken.at("outcome"), "undeleted");
  EXPECT_EQ(taken.at("sha256"), Sha256Sum(out.path() / "DOCS/XAKEN.BIN"));
}

TEST_F(CliRecover, NeverReplacesAFileGoesOnAfterOneThatFailsAndSaysSoInItsStatus) {
  TempDir out;
  // Without --all the overwritten file is not listed: every file intact.
  const std::vector<std::string> recover = {"recover", "--recurse", "--deleted-dirs", "-o", out.str(), "C:"};
  const CommandResult first = Cli(recover);
  EXPECT_EQ(first.status, 0) << first.output;
  EXPECT_THAT(first.output, HasSubstr("undeleted 5, partly undeleted 0, not undeleted 0, not intact 0\n"));
  // 8.3 names without --long-names, the deleted directories' first letter made X.
  EXPECT_EQ(ReadFileBytes(out.path() / "XROJEC~1/XUARTE~1/X1.TXT"), files_[1].bytes);

  // Again into the same directory: numbered names, the manifest added to.
  // DOCS is a file now, so its three files cannot be written; the rest are.
  fs::rename(out.path() / "DOCS", out.path() / "docs-before");
  testing::WriteFileBytes(out.path() / "DOCS", PatternBytes(3, 9));
  const CommandResult second = Cli(recover);
  EXPECT_EQ(second.status, 1) << second.output;
  EXPECT_THAT(second.output, HasSubstr("undeleted 2, partly undeleted 0, not undeleted 3, not intact 0\n"));
  EXPECT_THAT(second.output, HasSubstr("quorvane-cli: not undeleted: C:\\DOCS    \\\xC3\xA5" "EPORT  .TXT: cannot make directory"));
  EXPECT_EQ(ReadFileBytes(out.path() / "XROJEC~1/XUARTE~1/X1 (2).TXT"), files_[1].bytes);
  EXPECT_EQ(ReadFileBytes(out.path() / "XROJEC~1/XUARTE~1/X1.TXT"), files_[1].bytes);
  const auto manifest = Manifest(out.path());
  ASSERT_EQ(manifest.size(), 10u);
  size_t failed = 0;
  for (size_t k = 5; k < manifest.size(); ++k) {
    if (manifest[k].at("outcome") != "not undeleted") continue;
    ++failed;
    EXPECT_EQ(manifest[k].at("output"), "null");
    EXPECT_EQ(manifest[k].at("sha256"), "null");
    EXPECT_EQ(manifest[k].at("bytes_written"), "0");
    EXPECT_THAT(manifest[k].at("message"), HasSubstr("cannot make directory"));
  }
  EXPECT_EQ(failed, 3u);
}

TEST_F(CliRecover, ProgressIsALinePerFileOffATerminalABarOnOneAndNothingWhenQuiet) {
  const struct {
    const char* name;
    bool quiet;
    bool terminal;
    size_t file_lines;     // "undeleted: ..." lines
    bool bar;
  } cases[] = {
      {"pipe", false, false, 5, false},
      {"quiet pipe", true, false, 0, false},
      {"terminal", false, true, 0, true},
      {"quiet terminal", true, true, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir out;
    std::vector<std::string> args = {"recover", "--recurse", "--deleted-dirs", "-o", out.str(), "C:"};
    if (c.quiet) args.insert(args.begin(), "--quiet");
    CommandOptions options;
    options.terminal = c.terminal;
    const CommandResult run = Cli(args, options);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(LinesStartingWith(run.output, "undeleted: "), c.file_lines) << run.output;
    EXPECT_EQ(run.output.find(" files") != std::string::npos && run.output.find("5/5 files") != std::string::npos, c.bar)
        << run.output;
    // The counts are written however the run is watched.
    EXPECT_THAT(run.output, HasSubstr("undeleted 5, partly undeleted 0, not undeleted 0, not intact 0"));
    EXPECT_EQ(Manifest(out.path()).size(), 5u);
  }
}

TEST_F(CliRecover, UndeleteOfSeveralPathsGoesOnAfterAFailureAndItsStatusNamesTheWorst) {
  const std::string report = "C:\\DOCS\\REPORT.TXT", notes = "C:\\DOCS\\NOTES.TXT",
                    missing = "C:\\DOCS\\NONE.TXT", taken = "C:\\DOCS\\TAKEN.BIN";
  const struct {
    std::vector<std::string> paths;
    int status;
    std::string counts;  // empty for one path: no counts
  } cases[] = {
      {{report}, 0, ""},
      {{taken}, 3, ""},
      {{missing}, 1, ""},
      {{report, notes}, 0, "undeleted 2, partly undeleted 0, not undeleted 0, not intact 0"},
      {{report, taken}, 3, "undeleted 2, partly undeleted 0, not undeleted 0, not intact 1"},
      {{report, missing, notes}, 1, "undeleted 2, partly undeleted 0, not undeleted 1, not intact 0"},
      {{taken, missing}, 1, "undeleted 1, partly undeleted 0, not undeleted 1, not intact 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.paths));
    TempDir out;
    std::vector<std::string> args = {"undelete", "-o", out.str()};
    args.insert(args.end(), c.paths.begin(), c.paths.end());
    const CommandResult run = Cli(args);
    EXPECT_EQ(run.status, c.status) << run.output;
    if (c.counts.empty()) {
      EXPECT_THAT(run.output, Not(HasSubstr("partly undeleted 0")));
    } else {
      EXPECT_THAT(run.output, HasSubstr("quorvane-cli: " + c.counts + "\n"));
    }
    for (size_t k = 0; k < c.paths.size(); ++k) {
      const std::string& path = c.paths[k];
      if (c.paths.size() > 1) {
        EXPECT_THAT(run.output, HasSubstr("[" + std::to_string(k + 1) + "/" + std::to_string(c.paths.size()) +
                                          "] " + path + "\n"));
      }
      if (path == report) {
        EXPECT_EQ(ReadFileBytes(out.path() / "REPORT.TXT"), files_[2].bytes);
      } else if (path == notes) {
        EXPECT_EQ(ReadFileBytes(out.path() / "NOTES.TXT"), files_[4].bytes);
      } else if (path == taken) {
        EXPECT_THAT(run.output, HasSubstr("Condition: overwritten"));
      } else {
        EXPECT_THAT(run.output, HasSubstr("quorvane-cli: File not found !\nFile not found in the directory structure...\n"));
      }
    }
    // Off a terminal only each file's last status: no cluster counts.
    EXPECT_THAT(run.output, Not(HasSubstr("Undeleting file")));
    EXPECT_THAT(run.output, Not(HasSubstr("Extracting the boot sector")));
  }
  // On a terminal one bar runs over all the files' bytes (the missing
  // file counts none), and stays at its end above the counts.
  TempDir out;
  CommandOptions terminal;
  terminal.terminal = true;
  const CommandResult run = Cli({"undelete", "-o", out.str(), report, missing, notes}, terminal);
  EXPECT_EQ(run.status, 1) << run.output;
  const size_t end = run.output.rfind("] 100%  ");
  ASSERT_NE(end, std::string::npos) << run.output;
  // "8.0 KiB of 8.0 KiB  3/3 files": all the bytes of the bar's total were copied.
  const std::string tail = run.output.substr(end + 8);
  const size_t of = tail.find(" of ");
  ASSERT_NE(of, std::string::npos) << tail;
  EXPECT_EQ(tail.substr(0, of), tail.substr(of + 4, of)) << tail;
  EXPECT_THAT(tail, HasSubstr("  3/3 files\nquorvane-cli: undeleted 2, partly undeleted 0"));
  EXPECT_EQ(run.output.find("1/3 files"), std::string::npos) << "a bar per file";
  EXPECT_EQ(ReadFileBytes(out.path() / "NOTES.TXT"), files_[4].bytes);
}

TEST_F(CliRecover, SearchDetailsAndJsonShowTheEntrysTimesAfterTheColumnsTheyHad) {
  const CommandResult detailed = Cli({"search", "--details", "C:\\DOCS"});
  ASSERT_EQ(detailed.status, 0) << detailed.output;
  const CommandResult json = Cli({"search", "--details", "--json", "C:\\DOCS"});
  ASSERT_EQ(json.status, 0) << json.output;
  std::map<std::string, testing::SearchRow> rows;
  for (const auto& row : testing::SearchRows(detailed.output)) rows[row.longPath] = row;
  std::istringstream json_lines(json.output);
  std::map<std::string, std::map<std::string, std::string>> objects;
  for (std::string line; std::getline(json_lines, line);) {
    auto fields = JsonFields(line);
    objects[fields.at("long_path")] = fields;
  }
  for (const auto& [long_path, modified] :
       {std::pair{std::string("C:\\DOCS\\Letter to the bank.txt"), kWinter}, {"C:\\DOCS\\\xC3\xA5" "EPORT.TXT", kSummer}}) {
    SCOPED_TRACE(long_path);
    ASSERT_EQ(rows.count(long_path), 1u) << detailed.output;
    const testing::SearchRow& row = rows[long_path];
    EXPECT_EQ(row.condition, "intact");
    EXPECT_EQ(SecondsOf(row.modified), modified);
    // A day: midnight in the zone, on or before the write.
    const int64_t accessed = SecondsOf(row.accessed);
    EXPECT_THAT(row.accessed, HasSubstr("T00:00:00-0"));
    EXPECT_LE(accessed, modified);
    EXPECT_NE(row.created, "-");
    ASSERT_EQ(objects.count(long_path), 1u) << json.output;
    EXPECT_EQ(objects[long_path].at("modified"), row.modified);
    EXPECT_EQ(objects[long_path].at("accessed"), row.accessed);
    EXPECT_EQ(objects[long_path].at("created"), row.created);
  }
}

// Files deleted by the NT family, whose first clusters the search rebuilds:
// recover copies each row from the cluster its search rebuilt, as the
// results page does.
TEST(CliRecoverNtDeleted, EachRowComesFromTheClusterItsSearchRebuilt) {
  TempDir dir, out;
  MtoolsVolume volume(dir.File("nt.img"));
  std::vector<uint8_t> zip = PatternBytes(3000, 7);
  const uint8_t header[] = {'P', 'K', 3, 4, 20, 0, 0, 0};
  std::copy(std::begin(header), std::end(header), zip.begin());
  const std::string line = "Dear bank, please find the figures attached.\n";
  std::vector<uint8_t> text;
  while (text.size() < 2500) text.insert(text.end(), line.begin(), line.end());
  text.resize(2500);
  volume.SetNextFreeCluster(65536 + 3);
  volume.AddFile("/Letter to the bank.docx", zip).AddFile("/minutes of the meeting.txt", text);
  volume.Delete("/Letter to the bank.docx").Delete("/minutes of the meeting.txt");
  ASSERT_EQ(testing::ClearHighWordsOfDeleted(volume.path()), 2);
  testing::UnchangedGuard unchanged(volume.path());

  const CommandResult run = RunCli({"--drive", "C:=" + volume.path(), "recover", "--nt-deleted",
                                    "--long-names", "-o", out.str(), "C:"});
  // Rebuilt is not intact: status 1, and the lines say so.
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_THAT(run.output, HasSubstr("undeleted 2, partly undeleted 0, not undeleted 0, not intact 2"));
  EXPECT_THAT(run.output, HasSubstr("undeleted (rebuilt): "));
  EXPECT_EQ(ReadFileBytes(out.path() / "Letter to the bank.docx"), zip);
  EXPECT_EQ(ReadFileBytes(out.path() / "minutes of the meeting.txt"), text);
  std::map<std::string, std::string> first_clusters;
  for (const auto& line : Manifest(out.path())) {
    EXPECT_EQ(line.at("condition"), "rebuilt") << line.at("output");
    first_clusters[line.at("output")] = line.at("first_cluster");
  }
  EXPECT_EQ(first_clusters["Letter to the bank.docx"], "65540");
  EXPECT_EQ(first_clusters["minutes of the meeting.txt"], "65546");
}

// A file written into the gap another file's delete left, then every file
// deleted, as mtools does it: the classic copy runs on into the next deleted
// file (in a deleted directory no search below reads unasked) and calls the
// mixture intact; --fragments steps over that file's claim and brings each
// file back byte for byte, none of the disputed ones called intact.
TEST(CliFragments, AFileWrittenIntoAGapComesBackWholeWhereOtherEntriesClaimTheRest) {
  TempDir dir, out, classic_out;
  MtoolsVolume volume(dir.File("card.img"));
  const std::vector<uint8_t> a = PatternBytes(1024, 11), c = PatternBytes(1500, 13), l = PatternBytes(2500, 14);
  volume.MakeDirectory("/SUB");
  volume.AddFile("/AA.BIN", a).AddFile("/BB.BIN", PatternBytes(1024, 12)).AddFile("/SUB/CC.BIN", c);
  const uint32_t gap = volume.FirstCluster("/BB.BIN");
  const uint32_t a_first = volume.FirstCluster("/AA.BIN"), c_first = volume.FirstCluster("/SUB/CC.BIN");
  // Two clusters into the gap, three after CC.BIN.
  volume.Delete("/BB.BIN").SetNextFreeCluster(gap - 1).AddFile("/LL.BIN", l);
  ASSERT_EQ(volume.FirstCluster("/LL.BIN"), gap);
  volume.Delete("/AA.BIN").Delete("/LL.BIN").DeleteTree("/SUB");
  testing::UnchangedGuard unchanged(volume.path());
  auto cli = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"--drive", "C:=" + volume.path()});
    return RunCli(args);
  };

  const struct {
    std::vector<std::string> options;
    std::map<uint32_t, std::string> conditions;  // by first cluster
  } searches[] = {
      {{"--details", "--recurse", "--deleted-dirs"}, {{a_first, "intact"}, {gap, "intact"}, {c_first, "intact"}}},
      {{"--fragments"}, {{a_first, "intact"}, {gap, "claimed"}}},
      {{"--fragments", "--recurse", "--deleted-dirs"}, {{a_first, "intact"}, {gap, "claimed"}, {c_first, "contested"}}},
  };
  for (const auto& search : searches) {
    std::vector<std::string> args{"search"};
    args.insert(args.end(), search.options.begin(), search.options.end());
    args.push_back("C:");
    const CommandResult run = cli(args);
    ASSERT_EQ(run.status, 0) << run.output;
    std::map<uint32_t, std::string> conditions;
    for (const auto& row : testing::SearchRows(run.output)) conditions[row.firstCluster] = row.condition;
    EXPECT_EQ(conditions, search.conditions) << search.options.size();
  }

  // Without the option the mixture comes back as it always did: exit 0.
  const CommandResult classic = cli({"undelete", "-o", classic_out.str(), "C:\\LL.BIN"});
  EXPECT_EQ(classic.status, 0) << classic.output;
  std::vector<uint8_t> mixture(l.begin(), l.begin() + 1024);
  mixture.insert(mixture.end(), c.begin(), c.end());
  mixture.resize(l.size());
  EXPECT_EQ(ReadFileBytes(classic_out.File("LL.BIN")), mixture);
  // With it the file's own bytes, not intact by the claims: exit 3.
  const CommandResult fragments = cli({"undelete", "--fragments", "-o", out.str(), "C:\\LL.BIN"});
  EXPECT_EQ(fragments.status, 3) << fragments.output;
  EXPECT_THAT(fragments.output, HasSubstr("Condition: claimed - another deleted file claims"));
  EXPECT_EQ(ReadFileBytes(out.File("LL.BIN")), l);

  TempDir all;
  const CommandResult recovered =
      cli({"recover", "--fragments", "--recurse", "--deleted-dirs", "-o", all.str(), "C:"});
  EXPECT_EQ(recovered.status, 1) << recovered.output;  // two files are not intact
  EXPECT_EQ(ReadFileBytes(all.path() / "XA.BIN"), a);
  EXPECT_EQ(ReadFileBytes(all.path() / "XUB" / "XC.BIN"), c);
  EXPECT_EQ(ReadFileBytes(all.path() / "XL.BIN"), l);
  std::map<std::string, std::string> conditions;
  for (const auto& line : Manifest(all.path())) conditions[line.at("output")] = line.at("condition");
  EXPECT_EQ(conditions, (std::map<std::string, std::string>{
                            {"XA.BIN", "intact"}, {"XUB/XC.BIN", "contested"}, {"XL.BIN", "claimed"}}));
}

TEST_F(CliRecover, WrongCommandLinesAreRefusedWithStatus2AndTheVolumeIsNeverWritten) {
  TempDir out;
  for (const std::vector<std::string>& args : {
           std::vector<std::string>{"recover", "C:"},                     // no -o
           {"recover", "-o", out.str()},                                  // no directory
           {"recover", "--json", "-o", out.str(), "C:"},                  // rows are not printed
           {"recover", "--name", "TOOLONGNAME", "-o", out.str(), "C:"},
           {"recover", "--frobnicate", "-o", out.str(), "C:"},
       }) {
    EXPECT_EQ(Cli(args).status, 2) << args[1];
  }
  EXPECT_TRUE(fs::is_empty(out.path()));
  const CommandResult nowhere = Cli({"recover", "-o", out.str(), "C:\\NOSUCH"});
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_THAT(nowhere.output, HasSubstr("'C:\\NOSUCH' names no directory on C:"));
}

}  // namespace
}  // namespace quorvane
