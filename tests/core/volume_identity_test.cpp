// Whether a directory lives on the volume being read: checked against a real
// loop device mounted from an image. Needs root; skipped elsewhere.
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "support/mtools_volume.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "volume/drive_table.h"
#include "volume/volume_identity.h"

namespace quorvane::testing {
namespace {

namespace fs = std::filesystem;

// An ext2 image with a subdirectory, attached to a loop device and mounted
// read-only; undone in reverse order.
class MountedImage {
 public:
  explicit MountedImage(const TempDir& dir) : image_(dir.File("mounted.img")) {
    fs::create_directories(dir.path() / "content" / "sub");
    mount_point_ = dir.path() / "mnt";
    fs::create_directory(mount_point_);
    if (RunCommand({"mkfs.ext2", "-q", "-F", "-d", dir.File("content"), image_, "4M"}).status != 0)
      return;
    CommandResult attach = RunCommand({"losetup", "--find", "--show", "--read-only", image_});
    if (attach.status != 0) return;
    device_ = attach.output.substr(0, attach.output.find('\n'));
    mounted_ = RunCommand({"mount", "-o", "ro", device_, mount_point_.string()}).status == 0;
  }
  ~MountedImage() {
    if (mounted_) RunCommand({"umount", mount_point_.string()});
    if (!device_.empty()) RunCommand({"losetup", "-d", device_});
  }
  bool mounted() const { return mounted_; }
  const std::string& image() const { return image_; }
  const std::string& device() const { return device_; }
  const fs::path& mount_point() const { return mount_point_; }

 private:
  std::string image_;
  std::string device_;
  fs::path mount_point_;
  bool mounted_ = false;
};

TEST(VolumeIdentity, DirectoriesOnALoopMountOfTheImageAreOnTheVolume) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to attach and mount a loop device";
  TempDir dir;
  MountedImage mounted(dir);
  if (!mounted.mounted()) GTEST_SKIP() << "no loop devices or mounts here";
  UnchangedGuard unchanged(mounted.image());
  const std::string inside = mounted.mount_point().string();
  const std::string nested = (mounted.mount_point() / "sub").string();

  EXPECT_TRUE(VolumeHoldsPath(mounted.image(), inside));
  EXPECT_TRUE(VolumeHoldsPath(mounted.image(), nested));
  EXPECT_TRUE(VolumeHoldsPath(mounted.device(), nested));  // the device itself
  EXPECT_FALSE(VolumeHoldsPath(mounted.image(), dir.str()));

  const std::string other = dir.File("other.img");
  WriteFileBytes(other, PatternBytes(4096));
  EXPECT_FALSE(VolumeHoldsPath(other, nested));
  EXPECT_FALSE(VolumeHoldsPath(dir.File("absent.img"), nested));

  DriveTable drives;
  drives.Map('C', mounted.image());
  drives.Map('D', other);
  EXPECT_TRUE(drives.VolumeHoldsDirectory(3, nested));
  EXPECT_FALSE(drives.VolumeHoldsDirectory(4, nested));
  EXPECT_FALSE(drives.VolumeHoldsDirectory(5, nested));  // no such drive
}

}  // namespace
}  // namespace quorvane::testing
