// ReadSectors over image files and in-memory volumes: the bytes, the
// failures it returns, and the boxes the engine and the search make of them.
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/memory_volume.h"
#include "support/mtools_volume.h"
#include "recovery/read_failure_boxes.h"
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
  SectorReader reader(drives);
  for (auto [first, count] : {std::pair{0u, 1u}, {10u, 8u}, {63u, 1u}}) {
    const auto read = reader.ReadSectors(3, first, count);
    ASSERT_TRUE(read) << first;
    EXPECT_EQ(*read, std::vector<uint8_t>(bytes.begin() + first * 512,
                                          bytes.begin() + (first + count) * 512));
  }
}

// The box each failure gives, told by the engine and by the search.
std::vector<std::string> Told(const ReadError& error, ReadFailureTelling who) {
  RecordingReports reports;
  TellReadFailure(reports.boxes, error, who);
  return reports.log.Lines();
}

TEST(SectorReader, UnopenableDriveIsToldAsCreateFileFailedByEngineAndSearch) {
  DriveTable drives;
  SectorReader reader(drives);
  const auto read = reader.ReadSectors(3, 0, 1);  // C: is not mapped
  ASSERT_FALSE(read);
  EXPECT_EQ(read.error().kind, ReadError::Kind::kCannotOpen);
  for (auto who : {ReadFailureTelling::kEngine, ReadFailureTelling::kSearch})
    EXPECT_THAT(Told(read.error(), who), ElementsAre("box: CreateFile () Failed ! | (title) | 0"));
}

TEST(SectorReader, FailedReadCarriesItsErrorNumberWhichOnlyTheEngineTells) {
  TempDir dir;
  const std::string image = dir.File("short.img");
  WriteFileBytes(image, PatternBytes(10 * 512 + 100));
  UnchangedGuard unchanged(image);
  DriveTable drives;
  drives.Map('C', image);

  SectorReader reader(drives);
  EXPECT_TRUE(reader.ReadSectors(3, 9, 1));
  const std::string eio = "box: " + std::to_string(EIO) + " | Reading sectors ...Failed   | 0";
  for (uint32_t sector : {10u, 20u}) {  // cut short by the end, and past it
    const auto read = reader.ReadSectors(3, sector, 1);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().kind, ReadError::Kind::kCannotRead);
    EXPECT_EQ(read.error().number, EIO);
    EXPECT_THAT(Told(read.error(), ReadFailureTelling::kEngine), ElementsAre(eio));
    EXPECT_THAT(Told(read.error(), ReadFailureTelling::kSearch), IsEmpty());
  }

  MemoryDriveSource quiet;  // a device that gives no number
  quiet.MapBytes('C', PatternBytes(8 * 512)).SetReportsReadErrors('C', false);
  SectorReader quiet_reader(quiet);
  const auto read = quiet_reader.ReadSectors(3, 8, 1);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.error().number, 0);
  EXPECT_THAT(Told(read.error(), ReadFailureTelling::kEngine), IsEmpty());
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
  SectorReader reader(drives);
  const auto sectors = reader.ReadSectors(5, static_cast<uint32_t>(kMarkerAt / 512), 2);
  ASSERT_TRUE(sectors);
  EXPECT_EQ(*sectors, marker);
}

}  // namespace
}  // namespace quorvane::testing
