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

// Bytes [start, end) of a file.
struct Range {
  uint64_t start, end;
};

// `original` with `zeros` zeroed.
std::vector<uint8_t> Zeroed(std::vector<uint8_t> original, const std::vector<Range>& zeros) {
  for (const Range& range : zeros)
    std::fill(original.begin() + static_cast<long>(range.start),
              original.begin() + static_cast<long>(range.end), 0);
  return original;
}

// A FAT16 volume of 4 KiB clusters with deleted files over sectors that will
// fail:
//  MIDDLE.BIN, 3 clusters in a row, one bad sector in the middle cluster;
//  MANY.BIN, 4 clusters, 6 bad sectors: more ranges than a status shows,
//   the last partly and one wholly past the file's end;
//  SPLIT.BIN, 6 clusters in two runs around a live file's cluster (KEEP.BIN),
//   the second half of the first run's last cluster, KEEP.BIN's cluster and
//   the first half of the second run's first cluster unreadable: one stretch
//   across the run boundary;
//  C.BIN, deleted before SPLIT.BIN took its cluster, the second run's first.
class KeepGoing : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string image = dir_.File("card.img");
    fs::resize_file((std::ofstream(image), image), 20u << 20);
    volume_.emplace(image, 0, 40960, 16, 8, "");
    volume_->AddFile("/MIDDLE.BIN", middle_).AddFile("/MANY.BIN", many_);
    // Freed clusters around a live one, which SPLIT.BIN then fills.
    volume_->AddFile("/A.BIN", PatternBytes(2 * kCluster, 7))
        .AddFile("/KEEP.BIN", PatternBytes(100, 8));
    volume_->AddFile("/C.BIN", PatternBytes(kCluster, 9)).Delete("/A.BIN").Delete("/C.BIN");
    volume_->AddFile("/SPLIT.BIN", split_);
    const uint32_t middle = volume_->FirstCluster("/MIDDLE.BIN");
    const uint32_t many = volume_->FirstCluster("/MANY.BIN");
    const uint32_t split = volume_->FirstCluster("/SPLIT.BIN");
    const uint32_t keep = volume_->FirstCluster("/KEEP.BIN");
    ASSERT_EQ(keep, split + 2) << "SPLIT.BIN is not laid out around KEEP.BIN";
    volume_->Delete("/MIDDLE.BIN").Delete("/MANY.BIN").Delete("/SPLIT.BIN");

    const std::vector<uint8_t> boot = ReadFileBytes(image);
    // The data area follows the reserved sectors, the FATs and the root directory.
    const uint64_t data = kSector * (LoadLe16(boot, 14) + uint64_t{boot[16]} * LoadLe16(boot, 22) +
                                     LoadLe16(boot, 17) * 32 / kSector);
    auto at = [&](uint32_t cluster) { return data + (cluster - 2) * kCluster; };
    auto sector = [&](uint32_t cluster, uint64_t s) {
      return BadBytes{at(cluster) + s * kSector, at(cluster) + (s + 1) * kSector};
    };
    bad_ = {sector(middle + 1, 2),
            {at(split + 1) + kCluster / 2, at(split + 3) + kCluster / 2}};
    // MANY.BIN's (cluster, sector) pairs.
    const std::pair<uint32_t, uint64_t> many_bad[] = {
        {0, 1}, {0, 3}, {1, 0}, {2, 7}, {3, 5}, {3, 6}, {3, 7}};
    for (const auto& [cluster, s] : many_bad) bad_.push_back(sector(many + cluster, s));
    unchanged_.emplace(image);
  }

  TempDir dir_;
  TempDir out_;
  std::optional<MtoolsVolume> volume_;
  const std::vector<uint8_t> middle_ = PatternBytes(3 * kCluster - 700, 1);
  const std::vector<uint8_t> many_ = PatternBytes(4 * kCluster - 700, 3);  // ends in sector 6 of the last
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

  // With it, 512 bytes of zeros for each bad sector; the rest is the file's.
  // Across the run boundary the stretch is one range, the readable halves kept.
  const std::vector<Range> many_zeros = {
      {512, 1024}, {1536, 2048}, {4096, 4608}, {11776, 12288}, {14848, 15684}};
  const std::string many_shown = "512-1023, 1536-2047, 4096-4607, 11776-12287 and 1 more";
  const std::string unreadable =
      "\nCondition: unreadable - sectors that could not be read were written as zeros, so those "
      "bytes are missing; zeros at bytes ";
  const std::string gaps =
      "\nCondition: gaps - clusters in use by other files were stepped over, so parts of the "
      "file may be missing or out of place";
  struct Case {
    const char* name;
    const std::vector<uint8_t>& original;
    std::vector<Range> zeros;
    std::string condition_lines;
  };
  const Case cases[] = {
      {"MIDDLE.BIN", middle_, {{5120, 5632}}, unreadable + "5120-5631"},
      {"MANY.BIN", many_, many_zeros, unreadable + many_shown},
      // Its clusters were taken around KEEP.BIN's: gaps, then unreadable.
      {"SPLIT.BIN", split_, {{6144, 10240}}, gaps + unreadable + "6144-10239"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir out;
    const auto run = RunCli({"--drive", drive, "undelete", "--keep-going", "-o", out.str(),
                             std::string("C:\\") + c.name});
    EXPECT_EQ(run.status, 3) << run.output;  // written whole, not intact
    EXPECT_THAT(run.output, HasSubstr("File Undeleted !" + c.condition_lines + "\n"));
    EXPECT_EQ(ReadFileBytes(out.File(c.name)), Zeroed(c.original, c.zeros));
  }

  // recover keeps going by itself; its lines give the ranges, the manifest
  // all of them. C.BIN's deleted entry is listed too: its one cluster,
  // SPLIT.BIN's third, begins with the bad second half.
  const std::string all = out_.File("all");
  const auto run = RunCli({"--drive", drive, "recover", "-o", all, "C:\\"});
  EXPECT_EQ(run.status, 1) << run.output;  // not intact
  std::ifstream manifest(fs::path(all) / "quorvane-manifest.jsonl");
  std::vector<std::string> lines;
  for (std::string line; std::getline(manifest, line);) lines.push_back(line);
  EXPECT_EQ(lines.size(), 4u);
  const std::vector<uint8_t> c_bytes(split_.begin() + 2 * kCluster, split_.begin() + 3 * kCluster);
  struct Recovered {
    std::string output;
    std::vector<uint8_t> bytes;
    std::string shown;  // the ranges its line ends with
    std::string condition, zero_filled;  // in the manifest
  };
  const Recovered recovered[] = {
      {"XIDDLE.BIN", Zeroed(middle_, {{5120, 5632}}), "5120-5631", "unreadable", "[[5120, 5632]]"},
      {"XANY.BIN", Zeroed(many_, many_zeros), many_shown, "unreadable",
       "[[512, 1024], [1536, 2048], [4096, 4608], [11776, 12288], [14848, 15684]]"},
      {"XPLIT.BIN", Zeroed(split_, {{6144, 10240}}), "6144-10239", "gaps", "[[6144, 10240]]"},
      {"X.BIN", Zeroed(c_bytes, {{0, 2048}}), "0-2047", "unreadable", "[[0, 2048]]"},
  };
  for (const Recovered& file : recovered) {
    SCOPED_TRACE(file.output);
    EXPECT_THAT(run.output, HasSubstr("-> " + file.output + ": zeros at bytes " + file.shown + "\n"));
    EXPECT_EQ(ReadFileBytes(fs::path(all) / file.output), file.bytes);
    const auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string& text) {
      return text.find("\"output\": \"" + file.output + "\"") != std::string::npos;
    });
    ASSERT_NE(line, lines.end());
    EXPECT_THAT(*line, HasSubstr("\"condition\": \"" + file.condition + "\""));
    EXPECT_THAT(*line, HasSubstr("\"zero_filled\": " + file.zero_filled + ","));
  }
}

}  // namespace
}  // namespace quorvane
