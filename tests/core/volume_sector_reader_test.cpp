// ReadSectors over image files and in-memory volumes: the bytes, and the
// boxes each variant shows when a drive cannot be opened or read.
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/memory_volume.h"
#include "support/mtools_volume.h"
#include "support/recording_reports.h"
#include "support/temp_dir.h"
#include "volume/drive_table.h"
#include "volume/sector_reader.h"

namespace quorvane::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(SectorReader, ReadsExactlyTheRequestedSectorsInOrder) {
  TempDir dir;
  const std::string image = dir.File("pattern.img");
  const std::vector<uint8_t> bytes = PatternBytes(64 * 512);
  WriteFileBytes(image, bytes);
  UnchangedGuard unchanged(image);
  DriveTable drives;
  ASSERT_TRUE(drives.Map('C', image));
  RecordingReports reports;
  SectorReader reader(drives, reports.boxes, ReaderVariant::kEngine);
  for (auto [first, count] : {std::pair{0u, 1u}, {10u, 8u}, {63u, 1u}}) {
    const auto read = reader.ReadSectors(3, first, count);
    ASSERT_TRUE(read) << first;
    EXPECT_EQ(*read, std::vector<uint8_t>(bytes.begin() + first * 512,
                                          bytes.begin() + (first + count) * 512));
  }
  EXPECT_THAT(reports.log.Lines(), IsEmpty());
}

TEST(SectorReader, UnopenableDriveShowsCreateFileFailedUnderTheTitleInBothVariants) {
  for (ReaderVariant variant : {ReaderVariant::kEngine, ReaderVariant::kSearch}) {
    DriveTable drives;
    RecordingReports reports;
    SectorReader reader(drives, reports.boxes, variant);
    EXPECT_EQ(reader.ReadSectors(3, 0, 1), std::nullopt);  // C: is not mapped
    EXPECT_THAT(reports.log.Lines(), ElementsAre("box: CreateFile () Failed ! | (title) | 0"));
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
  EXPECT_EQ(engine_reader.ReadSectors(3, 10, 1), std::nullopt);  // cut short by the end
  EXPECT_EQ(engine_reader.ReadSectors(3, 20, 1), std::nullopt);  // past it
  const std::string eio = "box: " + std::to_string(EIO) + " | Reading sectors ...Failed   | 0";
  EXPECT_THAT(engine.log.Lines(), ElementsAre(eio, eio));

  RecordingReports search;
  SectorReader search_reader(drives, search.boxes, ReaderVariant::kSearch);
  EXPECT_EQ(search_reader.ReadSectors(3, 20, 1), std::nullopt);
  EXPECT_THAT(search.log.Lines(), IsEmpty());

  MemoryDriveSource quiet;  // a device whose read errors go unreported
  quiet.MapBytes('C', PatternBytes(8 * 512)).SetReportsReadErrors('C', false);
  SectorReader quiet_reader(quiet, search.boxes, ReaderVariant::kEngine);
  EXPECT_EQ(quiet_reader.ReadSectors(3, 8, 1), std::nullopt);
  EXPECT_THAT(search.log.Lines(), IsEmpty());
}

TEST(PosixBlockDevice, ReadsPast4GiBOfASparseImage) {
  TempDir dir;
  const std::string image = dir.File("sparse.img");
  constexpr uint64_t kMarkerAt = (9ull << 30) / 2;  // 4.5 GiB
  const std::vector<uint8_t> marker = PatternBytes(1024, 7);
  {
    const int fd = ::open(image.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(5ull << 30)), 0);
    ASSERT_EQ(::pwrite(fd, marker.data(), marker.size(), static_cast<off_t>(kMarkerAt)), 1024);
    ::close(fd);
  }
  DriveTable drives;
  drives.Map('E', image);
  RecordingReports reports;
  SectorReader reader(drives, reports.boxes, ReaderVariant::kEngine);
  const auto sectors = reader.ReadSectors(5, static_cast<uint32_t>(kMarkerAt / 512), 2);
  ASSERT_TRUE(sectors);
  EXPECT_EQ(*sectors, marker);
}

}  // namespace
}  // namespace quorvane::testing
