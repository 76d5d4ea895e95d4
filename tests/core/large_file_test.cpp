// Files of 2 GiB and more: FAT32 sizes are unsigned 32-bit values, up to
// 4 GiB less one byte. A sparse image made by mkfs.fat holds a file mcopy
// wrote, deleted by mdel, whose entry then says it was 2 GiB and 5000 bytes
// long (a camera's video), and one of 4 GiB less one byte; the search lists
// both and the recovery of the first matches The Sleuth Kit's, compared
// by checksum so that no copy is kept in memory.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/run_command.h"
#include "support/search_rows.h"
#include "support/sleuth_kit.h"
#include "support/temp_dir.h"
#include "volume/little_endian.h"

namespace quorvane::testing {
namespace {

using ::testing::HasSubstr;

constexpr uint64_t kTwoGiBAndSome = (uint64_t{1} << 31) + 5000;
constexpr uint64_t kLargest = 0xFFFFFFFFu;
constexpr uint32_t kClusterBytes = 32768;

// The CRC and length cksum gives of what a shell command writes, read as it
// streams: fast enough for gibibytes.
std::string ChecksumOf(const std::string& command) {
  const CommandResult run = RunCommand({"bash", "-c", "set -o pipefail; " + command + " | cksum"},
                                       [] {
                                         CommandOptions options;
                                         options.stdout_only = true;
                                         return options;
                                       }());
  if (run.status != 0 || run.output.empty()) throw std::runtime_error(command + ": " + run.output);
  return run.output;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// The byte offset of `cluster` in a FAT32 image, from its boot sector.
uint64_t ClusterOffset(const std::vector<uint8_t>& boot, uint32_t cluster) {
  const uint64_t reserved = LoadLe16(boot, 14), fats = boot.at(16), fat_size = LoadLe32(boot, 36);
  return (reserved + fats * fat_size + uint64_t{cluster - 2} * boot.at(13)) * 512;
}

TEST(LargeFiles, SizesUpTo4GiBLessOneAreListedAndA2GiBFileComesBackAsTheSleuthKitReadsIt) {
  TempDir dir;
  const std::string image = dir.File("camera.img");
  // 2,300 MiB in 32 KiB clusters: a FAT32 volume that takes no disk space
  // beyond what is written.
  RunCommandOrThrow({"truncate", "-s", "2300M", image});
  RunCommandOrThrow({"mkfs.fat", "-F", "32", "-s", "64", "-n", "CAMERA", image});
  WriteFileBytes(dir.File("video.mp4"), PatternBytes(100000, 1));
  WriteFileBytes(dir.File("full.mov"), PatternBytes(40000, 2));
  RunCommandOrThrow({"mcopy", "-i", image, dir.File("video.mp4"), "::/VIDEO.MP4"});
  RunCommandOrThrow({"mcopy", "-i", image, dir.File("full.mov"), "::/FULL.MOV"});
  RunCommandOrThrow({"mdel", "-i", image, "::/VIDEO.MP4", "::/FULL.MOV"});

  // The deleted entries say the files were larger; marks of their own lie
  // past 2 GiB into the video, and at its end.
  {
    std::fstream file(image, std::ios::in | std::ios::out | std::ios::binary);
    std::vector<uint8_t> boot(512);
    file.read(reinterpret_cast<char*>(boot.data()), 512);
    ASSERT_EQ(LoadLe16(boot, 11) * uint32_t{boot.at(13)}, kClusterBytes);
    const uint32_t root = LoadLe32(boot, 44);
    std::vector<uint8_t> entries(kClusterBytes);
    file.seekg(static_cast<std::streamoff>(ClusterOffset(boot, root)));
    file.read(reinterpret_cast<char*>(entries.data()), kClusterBytes);
    uint32_t video_cluster = 0;
    int patched = 0;
    for (size_t at = 0; at < entries.size(); at += 32) {
      const std::string name(reinterpret_cast<const char*>(&entries[at]), 11);
      const uint64_t size = name == "\xE5IDEO   MP4" ? kTwoGiBAndSome : name == "\xE5ULL    MOV" ? kLargest : 0;
      if (size == 0) continue;
      if (size == kTwoGiBAndSome) video_cluster = LoadLe16(entries, at + 20) * 65536u + LoadLe16(entries, at + 26);
      StoreLe32(entries, at + 28, static_cast<uint32_t>(size));
      ++patched;
    }
    ASSERT_EQ(patched, 2);
    file.seekp(static_cast<std::streamoff>(ClusterOffset(boot, root)));
    file.write(reinterpret_cast<const char*>(entries.data()), kClusterBytes);
    const uint32_t past_2gib = video_cluster + (1u << 31) / kClusterBytes;
    const uint32_t last = video_cluster + static_cast<uint32_t>(kTwoGiBAndSome / kClusterBytes);
    for (const uint32_t cluster : {past_2gib, last}) {
      const std::vector<uint8_t> mark = PatternBytes(kClusterBytes, cluster);
      file.seekp(static_cast<std::streamoff>(ClusterOffset(boot, cluster)));
      file.write(reinterpret_cast<const char*>(mark.data()), kClusterBytes);
    }
    ASSERT_TRUE(file.good());
  }
  const std::string volume_sum = ChecksumOf("cat " + Quoted(image));

  CommandOptions rows_only;
  rows_only.stdout_only = true;
  const CommandResult listed = RunCli({"--drive", "C:=" + image, "search", "--details", "C:"}, rows_only);
  ASSERT_EQ(listed.status, 0) << listed.output;
  const std::vector<SearchRow> rows = SearchRows(listed.output);
  ASSERT_EQ(rows.size(), 2u) << listed.output;
  EXPECT_EQ(rows[0].path, "C:\\\xE5IDEO   .MP4");
  EXPECT_EQ(rows[0].size, kTwoGiBAndSome);
  EXPECT_EQ(rows[0].condition, "intact");
  EXPECT_EQ(rows[1].path, "C:\\\xE5ULL    .MOV");
  EXPECT_EQ(rows[1].size, kLargest);
  EXPECT_EQ(rows[1].condition, "short");  // the volume ends first
  EXPECT_THAT(RunCli({"--drive", "C:=" + image, "search", "C:"}, rows_only).output,
              HasSubstr("\t4294967295\n"));

  TempDir out;
  const CommandResult recovered =
      RunCli({"--quiet", "--drive", "C:=" + image, "undelete", "-o", out.str(), rows[0].path});
  EXPECT_EQ(recovered.status, 0) << recovered.output;
  const std::string copy = out.File("XIDEO   .MP4");
  ASSERT_EQ(std::filesystem::file_size(copy), kTwoGiBAndSome);
  const std::string copy_sum = ChecksumOf("cat " + Quoted(copy));
  std::filesystem::remove(copy);  // two GiB of disk, given back at once
  const uint64_t inode = SleuthKitDeletedFiles(image).at("_IDEO.MP4");
  EXPECT_EQ(copy_sum, ChecksumOf("icat -r " + Quoted(image) + " " + std::to_string(inode)));
  EXPECT_EQ(ChecksumOf("cat " + Quoted(image)), volume_sum);
}

}  // namespace
}  // namespace quorvane::testing
