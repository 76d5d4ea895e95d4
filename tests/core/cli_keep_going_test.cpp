// quorvane-cli over sectors that fail to read in the kernel, as on a failing
// card: undelete with and without --keep-going, and recover, which always
// keeps going. The image is served through a FUSE file system of the tests'
// own that fails reads (EIO) in chosen byte ranges.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/failing_image_mount.h"
#include "support/mtools_volume.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "volume/little_endian.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::BadBytes;
using testing::FailingImageMount;
using testing::MtoolsVolume;
using testing::PatternBytes;
using testing::ReadFileBytes;
using testing::RunCli;
using testing::TempDir;
using testing::UnchangedGuard;

constexpr uint64_t kSector = 512;
constexpr uint64_t kCluster = 4096;  // 8 sectors: a bad sector is less than a cluster

// A FAT16 volume of 4 KiB clusters with two deleted files over sectors that
// will fail:
//  MIDDLE.BIN, 3 clusters in a row, one bad sector in the middle cluster;
//  SPLIT.BIN, 6 clusters in two runs around a live file's cluster (KEEP.BIN),
//  the second half of the first run's last cluster, KEEP.BIN's cluster and
//  the first half of the second run's first cluster unreadable: one stretch
//  across the run boundary.
class KeepGoing : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string image = dir_.File("card.img");
    fs::resize_file((std::ofstream(image), image), 20u << 20);
    volume_.emplace(image, 0, 40960, 16, 8, "");
    volume_->AddFile("/MIDDLE.BIN", middle_);
    // Freed clusters around a live one, which SPLIT.BIN then fills.
    volume_->AddFile("/A.BIN", PatternBytes(2 * kCluster, 7)).AddFile("/KEEP.BIN", PatternBytes(100, 8));
    volume_->AddFile("/C.BIN", PatternBytes(kCluster, 9)).Delete("/A.BIN").Delete("/C.BIN");
    volume_->AddFile("/SPLIT.BIN", split_);
    const uint32_t middle = volume_->FirstCluster("/MIDDLE.BIN");
    const uint32_t split = volume_->FirstCluster("/SPLIT.BIN");
    const uint32_t keep = volume_->FirstCluster("/KEEP.BIN");
    ASSERT_EQ(keep, split + 2) << "SPLIT.BIN is not laid out around KEEP.BIN";
    volume_->Delete("/MIDDLE.BIN").Delete("/SPLIT.BIN");

    const std::vector<uint8_t> boot = ReadFileBytes(image);
    // The data area follows the reserved sectors, the FATs and the root directory.
    const uint64_t data = kSector * (LoadLe16(boot, 14) + uint64_t{boot[16]} * LoadLe16(boot, 22) +
                                     LoadLe16(boot, 17) * 32 / kSector);
    auto at = [&](uint32_t cluster) { return data + (cluster - 2) * kCluster; };
    bad_ = {{at(middle + 1) + 2 * kSector, at(middle + 1) + 3 * kSector},
            {at(split + 1) + kCluster / 2, at(split + 3) + kCluster / 2}};
    unchanged_.emplace(image);
  }

  // `original` with bytes [start, end) zeroed.
  static std::vector<uint8_t> Zeroed(std::vector<uint8_t> original, uint64_t start, uint64_t end) {
    std::fill(original.begin() + static_cast<long>(start), original.begin() + static_cast<long>(end), 0);
    return original;
  }

  TempDir dir_;
  TempDir out_;
  std::optional<MtoolsVolume> volume_;
  const std::vector<uint8_t> middle_ = PatternBytes(3 * kCluster - 700, 1);
  const std::vector<uint8_t> split_ = PatternBytes(6 * kCluster - 300, 2);
  std::vector<BadBytes> bad_;
  std::optional<UnchangedGuard> unchanged_;
};

TEST_F(KeepGoing, UnreadableSectorsBecomeZerosOnlyWhereTheyFailAndAreReported) {
  FailingImageMount mount(volume_->path(), bad_);
  if (!mount.whyNot().empty()) GTEST_SKIP() << mount.whyNot();
  const std::string drive = "C:=" + mount.path();

  // Without the option the copy ends at the bad sector, as it always has:
  // the first cluster is kept.
  {
    const auto run = RunCli({"--drive", drive, "undelete", "-o", out_.str(), "C:\\MIDDLE.BIN"});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_THAT(run.output, HasSubstr("Only 1 of 3 clusters could be undeleted !"));
    EXPECT_THAT(run.output, Not(HasSubstr("zeros")));
    EXPECT_EQ(ReadFileBytes(out_.File("MIDDLE.BIN")),
              std::vector<uint8_t>(middle_.begin(), middle_.begin() + kCluster));
  }

  // With it, one 512-byte sector of zeros; the rest is the file's. Across
  // the run boundary the stretch is one range, the readable halves kept.
  const std::string unreadable =
      "\nCondition: unreadable - sectors that could not be read were written as zeros, so those "
      "bytes are missing; zeros at bytes ";
  struct Case {
    const char* name;
    const std::vector<uint8_t>& original;
    uint64_t start, end;  // the zeros expected
    std::string condition_lines;
  };
  const Case cases[] = {
      {"MIDDLE.BIN", middle_, kCluster + 2 * kSector, kCluster + 3 * kSector, unreadable + "5120-5631"},
      // Its clusters were taken around KEEP.BIN's: gaps, then unreadable.
      {"SPLIT.BIN", split_, kCluster + kCluster / 2, 2 * kCluster + kCluster / 2,
       "\nCondition: gaps - clusters in use by other files were stepped over, so parts of the "
       "file may be missing or out of place" + unreadable + "6144-10239"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir out;
    const auto run =
        RunCli({"--drive", drive, "undelete", "--keep-going", "-o", out.str(), std::string("C:\\") + c.name});
    EXPECT_EQ(run.status, 3) << run.output;  // written whole, not intact
    EXPECT_THAT(run.output, HasSubstr(std::string("File Undeleted !") + c.condition_lines + "\n"));
    EXPECT_THAT(run.output, Not(HasSubstr("Only ")));
    EXPECT_EQ(ReadFileBytes(out.File(c.name)), Zeroed(c.original, c.start, c.end));
  }

  // recover keeps going by itself; its lines and the manifest give the
  // ranges. C.BIN's deleted entry is listed too: its one cluster, SPLIT.BIN's
  // third, begins with the second run's bad half.
  const std::string all = out_.File("all");
  const auto run = RunCli({"--drive", drive, "recover", "-o", all, "C:\\"});
  EXPECT_EQ(run.status, 1) << run.output;  // not intact
  struct Recovered {
    const char* output;
    std::vector<uint8_t> bytes;
    const char* line;      // how its line ends
    const char* manifest;  // its condition and ranges there
  };
  const Recovered recovered[] = {
      {"XIDDLE.BIN", Zeroed(middle_, 5120, 5632), "-> XIDDLE.BIN: zeros at bytes 5120-5631\n",
       "\"condition\": \"unreadable\", \"first_cluster\": "},
      {"XPLIT.BIN", Zeroed(split_, 6144, 10240), "-> XPLIT.BIN: zeros at bytes 6144-10239\n",
       "\"condition\": \"gaps\", \"first_cluster\": "},
      {"X.BIN", Zeroed(std::vector<uint8_t>(split_.begin() + 2 * kCluster, split_.begin() + 3 * kCluster), 0, 2048),
       "-> X.BIN: zeros at bytes 0-2047\n", "\"condition\": \"unreadable\", \"first_cluster\": "},
  };
  std::ifstream manifest(fs::path(all) / "quorvane-manifest.jsonl");
  std::vector<std::string> lines;
  for (std::string line; std::getline(manifest, line);) lines.push_back(line);
  EXPECT_EQ(lines.size(), 3u);
  const char* zero_filled[] = {"\"zero_filled\": [[5120, 5632]]", "\"zero_filled\": [[6144, 10240]]",
                               "\"zero_filled\": [[0, 2048]]"};
  for (size_t k = 0; k < std::size(recovered); ++k) {
    const Recovered& file = recovered[k];
    SCOPED_TRACE(file.output);
    EXPECT_THAT(run.output, HasSubstr(file.line));
    EXPECT_EQ(ReadFileBytes(fs::path(all) / file.output), file.bytes);
    const auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
      return l.find(std::string("\"output\": \"") + file.output + "\"") != std::string::npos;
    });
    ASSERT_NE(line, lines.end());
    EXPECT_THAT(*line, HasSubstr(file.manifest));
    EXPECT_THAT(*line, HasSubstr(zero_filled[k]));
  }
}

}  // namespace
}  // namespace quorvane
