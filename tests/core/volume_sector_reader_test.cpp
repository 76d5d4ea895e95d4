// ReadSectors over real image files and in-memory volumes: the bytes, and
// the boxes each variant shows when a drive cannot be opened or read.
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/crafted_volume.h"
#include "support/memory_volume.h"
#include "support/mtools_volume.h"
#include "support/recording_reports.h"
#include "support/temp_dir.h"
#include "volume/drive_table.h"
#include "volume/posix_block_device.h"
#include "volume/sector_reader.h"

namespace quorvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(SectorReader, ReturnsExactlyTheRequestedSectorsInOrderFromAnImageFile) {
  TempDir dir;
  const std::string image = dir.File("pattern.img");
  const std::vector<uint8_t> bytes = PatternBytes(64 * 512);
  WriteFileBytes(image, bytes);
  UnchangedGuard unchanged(image);
  DriveTable drives;
  ASSERT_TRUE(drives.Map('C', image));
  RecordingReports reports;
  SectorReader reader(drives, reports.boxes, ReaderVariant::kEngine);

  const auto boot = reader.ReadSectors(3, 0, 1);
  ASSERT_TRUE(boot);
  EXPECT_EQ(*boot, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 512));

  const auto eight = reader.ReadSectors(3, 10, 8);
  ASSERT_TRUE(eight);
  ASSERT_EQ(eight->size(), 4096u);
  EXPECT_EQ(*eight, std::vector<uint8_t>(bytes.begin() + 10 * 512, bytes.begin() + 18 * 512));

  const auto last = reader.ReadSectors(3, 63, 1);
  ASSERT_TRUE(last);
  EXPECT_EQ(*last, std::vector<uint8_t>(bytes.end() - 512, bytes.end()));
  EXPECT_THAT(reports.log.Lines(), IsEmpty());
}

TEST(SectorReader, UnopenableDriveShowsCreateFileFailedUnderTheTitleInBothVariants) {
  for (ReaderVariant variant : {ReaderVariant::kEngine, ReaderVariant::kSearch}) {
    TempDir dir;
    DriveTable drives;
    drives.Map('D', dir.File("missing.img"));
    RecordingReports reports;
    SectorReader reader(drives, reports.boxes, variant);
    EXPECT_EQ(reader.ReadSectors(3, 0, 1), std::nullopt);  // C: is not mapped
    EXPECT_EQ(reader.ReadSectors(4, 0, 1), std::nullopt);  // D:'s image does not exist
    EXPECT_THAT(reports.log.Lines(), ElementsAre("box: CreateFile () Failed ! | (title) | 0",
                                                 "box: CreateFile () Failed ! | (title) | 0"));
  }
}

TEST(SectorReader, FailedReadShowsItsErrorNumberOnlyInTheEngineVariant) {
  TempDir dir;
  const std::string image = dir.File("short.img");
  WriteFileBytes(image, PatternBytes(10 * 512 + 100));
  UnchangedGuard unchanged(image);
  DriveTable drives;
  drives.Map('C', image);

  RecordingReports engine;
  SectorReader engine_reader(drives, engine.boxes, ReaderVariant::kEngine);
  EXPECT_TRUE(engine_reader.ReadSectors(3, 9, 1));
  // Sector 10 is cut short by the image's end, sector 20 lies past it.
  EXPECT_EQ(engine_reader.ReadSectors(3, 10, 1), std::nullopt);
  EXPECT_EQ(engine_reader.ReadSectors(3, 20, 1), std::nullopt);
  EXPECT_EQ(engine_reader.ReadSectors(3, 8, 4), std::nullopt);
  const std::string eio = "box: " + std::to_string(EIO) + " | Reading sectors ...Failed   | 0";
  EXPECT_THAT(engine.log.Lines(), ElementsAre(eio, eio, eio));

  RecordingReports search;
  SectorReader search_reader(drives, search.boxes, ReaderVariant::kSearch);
  EXPECT_EQ(search_reader.ReadSectors(3, 20, 1), std::nullopt);
  EXPECT_THAT(search.log.Lines(), IsEmpty());

  // A quiet request (a speculative large read) stays silent too.
  std::vector<uint8_t> out(2 * 512);
  EXPECT_FALSE(engine_reader.ReadInto(3, 20, 2, out, /*quiet=*/true));
  EXPECT_EQ(engine.log.Lines().size(), 3u);
}

TEST(SectorReader, ShowsThePlatformErrorOfTheFailedRangeAndKeepsOtherSectorsReadable) {
  MemoryDriveSource drives;
  drives.MapBytes('C', PatternBytes(100 * 512)).FailSectors('C', 40, 5, EACCES);
  RecordingReports reports;
  SectorReader reader(drives, reports.boxes, ReaderVariant::kEngine);
  EXPECT_TRUE(reader.ReadSectors(3, 30, 10));  // ends just before the range
  EXPECT_EQ(reader.ReadSectors(3, 35, 6), std::nullopt);  // touches sector 40
  EXPECT_EQ(reader.ReadSectors(3, 44, 1), std::nullopt);
  EXPECT_TRUE(reader.ReadSectors(3, 45, 1));
  const std::string eacces = "box: " + std::to_string(EACCES) + " | Reading sectors ...Failed   | 0";
  EXPECT_THAT(reports.log.Lines(), ElementsAre(eacces, eacces));
}

TEST(SectorReader, DeviceThatReportsNoReadErrorsFailsSilently) {
  MemoryDriveSource drives;
  drives.MapBytes('C', PatternBytes(8 * 512)).SetReportsReadErrors('C', false);
  RecordingReports reports;
  SectorReader reader(drives, reports.boxes, ReaderVariant::kEngine);
  EXPECT_EQ(reader.ReadSectors(3, 8, 1), std::nullopt);
  EXPECT_THAT(reports.log.Lines(), IsEmpty());
}

TEST(SectorReader, KeepsTheVolumeOpenAndRetriesADriveThatFailedToOpen) {
  MemoryDriveSource drives;
  drives.MapBytes('C', PatternBytes(8 * 512)).MapBytes('D', PatternBytes(8 * 512, 2));
  drives.FailOpen('C');
  RecordingReports reports;
  SectorReader reader(drives, reports.boxes, ReaderVariant::kSearch);
  EXPECT_EQ(reader.ReadSectors(3, 0, 1), std::nullopt);
  drives.FailOpen('C', false);
  for (uint32_t s = 0; s < 8; ++s) EXPECT_TRUE(reader.ReadSectors(3, s, 1));
  EXPECT_EQ(drives.Opens('C'), 1u);
  EXPECT_EQ(drives.Reads('C'), 8u);
  // Another drive is opened for its own requests, with its own bytes.
  EXPECT_EQ(*reader.ReadSectors(4, 0, 1), std::vector<uint8_t>(PatternBytes(512, 2)));
  EXPECT_EQ(*reader.ReadSectors(3, 0, 1), std::vector<uint8_t>(PatternBytes(512)));
  EXPECT_THAT(reports.log.Lines(), ElementsAre("box: CreateFile () Failed ! | (title) | 0"));
}

// Volumes larger than 4 GiB: offsets are computed in 64 bits.
TEST(PosixBlockDevice, ReadsPast4GiBOfASparseImage) {
  TempDir dir;
  const std::string image = dir.File("sparse.img");
  constexpr uint64_t kSize = 5ull << 30;
  constexpr uint64_t kMarkerAt = (9ull << 30) / 2;  // 4.5 GiB, sector 9,437,184
  const std::vector<uint8_t> marker = PatternBytes(1024, 7);
  {
    const int fd = ::open(image.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kSize)), 0);
    ASSERT_EQ(::pwrite(fd, marker.data(), marker.size(), static_cast<off_t>(kMarkerAt)),
              static_cast<ssize_t>(marker.size()));
    ::close(fd);
  }
  auto device = PosixBlockDevice::Open(image);
  ASSERT_TRUE(device);
  std::vector<uint8_t> out(1024);
  ASSERT_EQ(device->ReadAt(kMarkerAt, out), 0);
  EXPECT_EQ(out, marker);
  // The same place with its low 32 bits only holds zeros: a truncated offset would read those.
  ASSERT_EQ(device->ReadAt(kMarkerAt & 0xFFFFFFFFu, out), 0);
  EXPECT_EQ(out, std::vector<uint8_t>(1024, 0));
  EXPECT_EQ(device->ReadAt(kSize - 512, std::span(out).first(1024)), EIO);
  EXPECT_EQ(device->ReadAt(kSize, std::span(out).first(512)), EIO);

  DriveTable drives;
  drives.Map('E', image);
  RecordingReports reports;
  SectorReader reader(drives, reports.boxes, ReaderVariant::kEngine);
  const auto sectors = reader.ReadSectors(5, static_cast<uint32_t>(kMarkerAt / 512), 2);
  ASSERT_TRUE(sectors);
  EXPECT_EQ(*sectors, marker);
}

// The access mode of this process's descriptors open on `path`.
std::vector<int> AccessModesOf(const std::string& path) {
  std::vector<int> modes;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(fd.path(), error) != path) continue;
    std::ifstream info("/proc/self/fdinfo/" + fd.path().filename().string());
    std::string key, value;
    while (info >> key >> value)
      if (key == "flags:") modes.push_back(static_cast<int>(std::stoul(value, nullptr, 8)) & O_ACCMODE);
  }
  return modes;
}

TEST(PosixBlockDevice, OpensTheVolumeReadOnlyAndRefusesMissingPaths) {
  TempDir dir;
  EXPECT_EQ(PosixBlockDevice::Open(dir.File("absent.img")), nullptr);
  const std::string image = std::filesystem::canonical(dir.path()).string() + "/volume.img";
  WriteFileBytes(image, PatternBytes(512));
  auto device = PosixBlockDevice::Open(image);
  ASSERT_TRUE(device);
  EXPECT_THAT(AccessModesOf(image), ElementsAre(O_RDONLY));
  device.reset();
  EXPECT_THAT(AccessModesOf(image), IsEmpty());
}

}  // namespace
}  // namespace quorvane::testing
