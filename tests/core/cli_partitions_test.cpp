// quorvane-cli on whole-card images, as `dd if=/dev/sdb of=card.img` makes
// them: each FAT partition of the table is a drive, read as the same
// partition copied out with dd is read, and never past its end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "support/mtools_volume.h"
#include "support/partitioned_image.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "volume/little_endian.h"

namespace quorvane {
namespace {

using ::testing::HasSubstr;
using testing::MtoolsVolume;
using testing::PartitionedImage;
using testing::PatternBytes;
using testing::ReadFileBytes;
using testing::RunCli;
using testing::RunCliWithMountTable;
using testing::RunCommand;
using testing::TempDir;
using testing::UnchangedGuard;

using testing::kBasicDataGuid;
using testing::kLinuxDataGuid;
const std::string E5 = "\xE5";

// Deleted files on a volume, made before they are deleted (mtools reuses
// the slots of deleted entries).
void AddDeletedFiles(MtoolsVolume& volume, uint32_t seed) {
  volume.MakeDirectory("/DOCS").AddFile("/DOCS/REPORT.TXT", PatternBytes(5000, seed));
  volume.AddFile("/DOCS/KEEP.TXT", "kept").AddFile("/GONE.TXT", PatternBytes(700, seed + 1));
  volume.MakeDirectory("/OLD").AddFile("/OLD/PLAN.TXT", PatternBytes(3000, seed + 2));
  volume.Delete("/DOCS/REPORT.TXT").Delete("/GONE.TXT").DeleteTree("/OLD");
}

// A card of 128 MiB: 1 FAT32; 2 ext4; 3 extended, holding 5 FAT16, 6 FAT32 behind a Linux type byte, 7 a FAT32
// type byte with nothing behind it.
class CliPartitions : public ::testing::Test {
 protected:
  void SetUp() override {
    first_ = std::make_unique<MtoolsVolume>(card_.Format(1, 32, 1, "FIRST"));
    fifth_ = std::make_unique<MtoolsVolume>(card_.Format(5, 16, 2, "SIXTEEN"));
    sixth_ = std::make_unique<MtoolsVolume>(card_.Format(6, 32, 1, "SIXTH"));
    AddDeletedFiles(*first_, 10);
    AddDeletedFiles(*fifth_, 15);
    AddDeletedFiles(*sixth_, 20);
    // An ext4 file system, which this machine's kernel can mount.
    testing::RunCommandOrThrow({"mkfs.ext4", "-q", "-F", "-E", "offset=" + std::to_string(card_.At(2).offset()),
                                card_.path(), std::to_string(card_.At(2).bytes() / 1024)});
    unchanged_ = std::make_unique<UnchangedGuard>(card_.path());
  }
  // The drive line of partition `number` without its letter.
  std::string Line(uint32_t number, const std::string& what) const {
    return card_.path() + " " + what + " partition " + std::to_string(number) + " at " +
           std::to_string(card_.At(number).offset()) + "\n";
  }

  TempDir dir_;
  PartitionedImage card_{dir_.File("card.img"), 128,
                         "label: dos\nstart=2048, size=69632, type=c\nstart=71680, size=8192, type=83\n"
                         "start=79872, type=5\nstart=81920, size=16384, type=6\n"
                         "start=100352, size=69632, type=83\nstart=172032, size=8192, type=b\n"};
  std::unique_ptr<MtoolsVolume> first_, fifth_, sixth_;
  std::unique_ptr<UnchangedGuard> unchanged_;
};

TEST_F(CliPartitions, EachFatPartitionIsADriveInTableOrderFromTheLettersItIsGiven) {
  const std::string c = "C: " + Line(1, "\"FIRST\" FAT32 34.0 MiB");
  const std::string d = Line(5, "\"SIXTEEN\" FAT16 8.0 MiB");
  const std::string e = Line(6, "\"SIXTH\" FAT32 34.0 MiB");
  auto table = RunCli({card_.path(), "drives"});
  EXPECT_EQ(table.status, 0);
  EXPECT_EQ(table.output, c + "D: " + d + "E: " + e);

  // Named from F: on; bare paths around a named one take the letters left.
  testing::RunCommandOrThrow({"mkfs.fat", "-F", "12", "-C", dir_.File("floppy.img"), "1440"});
  const std::string floppy = "D: " + dir_.File("floppy.img") + " FAT12 1.4 MiB\n";
  // Refused, with status 2: letters past Z:, a letter given twice.
  const std::string refused = "quorvane-cli: the 3 FAT partitions of '" + card_.path() +
                              "' from Y: on need drive letters past Z:\n";
  const std::string twice = "quorvane-cli: drive E: is given twice: to partition 6 of '" + card_.path() +
                            "' and to '" + dir_.File("floppy.img") + "'\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string output;  // all of it, or with status 2 a line of it
  } runs[] = {
      {{"--drive", "f:=" + card_.path()}, 0, "F: " + Line(1, "\"FIRST\" FAT32 34.0 MiB") + "G: " + d + "H: " + e},
      {{card_.path(), "--drive", "D:=" + dir_.File("floppy.img")}, 0, c + floppy + "E: " + d + "F: " + e},
      {{"--drive", "X:=" + card_.path()}, 0, "X: " + Line(1, "\"FIRST\" FAT32 34.0 MiB") + "Y: " + d + "Z: " + e},
      {{"--drive", "Y:=" + card_.path()}, 2, refused},
      {{"--drive", "C:=" + card_.path(), "--drive", "E:=" + dir_.File("floppy.img")}, 2, twice},
  };
  for (const auto& [args, status, output] : runs) {
    std::vector<std::string> command = args;
    command.push_back("drives");
    const auto run = RunCli(command);
    EXPECT_EQ(run.status, status) << args[1];
    if (status == 0) {
      EXPECT_EQ(run.output, output) << args[1];
    } else {
      EXPECT_THAT(run.output, HasSubstr(output)) << args[1];
    }
  }
}

TEST_F(CliPartitions, APartitionIsReadAsTheSamePartitionCopiedOutWithDd) {
  for (const auto& [number, letter, seed] : {std::tuple{1u, "C:", 10u}, {5u, "D:", 15u}, {6u, "E:", 20u}}) {
    const std::string copy = dir_.File("partition" + std::to_string(number) + ".img");
    card_.Extract(number, copy);
    const std::vector<std::vector<std::string>> searches = {
        {"search", "--recurse", "--deleted-dirs", letter}, {"search", "--json", std::string(letter) + "\\DOCS"}};
    for (const auto& search : searches) {
      std::vector<std::string> on_card = {card_.path()}, on_copy = {"--drive", letter + ("=" + copy)};
      on_card.insert(on_card.end(), search.begin(), search.end());
      on_copy.insert(on_copy.end(), search.begin(), search.end());
      const auto rows = RunCli(on_card), by_hand = RunCli(on_copy);
      EXPECT_EQ(rows.status, 0) << letter << " " << search[1];
      EXPECT_EQ(rows.output, by_hand.output) << letter << " " << search[1];
      EXPECT_THAT(rows.output, HasSubstr("EPORT  .TXT")) << letter << " " << search[1];
    }
    TempDir out;
    const auto undelete = RunCli({card_.path(), "undelete", "-o", out.str(), std::string(letter) + "\\DOCS\\REPORT.TXT"});
    EXPECT_EQ(undelete.status, 0) << undelete.output;
    EXPECT_EQ(ReadFileBytes(out.File("REPORT.TXT")), PatternBytes(5000, seed)) << letter;
  }
}

TEST_F(CliPartitions, AClusterPastThePartitionsEndIsPastTheVolumesEnd) {
  // A volume that claims 40 MiB in its 34 MiB partition, with a deleted
  // file whose clusters lie past the partition, in partition 2's sectors.
  TempDir dir;
  PartitionedImage card(dir.File("overhang.img"), 64,
                        "label: dos\nstart=2048, size=69632, type=c\nstart=71680, size=8192, type=83\n");
  MtoolsVolume volume(card.path(), 2048, 81920, 32, 1, "");
  volume.SetNextFreeCluster(70400);
  volume.AddFile("/BIG.BIN", PatternBytes(5000, 5));
  const uint32_t first_cluster = volume.FirstCluster("/BIG.BIN");
  volume.Delete("/BIG.BIN");
  // The file's bytes lie there on the card, past the partition's end.
  const std::vector<uint8_t> bytes = ReadFileBytes(card.path());
  const auto boot = std::span(bytes).subspan(card.At(1).offset());
  const uint64_t data_sectors = LoadLe16(boot, 14) + uint64_t{boot[16]} * LoadLe32(boot, 36);
  const uint64_t file_at = card.At(1).offset() + (data_sectors + first_cluster - 2) * 512;
  ASSERT_GE(file_at, card.At(1).offset() + card.At(1).bytes());
  const std::vector<uint8_t> original = PatternBytes(5000, 5);
  ASSERT_TRUE(std::equal(original.begin(), original.end(), bytes.begin() + static_cast<ptrdiff_t>(file_at)));
  card.Extract(1, dir.File("copy.img"));

  TempDir from_card, from_copy;
  const auto run = RunCli({card.path(), "undelete", "-o", from_card.str(), "C:\\BIG.BIN"});
  const auto by_hand = RunCli({"--drive", "C:=" + dir.File("copy.img"), "undelete", "-o", from_copy.str(), "C:\\BIG.BIN"});
  EXPECT_EQ(run.status, by_hand.status);
  EXPECT_EQ(run.output, by_hand.output);
  EXPECT_THAT(run.output, HasSubstr("Only 0 of 10 clusters could be undeleted"));
  EXPECT_NE(ReadFileBytes(from_card.File("BIG.BIN")), PatternBytes(5000, 5));
  EXPECT_EQ(ReadFileBytes(from_card.File("BIG.BIN")), ReadFileBytes(from_copy.File("BIG.BIN")));
}

TEST(CliPartitionTables, GptPartitionsAndImagesWithoutAFatPartitionOrATable) {
  TempDir dir;
  PartitionedImage gpt(dir.File("gpt.img"), 64,
                       std::string("label: gpt\nsize=34MiB, type=") + kBasicDataGuid + "\nsize=4MiB, type=" + kLinuxDataGuid +
                           "\nsize=4MiB, type=" + kLinuxDataGuid + "\nsize=8MiB, type=" + kBasicDataGuid + "\n");
  MtoolsVolume first = gpt.Format(1, 32, 1, "GPT ONE");
  gpt.Format(3, 12, 8, "");
  // mkfs.exfat writes no volume into a file at an offset: one of the
  // partition's size, copied in.
  testing::RunCommandOrThrow({"truncate", "-s", std::to_string(gpt.At(4).bytes()), dir.File("exfat.img")});
  testing::RunCommandOrThrow({"mkfs.exfat", "-L", "EXF", dir.File("exfat.img")});
  testing::RunCommandOrThrow({"dd", "if=" + dir.File("exfat.img"), "of=" + gpt.path(), "bs=512",
                              "seek=" + std::to_string(gpt.At(4).start), "conv=notrunc", "status=none"});
  AddDeletedFiles(first, 30);
  PartitionedImage linux_only(dir.File("linux.img"), 8, "label: dos\nsize=4MiB, type=83\n");
  testing::RunCommandOrThrow({"truncate", "-s", "8M", dir.File("zeros.img")});
  UnchangedGuard unchanged(gpt.path());

  const struct {
    std::string path;
    std::string table;
  } cases[] = {
      {gpt.path(), "C: " + gpt.path() + " \"GPT ONE\" FAT32 34.0 MiB partition 1 at 1048576\nD: " + gpt.path() +
                       " FAT12 4.0 MiB partition 3 at " + std::to_string(gpt.At(3).offset()) + "\nE: " + gpt.path() +
                       " exFAT 8.0 MiB partition 4 at " + std::to_string(gpt.At(4).offset()) + "\n"},
      {linux_only.path(), "C: " + linux_only.path() + " 8.0 MiB - no FAT or exFAT partition in its MBR partition table\n"},
      {dir.File("zeros.img"), "C: " + dir.File("zeros.img") + " 8.0 MiB - no FAT or exFAT volume\n"},
      {dir.File("none.img"), "C: " + dir.File("none.img") + " - cannot be opened: No such file or directory\n"},
  };
  for (const auto& c : cases) {
    const auto run = RunCli({c.path, "drives"});
    EXPECT_EQ(run.status, 0) << c.path;
    EXPECT_EQ(run.output, c.table) << c.path;
  }
  // A drive without a FAT volume, or without an image, is still a drive: its commands say why.
  EXPECT_THAT(RunCli({linux_only.path(), "search", "C:"}).output,
              HasSubstr("C: holds no FAT12, FAT16, FAT32 or exFAT volume"));
  EXPECT_THAT(RunCli({dir.File("none.img"), "search", "C:"}).output,
              HasSubstr("CreateFile () Failed ! (" + dir.File("none.img") + ": No such file or directory)"));

  gpt.Extract(1, dir.File("copy.img"));
  const auto rows = RunCli({gpt.path(), "search", "--recurse", "--deleted-dirs", "C:"});
  EXPECT_EQ(rows.status, 0);
  EXPECT_THAT(rows.output, HasSubstr("C:\\DOCS    \\" + E5 + "EPORT  .TXT\t5000\n"));
  EXPECT_EQ(rows.output, RunCli({"--drive", "C:=" + dir.File("copy.img"), "search", "--recurse", "--deleted-dirs", "C:"}).output);
}

// --- Where the card's partitions are mounted (root: loop devices) --------

struct Mounted {
  Mounted(const std::string& device, const std::string& point)
      : point(point), ok(RunCommand({"mount", "-o", "ro,noload", device, point}).status == 0) {}
  ~Mounted() {
    if (ok) RunCommand({"umount", point});
  }
  std::string point;
  bool ok;
};

TEST_F(CliPartitions, TheMountOfAPartitionIsItsDrivesAndNoOutputGoesOntoTheCard) {
  if (::geteuid() != 0) GTEST_SKIP() << "loop devices and mounts need root";
  // The card attached read-only with its partitions (/dev/loopNpM).
  testing::LoopDevice loop(card_.path(), {.read_only = true, .partitions = true});
  struct stat sixth {};
  if (loop.device().empty() || ::stat(loop.Partition(6).c_str(), &sixth) != 0)
    GTEST_SKIP() << "no loop device with partitions";

  // The whole device is read as the image is: the same drives.
  const auto table = RunCli({"--drive", "C:=" + loop.device(), "drives"});
  EXPECT_EQ(table.output, "C: " + loop.device() + " \"FIRST\" FAT32 34.0 MiB partition 1 at 1048576\n"
                          "D: " + loop.device() + " \"SIXTEEN\" FAT16 8.0 MiB partition 5 at " +
                          std::to_string(card_.At(5).offset()) + "\nE: " + loop.device() +
                          " \"SIXTH\" FAT32 34.0 MiB partition 6 at " + std::to_string(card_.At(6).offset()) + "\n");

  // Partition 6 mounted on `card`, as the kernel's mount table would show
  // it (this machine has no vfat driver): that is drive E:'s mount, for the
  // image and for the device alike, and a host path under it names E:.
  std::filesystem::create_directories(dir_.File("card/DOCS"));
  const std::string card = std::filesystem::canonical(dir_.File("card")).string();
  const std::string mountinfo =
      "21 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
      "90 21 " + std::to_string(major(sixth.st_rdev)) + ":" + std::to_string(minor(sixth.st_rdev)) + " / " + card +
      " ro,relatime - vfat " + loop.Partition(6) + " ro,fmask=0022\n";
  if (RunCliWithMountTable(mountinfo, {"--version"}).status != 0) GTEST_SKIP() << "no mount namespace here";
  for (const std::string& source : {card_.path(), loop.device()}) {
    const auto drives = RunCliWithMountTable(mountinfo, {"--drive", "C:=" + source, "drives"});
    EXPECT_THAT(drives.output, HasSubstr("E: " + source + " \"SIXTH\" FAT32 34.0 MiB partition 6 at " +
                                         std::to_string(card_.At(6).offset()) + " (mounted on " + card +
                                         ", read-only)\n")) << source;
    EXPECT_THAT(drives.output, HasSubstr(" partition 1 at 1048576\n")) << source;  // C: is mounted nowhere
    const auto rows = RunCliWithMountTable(mountinfo, {"--drive", "C:=" + source, "search", card + "/DOCS"});
    EXPECT_EQ(rows.status, 0) << rows.output;
    EXPECT_EQ(rows.output, "E:\\DOCS\\" + E5 + "EPORT  .TXT\t5000\n") << source;
  }

  // An output directory on another partition of the card, mounted for real,
  // is on the card: refused, for the image and for the device.
  std::filesystem::create_directory(dir_.File("ext"));
  Mounted ext(loop.Partition(2), dir_.File("ext"));
  ASSERT_TRUE(ext.ok);
  for (const std::string& source : {card_.path(), loop.device()}) {
    const auto run = RunCli({"--drive", "C:=" + source, "undelete", "-o", dir_.File("ext"), "E:\\DOCS\\REPORT.TXT"});
    EXPECT_EQ(run.status, 1) << source;
    EXPECT_THAT(run.output, HasSubstr("Please select an output directory on another drive !")) << source;
  }
}

}  // namespace
}  // namespace quorvane
