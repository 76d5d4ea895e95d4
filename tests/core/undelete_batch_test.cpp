// Several files recovered in one run on a real mtools volume: the order, the
// one bar over all bytes, the kept boxes and the summary; and the bar's
// scaling for totals past the 32-bit range.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>

#include "recovery/undelete_batch.h"
#include "support/mtools_volume.h"
#include "support/recording_reports.h"
#include "support/temp_dir.h"
#include "volume/host/drive_table.h"

namespace quorvane {
namespace {

using testing::MtoolsVolume;
using testing::PatternBytes;
using testing::ReadFileBytes;
using testing::RecordingReports;
using testing::TempDir;
using testing::UnchangedGuard;

// A status label that can raise the abort flag when a text comes.
class StatusHook final : public StatusText {
 public:
  StatusHook(StatusText& inner, std::function<void(const std::string&)> hook)
      : inner_(inner), hook_(std::move(hook)) {}
  void SetText(const std::string& text) override {
    inner_.SetText(text);
    hook_(text);
  }

 private:
  StatusText& inner_;
  std::function<void(const std::string&)> hook_;
};

// Clusters of 512 bytes:
//   /OLD.BIN (deleted; its first cluster taken again by /DOCS/KEEP.TXT)
//   /DOCS/ONE.TXT, /DOCS/TWO.BIN (deleted, whole)
class BatchOnRealVolume : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    volume_ = new MtoolsVolume(dir_->File("vol.img"));
    volume_->AddFile("/OLD.BIN", PatternBytes(900, 9));
    volume_->MakeDirectory("/DOCS");
    volume_->AddFile("/DOCS/ONE.TXT", PatternBytes(3000, 1))
        .AddFile("/DOCS/TWO.BIN", PatternBytes(20000, 2));
    // KEEP.TXT takes cluster 3, in a directory whose slots no deletion has freed.
    volume_->Delete("/OLD.BIN").SetNextFreeCluster(2).AddFile("/DOCS/KEEP.TXT",
                                                               PatternBytes(300, 3));
    volume_->Delete("/DOCS/ONE.TXT").Delete("/DOCS/TWO.BIN");
  }
  static void TearDownTestSuite() {
    delete volume_;
    delete dir_;
  }
  void SetUp() override { drives_.Map('C', volume_->path()); }

  BatchFile File(const std::string& path, uint64_t size) {
    UndeleteOptions options;
    options.outputDirectory = out_.path();
    return {path, options, size};
  }
  BatchTally Run(const std::vector<BatchFile>& files, StatusText& status) {
    return UndeleteBatch(drives_, files, status, nullptr, reports_.progress, reports_.boxes,
                         abort_);
  }

  static TempDir* dir_;
  static MtoolsVolume* volume_;
  DriveTable drives_;
  RecordingReports reports_;
  std::atomic<int32_t> abort_{0};
  TempDir out_;
  UnchangedGuard unchanged_{volume_->path()};
};

TempDir* BatchOnRealVolume::dir_ = nullptr;
MtoolsVolume* BatchOnRealVolume::volume_ = nullptr;

TEST_F(BatchOnRealVolume, RecoversInOrderUnderOneBarAndTellsOneSummary) {
  const std::vector<BatchFile> files = {File("C:\\DOCS\\TWO.BIN", 20000),
                                        File("C:\\NOSUCH.TXT", 0), File("C:\\OLD.BIN", 900),
                                        File("C:\\DOCS\\ONE.TXT", 3000)};
  const BatchTally tally = Run(files, reports_.status);
  EXPECT_EQ(ReadFileBytes(out_.File("TWO.BIN")), PatternBytes(20000, 2));
  EXPECT_EQ(ReadFileBytes(out_.File("ONE.TXT")), PatternBytes(3000, 1));
  ASSERT_TRUE(std::filesystem::exists(out_.File("OLD.BIN"))) << reports_.log.Dump();
  EXPECT_EQ(ReadFileBytes(out_.File("OLD.BIN")).size(), 900u);

  // One box, after every file, telling each outcome and what the engine said.
  const std::string summary =
      "3 of 4 files undeleted, 0 partly undeleted, 1 not undeleted.\n"
      "1 of the undeleted files is not intact: overwritten (1).\n"
      "overwritten: " + std::string(ConditionMeaning(FileCondition::kOverwritten)) + ".\n"
      "\n"
      "C:\\NOSUCH.TXT: File not found !";
  EXPECT_THAT(reports_.log.LinesStartingWith("box: "),
              ::testing::ElementsAre("box: " + summary + " | Quorvane | 48"));
  EXPECT_EQ(tally.notTried(), 0u);
  EXPECT_FALSE(tally.aborted());

  // Each file is named before the engine's own texts for it, in the order given.
  std::vector<std::string> named;
  for (const std::string& line : reports_.log.LinesStartingWith("status: Undeleting "))
    if (line.find(": C:\\") != std::string::npos) named.push_back(line);
  EXPECT_THAT(named, ::testing::ElementsAre("status: Undeleting 1 of 4: C:\\DOCS\\TWO.BIN",
                                            "status: Undeleting 2 of 4: C:\\NOSUCH.TXT",
                                            "status: Undeleting 3 of 4: C:\\OLD.BIN",
                                            "status: Undeleting 4 of 4: C:\\DOCS\\ONE.TXT"));
  EXPECT_EQ(reports_.status.text(), "3 of 4 files undeleted, 0 partly undeleted, 1 not undeleted.");

  // The bar: one range over all bytes, never going back, full before the box.
  const auto bar = reports_.log.LinesStartingWith("progress: ");
  ASSERT_GE(bar.size(), 4u);
  EXPECT_EQ(bar.front(), "progress: range 0 23900");
  EXPECT_THAT(std::vector<std::string>(bar.end() - 3, bar.end()),
              ::testing::ElementsAre("progress: pos 23900", "progress: range 0 0",
                                     "progress: delta 0"));
  int last = -1;
  for (size_t i = 1; i + 2 < bar.size(); ++i) {
    ASSERT_TRUE(bar[i].starts_with("progress: pos ")) << bar[i];
    const int pos = std::stoi(bar[i].substr(14));
    EXPECT_GE(pos, last) << reports_.log.Dump();
    last = pos;
  }
  // Each file's end shows as itself: TWO.BIN's bytes, then OLD.BIN's on top.
  EXPECT_NE(std::find(bar.begin(), bar.end(), "progress: pos 20000"), bar.end());
  EXPECT_NE(std::find(bar.begin(), bar.end(), "progress: pos 20900"), bar.end());
}

TEST_F(BatchOnRealVolume, AbortBetweenFilesKeepsWhatIsDone) {
  const std::vector<BatchFile> files = {File("C:\\DOCS\\ONE.TXT", 3000),
                                        File("C:\\DOCS\\TWO.BIN", 20000),
                                        File("C:\\OLD.BIN", 900)};
  // Raised as the first file's final status comes: the run stops before the next.
  StatusHook status(reports_.status, [&](const std::string& text) {
    if (text == "File Undeleted !") abort_.store(1);
  });
  const BatchTally tally = Run(files, status);
  EXPECT_TRUE(tally.aborted());
  EXPECT_EQ(tally.notTried(), 2u);
  EXPECT_EQ(ReadFileBytes(out_.File("ONE.TXT")), PatternBytes(3000, 1));
  EXPECT_FALSE(std::filesystem::exists(out_.File("TWO.BIN")));
  EXPECT_THAT(reports_.log.LinesStartingWith("box: "),
              ::testing::ElementsAre("box: 1 of 3 files undeleted, 0 partly undeleted, 0 not "
                                     "undeleted.\nUndeletion Aborted ! 2 files were not tried."
                                     " | Quorvane | 48"));
  EXPECT_EQ(reports_.status.text(),
            "Undeletion Aborted !\n1 of 3 files undeleted, 0 partly undeleted, 0 not undeleted.");
}

// The engine's calls for files of these sizes, through one BatchProgress:
// the bar underneath stays in the 32-bit range, never goes back, shows each
// file's end exactly, ends full, and is told a few thousand positions at most.
TEST(BatchProgressTest, ScalesAllBytesIntoTheBarsRange) {
  struct Case {
    const char* name;
    std::vector<uint64_t> sizes;
    uint32_t cluster_bytes;
  };
  const Case cases[] = {
      {"small files, bytes as they are", {700, 1, 5000}, 512},
      {"two files of 4 GiB less a byte", {0xFFFFFFFFull, 0xFFFFFFFFull}, 32768},
      {"many files past 2 GiB in all", std::vector<uint64_t>(40, 100ull << 20), 4096},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::ReportLog log;
    testing::RecordingProgress bar(log);
    uint64_t total = 0;
    for (uint64_t size : c.sizes) total += size;
    BatchProgress progress(bar, total);
    progress.Start();
    unsigned shift = 0;
    while ((total >> shift) > uint64_t{INT32_MAX}) ++shift;
    uint64_t done = 0;
    std::vector<int64_t> file_ends;
    for (uint64_t size : c.sizes) {
      progress.BeginFile(size);
      const auto n = static_cast<int32_t>((size + c.cluster_bytes - 1) / c.cluster_bytes);
      progress.SetRange32(0, 0);
      progress.DeltaPos(0);
      progress.SetRange32(0, n);
      progress.SetStep(1);
      for (int32_t k = 0; k < n; ++k) progress.StepIt();
      progress.SetPos(n);
      progress.SetRange32(0, 0);
      progress.DeltaPos(0);
      done += size;
      file_ends.push_back(static_cast<int64_t>(done >> shift));
    }
    progress.Finish();

    const auto lines = log.Lines();
    ASSERT_EQ(lines.front(), "progress: range 0 " + std::to_string(total >> shift));
    EXPECT_LE(lines.size(), 2000u + 2 * c.sizes.size());
    int64_t last = -1;
    std::vector<int64_t> shown;
    for (size_t i = 1; i < lines.size(); ++i) {
      ASSERT_TRUE(lines[i].starts_with("progress: pos ")) << lines[i];
      const int64_t pos = std::stoll(lines[i].substr(14));
      EXPECT_GE(pos, last);
      EXPECT_LE(pos, int64_t{INT32_MAX});
      shown.push_back(pos);
      last = pos;
    }
    EXPECT_EQ(last, static_cast<int64_t>(total >> shift));
    for (int64_t end : file_ends)
      EXPECT_NE(std::find(shown.begin(), shown.end(), end), shown.end()) << end;
  }
}

}  // namespace
}  // namespace quorvane
