// quorvane-cli on real exFAT volumes written and deleted through exfat-fuse:
// the search lists every deleted file by its whole name, and undelete takes
// each row it lists back, checked against the bytes written and, where the
// free-cluster rule decides, against The Sleuth Kit's recovery.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/deleted_exfat.h"
#include "support/exfat_volume.h"
#include "support/mtools_volume.h"
#include "support/run_command.h"
#include "support/search_rows.h"
#include "support/sleuth_kit.h"
#include "support/temp_dir.h"
#include "volume/format/exfat_entry_set.h"
#include "volume/little_endian.h"

namespace quorvane::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// A path on the volume as a row gives it: C:\Café\日記.txt.
std::string RowOf(const std::string& path) {
  std::string row = "C:\\" + path;
  std::replace(row.begin(), row.end(), '/', '\\');
  return row;
}

std::string Hex(const std::string& bytes) {
  std::string hex;
  char digits[3];
  for (const unsigned char c : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", c);
    hex += digits;
  }
  return hex;
}

std::string JsonText(std::string text) {
  for (size_t at = 0; (at = text.find('\\', at)) != std::string::npos; at += 2) text.insert(at, 1, '\\');
  return text;
}

// A time as --details shows it, as --json gives it.
std::string JsonTimeOf(const std::string& shown) { return shown == "-" ? "null" : "\"" + shown + "\""; }

std::multiset<std::string> Lines(const std::string& output) {
  std::multiset<std::string> lines;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) lines.insert(line);
  return lines;
}

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

class CliExFat : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = ExFatVolumesUnavailable(); !why.empty()) GTEST_SKIP() << why;
    volume_ = std::make_unique<DeletedOnExFat>();
  }
  CommandResult Cli(std::vector<std::string> args, const CommandOptions& options = {}) {
    args.insert(args.begin(), volume_->image);
    return RunCli(args, options);
  }
  std::unique_ptr<DeletedOnExFat> volume_;
};

TEST_F(CliExFat, SearchListsEveryDeletedFileByItsWholeNameAndUndeleteTakesEveryRowBack) {
  UnchangedGuard unchanged(volume_->image);
  ASSERT_EQ(kLongName.size(), 200u);
  // How each file comes back.
  enum class Back {
    kAsWritten,          // its clusters, free and in a row, hold it still
    kAsSleuthKit,        // by the free-cluster rule, which icat -r follows too; the bytes written
    kAsSleuthKitOnly,    // the same rule, stepping into the other deleted file of the pair
    kFreshBinsClusters,  // what Café/fresh.bin wrote over it
  };
  const struct {
    std::string path;
    const char* condition;
    Back back;
  } files[] = {
      {"Name with spaces.jpg", "intact", Back::kAsWritten},
      {kCafe + "/" + kDiary, "intact", Back::kAsWritten},
      {kCafe + "/" + kResume, "intact", Back::kAsWritten},
      {kLongName, "intact", Back::kAsWritten},
      {kSmile, "intact", Back::kAsWritten},
      {kAcute, "intact", Back::kAsWritten},
      {kMisread, "intact", Back::kAsWritten},
      {"Old/a.txt", "intact", Back::kAsWritten},
      {"Old/Sub/deep.txt", "intact", Back::kAsWritten},
      // fragA1 is live: the rule steps over its clusters and finds fragA2's.
      {"fragA2.bin", "unchained", Back::kAsSleuthKit},
      {"fragB1.bin", "unchained", Back::kAsSleuthKitOnly},
      {"fragB2.bin", "unchained", Back::kAsSleuthKitOnly},
      {"taken.bin", "overwritten", Back::kFreshBinsClusters},
  };

  // Plain rows: all but the overwritten file, which only --all lists.
  std::multiset<std::string> expected_plain, plain;
  for (const auto& f : files)
    if (f.back != Back::kFreshBinsClusters)
      expected_plain.insert(RowOf(f.path) + "\t" + std::to_string(volume_->written.at(f.path).size()));
  const CommandResult listed = Cli({"search", "--recurse", "--deleted-dirs", "C:"});
  ASSERT_EQ(listed.status, 0) << listed.output;
  for (const SearchRow& row : SearchRows(listed.output)) plain.insert(row.path + "\t" + std::to_string(row.size));
  EXPECT_EQ(plain, expected_plain);

  // The deleted files The Sleuth Kit finds are the rows of --all.
  const std::map<std::string, uint64_t> inodes = SleuthKitDeletedFiles(volume_->image);
  const CommandResult detailed = Cli({"search", "--recurse", "--deleted-dirs", "--all", "--details", "C:"});
  ASSERT_EQ(detailed.status, 0) << detailed.output;
  const std::vector<SearchRow> rows = SearchRows(detailed.output);
  std::set<std::string> row_paths, tsk_paths;
  for (const SearchRow& row : rows) row_paths.insert(row.path);
  for (const auto& [path, inode] : inodes) tsk_paths.insert(RowOf(path));
  EXPECT_EQ(row_paths, tsk_paths);
  ASSERT_EQ(rows.size(), std::size(files)) << detailed.output;
  // With --fragments the pair written in turn, cluster run by cluster run,
  // is told for what it is: the first file's copy steps over the second's
  // claim, the second keeps clusters the first's run would have reached.
  // Files without a FAT chain lie where they lie, claims or not.
  const CommandResult claims = Cli({"search", "--recurse", "--deleted-dirs", "--fragments", "C:"});
  ASSERT_EQ(claims.status, 0) << claims.output;
  std::map<std::string, std::string> claimed;
  for (const SearchRow& row : SearchRows(claims.output))
    claimed[row.longPath.substr(row.longPath.rfind('\\') + 1)] = row.condition;
  for (const auto& f : files) {
    if (f.back == Back::kFreshBinsClusters) continue;
    const std::string name = NameOf(f.path);
    const char* expected = name == "fragB1.bin" ? "claimed" : name == "fragB2.bin" ? "contested" : f.condition;
    EXPECT_EQ(claimed[name], expected) << name;
  }

  const CommandResult json = Cli({"search", "--recurse", "--deleted-dirs", "--all", "--details", "--json", "C:"});
  ASSERT_EQ(json.status, 0) << json.output;
  CommandOptions terminal;
  terminal.terminal = true;
  const CommandResult shown = Cli({"search", "--recurse", "--deleted-dirs", "--all", "C:"}, terminal);
  ASSERT_EQ(shown.status, 0) << shown.output;

  TempDir out;
  std::multiset<std::string> expected_json, expected_shown;
  for (const auto& f : files) {
    SCOPED_TRACE(f.path);
    const std::vector<uint8_t>& bytes = volume_->written.at(f.path);
    const std::string row_path = RowOf(f.path);
    const auto row = std::find_if(rows.begin(), rows.end(), [&](const SearchRow& r) { return r.path == row_path; });
    ASSERT_NE(row, rows.end()) << detailed.output;
    EXPECT_EQ(row->size, bytes.size());
    // exFAT's rows are its whole names already: the long path is the row.
    EXPECT_EQ(row->longPath, row_path);
    EXPECT_EQ(row->condition, f.condition);
    // JSON and a terminal show the names as the text they are.
    expected_json.insert("{\"path\": \"" + JsonText(row_path) + "\", \"path_hex\": \"" + Hex(row_path) +
                         "\", \"size\": " + std::to_string(bytes.size()) + ", \"long_path\": \"" +
                         JsonText(row_path) + "\", \"condition\": \"" + f.condition +
                         "\", \"first_cluster\": " + std::to_string(row->firstCluster) +
                         ", \"modified\": " + JsonTimeOf(row->modified) + ", \"accessed\": " +
                         JsonTimeOf(row->accessed) + ", \"created\": " + JsonTimeOf(row->created) + "}");
    expected_shown.insert(row_path + "\t" + std::to_string(bytes.size()));

    // The row as listed, under the name stored.
    const CommandResult undelete = Cli({"undelete", "-o", out.str(), row->path});
    // Written whole; 3 when the bytes are not known to be the file's own.
    EXPECT_EQ(undelete.status, std::string(f.condition) == "intact" ? 0 : 3) << undelete.output;
    if (!fs::exists(out.path() / NameOf(f.path))) {
      ADD_FAILURE() << "nothing recovered under the stored name\n" << undelete.output;
      continue;
    }
    const std::vector<uint8_t> recovered = ReadFileBytes(out.path() / NameOf(f.path));
    switch (f.back) {
      case Back::kAsWritten:
        EXPECT_EQ(recovered, bytes);
        break;
      case Back::kAsSleuthKit:
      case Back::kAsSleuthKitOnly:
        ASSERT_EQ(inodes.count(f.path), 1u);
        EXPECT_EQ(recovered, SleuthKitRecovered(volume_->image, inodes.at(f.path)));
        EXPECT_EQ(recovered == bytes, f.back == Back::kAsSleuthKit);
        break;
      case Back::kFreshBinsClusters: {
        const std::vector<uint8_t>& fresh = volume_->written.at(kCafe + "/fresh.bin");
        EXPECT_EQ(recovered, std::vector<uint8_t>(fresh.begin(), fresh.begin() + bytes.size()));
        break;
      }
    }
  }
  EXPECT_EQ(Lines(json.output), expected_json);
  // The terminal's rows; the directories the search enters show between them.
  std::multiset<std::string> shown_rows;
  for (const std::string& line : Lines(shown.output))
    if (line.find('\t') != std::string::npos) shown_rows.insert(line);
  EXPECT_EQ(shown_rows, expected_shown);
}

TEST_F(CliExFat, TypedPathsFindTheirFileAndDamagedSetsAreSaidSo) {
  UnchangedGuard unchanged(volume_->image);
  const std::string found = "Quorvane: File Undeleted !";
  const std::string not_found = "quorvane-cli: File not found !";
  const struct {
    std::string typed;
    std::string file;  // the file it names; empty when none
  } cases[] = {
      {"C:\\CAF\xC3\x89\\" + kDiary, kCafe + "/" + kDiary},       // CAFÉ: the up-case table
      {"C:\\caf\xC3\xA9\\\xE6\x97\xA5\xE8\xA8\x98.TXT", kCafe + "/" + kDiary},
      {"C:\\Caf\xE9\\R\xE9sum\xE9.txt", kCafe + "/" + kResume},     // Latin-1 bytes
      {"C:\\CAF\xC9\\R\xC9SUM\xC9.TXT", kCafe + "/" + kResume},
      {"C:\\name WITH spaces.JPG", "Name with spaces.jpg"},
      {"C:\\old\\SUB\\Deep.TXT", "Old/Sub/deep.txt"},
      {"C:\\SMILE \xF0\x9F\x98\x80.PNG", kSmile},
      {"C:\\" + kLongName, kLongName},
      {"C:\\\xE9.txt", kAcute},
      {"C:\\\xC3\x89.TXT", kAcute},
      // Two Latin-1 characters, not the é their bytes spell in UTF-8.
      {"C:\\" + kMisread, kMisread},
      {"C:\\keep.bin", ""},           // live
      {"C:\\" + kCafe + "\\fresh.bin", ""},
      {"C:\\" + kCafe, ""},           // a directory
      {"C:\\Old", ""},                // a deleted one
      {"C:\\Old\\Sub", ""},
      {"C:\\nothing.bin", ""},
      {"C:\\" + kCafe + "\\a.txt", ""},
      {"C:\\Nowhere\\deep.txt", ""},
      {"C:\\Old\\deep.txt", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    TempDir out;
    const CommandResult run = Cli({"undelete", "-o", out.str(), c.typed});
    if (c.file.empty()) {
      EXPECT_EQ(run.status, 1) << run.output;
      EXPECT_THAT(run.output, HasSubstr(not_found));
      EXPECT_TRUE(fs::is_empty(out.path()));
      continue;
    }
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr(found));
    ASSERT_TRUE(fs::exists(out.path() / NameOf(c.file))) << run.output;
    EXPECT_EQ(ReadFileBytes(out.path() / NameOf(c.file)), volume_->written.at(c.file));
  }

  // A directory to search, typed as a path to undelete is.
  const struct {
    std::string typed;
    std::vector<std::string> files;  // the rows it lists
  } directories[] = {
      {"C:\\CAF\xC3\x89", {kCafe + "/" + kDiary, kCafe + "/" + kResume}},
      {"C:\\caf\xE9\\", {kCafe + "/" + kDiary, kCafe + "/" + kResume}},
      {"C:\\OLD", {"Old/a.txt", "Old/Sub/deep.txt"}},  // deleted, and gone into with --deleted-dirs
      {"C:\\old\\sub", {"Old/Sub/deep.txt"}},
  };
  for (const auto& d : directories) {
    SCOPED_TRACE(d.typed);
    const CommandResult run = Cli({"search", "--recurse", "--deleted-dirs", d.typed});
    EXPECT_EQ(run.status, 0) << run.output;
    std::multiset<std::string> listed, expected;
    for (const SearchRow& row : SearchRows(run.output)) listed.insert(row.path);
    for (const std::string& file : d.files) expected.insert(RowOf(file));
    EXPECT_EQ(listed, expected);
  }

  // The filters are upper-cased as they are applied; names keep their case.
  const struct {
    std::vector<std::string> filter;
    std::vector<std::string> files;
  } filtered[] = {
      {{"--name", "deep"}, {"Old/Sub/deep.txt"}},
      {{"--ext", "txt"}, {"Old/a.txt", "Old/Sub/deep.txt"}},
      {{"--deleted-dir", "sub"}, {"Old/Sub/deep.txt"}},
      {{"--name", "nowhere"}, {}},
  };
  for (const auto& f : filtered) {
    SCOPED_TRACE(f.filter[0] + " " + f.filter[1]);
    std::vector<std::string> args = {"search", "--recurse", "--deleted-dirs"};
    args.insert(args.end(), f.filter.begin(), f.filter.end());
    args.push_back("C:\\Old");
    const CommandResult run = Cli(args);
    EXPECT_EQ(run.status, 0) << run.output;
    std::multiset<std::string> listed, expected;
    for (const SearchRow& row : SearchRows(run.output)) listed.insert(row.path);
    for (const std::string& file : f.files) expected.insert(RowOf(file));
    EXPECT_EQ(listed, expected);
  }

  // A copy whose sets no driver wrote: one deleted set's name changed by a
  // byte (its checksum no longer fits), one's size set past 4 GiB with its
  // checksum made to fit.
  const std::string damaged = volume_->dir.File("damaged.img");
  fs::copy_file(volume_->image, damaged);
  const ExFatListing listing = ListExFatVolume(damaged);
  std::vector<uint8_t> image = ReadFileBytes(damaged);
  auto set_at = [&](const std::string& path) {
    const ExFatListed* file = listing.Find(path);
    EXPECT_TRUE(file != nullptr && file->set.deleted) << path;
    if (file == nullptr) return image.end();
    return std::search(image.begin(), image.end(), file->raw.begin(), file->raw.end());
  };
  const auto renamed = set_at("Name with spaces.jpg");
  const auto huge = set_at(kSmile);
  ASSERT_NE(renamed, image.end());
  ASSERT_NE(huge, image.end());
  renamed[2 * kExFatEntrySize + 2] = 'M';  // the first name character: Mame with spaces.jpg
  const uint64_t huge_size = 4608ull << 20;  // 4.5 GiB
  const size_t huge_offset = static_cast<size_t>(huge - image.begin());
  for (const size_t field : {ExFatStreamEntry::kValidDataLengthAt, ExFatStreamEntry::kDataLengthAt}) {
    StoreLe32(image, huge_offset + kExFatEntrySize + field, static_cast<uint32_t>(huge_size));
    StoreLe32(image, huge_offset + kExFatEntrySize + field + 4, static_cast<uint32_t>(huge_size >> 32));
  }
  const size_t huge_entries = listing.Find(kSmile)->raw.size();
  StoreLe16(image, huge_offset + ExFatFileEntry::kSetChecksumAt,
            ExFatSetChecksum(std::span(image).subspan(huge_offset, huge_entries), /*as_in_use=*/true));
  WriteFileBytes(damaged, image);
  UnchangedGuard damaged_unchanged(damaged);

  const CommandResult detailed = RunCli({damaged, "search", "--details", "C:"});
  ASSERT_EQ(detailed.status, 0) << detailed.output;
  std::map<std::string, SearchRow> rows;
  for (const SearchRow& row : SearchRows(detailed.output)) rows[row.path] = row;
  ASSERT_EQ(rows.count("C:\\Mame with spaces.jpg"), 1u) << detailed.output;
  EXPECT_EQ(rows["C:\\Mame with spaces.jpg"].condition, "bad-checksum");
  EXPECT_EQ(rows["C:\\Mame with spaces.jpg"].size, 5000u);
  ASSERT_EQ(rows.count(RowOf(kSmile)), 1u) << detailed.output;
  EXPECT_EQ(rows[RowOf(kSmile)].size, huge_size);
  // Its clusters, taken as they follow, run over live files.
  EXPECT_EQ(rows[RowOf(kSmile)].condition, "overwritten");
  const CommandResult json = RunCli({damaged, "search", "--json", "C:"});
  EXPECT_THAT(json.output, HasSubstr(", \"size\": 4831838208}\n"));

  // Its first cluster is the one written: the bytes come back.
  TempDir out;
  const CommandResult renamed_back = RunCli({damaged, "undelete", "-o", out.str(), "C:\\Mame with spaces.jpg"});
  EXPECT_EQ(renamed_back.status, 3) << renamed_back.output;  // bad-checksum: not intact
  EXPECT_EQ(ReadFileBytes(out.File("Mame with spaces.jpg")), volume_->written.at("Name with spaces.jpg"));
  // The volume ends long before 4.5 GiB: what it holds is kept and the
  // shortfall said, in clusters counted past 32 bits of bytes.
  const CommandResult huge_back = RunCli({damaged, "undelete", "-o", out.str(), RowOf(kSmile)});
  EXPECT_EQ(huge_back.status, 1) << huge_back.output;
  const uint32_t first = rows[RowOf(kSmile)].firstCluster;
  const uint32_t held = listing.params.LastCluster() - first + 1;
  EXPECT_THAT(huge_back.output, HasSubstr("Only " + std::to_string(held) + " of " +
                                          std::to_string(huge_size / 512) + " clusters could be undeleted !"));
  const std::vector<uint8_t> part = ReadFileBytes(out.path() / kSmile);
  ASSERT_EQ(part.size(), uint64_t{held} * 512);
  const std::vector<uint8_t>& smile = volume_->written.at(kSmile);
  EXPECT_TRUE(std::equal(smile.begin(), smile.end(), part.begin()));
}

}  // namespace
}  // namespace quorvane::testing
