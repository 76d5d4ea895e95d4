// Files deleted as the NT family deletes them, on real mtools volumes laid
// out so that the FAT alone leaves more than one cluster a file may have
// begun at: the content of real pictures and documents decides among them;
// files whose low words coincide are told apart by it or marked guessed;
// clusters in use again are stepped over or keep a file from being offered;
// and files below cluster 65,536 or deleted with their high word kept come
// back as the classic rules bring them back. Each case through quorvane-cli.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/format_samples.h"
#include "support/mtools_volume.h"
#include "support/nt_deleted.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::PatternBytes;
using testing::ReadFileBytes;
using testing::RunCli;
using testing::WriteText;

constexpr uint32_t kClusterBytes = 512;
const std::string kDraftLine = "draft of the minutes, not for circulation; see the final copy.\n";

struct Recovered {
  testing::CommandResult run;
  std::vector<uint8_t> bytes;  // the one file written; empty when none was
};

// Recovers `path` into a fresh directory and reads back what was written
// there, whatever name the file was given.
Recovered Undelete(const std::string& image, std::vector<std::string> options, const std::string& path) {
  testing::TempDir out;
  std::vector<std::string> args{"--drive", "C:=" + image, "undelete", "-o", out.str()};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(path);
  Recovered recovered{RunCli(args), {}};
  std::vector<std::filesystem::path> written(std::filesystem::directory_iterator(out.path()), {});
  if (written.size() == 1) recovered.bytes = ReadFileBytes(written.front());
  return recovered;
}

std::string Search(const std::string& image, std::vector<std::string> options) {
  std::vector<std::string> args{"--drive", "C:=" + image, "search"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back("C:");
  const auto run = RunCli(args);
  EXPECT_EQ(run.status, 0) << run.output;
  return run.output;
}

// A search --details row from the size to the first cluster (the times follow).
std::string DetailsOf(size_t size, const std::string& name, const std::string& condition,
                      uint32_t cluster) {
  return "\t" + std::to_string(size) + "\tC:\\" + name + "\t" + condition + "\t" +
         std::to_string(cluster) + "\t";
}

// Checks that `rows` (search --nt-deleted --details) list `name`, of `size`
// bytes, as `condition` from `cluster`, and that undelete --nt-deleted
// --long-names says it copied from there; gives what undelete wrote.
Recovered ExpectRowAndCopyFrom(const std::string& image, const std::string& rows, const std::string& name,
                               size_t size, const std::string& condition, uint32_t cluster) {
  EXPECT_THAT(rows, HasSubstr(DetailsOf(size, name, condition, cluster))) << rows;
  Recovered recovered = Undelete(image, {"--nt-deleted", "--long-names"}, "C:\\" + name);
  EXPECT_THAT(recovered.run.output,
              HasSubstr("From first cluster " + std::to_string(cluster) + " (" + condition + ")"))
      << name;
  return recovered;
}

// The bytes a copy from a file's first cluster gives when the clusters
// `skipped` (counted from 0) are in use again: the file's other clusters,
// then never-written clusters after its end for the ones it stepped over.
std::vector<uint8_t> WithClustersSkipped(const std::vector<uint8_t>& file, std::vector<size_t> skipped) {
  std::vector<uint8_t> copy;
  for (size_t at = 0, k = 0; at < file.size(); at += kClusterBytes, ++k) {
    if (std::find(skipped.begin(), skipped.end(), k) != skipped.end()) continue;
    copy.insert(copy.end(), file.begin() + at, file.begin() + std::min(file.size(), at + kClusterBytes));
  }
  copy.resize(file.size(), 0);
  return copy;
}

// A file with a cleared high word, placed where the test chose.
struct Placed {
  std::string name;
  std::vector<uint8_t> bytes;
  uint32_t cluster;  // where it truly began
};

class NtDeletedContent : public ::testing::Test {
 protected:
  void SetUp() override {
    // 70 MiB: low words below 10,000 have three candidates, L, 65536 + L
    // and 131072 + L. Each file begins at one of the upper two; deleted
    // text lies at L and deleted random bytes at the third.
    volume_.ReserveEntries("/", 60);
    volume_.AddFile("/old draft.txt", WriteText(400 * kClusterBytes, kDraftLine));
    // A live file beside them near L: nearness alone would choose L.
    volume_.AddFile("/index.txt", WriteText(700, "index of the shared folder\n"));
    files_ = {
        {"Holiday photo.jpg", testing::DrawPicture("jpg", 48, 32, 11), 65536 + 100},
        {"Site plan.png", testing::DrawPicture("png", 48, 32, 12), 2 * 65536 + 140},
        {"Spinner.gif", testing::DrawPicture("gif", 48, 32, 13), 65536 + 180},
        {"Scanned form.bmp", testing::DrawPicture("bmp", 48, 32, 14), 2 * 65536 + 220},
        {"Annual report.pdf", testing::WritePdf(60), 65536 + 260},
        {"Letter to the council.docx", testing::WriteDocx(40), 2 * 65536 + 300},
    };
    for (const Placed& f : files_) {
      ASSERT_LT(f.bytes.size(), 40 * kClusterBytes) << f.name;  // room before the next one
      volume_.SetNextFreeCluster(f.cluster - 1).AddFile("/" + f.name, f.bytes);
      ASSERT_EQ(volume_.FirstCluster("/" + f.name), f.cluster) << f.name;
    }
    // Random bytes around the files in both upper ranges.
    volume_.SetNextFreeCluster(65536 + 4).AddFile("/cache1.bin", PatternBytes(420 * kClusterBytes, 5));
    volume_.SetNextFreeCluster(2 * 65536 + 4).AddFile("/cache2.bin", PatternBytes(420 * kClusterBytes, 6));
    for (const Placed& f : files_) volume_.Delete("/" + f.name);
    for (const char* decoy : {"/old draft.txt", "/cache1.bin", "/cache2.bin"}) volume_.Delete(decoy);
    // The six files and the two caches; the draft had no high word.
    ASSERT_EQ(testing::ClearHighWordsOfDeleted(volume_.path()), 8);
    unchanged_.emplace(volume_.path());
  }
  testing::TempDir dir_;
  testing::MtoolsVolume volume_{dir_.File("content.img"), 70};
  std::vector<Placed> files_;
  std::optional<testing::UnchangedGuard> unchanged_;
};

TEST_F(NtDeletedContent, EachFormatIsTakenFromTheOneCandidateThatBeginsAsItsNameSays) {
  const std::string rows = Search(volume_.path(), {"--nt-deleted", "--details"});
  for (const Placed& f : files_) {
    const auto recovered = ExpectRowAndCopyFrom(volume_.path(), rows, f.name, f.bytes.size(), "rebuilt", f.cluster);
    // Written whole from a rebuilt cluster: not known intact, status 3.
    EXPECT_EQ(recovered.run.status, 3) << recovered.run.output;
    EXPECT_EQ(recovered.bytes, f.bytes) << f.name;
  }
}

// One volume of 33 MiB (candidates L and 65536 + L) with each case at its
// own low word. Live files made after the deletes go into /LATER, whose
// entries take no deleted slot of the root.
class NtDeletedNeighbours : public ::testing::Test {
 protected:
  void SetUp() override {
    volume_.ReserveEntries("/", 60).MakeDirectory("/LATER");
    place("/Notes.txt", notes_, 20);           // below 65,536, sharing its low word
    place("/Photo.jpg", photo_, 65536 + 20);   // with a picture
    place("/First draft.txt", first_, 40);     // two texts
    place("/Second draft.txt", second_, 65536 + 40);
    place("/Old scan.jpg", old_scan_, 60);     // two pictures, the lower one
    place("/New scan.jpg", new_scan_, 65536 + 60);  // overwritten later
    place("/draft.txt", WriteText(16 * kClusterBytes, kDraftLine), 100);
    place("/Garden.jpg", garden_, 65536 + 100);    // its third cluster taken later
    place("/Ledger.bin", ledger_, 65536 + 200);    // kept high word, second cluster taken later
    place("/KEEP.TXT", WriteText(300, "kept\n"), 300);
    place("/Poster.png", poster_, 65536 + 300);    // first cluster taken later
    place("/memo.txt", WriteText(20 * kClusterBytes, kDraftLine), 390);  // text at 400 too
    place("/Minutes.pdf", minutes_, 65536 + 400);  // first cluster taken later
    place("/Archive.zip", archive_, 65536 + 600);  // kept high word
    for (const char* name : {"/Notes.txt", "/Photo.jpg", "/First draft.txt", "/Second draft.txt",
                             "/Old scan.jpg", "/New scan.jpg", "/draft.txt", "/Garden.jpg",
                             "/Poster.png", "/memo.txt", "/Minutes.pdf"})
      volume_.Delete(name);
    // Those at 65536 + L; the others had no high word.
    ASSERT_EQ(testing::ClearHighWordsOfDeleted(volume_.path()), 6);
    // Deleted as the old systems delete: the high word stays.
    volume_.Delete("/Ledger.bin").Delete("/Archive.zip");
    // Clusters taken again by live files.
    int n = 0;
    for (uint32_t cluster : {60u, 65536 + 102u, 65536 + 201u, 65536 + 300u, 65536 + 400u}) {
      ++n;
      place("/LATER/FILLER" + std::to_string(n) + ".BIN", PatternBytes(kClusterBytes, 40 + n), cluster);
    }
    unchanged_.emplace(volume_.path());
  }
  void place(const std::string& name, const std::vector<uint8_t>& bytes, uint32_t cluster) {
    volume_.SetNextFreeCluster(cluster - 1).AddFile(name, bytes);
    if (const uint32_t at = volume_.FirstCluster(name); at != cluster)
      throw std::runtime_error(name + " begins at " + std::to_string(at) + ", not " +
                               std::to_string(cluster));
  }
  Recovered Undelete(std::vector<std::string> options, const std::string& path) {
    return quorvane::Undelete(volume_.path(), std::move(options), path);
  }
  Recovered ExpectRowAndCopyFrom(const std::string& rows, const std::string& name, size_t size,
                                 const std::string& condition, uint32_t cluster) {
    return quorvane::ExpectRowAndCopyFrom(volume_.path(), rows, name, size, condition, cluster);
  }
  testing::TempDir dir_;
  testing::MtoolsVolume volume_{dir_.File("neighbours.img")};
  const std::vector<uint8_t> notes_ =
      WriteText(3 * kClusterBytes - 100, "Notes from the parish meeting.\n");
  const std::vector<uint8_t> photo_ = testing::DrawPicture("jpg", 48, 32, 21);
  const std::vector<uint8_t> first_ = WriteText(700, "First draft of the speech.\n");
  const std::vector<uint8_t> second_ = WriteText(800, "Second draft of the speech.\n");
  const std::vector<uint8_t> old_scan_ = testing::DrawPicture("jpg", 48, 32, 22);
  const std::vector<uint8_t> new_scan_ = testing::DrawPicture("jpg", 48, 32, 23);
  const std::vector<uint8_t> garden_ = testing::DrawPicture("jpg", 64, 48, 24);
  const std::vector<uint8_t> ledger_ = PatternBytes(5 * kClusterBytes, 25);
  const std::vector<uint8_t> poster_ = testing::DrawPicture("png", 48, 32, 26);
  const std::vector<uint8_t> minutes_ = testing::WritePdf(20);
  const std::vector<uint8_t> archive_ = testing::WriteDocx(10);
  std::optional<testing::UnchangedGuard> unchanged_;
};

TEST_F(NtDeletedNeighbours, FilesSharingALowWordAreToldApartByContentOrMarkedGuessed) {
  const std::string rows = Search(volume_.path(), {"--nt-deleted", "--details"});
  // A text below 65,536 and a picture above it: each begins as its name says.
  EXPECT_EQ(ExpectRowAndCopyFrom(rows, "Notes.txt", notes_.size(), "rebuilt", 20).bytes, notes_);
  EXPECT_EQ(ExpectRowAndCopyFrom(rows, "Photo.jpg", photo_.size(), "rebuilt", 65536 + 20).bytes, photo_);
  // Two texts, both candidates text: nothing tells which began where.
  for (const char* name : {"First draft.txt", "Second draft.txt"}) {
    EXPECT_THAT(rows, HasSubstr(std::string("\tC:\\") + name + "\tguessed\t")) << rows;
    const auto recovered = Undelete({"--nt-deleted", "--long-names"}, std::string("C:\\") + name);
    EXPECT_EQ(recovered.run.status, 3) << recovered.run.output;
    EXPECT_THAT(recovered.run.output, HasSubstr(" (guessed)"));
  }
  // Two pictures, at 60 and 65596, and 60 in use again: the one picture
  // left may be either's, so neither is called rebuilt.
  ExpectRowAndCopyFrom(rows, "Old scan.jpg", old_scan_.size(), "guessed", 65536 + 60);
  EXPECT_EQ(ExpectRowAndCopyFrom(rows, "New scan.jpg", new_scan_.size(), "guessed", 65536 + 60).bytes, new_scan_);
  EXPECT_THAT(rows, Not(HasSubstr("\trebuilt\t65596\n")));
}

TEST_F(NtDeletedNeighbours, ClustersInUseAgainAreSteppedOverOrKeepTheFileFromBeingOffered) {
  const std::string rows = Search(volume_.path(), {"--nt-deleted", "--details"});
  // A rebuilt picture's third cluster is in use: the copy steps over it.
  const auto garden = ExpectRowAndCopyFrom(rows, "Garden.jpg", garden_.size(), "rebuilt", 65536 + 100);
  EXPECT_EQ(garden.run.status, 3) << garden.run.output;
  EXPECT_EQ(garden.bytes, WithClustersSkipped(garden_, {2}));
  // With its high word kept the file has gaps, with the option or without.
  EXPECT_THAT(rows, HasSubstr(DetailsOf(ledger_.size(), "Ledger.bin", "gaps", 65536 + 200)));
  EXPECT_THAT(Search(volume_.path(), {"--details"}),
              HasSubstr(DetailsOf(ledger_.size(), "Ledger.bin", "gaps", 65536 + 200)));
  for (std::vector<std::string> options : {std::vector<std::string>{}, {"--nt-deleted"}}) {
    const auto ledger = Undelete(options, "C:\\LEDGER.BIN");
    EXPECT_EQ(ledger.run.status, 3) << ledger.run.output;  // gaps: not intact
    EXPECT_EQ(ledger.bytes, WithClustersSkipped(ledger_, {1}));
    EXPECT_THAT(ledger.run.output, Not(HasSubstr("From first cluster")));
  }
  // Every cluster the poster may have begun at is in use: not offered, and
  // with --all shown as overwritten at its low word.
  EXPECT_THAT(rows, Not(HasSubstr("Poster.png")));
  EXPECT_THAT(Search(volume_.path(), {"--nt-deleted", "--details", "--all"}),
              HasSubstr(DetailsOf(poster_.size(), "Poster.png", "overwritten", 300)));
  // The report's first cluster is in use; the only free candidate holds
  // text, which no PDF begins with: a guess at best.
  ExpectRowAndCopyFrom(rows, "Minutes.pdf", minutes_.size(), "guessed", 400);
}

TEST_F(NtDeletedNeighbours, LowFilesAndKeptHighWordsComeBackAsTheClassicRulesBringThem) {
  // Below 65,536: the same bytes from the same cluster, asked for or not.
  for (std::vector<std::string> options : {std::vector<std::string>{}, {"--nt-deleted"}}) {
    const auto notes = Undelete(options, "C:\\NOTES.TXT");
    // With the option the cluster counts as rebuilt, which is no intact.
    EXPECT_EQ(notes.run.status, options.empty() ? 0 : 3) << notes.run.output;
    EXPECT_EQ(notes.bytes, notes_);
  }
  // A high word kept: the entry's own cluster, never a rebuilt one.
  const std::string rows = Search(volume_.path(), {"--nt-deleted", "--details"});
  EXPECT_THAT(rows, HasSubstr(DetailsOf(archive_.size(), "Archive.zip", "intact", 65536 + 600)));
  EXPECT_THAT(Search(volume_.path(), {}),
              HasSubstr("C:\\\xE5RCHIVE .ZIP\t" + std::to_string(archive_.size()) + "\n"));
  for (std::vector<std::string> options : {std::vector<std::string>{}, {"--nt-deleted"}}) {
    const auto archive = Undelete(options, "C:\\ARCHIVE.ZIP");
    EXPECT_EQ(archive.run.status, 0) << archive.run.output;
    EXPECT_EQ(archive.bytes, archive_);
    EXPECT_THAT(archive.run.output, Not(HasSubstr("From first cluster")));
  }
}

}  // namespace
}  // namespace quorvane
