#include "volume/host/volume_identity.h"

#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "volume/host/posix_block_device.h"

namespace quorvane {

namespace {

std::string SysBlockDir(dev_t dev) {
  return "/sys/dev/block/" + std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
}

// The device number of the whole disk that a partition belongs to, read from
// sysfs; the device itself when it is no partition.
dev_t WholeDisk(dev_t dev) {
  std::ifstream partition(SysBlockDir(dev) + "/partition");
  if (!partition) return dev;
  std::ifstream parent_dev(SysBlockDir(dev) + "/../dev");
  unsigned maj = 0, min = 0;
  char colon = 0;
  if (parent_dev >> maj >> colon >> min && colon == ':') return makedev(maj, min);
  return dev;
}

bool LoopBackedBy(dev_t dev, const FileIdentity& image) {
  std::ifstream backing(SysBlockDir(dev) + "/loop/backing_file");
  std::string file;
  if (!backing || !std::getline(backing, file)) return false;
  struct stat st{};
  return ::stat(file.c_str(), &st) == 0 && st.st_dev == image.device && st.st_ino == image.inode;
}

}  // namespace

bool VolumeHoldsPath(const FileIdentity& volume, const std::string& directory) {
  struct stat dir{};
  if (::stat(directory.c_str(), &dir) != 0) return false;
  if (volume.isBlockDevice) {
    // Either the directory is on this very device, or this device is the
    // whole disk of the directory's partition.
    return dir.st_dev == volume.blockDevice || WholeDisk(dir.st_dev) == volume.blockDevice;
  }
  // A loop device over the image, or a partition of one (losetup -P): a
  // drive may read one partition of an image, and writing to any partition
  // of it writes into the same file.
  return LoopBackedBy(dir.st_dev, volume) || LoopBackedBy(WholeDisk(dir.st_dev), volume);
}

bool VolumeHoldsPath(const std::string& volume_path, const std::string& directory) {
  const auto volume = IdentityOfPath(volume_path);
  return volume && VolumeHoldsPath(*volume, directory);
}

}  // namespace quorvane
