// The mount table of this machine and the device numbers of the drives'
// volumes, read from /proc and /sys.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "volume/drive_table.h"
#include "volume/mount_table.h"

namespace quorvane {

namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The device number of the loop device whose backing file is the file of
// `image` (the same file, by device and inode), or 0.
uint64_t LoopDeviceOf(const struct stat& image) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/block", error)) {
    if (!entry.path().filename().string().starts_with("loop")) continue;
    std::string backing = ReadText(entry.path() / "loop" / "backing_file");
    while (!backing.empty() && backing.back() == '\n') backing.pop_back();
    struct stat st {};
    if (backing.empty() || ::stat(backing.c_str(), &st) != 0) continue;
    if (st.st_dev != image.st_dev || st.st_ino != image.st_ino) continue;
    unsigned major = 0, minor = 0;
    char colon = 0;
    std::istringstream numbers(ReadText(entry.path() / "dev"));
    if (numbers >> major >> colon >> minor && colon == ':') return PackDeviceNumber(major, minor);
  }
  return 0;
}

}  // namespace

MountedVolumes MountedVolumes::OfThisMachine(const DriveTable& drives) {
  std::map<int32_t, uint64_t> devices;
  for (const auto& [drive, path] : drives.entries()) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) continue;
    if (S_ISBLK(st.st_mode)) {
      devices[drive] = st.st_rdev;
    } else if (S_ISREG(st.st_mode)) {
      if (const uint64_t loop = LoopDeviceOf(st)) devices[drive] = loop;
    }
  }
  return MountedVolumes(ParseMountInfo(ReadText("/proc/self/mountinfo")), std::move(devices));
}

}  // namespace quorvane
