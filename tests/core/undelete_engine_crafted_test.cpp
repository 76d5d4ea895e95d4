// The engine on volumes written byte by byte: damaged chains, clusters out
// of the volume, unreadable sectors, failing output, and the copy's rules.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include <sys/resource.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <numeric>

#include "recovery/output_file.h"
#include "recovery/undelete_engine.h"
#include "support/crafted_volume.h"
#include "support/memory_volume.h"
#include "support/format_samples.h"
#include "support/recording_reports.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testing::CraftedEntry;
using testing::CraftedGeometry;
using testing::CraftedVolume;
using testing::MemoryDriveSource;
using testing::PatternBytes;
using testing::ReadFileBytes;
using testing::RecordingReports;
using testing::ScopedCurrentDir;
using testing::ShortName;
using testing::TempDir;

const std::string kEioBox = "box: " + std::to_string(EIO) + " | Reading sectors ...Failed   | 0";

class EngineOnCraftedVolume : public ::testing::Test {
 protected:
  // A deleted file in the root directory, its clusters filled with a pattern.
  void AddDeletedFile(uint32_t first_cluster, uint32_t size, size_t index = 0) {
    volume_.SetEntry(2, index, CraftedEntry{ShortName("\xE5" "ATA", "BIN"), 0x20, first_cluster, size});
  }
  // The clusters' bytes, one after another.
  std::vector<uint8_t> ClusterBytes(const std::vector<uint32_t>& clusters) {
    std::vector<uint8_t> bytes;
    for (uint32_t c : clusters) bytes.insert(bytes.end(), volume_.Cluster(c).begin(), volume_.Cluster(c).end());
    return bytes;
  }
  void FillClusters(uint32_t first, uint32_t count) {
    for (uint32_t c = first; c < first + count; ++c) volume_.FillCluster(c, PatternBytes(512, c));
  }

  int Undelete(const std::string& path) {
    drives_->MapBytes('C', volume_.bytes());
    CUndeleteEngine engine(*drives_, reports_.boxes);
    return engine.UndeleteByPath(path, reports_.status, reports_.progress, abort_);
  }
  std::vector<uint8_t> Output() { return ReadFileBytes(out_.File("DATA.BIN")); }

  CraftedVolume volume_;
  std::unique_ptr<MemoryDriveSource> drives_ = std::make_unique<MemoryDriveSource>();
  RecordingReports reports_;
  std::atomic<int32_t> abort_{0};
  TempDir out_;
  ScopedCurrentDir cwd_{out_.path()};
};

TEST_F(EngineOnCraftedVolume, CopyStepsOverClustersInUseAndCutsTheLastCluster) {
  FillClusters(10, 10);
  volume_.SetFat(10, 0x0FFFFFFF).SetFat(12, 0x10000013);  // in use (top bits ignored)
  AddDeletedFile(10, 3 * 512 + 100);
  EXPECT_EQ(Undelete("C:\\DATA.BIN"), 0);
  std::vector<uint8_t> expected = ClusterBytes({11, 13, 14, 15});
  expected.resize(3 * 512 + 100);
  EXPECT_EQ(Output(), expected);
  EXPECT_EQ(reports_.log.Count("progress: stepit"), 4u);
}

TEST_F(EngineOnCraftedVolume, AbortKeepsTheWholeClustersWrittenSoFar) {
  FillClusters(20, 50);
  AddDeletedFile(20, 50 * 512);
  // Raise the flag from the report of cluster 21 of 50, as an Abort press would.
  struct AbortingStatus : StatusText {
    AbortingStatus(StatusText& inner, std::atomic<int32_t>& flag) : inner(inner), flag(flag) {}
    void SetText(const std::string& text) override {
      inner.SetText(text);
      if (text.ends_with("21 of 50")) flag = 1;
    }
    StatusText& inner;
    std::atomic<int32_t>& flag;
  } status(reports_.status, abort_);
  drives_->MapBytes('C', volume_.bytes());
  CUndeleteEngine engine(*drives_, reports_.boxes);
  EXPECT_EQ(engine.UndeleteByPath("C:\\DATA.BIN", status, reports_.progress, abort_), 0);
  EXPECT_EQ(reports_.status.text(), "Undeletion Aborted !");
  EXPECT_EQ(Output().size(), 21u * 512);  // the 21st cluster was under way when it was raised
  const auto ranges = reports_.log.LinesStartingWith("progress: range");
  ASSERT_FALSE(ranges.empty());
  EXPECT_EQ(ranges.back(), "progress: range 0 0");
  EXPECT_THAT(reports_.log.LinesStartingWith("box: "), IsEmpty());
}

TEST_F(EngineOnCraftedVolume, DamagedVolumesAreRefusedWithOneBox) {
  const std::string not_found = "box: File not found ! | (title) | 0";
  const std::string not_fat32 = "box: Undeletion from fat-32 partitions only | Quorvane | 64";
  const auto subdirectory_at = [&](uint32_t cluster) {
    volume_.SetEntry(2, 0, CraftedEntry{ShortName("SUB"), 0x10, cluster, 0});
  };
  const struct {
    const char* name;
    std::function<void()> damage;
    std::string box;
    const char* status = nullptr;  // checked when given
  } cases[] = {
      {"root chain loops", [&] { volume_.Cycle({2, 3, 4}); }, not_found},
      {"root chain leaves the volume", [&] { volume_.SetFat(2, 5000); }, not_found},
      {"root chain points at a free cluster", [&] { volume_.SetFat(2, 1); }, not_found},
      {"subdirectory starts at cluster 0", [&] { subdirectory_at(0); }, not_found},
      {"subdirectory starts past the volume", [&] { subdirectory_at(0x0FFFFFF0); }, not_found},
      {"0 sectors per cluster", [&] { volume_.SetSectorsPerCluster(0); }, not_fat32},
      {"root past the last cluster", [&] { volume_.SetRootCluster(volume_.LastCluster() + 1); }, not_fat32},
      {"boot sector unreadable", [&] { drives_->FailSectors('C', 0, 1, EIO); }, kEioBox, "Error reading boot sector !"},
  };
  for (const auto& c : cases) {
    volume_ = CraftedVolume();
    drives_ = std::make_unique<MemoryDriveSource>();
    c.damage();
    reports_.log.Clear();
    EXPECT_EQ(Undelete("C:\\SUB\\DATA.BIN"), 1) << c.name;
    EXPECT_THAT(reports_.log.LinesStartingWith("box: "), ElementsAre(c.box)) << c.name << reports_.log.Dump();
    if (c.status) {
      EXPECT_EQ(reports_.status.text(), c.status) << c.name;
    }
  }
  EXPECT_TRUE(std::filesystem::is_empty(out_.path()));
}

TEST_F(EngineOnCraftedVolume, PartialCopiesKeepTheClustersReadAndNeverReadPastTheVolume) {
  const uint32_t last = volume_.LastCluster();
  const struct {
    const char* name;
    uint32_t first, clusters, bad_cluster, kept;  // bad_cluster 0: none
    std::vector<std::string> boxes;
    // The line naming the file's condition, after the texts: the copy is
    // not the file's own bytes where the volume ends or another file holds
    // the first cluster; a cluster that fails to read says nothing of that.
    std::optional<FileCondition> condition;
    uint32_t bad_fat_sector = 0;  // of the first FAT, counted from its start; 0: none
  } cases[] = {
      {"needs 5 clusters, 3 remain", last - 2, 5, 0, 3,
       {"box: Only 3 of 5 clusters could be undeleted !"}, FileCondition::kShort},
      {"first cluster outside the volume", last + 1, 1, 0, 0,
       {"box: Only 0 of 1 clusters could be undeleted !"}, FileCondition::kOverwritten},
      {"bad sector in the third cluster", 10, 4, 12, 2,
       {kEioBox, "box: Only 2 of 4 clusters could be undeleted !"}, std::nullopt},
      // The free run measured from cluster 120 ends before 128, whose FAT
      // entry cannot be read; its clusters are taken and the copy stops
      // there. Measuring the run and stepping onto 128 each tell the failure.
      {"FAT sector of clusters 128 to 255 unreadable", 120, 20, 0, 8,
       {kEioBox, kEioBox, "box: Only 8 of 20 clusters could be undeleted !"}, FileCondition::kShort, 1},
  };
  FillClusters(10, 4);
  FillClusters(120, 20);
  FillClusters(last - 2, 3);
  for (const auto& c : cases) {
    std::filesystem::remove(out_.File("DATA.BIN"));
    AddDeletedFile(c.first, c.clusters * 512);
    drives_ = std::make_unique<MemoryDriveSource>();
    if (c.bad_cluster) drives_->FailSectors('C', static_cast<uint32_t>(volume_.ClusterOffset(c.bad_cluster) / 512), 1, EIO);
    if (c.bad_fat_sector) drives_->FailSectors('C', CraftedGeometry{}.reserved_sectors + c.bad_fat_sector, 1, EIO);
    reports_.log.Clear();
    EXPECT_EQ(Undelete("C:\\DATA.BIN"), 1) << c.name;
    std::vector<uint32_t> kept(c.kept);
    std::iota(kept.begin(), kept.end(), c.first);
    EXPECT_EQ(Output(), ClusterBytes(kept)) << c.name;
    const std::string line = c.condition ? "\n" + ConditionLine(*c.condition) : "";
    std::vector<std::string> boxes = c.boxes;
    boxes.back() += line + " | Quorvane | 48";
    EXPECT_THAT(reports_.log.LinesStartingWith("box: "), ElementsAreArray(boxes)) << c.name;
    EXPECT_EQ(reports_.status.text(), "File partly undeleted ..." + line) << c.name;
    for (const auto& read : drives_->ReadLog('C'))
      EXPECT_LE(read.offset + read.length, volume_.bytes().size()) << c.name;
  }
}

TEST_F(EngineOnCraftedVolume, OutputDirectoryOnTheVolumeIsRefusedBeforeAnyFileIsMade) {
  AddDeletedFile(10, 100);
  drives_->SetHoldsDirectory('C', true);
  EXPECT_EQ(Undelete("C:\\DATA.BIN"), 1);
  EXPECT_THAT(reports_.log.Lines(),
              ElementsAre("box: Please select an output directory on another drive ! | Quorvane | 48"));
  EXPECT_TRUE(std::filesystem::is_empty(out_.path()));
}

// Fragmented files whose gaps hold other deleted files, every file deleted:
// the classic copy runs on through the other file's clusters and calls the
// mixture intact; with claims it steps over the clusters the other entries
// begin at or run through, and exact or not, no mixture is called intact.
TEST_F(EngineOnCraftedVolume, ClaimsOfOtherDeletedFilesAreSteppedOverWhereTheyDecide) {
  struct File {
    char letter;
    uint32_t first;
    std::vector<uint32_t> clusters;  // where its bytes really lie
    std::string ext = "BIN";
  };
  struct Expect {
    std::vector<uint32_t> classic;  // the clusters each copy holds, without and with claims
    std::vector<uint32_t> claims;
    FileCondition classic_condition, claims_condition;
  };
  const struct {
    const char* name;
    std::vector<File> files;
    std::vector<Expect> expect;  // one a file
  } cases[] = {
      {"a small file nested in a larger one's gap",
       {{'L', 10, {10, 11, 12, 15, 16, 17}}, {'S', 13, {13, 14}}},
       {{{10, 11, 12, 13, 14, 15}, {10, 11, 12, 15, 16, 17}, FileCondition::kIntact, FileCondition::kClaimed},
        // The larger file's run would have gone on over it: contested.
        {{13, 14}, {13, 14}, FileCondition::kIntact, FileCondition::kContested}}},
      {"a braid whose second file fits the gap",
       {{'A', 10, {10, 12, 14}}, {'B', 11, {11}}, {'C', 13, {13}}},
       {{{10, 11, 12}, {10, 12, 14}, FileCondition::kIntact, FileCondition::kClaimed},
        {{11}, {11}, FileCondition::kIntact, FileCondition::kContested},
        // Beyond what the first file's run reaches: nothing contradicts it.
        {{13}, {13}, FileCondition::kIntact, FileCondition::kIntact}}},
      // Two files interleaved cluster by cluster: nothing on the volume says
      // which of them the clusters between their first ones belong to. The
      // copies stay mixtures, and say so.
      {"a braided pair",
       {{'A', 10, {10, 12, 14}}, {'B', 11, {11, 13, 15}}},
       {{{10, 11, 12}, {10, 14, 15}, FileCondition::kIntact, FileCondition::kClaimed},
        {{11, 12, 13}, {11, 12, 13}, FileCondition::kIntact, FileCondition::kContested}}},
      // The rest of the file lies before its first cluster, where no copy
      // goes; the file after it is stepped over all the same.
      {"fragments out of order",
       {{'A', 20, {20, 21, 10, 11}}, {'C', 22, {22, 23}}},
       {{{20, 21, 22, 23}, {20, 21, 24, 25}, FileCondition::kIntact, FileCondition::kClaimed},
        {{22, 23}, {22, 23}, FileCondition::kIntact, FileCondition::kContested}}},
      // Two entries begin at the same cluster: the one whose content fits
      // its extension keeps the run, the other is told it lost it (its copy
      // goes on from there as any other would).
      {"two entries with the same first cluster",
       {{'T', 30, {30, 31, 32}, "TXT"}, {'P', 30, {30, 31}, "JPG"}},
       {{{30, 31, 32}, {30, 31, 32}, FileCondition::kIntact, FileCondition::kClaimed},
        {{30, 31}, {30, 31}, FileCondition::kIntact, FileCondition::kContested}}},
      // Files one after another, none fragmented: nothing contradicts them.
      {"deleted files side by side",
       {{'A', 10, {10, 11}}, {'B', 12, {12, 13, 14}}},
       {{{10, 11}, {10, 11}, FileCondition::kIntact, FileCondition::kIntact},
        {{12, 13, 14}, {12, 13, 14}, FileCondition::kIntact, FileCondition::kIntact}}},
  };
  for (const auto& c : cases) {
    volume_ = CraftedVolume();
    FillClusters(10, 30);
    static const uint8_t kJpegHead[] = {0xFF, 0xD8, 0xFF, 0xE0};
    volume_.FillCluster(30, kJpegHead);
    for (size_t k = 0; k < c.files.size(); ++k) {
      const File& file = c.files[k];
      volume_.SetEntry(2, k, CraftedEntry{ShortName("\xE5" + std::string(1, file.letter) + "FILE", file.ext),
                                          0x20, file.first, static_cast<uint32_t>(file.clusters.size() * 512)});
    }
    // The path's first letter stands for the deleted mark: "AAFILE.BIN".
    drives_->MapBytes('C', volume_.bytes());
    for (size_t k = 0; k < c.files.size(); ++k) {
      const File& file = c.files[k];
      const Expect& expect = c.expect[k];
      const std::string name = std::string(1, file.letter) + std::string(1, file.letter) + "FILE." + file.ext;
      for (const bool claims : {false, true}) {
        SCOPED_TRACE(std::string(c.name) + ", file " + file.letter + (claims ? ", with claims" : ", classic"));
        std::filesystem::remove(out_.File(name));
        UndeleteOptions options;
        options.stepOverClaims = claims;
        CUndeleteEngine engine(*drives_, reports_.boxes);
        engine.SetOptions(options);
        EXPECT_EQ(engine.UndeleteByPath("C:\\" + name, reports_.status, reports_.progress, abort_), 0);
        EXPECT_EQ(ReadFileBytes(out_.File(name)), ClusterBytes(claims ? expect.claims : expect.classic));
        EXPECT_EQ(engine.outcome().condition, claims ? expect.claims_condition : expect.classic_condition);
        const bool exact = ReadFileBytes(out_.File(name)) == ClusterBytes(file.clusters);
        if (claims) {
          EXPECT_TRUE(exact || engine.outcome().condition != FileCondition::kIntact);
        }
      }
    }
  }
}

// A file of a format whose bytes show where they are wrong, written in two
// pieces around clusters of something else that no entry claims: the
// classic copy takes the gap and calls it intact; with --fragments the
// format is followed past the gap, and the copy says so. Where the file's
// own clusters are gone, nothing continues it, and the copy is a guess.
TEST_F(EngineOnCraftedVolume, FragmentsFollowAFilesFormatPastClustersThatBreakIt) {
  std::vector<uint8_t> noise(3 * 512);
  std::mt19937 random(5);
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  const std::vector<uint8_t> other_picture = testing::DrawPicture("png", 48, 48, 9);
  const std::vector<uint8_t> text = testing::WriteText(3 * 512, "Notes from the meeting, in full. ");
  const struct {
    const char* ext;
    std::vector<uint8_t> file;
  } files[] = {{"PNG", testing::DrawPicture("png", 64, 64, 3)},
               {"JPG", testing::DrawPicture("jpg", 96, 96, 4)},
               {"DOC", testing::WriteDocx(40)},
               {"PDF", testing::WriteCompressedPdf(60)}};
  const std::vector<uint8_t> gaps[] = {noise, {other_picture.begin() + 1024, other_picture.begin() + 2560}, text};
  for (const auto& f : files) {
    for (const auto& gap : gaps) {
      for (const bool lost_tail : {false, true}) {
        SCOPED_TRACE(std::string(f.ext) + ", gap of " + std::to_string(&gap - gaps) +
                     (lost_tail ? ", its second piece gone" : ""));
        // First piece at 10.., the gap after it, the second piece after that.
        const uint32_t clusters = static_cast<uint32_t>((f.file.size() + 511) / 512);
        const uint32_t head = clusters / 2;
        volume_ = CraftedVolume();
        volume_.SetEntry(2, 0, CraftedEntry{ShortName("\xE5" "ILE", f.ext), 0x20, 10,
                                            static_cast<uint32_t>(f.file.size())});
        auto piece = [&](uint32_t cluster, size_t from) {
          std::vector<uint8_t> bytes(512, 0);
          std::copy(f.file.begin() + from, f.file.begin() + std::min(f.file.size(), from + 512), bytes.begin());
          volume_.FillCluster(cluster, bytes);
        };
        for (uint32_t c = 0; c < head; ++c) piece(10 + c, c * 512);
        for (uint32_t c = 0; c < 3; ++c)
          volume_.FillCluster(10 + head + c, std::span(gap).subspan(c * 512, 512));
        for (uint32_t c = head; c < clusters && !lost_tail; ++c) piece(13 + c, c * 512);
        drives_->MapBytes('C', volume_.bytes());
        for (const bool fragments : {false, true}) {
          const std::string name = "FILE." + std::string(f.ext);
          std::filesystem::remove(out_.File(name));
          UndeleteOptions options;
          options.fragments = options.stepOverClaims = fragments;
          CUndeleteEngine engine(*drives_, reports_.boxes);
          engine.SetOptions(options);
          ASSERT_EQ(engine.UndeleteByPath("C:\\" + name, reports_.status, reports_.progress, abort_), 0);
          const bool exact = ReadFileBytes(out_.File(name)) == f.file;
          const FileCondition condition = engine.outcome().condition;
          if (!fragments) {
            EXPECT_FALSE(exact);
            EXPECT_EQ(condition, FileCondition::kIntact);
          } else if (lost_tail) {
            EXPECT_EQ(condition, FileCondition::kGuessed);
          } else {
            EXPECT_TRUE(exact);
            EXPECT_EQ(condition, FileCondition::kFollowed);
            EXPECT_THAT(reports_.status.text(), HasSubstr("Condition: followed - "));
          }
        }
      }
    }
  }
}

TEST_F(EngineOnCraftedVolume, TheOutputIsNeverTheVolumeBeingRead) {
  // A volume that turns out to be the very file just made (as a file system
  // that ignores exclusive creation could give): refused before a byte is written.
  FillClusters(10, 1);
  AddDeletedFile(10, 100);
  drives_->SetIdentityFromPath('C', out_.File("DATA.BIN"));
  EXPECT_EQ(Undelete("C:\\DATA.BIN"), 1);
  EXPECT_THAT(reports_.log.LinesStartingWith("box: "),
              ElementsAre("box: Please select an output directory on another drive ! | Quorvane | 48"));
  EXPECT_TRUE(ReadFileBytes(out_.File("DATA.BIN")).empty());
}

TEST_F(EngineOnCraftedVolume, OutputThatCannotBeMadeOrWrittenIsNeverReportedAsUndeleted) {
  FillClusters(10, 3);
  AddDeletedFile(10, 3 * 512);
  {
    // The output directory is gone: nothing can be created in it, not even by root.
    const auto gone = out_.path() / "gone";
    std::filesystem::create_directory(gone);
    ScopedCurrentDir in_gone(gone);
    std::filesystem::remove(gone);
    EXPECT_EQ(Undelete("C:\\DATA.BIN"), 1);
  }
  EXPECT_THAT(reports_.log.LinesStartingWith("box: "),
              ElementsAre("box: Error opening file for writing !! | (title) | 0"));
  EXPECT_EQ(reports_.status.text(), "Error opening file for writing ...");
  // The bar was set for the copy, which never took a step.
  EXPECT_THAT(reports_.log.LinesStartingWith("progress: "),
              ElementsAre("progress: range 0 0", "progress: delta 0", "progress: range 0 3", "progress: step 1"));

  // Files of this process may not grow past 1000 bytes: the copy's write fails.
  reports_.log.Clear();
  const auto previous_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  rlimit small = previous;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int result = Undelete("C:\\DATA.BIN");
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previous_handler);
  EXPECT_EQ(result, 1);
  EXPECT_THAT(reports_.log.LinesStartingWith("box: "), ElementsAre("box: Error writing file !! | (title) | 0"));
  EXPECT_EQ(reports_.status.text(), "Error writing file ...");
  EXPECT_EQ(reports_.log.Count("status: File Undeleted !"), 0u);
}

TEST_F(EngineOnCraftedVolume, TakenNamesAreNeverReplacedNorLinksFollowed) {
  FillClusters(10, 1);
  AddDeletedFile(10, 100);
  const std::vector<uint8_t> expected = PatternBytes(512, 10);
  const std::vector<uint8_t> first(expected.begin(), expected.begin() + 100);
  const auto target = out_.path() / "target";
  testing::WriteFileBytes(target, PatternBytes(7, 99));
  struct Case {
    const char* name;
    std::function<void()> plant;  // what stands at DATA.BIN (and DATA (2).BIN)
    const char* written;
  };
  const Case cases[] = {
      {"free name", [] {}, "DATA.BIN"},
      {"a link to a file", [&] { std::filesystem::create_symlink(target, out_.File("DATA.BIN")); }, "DATA (2).BIN"},
      {"a dangling link", [&] { std::filesystem::create_symlink(out_.File("nowhere"), out_.File("DATA.BIN")); },
       "DATA (2).BIN"},
      {"a directory and a file", [&] {
         std::filesystem::create_directory(out_.File("DATA.BIN"));
         testing::WriteFileBytes(out_.File("DATA (2).BIN"), PatternBytes(3, 2));
       }, "DATA (3).BIN"},
  };
  for (const Case& c : cases) {
    for (const char* name : {"DATA.BIN", "DATA (2).BIN", "DATA (3).BIN"}) std::filesystem::remove_all(out_.File(name));
    c.plant();
    reports_.log.Clear();
    EXPECT_EQ(Undelete("C:\\DATA.BIN"), 0) << c.name;
    EXPECT_EQ(ReadFileBytes(out_.File(c.written)), first) << c.name;
    EXPECT_EQ(ReadFileBytes(target), PatternBytes(7, 99)) << c.name;
    const bool renamed = std::string(c.written) != "DATA.BIN";
    EXPECT_EQ(reports_.log.Count(std::string("status: DATA.BIN exists: writing ") + c.written), renamed ? 1u : 0u)
        << c.name;
    EXPECT_EQ(reports_.status.text(), "File Undeleted !" + (renamed ? std::string("\nSaved as ") + c.written : ""))
        << c.name;
  }
  EXPECT_EQ(NumberedName("XEPORT  .TXT", 2), "XEPORT   (2).TXT");
}

TEST_F(EngineOnCraftedVolume, OutputNameStaysOneNameInTheOutputDirectory) {
  FillClusters(10, 1);
  volume_.SetEntry(2, 0, CraftedEntry{ShortName("\xE5/B", "\xC4"), 0x20, 10, 10});
  EXPECT_EQ(Undelete("C:\\\xE5/B.\xC4"), 0);
  // 0xE5 became 'X', the slash '_', and the Latin-1 byte 0xC4 its UTF-8 form.
  EXPECT_TRUE(std::filesystem::exists(out_.File("X_B.\xC3\x84")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out_.path()), {}), 1);
}

}  // namespace
}  // namespace quorvane
