// Every row a search lists comes back with the same options, from the first
// cluster the row shows, twins of one stored name each from its own entry: every option set of quorvane-cli search, over the
// volumes the other tests make (FAT12, FAT16 and FAT32 by mtools with the
// walks' hard cases, a volume the NT family deleted on, exFAT by
// exfat-fuse, and one written byte by byte for names no tool writes).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/crafted_volume.h"
#include "support/deleted_exfat.h"
#include "support/exfat_volume.h"
#include "support/mtools_volume.h"
#include "support/row_volumes.h"
#include "support/run_command.h"
#include "support/search_rows.h"
#include "support/temp_dir.h"
#include "volume/format/exfat_entry_set.h"
#include "volume/format/exfat_names.h"
#include "volume/format/opened_volume.h"
#include "volume/format/volume_view.h"
#include "volume/host/drive_table.h"
#include "volume/little_endian.h"

namespace quorvane::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

const std::string E5 = "\xE5";

std::string Hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

CommandOptions StdoutOnly() {
  CommandOptions options;
  options.stdout_only = true;
  return options;
}

// The single file a recovery wrote into `dir`.
std::vector<uint8_t> OnlyFileIn(const TempDir& dir) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) files.push_back(entry.path());
  if (files.size() != 1) {
    ADD_FAILURE() << files.size() << " files written";
    return {};
  }
  return ReadFileBytes(files.front());
}

struct Checked {
  size_t searches = 0;
  std::set<std::string> rows;  // each listed path once
  // Without --nt-deleted, the bytes each row of a path gave, a twin's too.
  std::map<std::string, std::vector<std::vector<uint8_t>>> recovered;
};

// Runs every option set's search over the image, with and without
// --details, and recovers each row listed: by its bytes, and with
// `long_names` by the long path --details gives it too, each time naming
// its entry by the size and first cluster the row shows (--entry).
// `extra` options go to every search and recovery.
Checked EveryRowRecovers(const std::string& image, bool long_names,
                         const std::vector<std::string>& extra = {}) {
  Checked checked;
  UnchangedGuard unchanged(image);
  DriveTable drives;
  drives.Map('C', image);
  auto volume = OpenedVolume::Open(drives, 3);
  if (!volume) {
    ADD_FAILURE() << image << " does not open";
    return checked;
  }
  VolumeView& view = (*volume)->view();
  const uint32_t cluster_bytes = view.params().ClusterBytes();

  // Each path with --nt-deleted and without: the rows every search gave it
  // (twins of one stored name apart by size and first cluster), and the
  // most one search gave.
  std::map<std::pair<std::string, bool>, std::vector<SearchRow>> listed;
  std::map<std::pair<std::string, bool>, size_t> most;
  for (int set = 0; set < 16; ++set) {
    std::vector<std::string> options{"--drive", "C:=" + image, "search"};
    const bool nt = set & 4;
    if (set & 1) options.push_back("--recurse");
    if (set & 2) options.push_back("--deleted-dirs");
    if (nt) options.push_back("--nt-deleted");
    if (set & 8) options.push_back("--all");
    options.insert(options.end(), extra.begin(), extra.end());
    std::vector<std::string> detailed_options = options;
    detailed_options.push_back("--details");
    options.push_back("C:");
    detailed_options.push_back("C:");
    const CommandResult plain = RunCli(options, StdoutOnly());
    const CommandResult detailed = RunCli(detailed_options, StdoutOnly());
    checked.searches += 2;
    EXPECT_EQ(plain.status, 0) << set << plain.output;
    EXPECT_EQ(detailed.status, 0) << set << detailed.output;
    const std::vector<SearchRow> plain_rows = SearchRows(plain.output);
    const std::vector<SearchRow> rows = SearchRows(detailed.output);
    // --details adds columns, never rows.
    EXPECT_EQ(plain_rows.size(), rows.size()) << set;
    for (size_t i = 0; i < std::min(rows.size(), plain_rows.size()); ++i) {
      EXPECT_EQ(plain_rows[i].path, rows[i].path) << set;
      EXPECT_EQ(plain_rows[i].size, rows[i].size) << set;
    }
    std::map<std::string, size_t> in_this;
    for (const SearchRow& row : rows) {
      checked.rows.insert(row.path);
      size_t& most_rows = most[{row.path, nt}];
      most_rows = std::max(most_rows, ++in_this[row.path]);
      std::vector<SearchRow>& seen = listed[{row.path, nt}];
      if (std::none_of(seen.begin(), seen.end(), [&](const SearchRow& earlier) {
            return earlier.size == row.size && earlier.firstCluster == row.firstCluster;
          }))
        seen.push_back(row);
    }
  }

  std::vector<std::pair<std::pair<std::string, bool>, SearchRow>> every_row;
  for (const auto& [key, rows] : listed) {
    // A path shows the same rows whatever else the options list.
    EXPECT_EQ(rows.size(), most[key]) << key.first;
    for (const SearchRow& row : rows) every_row.emplace_back(key, row);
  }
  for (const auto& [key, row] : every_row) {
    const auto& [path, nt] = key;
    const std::string what = row.longPath + (nt ? " (--nt-deleted)" : "");
    TempDir out;
    std::vector<std::string> args{"--drive", "C:=" + image, "undelete", "-o", out.str()};
    if (nt) args.push_back("--nt-deleted");
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"--entry", std::to_string(row.size) + ":" + std::to_string(row.firstCluster)});
    const std::vector<std::string> common = args;
    args.insert(args.end(), {"--hex", Hex(path)});
    const CommandResult run = RunCli(args);
    EXPECT_THAT(run.output, Not(HasSubstr("File not found"))) << what;
    const std::vector<uint8_t> bytes = OnlyFileIn(out);
    if (!nt) checked.recovered[path].push_back(bytes);
    // A first cluster outside the volume (a cleared high word read as it
    // stands, listed with --all) leaves nothing to copy, and says so.
    if (!view.params().IsClusterInVolume(row.firstCluster)) {
      EXPECT_EQ(row.condition, "overwritten") << what;
      EXPECT_THAT(run.output, HasSubstr("Only 0 of ")) << what;
      EXPECT_TRUE(bytes.empty()) << what;
      continue;
    }
    // A file the volume's end cuts short is kept as far as it goes.
    if (row.condition == "short") {
      EXPECT_LE(bytes.size(), row.size) << what;
    } else {
      // Written whole: 0 when intact, 3 when the condition says otherwise.
      EXPECT_EQ(run.status, row.condition == "intact" ? 0 : 3) << what << "\n" << run.output;
      EXPECT_EQ(bytes.size(), row.size) << what;
    }
    // The copy begins with the row's first cluster, unless another file holds it.
    if (row.condition != "overwritten") {
      const auto cluster = view.ReadCluster(row.firstCluster);
      const size_t head = std::min<size_t>({bytes.size(), cluster_bytes, row.size});
      EXPECT_TRUE(cluster && std::equal(bytes.begin(), bytes.begin() + head, (*cluster)->begin()))
          << what << " does not begin with cluster " << row.firstCluster;
    }
    if (row.condition == "rebuilt" || row.condition == "guessed") {
      EXPECT_THAT(run.output, HasSubstr("From first cluster " + std::to_string(row.firstCluster) + " (" +
                                        row.condition + ")"))
          << what;
    }
    if (!long_names) continue;
    // The long path the row shows leads to the same file.
    TempDir by_name;
    std::vector<std::string> named = common;
    named[4] = by_name.str();
    named.insert(named.end(), {"--long-names", row.longPath});
    const CommandResult again = RunCli(named);
    EXPECT_THAT(again.output, Not(HasSubstr("File not found"))) << what;
    EXPECT_EQ(OnlyFileIn(by_name), bytes) << what;
  }
  return checked;
}

class EveryRowOnFat : public ::testing::TestWithParam<int> {};

INSTANTIATE_TEST_SUITE_P(, EveryRowOnFat, ::testing::Values(12, 16, 32),
                         [](const auto& info) { return "FAT" + std::to_string(info.param); });

TEST_P(EveryRowOnFat, RecoversFromTheFirstClusterListedOnEveryFatFamily) {
  TempDir dir;
  const int bits = GetParam();
  MtoolsVolume v(dir.File("vol.img"), bits == 12 ? 2 : bits == 16 ? 16 : 33, bits);
  FillSearchVolume(v);
  AddWalkCases(v, /*reused_cluster=*/bits == 32);
  const Checked checked = EveryRowRecovers(v.path(), /*long_names=*/true);
  // The walks' hard cases are among the rows: directories with
  // extensions, live and deleted, a file without one, rows past 300 bytes.
  const std::string cases = "C:\\CASES   \\";
  for (const std::string& row :
       {cases + "ARCHIVE .OLD\\" + E5 + "EPORT  .TXT", cases + "V1      .01 \\" + E5 + "ETUP   .EXE",
        cases + E5 + "019    .Q4 \\" + E5 + "ALES   .CSV",
        cases + E5 + "019    .Q4 \\" + E5 + "NNER   \\" + E5 + "OTE    .TXT",
        cases + E5 + "EADME  .   "})
    EXPECT_TRUE(checked.rows.contains(row)) << row << ::testing::PrintToString(checked.rows);
  EXPECT_TRUE(std::any_of(checked.rows.begin(), checked.rows.end(), [](const std::string& row) {
    return row.size() > 300 && row.ends_with(E5 + "OTTOM  .TXT");
  }));
  // Nothing is listed from the live file that took a deleted directory's cluster.
  for (const std::string& row : checked.rows) EXPECT_THAT(row, Not(HasSubstr("ARSED"))) << row;
  // AB.BIN and CB.BIN, both stored as \xE5B.BIN, each come back as itself
  // (on FAT12 and FAT16 the walk cases' files, written later from the
  // start of the volume, took their clusters).
  if (bits == 32) {
    EXPECT_THAT(checked.recovered.at("C:\\TWINS   \\" + E5 + "B      .BIN"),
                UnorderedElementsAre(PatternBytes(600, 8), PatternBytes(900, 9)));
  }

  // One name created and deleted twice: two rows of one path, each
  // recovered from its own clusters, by undelete and by recover.
  MtoolsVolume twice(dir.File("twice.img"), bits == 12 ? 2 : bits == 16 ? 16 : 33, bits);
  AddRecreatedTwins(twice);
  const std::string report = "C:\\TWICE   \\" + E5 + "EPORT  .TXT";
  EXPECT_THAT(EveryRowRecovers(twice.path(), /*long_names=*/true).recovered[report],
              UnorderedElementsAre(FirstReport(), SecondReport()));
  UnchangedGuard unchanged(twice.path());
  TempDir out;
  const CommandResult recover =
      RunCli({"--drive", "C:=" + twice.path(), "recover", "--recurse", "-o", out.str(), "C:"});
  EXPECT_EQ(recover.status, 0) << recover.output;
  // The second file of the name takes the next numbered one.
  std::vector<std::vector<uint8_t>> written;
  for (const char* name : {"TWICE/XEPORT.TXT", "TWICE/XEPORT (2).TXT"})
    written.push_back(ReadFileBytes(out.File(name)));
  EXPECT_THAT(written, UnorderedElementsAre(FirstReport(), SecondReport()));
}

// Directories no walk reaches: with --fragments each deleted file in them
// is listed (every one The Sleuth Kit counts as an orphan among them) and
// comes back as it was written; without it none is listed.
TEST(EveryRow, RecoversFromOrphanDirectoriesWithFragments) {
  TempDir dir;
  MtoolsVolume v(dir.File("orphans.img"));
  const OrphanClusters at = AddOrphanCases(v);
  const Checked plain = EveryRowRecovers(v.path(), /*long_names=*/false);
  const Checked found = EveryRowRecovers(v.path(), /*long_names=*/true, {"--fragments"});
  auto name = [](uint32_t cluster) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", cluster);
    return std::string(hex) + "\\";
  };
  const std::string old = "C:\\ORPH    \\A       \\" + name(at.old);
  const std::map<std::string, std::vector<uint8_t>> orphans{
      {old + E5 + "OST1   .TXT", PatternBytes(700, 41)},
      {old + E5 + "OST2   .TXT", PatternBytes(300, 42)},
      {"C:\\ORPHANS\\" + name(at.inner) + E5 + "EEP    .TXT", PatternBytes(1200, 43)},
      {"C:\\ORPHANS\\" + name(at.later) + E5 + "13     .TXT", PatternBytes(330, 63)},
      {"C:\\ORPHANS\\" + name(at.later) + E5 + "14     .TXT", PatternBytes(340, 64)},
      {"C:\\ORPHANS\\" + name(at.later) + E5 + "15     .TXT", PatternBytes(350, 65)}};
  for (const auto& [row, bytes] : orphans) {
    EXPECT_FALSE(plain.rows.contains(row)) << row;
    ASSERT_TRUE(found.rows.contains(row)) << row << ::testing::PrintToString(found.rows);
    EXPECT_THAT(found.recovered.at(row), ::testing::Each(bytes)) << row;
  }
  EXPECT_EQ(found.rows.size(), plain.rows.size() + orphans.size());
  // recover keeps them where the search lists them.
  TempDir out;
  const CommandResult recover = RunCli({"--drive", "C:=" + v.path(), "recover", "--recurse", "--deleted-dirs",
                                        "--fragments", "-o", out.str(), "C:"});
  EXPECT_EQ(ReadFileBytes(out.File("ORPH/A/" + name(at.old).substr(0, 8) + "/XOST1.TXT")), PatternBytes(700, 41))
      << recover.output;
  EXPECT_EQ(ReadFileBytes(out.File("ORPHANS/" + name(at.inner).substr(0, 8) + "/XEEP.TXT")), PatternBytes(1200, 43));
  // The Sleuth Kit finds the same orphans: their stored names, deleted mark apart.
  const CommandResult fls = RunCommand({"fls", "-r", "-d", "-p", v.path()});
  ASSERT_EQ(fls.status, 0) << fls.output;
  size_t tsk_orphans = 0;
  for (size_t at_line = fls.output.find("$OrphanFiles/"); at_line != std::string::npos;
       at_line = fls.output.find("$OrphanFiles/", at_line + 1))
    ++tsk_orphans;
  EXPECT_EQ(tsk_orphans, orphans.size()) << fls.output;
}

TEST(EveryRow, RecoversFromTheFirstClusterListedOnAVolumeTheNtFamilyDeletedOn) {
  TempDir dir;
  MtoolsVolume v(dir.File("nt.img"));
  FillNtDeletedVolume(v);
  const Checked checked = EveryRowRecovers(v.path(), /*long_names=*/true);
  EXPECT_EQ(checked.rows.size(), 6u);
}

TEST(EveryRow, RecoversFromTheFirstClusterListedOnExFat) {
  if (const std::string why = ExFatVolumesUnavailable(); !why.empty()) GTEST_SKIP() << why;
  DeletedOnExFat volume;
  const Checked checked = EveryRowRecovers(volume.image, /*long_names=*/false);
  EXPECT_GE(checked.rows.size(), 13u);

  // A copy where two deleted sets bear one name: fragB1.bin renamed
  // fragB2.bin, its checksum and name hash made to fit. Both are listed,
  // and each comes back from its own first cluster.
  const std::string twins = volume.dir.File("twins.img");
  std::filesystem::copy_file(volume.image, twins);
  const ExFatListing listing = ListExFatVolume(twins);
  const ExFatListed* renamed = listing.Find("fragB1.bin");
  ASSERT_TRUE(renamed != nullptr && renamed->set.deleted);
  std::vector<uint8_t> image = ReadFileBytes(twins);
  const size_t at = static_cast<size_t>(
      std::search(image.begin(), image.end(), renamed->raw.begin(), renamed->raw.end()) - image.begin());
  ASSERT_LT(at, image.size());
  image[at + 2 * kExFatEntrySize + ExFatNameEntry::kNameAt + 2 * 5] = '2';  // fragB2.bin
  StoreLe16(image, at + kExFatEntrySize + ExFatStreamEntry::kNameHashAt,
            ExFatNameHash(u"fragB2.bin", *listing.upcase));
  StoreLe16(image, at + ExFatFileEntry::kSetChecksumAt,
            ExFatSetChecksum(std::span(image).subspan(at, renamed->raw.size()), /*as_in_use=*/true));
  WriteFileBytes(twins, image);
  const Checked twin_rows = EveryRowRecovers(twins, /*long_names=*/false);
  EXPECT_EQ(twin_rows.rows.size(), checked.rows.size() - 1);
  EXPECT_FALSE(twin_rows.rows.contains("C:\\fragB1.bin"));
  const auto twins_recovered = twin_rows.recovered.find("C:\\fragB2.bin");
  ASSERT_NE(twins_recovered, twin_rows.recovered.end());
  const std::vector<uint8_t>& b1 = checked.recovered.at("C:\\fragB1.bin").at(0);
  const std::vector<uint8_t>& b2 = checked.recovered.at("C:\\fragB2.bin").at(0);
  ASSERT_NE(b1, b2);
  EXPECT_THAT(twins_recovered->second, UnorderedElementsAre(b1, b2));
}

TEST(EveryRow, RecoversFromTheFirstClusterListedWhereNamesAreNoToolsNames) {
  // Names only a damaged volume or another system writes: a deleted file
  // stored in lower case, twins by stored name, a live directory whose 8.3
  // name has an extension, one whose name holds a full stop of its own
  // (which no path can name, so nothing in it is listed), and a deleted
  // directory that still begins with its own "." and "..".
  CraftedVolume crafted;
  constexpr uint32_t kEnd = 0x0FFFFFFF;
  crafted.SetEntry(2, 0, CraftedEntry{ShortName(E5 + "ower", "txt"), 0x20, 40, 700}).FillCluster(40, 0x11);
  crafted.SetEntry(2, 1, CraftedEntry{ShortName(E5 + "WIN", "BIN"), 0x20, 41, 100}).FillCluster(41, 0x22);
  crafted.SetEntry(2, 2, CraftedEntry{ShortName(E5 + "WIN", "BIN"), 0x20, 42, 100}).FillCluster(42, 0x33);
  crafted.SetEntry(2, 3, CraftedEntry{ShortName("ARCHIVE", "OLD"), 0x10, 10, 0}).SetFat(10, kEnd);
  crafted.SetEntry(10, 0, CraftedEntry{ShortName(E5 + "EPORT", "TXT"), 0x20, 43, 300}).FillCluster(43, 0x44);
  crafted.SetEntry(2, 4, CraftedEntry{ShortName("A.B"), 0x10, 11, 0}).SetFat(11, kEnd);
  crafted.SetEntry(11, 0, CraftedEntry{ShortName(E5 + "NREACH", "TXT"), 0x20, 44, 300});
  crafted.SetEntry(2, 5, CraftedEntry{ShortName(E5 + "LD"), 0x10, 12, 0});
  crafted.SetEntry(12, 0, CraftedEntry{ShortName("."), 0x10, 12, 0});
  crafted.SetEntry(12, 1, CraftedEntry{ShortName(".."), 0x10, 0, 0});
  crafted.SetEntry(12, 2, CraftedEntry{ShortName("KEPT", "DOC"), 0x20, 45, 900}).FillCluster(45, 0x55);
  TempDir dir;
  const std::string image = dir.File("crafted.img");
  WriteFileBytes(image, crafted.bytes());
  const Checked checked = EveryRowRecovers(image, /*long_names=*/false);
  EXPECT_EQ(checked.rows, (std::set<std::string>{"C:\\" + E5 + "ower   .txt", "C:\\" + E5 + "WIN    .BIN",
                                                 "C:\\ARCHIVE .OLD\\" + E5 + "EPORT  .TXT",
                                                 "C:\\" + E5 + "LD     \\KEPT    .DOC"}));
}

}  // namespace
}  // namespace quorvane::testing
