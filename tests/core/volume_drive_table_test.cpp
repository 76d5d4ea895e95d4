// The drive table built from program arguments, and where its volumes are
// mounted (the mount table given as data).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/sysmacros.h>

#include <optional>

#include "volume/host/drive_table.h"
#include "volume/host/mount_table.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pair;

TEST(DriveTable, NamedLettersAndBarePathsTakingTheNextFreeLetterFromCAndMalformedArgumentsRefused) {
  DriveTable table;
  std::string error;
  ASSERT_TRUE(table.ParseArguments({"/img/first.img", "--drive", "f:=/dev/sdb1", "/img/second.img",
                                    "--drive=C:=/img/a=b"},
                                   error))
      << error;
  EXPECT_THAT(table.entries(), ElementsAre(Pair(3, "/img/a=b"), Pair(4, "/img/first.img"),
                                           Pair(5, "/img/second.img"), Pair(6, "/dev/sdb1")));
  EXPECT_EQ(table.PathOf(7), "");

  std::vector<std::string> many;
  for (int i = 0; i < 25; ++i) many.push_back("/disk" + std::to_string(i) + ".img");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--drive"}, "--drive needs L:=PATH"},
      {{"--drive", "C:="}, "expected L:=PATH"},
      {{"--drive", "CC=x"}, "expected L:=PATH"},
      {{"--drive", "1:=x"}, "expected L:=PATH"},
      {{"--verbose"}, "unknown option '--verbose'"},
      {{"--drive", "C:=a.img", "--drive", "c:=b.img"}, "drive C: is given twice"},
      {many, "no free drive letter for '/disk24.img'"},
  };
  for (const auto& [args, message] : cases) {
    DriveTable table;
    std::string error;
    EXPECT_FALSE(table.ParseArguments(args, error)) << args[0];
    EXPECT_THAT(error, HasSubstr(message)) << args[0];
  }
}

TEST(MountTable, ParsesMountInfoAndMapsHostPathsUnderADrivesMountPoints) {
  // As the kernel writes it: optional fields before "-", octal escapes in
  // paths, a read-only mount, a read-only file system, a malformed line.
  const std::string mountinfo =
      "22 1 254:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
      "40 22 8:17 / /media/alice/MY\\040CARD rw,nosuid shared:9 master:2 - vfat /dev/sdb1 rw,fmask=0022\n"
      "41 22 259:65537 / /media/alice/CARD\\134B ro,nosuid - vfat /dev/nvme1n1p1 ro\n"
      "42 22 7:0 /DCIM /srv/photos rw - vfat /dev/loop0 ro\n"
      "43 40 0:50 / /media/alice/MY\\040CARD/tmp rw - tmpfs tmpfs rw\n"
      "44 22 8:18 / /media/alice/OTHER rw - vfat /dev/sdb2 rw\n"
      "45 22 8:18 / /media/alice/OTHER rw - vfat /dev/sdb2 rw\n"
      "46 22 8:19 / /media/alice/OTHER rw - vfat /dev/sdb3 rw\n"
      "garbage line\n"
      "47 22 8:x / /broken rw - vfat /dev/sdb9 rw\n";
  const auto mounts = ParseMountInfo(mountinfo);
  ASSERT_EQ(mounts.size(), 8u);
  EXPECT_EQ(mounts[1].mountPoint, "/media/alice/MY CARD");
  EXPECT_EQ(mounts[1].device, ::makedev(8, 17));
  EXPECT_TRUE(mounts[1].readWrite);
  EXPECT_EQ(mounts[2].mountPoint, "/media/alice/CARD\\B");
  EXPECT_EQ(mounts[2].device, ::makedev(259, 65537));  // minor numbers past 255 pack apart
  EXPECT_FALSE(mounts[2].readWrite);
  EXPECT_EQ(mounts[3].root, "/DCIM");
  EXPECT_FALSE(mounts[3].readWrite);  // the mount is read-write, its file system is not

  // C: the card, D: the NVMe volume, E: a loop device, F: sdb2, G: sdb3.
  const MountedVolumes volumes(mounts, {{3, ::makedev(8, 17)},
                                        {4, ::makedev(259, 65537)},
                                        {5, ::makedev(7, 0)},
                                        {6, ::makedev(8, 18)},
                                        {7, ::makedev(8, 19)}});
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"/media/alice/MY CARD", "C:\\"},
      {"/media/alice/MY CARD/DCIM/Long Name", "C:\\DCIM\\Long Name"},
      {"/media/alice/MY CARD//DCIM/", "C:\\DCIM"},
      {"/media/alice/MY CARDS/DCIM", std::nullopt},  // a prefix of a name is no component
      {"/media/alice/MY CARD/tmp/x", std::nullopt},  // another file system mounted on top
      {"/media/alice/CARD\\B/A", "D:\\A"},
      {"/srv/photos/100", "E:\\DCIM\\100"},  // a mount of a subdirectory starts there
      {"/media/alice/OTHER/X", "G:\\X"},    // the last mount on a point is the one seen
      {"/home/alice", std::nullopt},
      {"relative/path", std::nullopt},
  };
  for (const auto& [path, drive_path] : cases) EXPECT_EQ(volumes.DrivePathOf(path), drive_path) << path;

  ASSERT_EQ(volumes.MountsOf(6).size(), 2u);
  EXPECT_EQ(volumes.MountsOf(3).at(0).mountPoint, "/media/alice/MY CARD");
  EXPECT_TRUE(volumes.MountsOf(8).empty());
}

}  // namespace
}  // namespace quorvane
