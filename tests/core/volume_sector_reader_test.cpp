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
#include "volume/host/drive_table.h"
#include "volume/host/sector_reader.h"

namespace quorvane::testing {
namespace {

// The box each failure gives, told by the engine and by the search.
std::vector<std::string> Told(const ReadError& error, ReadFailureTelling who) {
  RecordingReports reports;
  TellReadFailure(reports.boxes, error, who);
  return reports.log.Lines();
}

TEST(SectorReader, ReadsTheSectorsAskedForAndReturnsFailuresWhichEngineAndSearchTellApart) {
  TempDir dir;
  const std::string image = dir.File("short.img");
  const std::vector<uint8_t> bytes = PatternBytes(10 * 512 + 100);
  WriteFileBytes(image, bytes);
  UnchangedGuard unchanged(image);
  DriveTable drives;
  ASSERT_TRUE(drives.Map('C', image));
  SectorReader reader(drives);
  for (auto [first, count] : {std::pair{0u, 1u}, {1u, 8u}, {9u, 1u}}) {
    const auto read = reader.ReadSectors(3, first, count);
    ASSERT_TRUE(read) << first;
    EXPECT_EQ(*read, SectorBuffer(bytes.begin() + first * 512, bytes.begin() + (first + count) * 512));
  }

  MemoryDriveSource quiet;  // a device that gives no error number
  quiet.MapBytes('C', PatternBytes(8 * 512)).SetReportsReadErrors('C', false);
  SectorReader quiet_reader(quiet);
  using enum ReadError::Kind;
  const std::string create = "box: CreateFile () Failed ! | (title) | 0";
  const std::string eio = "box: " + std::to_string(EIO) + " | Reading sectors ...Failed   | 0";
  const struct {
    const char* what;
    SectorReader& reader;
    int32_t drive;
    uint32_t sector;
    ReadError::Kind kind;
    int number;  // the platform's, of a failed read only
    std::vector<std::string> engine_tells, search_tells;
  } cases[] = {
      {"drive D: not mapped", reader, 4, 0, kCannotOpen, 0, {create}, {create}},
      {"cut short by the end", reader, 3, 10, kCannotRead, EIO, {eio}, {}},
      {"past the end", reader, 3, 20, kCannotRead, EIO, {eio}, {}},
      {"no error number", quiet_reader, 3, 8, kCannotRead, 0, {}, {}},
  };
  for (const auto& c : cases) {
    const auto read = c.reader.ReadSectors(c.drive, c.sector, 1);
    ASSERT_FALSE(read) << c.what;
    EXPECT_EQ(read.error().kind, c.kind) << c.what;
    EXPECT_EQ(read.error().number, c.number) << c.what;
    EXPECT_EQ(Told(read.error(), ReadFailureTelling::kEngine), c.engine_tells) << c.what;
    EXPECT_EQ(Told(read.error(), ReadFailureTelling::kSearch), c.search_tells) << c.what;
  }
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
  EXPECT_EQ(*sectors, SectorBuffer(marker.begin(), marker.end()));
}

}  // namespace
}  // namespace quorvane::testing
