// The engine on real volumes made with mkfs.fat and mtools: whole recoveries
// compared byte for byte, and the sequence of reports a page sees.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <tuple>

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "recovery/undelete_engine.h"
#include "support/mtools_volume.h"
#include "support/recording_reports.h"
#include "support/run_command.h"
#include "support/scoped_zone.h"
#include "support/temp_dir.h"
#include "volume/host/drive_table.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::MtoolsVolume;
using testing::PatternBytes;
using testing::ReadFileBytes;
using testing::RecordingReports;
using testing::ScopedCurrentDir;
using testing::ScopedZone;
using testing::TempDir;
using testing::UnchangedGuard;

// One volume for the whole suite: clusters of 512 bytes.
//   /DOCS/REPORT.TXT (45 clusters, deleted)   /DOCS/KEEP.TXT (live)
//   /DOCS/OLD                                 /EMPTY.DAT (size 0, deleted)
//   /MAKEFILE (no extension, deleted)
class EngineOnRealVolume : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    volume_ = new MtoolsVolume(dir_->File("vol.img"));
    volume_->MakeDirectory("/DOCS").MakeDirectory("/DOCS/OLD");
    volume_->AddFile("/DOCS/REPORT.TXT", Report());
    volume_->AddFile("/DOCS/KEEP.TXT", PatternBytes(700, 2));
    volume_->AddFile("/EMPTY.DAT", std::string());
    volume_->AddFile("/MAKEFILE", PatternBytes(100, 4));
    for (const char* path : {"/DOCS/REPORT.TXT", "/EMPTY.DAT", "/MAKEFILE"})
      volume_->Delete(path);
  }
  static void TearDownTestSuite() {
    delete volume_;
    delete dir_;
  }
  static std::vector<uint8_t> Report() { return PatternBytes(45 * 512 - 100, 1); }

  void SetUp() override { drives_.Map('C', volume_->path()); }

  int Undelete(const std::string& path) {
    CUndeleteEngine engine(drives_, reports_.boxes);
    return engine.UndeleteByPath(path, reports_.status, reports_.progress, abort_);
  }

  static TempDir* dir_;
  static MtoolsVolume* volume_;
  DriveTable drives_;
  RecordingReports reports_;
  std::atomic<int32_t> abort_{0};
  TempDir out_;
  ScopedCurrentDir cwd_{out_.path()};
  UnchangedGuard unchanged_{volume_->path()};
};

TempDir* EngineOnRealVolume::dir_ = nullptr;
MtoolsVolume* EngineOnRealVolume::volume_ = nullptr;

TEST_F(EngineOnRealVolume, RecoversTypedPathWithFullReportSequence) {
  EXPECT_EQ(Undelete("c:\\docs\\report.txt"), 0);
  EXPECT_EQ(ReadFileBytes(out_.File("REPORT.TXT")), Report());

  std::vector<std::string> expected = {
      "progress: range 0 0",
      "progress: delta 0",
      "status: Extracting the boot sector info ...",
      "status: Searching the directory structure for the deleted file ...",
      "progress: range 0 45",
      "progress: step 1",
  };
  for (int k = 0; k < 45; ++k) {
    if (k % 20 == 0)
      expected.push_back("status: Undeleting file ...\nReading cluster  \n" +
                         std::to_string(k + 1) + " of 45");
    expected.push_back("progress: stepit");
  }
  for (const char* line : {"progress: pos 45", "status: File Undeleted !",
                           "box: File Undeleted ! | Quorvane | 4160", "progress: range 0 0",
                           "progress: delta 0", "status: File Undeleted !"})
    expected.push_back(line);
  EXPECT_THAT(reports_.log.Lines(), ElementsAreArray(expected)) << reports_.log.Dump();
}

TEST_F(EngineOnRealVolume, EmptyFileAndFileWithoutExtension) {
  EXPECT_EQ(Undelete("C:\\EMPTY.DAT"), 0);
  EXPECT_TRUE(ReadFileBytes(out_.File("EMPTY.DAT")).empty());
  EXPECT_EQ(reports_.log.Count("progress: range 0 0"), 3u);  // reset, range 0..n, reset

  // "MAKEFILE." pads the empty extension with blanks; so does "MAKEFILE"
  // alone, the last component always naming the file.
  EXPECT_EQ(Undelete("C:\\MAKEFILE."), 0);
  EXPECT_EQ(ReadFileBytes(out_.File("MAKEFILE.")), PatternBytes(100, 4));
  EXPECT_EQ(Undelete("C:\\MAKEFILE"), 0);
  EXPECT_EQ(ReadFileBytes(out_.File("MAKEFILE")), PatternBytes(100, 4));
}

TEST_F(EngineOnRealVolume, PathsThatNameNoFileOrBreakTheNameFormat) {
  struct Case {
    const char* path;
    int result;
    const char* box;  // "" when none
  };
  const Case cases[] = {
      {"", 0, "Please give/select a file to undelete  | Quorvane | 48"},
      {"DOCS\\REPORT.TXT", 1, ""},
      {"A:\\NOTE.TXT", 1, "Undeletion from fat-32 partitions only | Quorvane | 64"},
      {"a:\\note.txt", 1, "Undeletion from fat-32 partitions only | Quorvane | 64"},
      {"C:", 1, "Please give/select a file to undelete  | Quorvane | 48"},
      {"C:\\", 1, "Please give/select a file to undelete  | Quorvane | 48"},
      {"C:REPORT.TXT", 1, "Please give/select a file to undelete  | Quorvane | 48"},
      // A directory is no file to bring back.
      {"C:\\DOCS", 1, "File not found ! | (title) | 0"},
      {"C:\\DOCS\\OLD\\", 1, "File not found ! | (title) | 0"},
      {"C:\\.TXT", 1, "Please use dos 8.3 file name format !! | (title) | 0"},
      {"C:\\DOCS\\.", 1, "Please use dos 8.3 file name format !! | (title) | 0"},
      {"C:\\DOCS\\..", 1, "Please use dos 8.3 file name format !! | (title) | 0"},
      {"C:\\LONGNAME1.TXT", 1, "Please use dos 8.3 file name format !! | (title) | 0"},
      {"C:\\REPORT.HTML", 1, "Please use dos 8.3 file name format !! | (title) | 0"},
      {"C:\\SUBDIRECTORY\\A.TXT", 1, "Please use 8 byte long directory names ! | (title) | 0"},
      {"C:\\ABCDEFGH.TXT", 1, "File not found ! | (title) | 0"},
      {"C:\\DOCS\\KEEP.TXT", 1, "File not found ! | (title) | 0"},  // live, not deleted
  };
  // A path past 255 characters is taken whole: the walk goes on until a
  // component is missing.
  std::string deep = "C:";
  for (int i = 0; i < 120; ++i) deep += "\\DOCS";
  deep += "\\REPORT.TXT";
  for (const Case& c : cases) {
    reports_.log.Clear();
    EXPECT_EQ(Undelete(c.path), c.result) << c.path;
    const auto boxes = reports_.log.LinesStartingWith("box: ");
    if (*c.box)
      EXPECT_THAT(boxes, ElementsAre(std::string("box: ") + c.box)) << c.path;
    else
      EXPECT_TRUE(reports_.log.Lines().empty()) << c.path << reports_.log.Dump();
  }
  reports_.log.Clear();
  EXPECT_EQ(Undelete(deep), 1);
  EXPECT_THAT(reports_.log.LinesStartingWith("box: "),
              ElementsAre("box: File not found ! | (title) | 0"));
  EXPECT_TRUE(std::filesystem::is_empty(out_.path()));
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {


// What a caller that recovers many files learns from each call, and the
// times a recovered file is given: the entry's, read in the local zone as
// the system that wrote them kept them (mtools, like the vfat driver, takes
// the host's zone), so a photo sorted by date stays where it was.
TEST(EngineOutcome, NamesTheFileWrittenItsConditionAndGivesItTheEntrysTimes) {
  ScopedZone zone("EST5EDT,M3.2.0,M11.1.0");  // no zone files needed; summer time applies
  testing::TempDir dir, out;
  MtoolsVolume volume(dir.File("vol.img"));
  const int64_t summer = 1559913730;  // 2019-06-07 13:22:10 UTC, 09:22:10 in New York
  const int64_t winter = 1547212806;  // 2019-01-11 13:20:06 UTC
  // The file made after the deletes goes where it reuses no deleted slot.
  volume.MakeDirectory("/NEW")
      .AddDatedFile("/SUMMER.JPG", PatternBytes(3000, 1), summer)
      .AddDatedFile("/WINTER.JPG", PatternBytes(600, 2), winter)
      .AddFile("/GONE.TXT", PatternBytes(512, 3));
  const uint32_t gone_first = volume.FirstCluster("/GONE.TXT");
  volume.Delete("/SUMMER.JPG").Delete("/WINTER.JPG").Delete("/GONE.TXT");
  volume.SetNextFreeCluster(gone_first - 1).AddFile("/NEW/TAKER.TXT", PatternBytes(512, 4));
  ASSERT_EQ(volume.FirstCluster("/NEW/TAKER.TXT"), gone_first);
  DriveTable drives;
  drives.Map('C', volume.path());
  RecordingReports reports;
  std::atomic<int32_t> abort{0};
  CUndeleteEngine engine(drives, reports.boxes);
  UndeleteOptions options;
  options.outputDirectory = out.path();
  engine.SetOptions(options);

  for (const auto& [path, name, modified, size] :
       {std::tuple{"C:\\SUMMER.JPG", "SUMMER.JPG", summer, 3000}, {"C:\\WINTER.JPG", "WINTER.JPG", winter, 600}}) {
    ASSERT_EQ(engine.UndeleteByPath(path, reports.status, reports.progress, abort), 0)
        << path << ": " << ::testing::PrintToString(reports.log.LinesStartingWith("box: "));
    const UndeleteOutcome& outcome = engine.outcome();
    EXPECT_EQ(outcome.kind, UndeleteOutcome::Kind::kUndeleted) << path;
    EXPECT_EQ(outcome.outputPath, out.File(name)) << path;
    EXPECT_EQ(outcome.bytesWritten, static_cast<uint64_t>(size)) << path;
    EXPECT_EQ(outcome.condition, FileCondition::kIntact) << path;
    struct stat written {};
    ASSERT_EQ(::stat(out.File(name).c_str(), &written), 0);
    EXPECT_EQ(written.st_mtime, modified) << path;
    EXPECT_EQ(outcome.times.modified, modified) << path;
    // The access date is a day: midnight of it, on or before the write.
    std::tm accessed{};
    const time_t at = written.st_atime;
    ::localtime_r(&at, &accessed);
    EXPECT_EQ(accessed.tm_hour * 3600 + accessed.tm_min * 60 + accessed.tm_sec, 0) << path;
    EXPECT_LE(written.st_atime, modified);
    EXPECT_GT(written.st_atime + 86400 * 366, modified);
  }

  // Another file holds the first cluster: the copy is made and said not to
  // be the file's own bytes, in the final status and the box.
  reports.log.Clear();
  EXPECT_EQ(engine.UndeleteByPath("C:\\GONE.TXT", reports.status, reports.progress, abort), 0);
  EXPECT_EQ(engine.outcome().condition, FileCondition::kOverwritten);
  EXPECT_EQ(engine.outcome().firstCluster, gone_first);
  const std::string line = "\n" + ConditionLine(FileCondition::kOverwritten);
  EXPECT_EQ(reports.status.text(), "File Undeleted !" + line);
  EXPECT_THAT(reports.log.LinesStartingWith("box: "),
              ElementsAre("box: File Undeleted !" + line + " | Quorvane | 4160"));

  // Nothing found: nothing written, and the outcome says so.
  EXPECT_EQ(engine.UndeleteByPath("C:\\MISSING.TXT", reports.status, reports.progress, abort), 1);
  EXPECT_EQ(engine.outcome().kind, UndeleteOutcome::Kind::kNotUndeleted);
  EXPECT_FALSE(engine.outcome().found);
  EXPECT_TRUE(engine.outcome().outputPath.empty());
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

// A file system that shares blocks between files (XFS on a loop device),
// mounted for the test's life; empty `why` when it is.
struct SharingFileSystem {
  testing::TempDir dir;
  std::string mount = dir.File("mnt");
  std::string why;
  SharingFileSystem() {
    std::filesystem::create_directory(mount);
    const std::string image = dir.File("xfs.img");
    std::filesystem::resize_file((std::ofstream(image), image), 600u << 20);
    for (const std::vector<std::string>& step :
         {std::vector<std::string>{"mkfs.xfs", "-q", "-m", "reflink=1", image},
          std::vector<std::string>{"mount", "-o", "loop", image, mount}}) {
      const testing::CommandResult run = testing::RunCommand(step);
      if (run.status != 0) {
        why = step[0] + ": " + run.output;
        return;
      }
    }
  }
  ~SharingFileSystem() {
    if (why.empty()) testing::RunCommand({"umount", mount});
  }
};

// Whether the file's extents are all shared with another file's.
bool SharesEveryBlock(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  std::vector<uint8_t> buffer(sizeof(fiemap) + 64 * sizeof(fiemap_extent));
  auto* map = reinterpret_cast<fiemap*>(buffer.data());
  map->fm_length = FIEMAP_MAX_OFFSET;
  map->fm_flags = FIEMAP_FLAG_SYNC;
  map->fm_extent_count = 64;
  const bool mapped = fd >= 0 && ::ioctl(fd, FS_IOC_FIEMAP, map) == 0 && map->fm_mapped_extents > 0;
  if (fd >= 0) ::close(fd);
  if (!mapped) return false;
  for (uint32_t i = 0; i < map->fm_mapped_extents; ++i)
    if (!(map->fm_extents[i].fe_flags & FIEMAP_EXTENT_SHARED)) return false;
  return true;
}

// Where the image's file system shares blocks, the recovered file shares
// the image's: same bytes, no copy. Elsewhere (ext4, tmpfs) the clusters are
// read; the next test covers that.
TEST(EngineHostCopy, WhereTheFileSystemSharesBlocksTheFileSharesTheImages) {
  SharingFileSystem xfs;
  if (!xfs.why.empty()) GTEST_SKIP() << "no XFS with reflink here: " << xfs.why;
  // 4 KiB clusters, at the file system's block boundaries.
  const std::string image = xfs.mount + "/vol.img";
  std::filesystem::resize_file((std::ofstream(image), image), 270u << 20);
  MtoolsVolume volume(image, 0, 270u << 11, 32, 8, "");
  const std::vector<uint8_t> bytes = PatternBytes((3u << 20) + 1000, 9);
  volume.AddFile("/BIG.BIN", bytes).Delete("/BIG.BIN");
  DriveTable drives;
  drives.Map('C', volume.path());
  RecordingReports reports;
  std::atomic<int32_t> abort{0};
  const std::string out = xfs.mount + "/out";
  std::filesystem::create_directory(out);
  CUndeleteEngine engine(drives, reports.boxes);
  UndeleteOptions options;
  options.outputDirectory = out;
  engine.SetOptions(options);
  EXPECT_EQ(engine.UndeleteByPath("C:\\BIG.BIN", reports.status, reports.progress, abort), 0);
  EXPECT_EQ(engine.outcome().condition, FileCondition::kIntact);
  EXPECT_EQ(ReadFileBytes(out + "/BIG.BIN"), bytes);
  // Every whole block shared; the last, partly used one written.
  std::filesystem::resize_file(out + "/BIG.BIN", 3u << 20);
  EXPECT_TRUE(SharesEveryBlock(out + "/BIG.BIN"));
}

// From an image file the host copies a run of free clusters ahead of the
// clusters the copy has taken; a copy stopped midway keeps exactly those
// taken, byte for byte, however far the host had copied.
TEST(EngineHostCopy, AnAbortMidRunKeepsExactlyTheClustersTaken) {
  testing::TempDir dir, out;
  MtoolsVolume volume(dir.File("vol.img"));
  const std::vector<uint8_t> bytes = PatternBytes(4u << 20, 7);  // 8,192 clusters in one run
  volume.AddFile("/BIG.BIN", bytes).Delete("/BIG.BIN");
  DriveTable drives;
  drives.Map('C', volume.path());
  RecordingReports reports;
  std::atomic<int32_t> abort{0};
  // The status names cluster 101 as it is taken: stop there.
  struct StopAt final : StatusText {
    std::atomic<int32_t>& abort;
    explicit StopAt(std::atomic<int32_t>& a) : abort(a) {}
    void SetText(const std::string& text) override {
      if (text.find("\n101 of ") != std::string::npos) abort = 1;
    }
  } status(abort);
  CUndeleteEngine engine(drives, reports.boxes);
  UndeleteOptions options;
  options.outputDirectory = out.path();
  engine.SetOptions(options);
  EXPECT_EQ(engine.UndeleteByPath("C:\\BIG.BIN", status, reports.progress, abort), 0);
  EXPECT_EQ(engine.outcome().kind, UndeleteOutcome::Kind::kAborted);
  const std::vector<uint8_t> kept = ReadFileBytes(out.File("BIG.BIN"));
  EXPECT_EQ(kept.size(), 101u * 512);
  EXPECT_EQ(engine.outcome().bytesWritten, kept.size());
  EXPECT_TRUE(std::equal(kept.begin(), kept.end(), bytes.begin()));
}

}  // namespace
}  // namespace quorvane
