// Whether a directory lives on the volume being read, against a real loop
// mount of an image. Needs root; skipped elsewhere.
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/mtools_volume.h"
#include "support/partitioned_image.h"
#include "support/temp_dir.h"
#include "volume/host/volume_identity.h"

namespace quorvane::testing {
namespace {

TEST(VolumeIdentity, DirectoriesOnALoopMountOfTheImageAreOnTheVolume) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to attach and mount a loop device";
  TempDir dir;
  const std::string image = dir.File("mounted.img"), mnt = dir.File("mnt");
  std::filesystem::create_directories(dir.path() / "content" / "sub");
  std::filesystem::create_directory(mnt);
  ASSERT_EQ(RunCommand({"mkfs.ext2", "-q", "-F", "-d", dir.File("content"), image, "4M"}).status, 0);
  const LoopDevice loop(image, {.read_only = true});
  if (loop.device().empty()) GTEST_SKIP() << "no loop devices here";
  if (RunCommand({"mount", "-o", "ro", loop.device(), mnt}).status != 0) GTEST_SKIP() << "no mounts here";
  {
    UnchangedGuard unchanged(image);
    EXPECT_TRUE(VolumeHoldsPath(image, mnt + "/sub"));
    EXPECT_TRUE(VolumeHoldsPath(loop.device(), mnt + "/sub"));
    // The image itself lies on the host's file system, which it does not hold.
    EXPECT_FALSE(VolumeHoldsPath(image, dir.str()));
    EXPECT_FALSE(VolumeHoldsPath(dir.File("absent.img"), mnt));
  }
  RunCommand({"umount", mnt});
}

}  // namespace
}  // namespace quorvane::testing
