// FAT12, FAT16 and FAT32 volumes made by mkfs.fat: the family and label the
// boot sector gives, and every cluster chain mtools wrote read back through
// the view's 12-, 16- and 32-bit entries, fragments and all.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/memory_volume.h"
#include "support/mtools_volume.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "volume/format/opened_volume.h"
#include "volume/format/volume_family.h"
#include "volume/host/drive_table.h"
#include "volume/little_endian.h"

namespace quorvane::testing {
namespace {

struct FamilyCase {
  const char* name;
  std::vector<std::string> mkfs;  // mkfs.fat's options besides the image and size
  uint32_t kib;
  VolumeFamily family;
};

// The clusters mshowfat lists for a file, "<2-5><9>" as 2,3,4,5,9.
std::vector<uint32_t> MtoolsChain(const std::string& image, const std::string& path) {
  const CommandResult run = RunCommand({"mshowfat", "-i", image, "::" + path});
  EXPECT_EQ(run.status, 0) << run.output;
  std::vector<uint32_t> chain;
  const std::regex run_re("<(\\d+)(?:-(\\d+))?>");
  for (std::sregex_iterator it(run.output.begin(), run.output.end(), run_re), end; it != end; ++it) {
    const uint32_t first = std::stoul((*it)[1]);
    const uint32_t last = (*it)[2].matched ? std::stoul((*it)[2]) : first;
    for (uint32_t c = first; c <= last; ++c) chain.push_back(c);
  }
  return chain;
}

TEST(FatFamilies, FamilyLabelAndEveryChainAsMtoolsWroteThem) {
  const std::vector<FamilyCase> cases = {
      {"FAT12", {"-F", "12", "-s", "1"}, 2048, VolumeFamily::kFat12},
      // Two sectors a cluster put a FAT12 entry across a sector boundary
      // sooner: entry 341 begins in the FAT's first sector's last byte.
      {"FAT12, 1 KiB clusters", {"-F", "12", "-s", "2"}, 4000, VolumeFamily::kFat12},
      {"FAT16", {"-F", "16", "-s", "1"}, 16 * 1024, VolumeFamily::kFat16},
      {"FAT32", {"-F", "32", "-s", "1"}, 33 * 1024, VolumeFamily::kFat32},
  };
  for (const FamilyCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string image = dir.File("vol.img");
    std::vector<std::string> mkfs = {"mkfs.fat", "-n", "HOLIDAY"};
    mkfs.insert(mkfs.end(), c.mkfs.begin(), c.mkfs.end());
    mkfs.insert(mkfs.end(), {"-C", image, std::to_string(c.kib)});
    RunCommandOrThrow(mkfs);
    // Files interleaved, some deleted, then larger ones written into the
    // gaps: chains of several fragments, running past sector boundaries of
    // the FAT.
    const std::string src = dir.File("src");
    for (int i = 0; i < 60; ++i) {
      WriteFileBytes(src, PatternBytes(700 * (i % 5 + 1), i));
      RunCommandOrThrow({"mcopy", "-i", image, src, "::/F" + std::to_string(i) + ".BIN"});
    }
    for (int i = 0; i < 60; i += 3) RunCommandOrThrow({"mdel", "-i", image, "::/F" + std::to_string(i) + ".BIN"});
    if (c.family == VolumeFamily::kFat32) {
      // mtools allocates on FAT32 after its free-cluster hint: back to the start.
      std::vector<uint8_t> bytes = ReadFileBytes(image);
      StoreLe32(bytes, LoadLe16(bytes, 48) * 512 + 492, 2);
      WriteFileBytes(image, bytes);
    }
    WriteFileBytes(src, PatternBytes(90'000, 99));
    RunCommandOrThrow({"mcopy", "-i", image, src, "::/BIG.BIN"});

    DriveTable drives;
    drives.Map('C', image);
    auto volume = OpenedVolume::Open(drives, 3);
    ASSERT_TRUE(volume);
    EXPECT_EQ((*volume)->family(), c.family);
    const std::vector<uint8_t> boot = ReadFileBytes(image);
    const auto found = FamilyOfBootSector(std::span<const uint8_t>(boot).first(512));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->family, c.family);
    EXPECT_EQ(found->label, "HOLIDAY");

    std::vector<std::string> files = {"/BIG.BIN"};
    for (int i = 1; i < 60; i += 3) files.push_back("/F" + std::to_string(i) + ".BIN");
    size_t fragmented = 0;
    for (const std::string& file : files) {
      const std::vector<uint32_t> expected = MtoolsChain(image, file);
      ASSERT_FALSE(expected.empty()) << file;
      std::vector<uint32_t> walked = {expected.front()};
      for (int steps = 0; steps < 1000; ++steps) {
        const auto next = (*volume)->view().FatEntry(walked.back());
        ASSERT_TRUE(next) << file;
        if (FatParams::IsEndOfChain(*next)) break;
        walked.push_back(*next);
      }
      EXPECT_EQ(walked, expected) << file;
      for (size_t i = 1; i < walked.size(); ++i) fragmented += walked[i] != walked[i - 1] + 1;
    }
    EXPECT_GT(fragmented, 0u) << "no chain has a fragment: the case proves less than it says";
  }
}

}  // namespace
}  // namespace quorvane::testing
