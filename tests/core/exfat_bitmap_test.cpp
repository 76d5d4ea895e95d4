// exFAT's allocation bitmap against The Sleuth Kit's view of which sectors
// are allocated; on a 128 GiB volume, read a chunk at a time; and bitmaps
// that cannot be read.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <iostream>
#include <optional>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "support/exfat_volume.h"
#include "support/memory_volume.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "volume/format/exfat_bitmap.h"
#include "volume/format/exfat_boot_sector.h"
#include "volume/host/drive_table.h"
#include "volume/little_endian.h"

namespace quorvane::testing {
namespace {

namespace fs = std::filesystem;

// The sectors blkls lists as unallocated.
std::set<uint64_t> UnallocatedSectors(const std::string& image) {
  const CommandResult run = RunCommand({"blkls", "-l", "-A", image}, {.cwd = {}, .stdout_only = true});
  EXPECT_EQ(run.status, 0);
  std::set<uint64_t> sectors;
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);)  // "4144|f"
    if (line.ends_with("|f")) sectors.insert(std::stoull(line));
  return sectors;
}

// The image's sectors that hold anything but zeros, as runs, read past its
// holes: a large sparse volume in memory.
std::map<uint32_t, std::vector<uint8_t>> NonzeroRuns(const std::string& image) {
  std::map<uint32_t, std::vector<uint8_t>> runs;
  const int fd = ::open(image.c_str(), O_RDONLY);
  std::vector<uint8_t> sector(512);
  for (off_t at = ::lseek(fd, 0, SEEK_DATA); at >= 0; at = ::lseek(fd, at, SEEK_DATA)) {
    const off_t end = ::lseek(fd, at, SEEK_HOLE);
    std::vector<uint8_t>* run = nullptr;
    for (; at < end; at += 512) {
      if (::pread(fd, sector.data(), 512, at) != 512) break;
      if (std::all_of(sector.begin(), sector.end(), [](uint8_t b) { return b == 0; })) {
        run = nullptr;
        continue;
      }
      if (!run) run = &runs[static_cast<uint32_t>(at / 512)];
      run->insert(run->end(), sector.begin(), sector.end());
    }
  }
  ::close(fd);
  return runs;
}

struct OpenedExFat {
  FatParams params;
  std::unique_ptr<SectorReader> reader;
  std::unique_ptr<VolumeView> view;
  ExFatBitmapRecord record;
};

OpenedExFat Open(DriveSource& drives, const ExFatListing& listing) {
  OpenedExFat opened{listing.params, std::make_unique<SectorReader>(drives), nullptr, *listing.root.bitmap};
  opened.view = std::make_unique<VolumeView>(*opened.reader, opened.params);
  return opened;
}

TEST(ExFatBitmap, EveryClusterAsTheSleuthKitSeesIt) {
  if (const std::string why = ExFatVolumesUnavailable(); !why.empty()) GTEST_SKIP() << why;
  TempDir dir;
  const std::string image = dir.File("exfat.img");
  ExFatVolume(image, {.mib = 32, .cluster_bytes = 4096, .sector_bytes = 512, .label = {}})
      .Change([](const fs::path& root) {
        for (int round = 0; round < 8; ++round)
          for (const char* name : {"a.bin", "b.bin", "c.bin"}) AppendToFile(root / name, PatternBytes(5000, round));
        WriteFileBytes(root / "big.bin", PatternBytes(3 << 20, 7));
        fs::create_directory(root / "dir");
        WriteFileBytes(root / "dir" / "in.bin", PatternBytes(70000, 8));
      })
      .Change([](const fs::path& root) {
        fs::remove(root / "b.bin");
        fs::remove_all(root / "dir");
      });
  const ExFatListing listing = ListExFatVolume(image);
  const std::set<uint64_t> unallocated = UnallocatedSectors(image);
  DriveTable drives;
  drives.Map('C', image);
  OpenedExFat volume = Open(drives, listing);
  auto bitmap = ExFatBitmap::Open(*volume.view, volume.record);
  ASSERT_TRUE(bitmap);
  const FatParams& p = volume.params;
  uint32_t used = 0, freed = 0;
  for (uint32_t cluster = 2; cluster <= p.LastCluster(); ++cluster) {
    const bool tsk_free = unallocated.count(p.ClusterToSector(cluster)) != 0;
    const auto in_use = (*bitmap)->InUse(cluster);
    ASSERT_TRUE(in_use);
    EXPECT_EQ(*in_use, !tsk_free) << "cluster " << cluster;
    used += *in_use;
    freed += !*in_use && cluster < 1000;
  }
  // big.bin 768 clusters, a.bin and c.bin 10 each, the bitmap, the up-case
  // table (2) and the root.
  EXPECT_EQ(used, 768u + 2 * 10 + 1 + 2 + 1);
  EXPECT_GT(freed, 20u) << "b.bin and dir/ were deleted between the others";
  const auto counted = (*bitmap)->CountInUse(2, p.LastCluster() - 1);
  ASSERT_TRUE(counted);
  EXPECT_EQ(*counted, used);
  // Ranges that begin and end inside a byte of the bitmap.
  for (const auto& [first, count] : {std::pair{3u, 13u}, {9u, 100u}, {17u, 1u}, {p.LastCluster() - 5, 5u}}) {
    uint32_t expected = 0;
    for (uint32_t c = first; c < first + count; ++c) expected += *(*bitmap)->InUse(c);
    EXPECT_EQ(*(*bitmap)->CountInUse(first, count), expected) << first << "+" << count;
  }
  EXPECT_TRUE(*(*bitmap)->InUse(p.LastCluster() + 1)) << "past the heap counts as in use";
  EXPECT_TRUE(*(*bitmap)->InUse(1));
}

// 128 GiB in 4 KiB clusters: 33.5 million clusters, 4 MiB of bitmap.
TEST(ExFatBitmap, ALargeVolumeIsReadAChunkAtATime) {
  if (const std::string why = ExFatVolumesUnavailable(); !why.empty()) GTEST_SKIP() << why;
  TempDir dir;
  const std::string image = dir.File("large.img");
  ExFatVolume(image, {.mib = 128u << 10, .cluster_bytes = 4096, .sector_bytes = 512, .label = {}})
      .Change([](const fs::path& root) { WriteFileBytes(root / "file.bin", PatternBytes(1 << 20, 1)); });
  const ExFatListing listing = ListExFatVolume(image);
  MemoryDriveSource drives;
  drives.MapSparse('C', fs::file_size(image), NonzeroRuns(image));
  OpenedExFat volume = Open(drives, listing);
  auto bitmap = ExFatBitmap::Open(*volume.view, volume.record);
  ASSERT_TRUE(bitmap);
  const uint32_t clusters = volume.params.LastCluster() - 1;
  // The bitmap (1024 clusters), the up-case table, the root, the file (256).
  const uint32_t expected_used = 1024 + 1 + 1 + 256;
  const size_t reads_before = drives.ReadLog('C').size();
  const auto used = (*bitmap)->CountInUse(2, clusters);
  ASSERT_TRUE(used);
  EXPECT_EQ(*used, expected_used);
  const auto log = drives.ReadLog('C');
  const uint64_t chunks = ((clusters + 7) / 8 + ExFatBitmap::kChunkBytes - 1) / ExFatBitmap::kChunkBytes;
  EXPECT_EQ(log.size() - reads_before, chunks);
  for (size_t i = reads_before; i < log.size(); ++i) EXPECT_LE(log[i].length, ExFatBitmap::kChunkBytes);

  // Only the last chunks read are kept.
  EXPECT_TRUE(*(*bitmap)->InUse(clusters + 1) == false);
  EXPECT_EQ((*bitmap)->chunksRead(), chunks);
  EXPECT_TRUE(*(*bitmap)->InUse(2));
  EXPECT_EQ((*bitmap)->chunksRead(), chunks + 1);
}

TEST(ExFatBitmap, BitmapsThatCannotBeRead) {
  if (const std::string why = ExFatVolumesUnavailable(); !why.empty()) GTEST_SKIP() << why;
  TempDir dir;
  const std::string image = dir.File("exfat.img");
  // 512-byte clusters: the bitmap of 64 MiB takes 32 clusters of a FAT chain.
  ExFatVolume(image, {.mib = 64, .cluster_bytes = 512, .sector_bytes = 512, .label = {}});
  const ExFatListing listing = ListExFatVolume(image);
  const std::vector<uint8_t> bytes = ReadFileBytes(image);
  const ExFatBitmapRecord record = *listing.root.bitmap;
  const uint32_t fat = static_cast<uint32_t>(listing.params.m_nReservedSectors);
  ASSERT_EQ(record.length, (listing.params.LastCluster() - 1 + 7u) / 8);

  using P = ExFatBitmap::Problem;
  const struct {
    const char* what;
    std::function<void(std::vector<uint8_t>&, ExFatBitmapRecord&, MemoryDriveSource&)> damage;
    std::optional<P> problem;  // none: it opens
  } cases[] = {
      {"whole", [](auto&, auto&, auto&) {}, std::nullopt},
      {"a bit short", [](auto&, auto& r, auto&) { r.length -= 1; }, P::kTooShort},
      {"first cluster 0", [](auto&, auto& r, auto&) { r.firstCluster = 0; }, P::kBroken},
      {"first cluster past the heap", [&](auto&, auto& r, auto&) { r.firstCluster = listing.params.LastCluster(); },
       P::kBroken},
      {"its chain freed", [&](auto& b, auto& r, auto&) { StoreLe32(b, fat * 512 + (r.firstCluster + 5) * 4, 0); },
       P::kBroken},
      {"its chain ended early",
       [&](auto& b, auto& r, auto&) { StoreLe32(b, fat * 512 + (r.firstCluster + 5) * 4, 0xFFFFFFFF); }, P::kBroken},
      {"its chain looping back",
       [&](auto& b, auto& r, auto&) { StoreLe32(b, fat * 512 + (r.firstCluster + 5) * 4, r.firstCluster); },
       P::kBroken},
      {"its FAT unreadable", [&](auto&, auto&, auto& d) { d.FailSectors('C', fat, 1, EIO); }, P::kUnreadable},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> damaged = bytes;
    ExFatBitmapRecord r = record;
    MemoryDriveSource drives;
    c.damage(damaged, r, drives);
    drives.MapBytes('C', damaged);
    OpenedExFat volume = Open(drives, listing);
    const auto opened = ExFatBitmap::Open(*volume.view, r);
    EXPECT_EQ(opened.has_value(), !c.problem) << c.what;
    if (!opened && c.problem) {
      EXPECT_EQ(opened.error(), *c.problem) << c.what;
    }
  }

  // A bitmap sector that cannot be read fails the clusters it covers, and
  // those only.
  MemoryDriveSource drives;
  drives.MapBytes('C', bytes);
  const uint32_t second_chunk = listing.params.ClusterToSector(record.firstCluster) + 8;
  drives.FailSectors('C', second_chunk, 1, EIO);
  OpenedExFat volume = Open(drives, listing);
  auto bitmap = ExFatBitmap::Open(*volume.view, record);
  ASSERT_TRUE(bitmap);
  EXPECT_TRUE(*(*bitmap)->InUse(2));
  const auto failed = (*bitmap)->InUse(2 + ExFatBitmap::kChunkBytes * 8);
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().number, EIO);
  EXPECT_FALSE((*bitmap)->CountInUse(2, ExFatBitmap::kChunkBytes * 8 + 1));
  EXPECT_FALSE(*(*bitmap)->InUse(2 + 2 * ExFatBitmap::kChunkBytes * 8));
}

}  // namespace
}  // namespace quorvane::testing
