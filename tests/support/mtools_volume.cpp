#include "support/mtools_volume.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "volume/little_endian.h"

namespace quorvane::testing {

// mtools reads a volume as FAT32 only from 65525 clusters on; below that it
// takes the same boot sector for FAT16 and finds no root directory. 33 MiB
// is the smallest size that holds them in 512-byte clusters.
MtoolsVolume::MtoolsVolume(std::string image_path, uint32_t mib, int fat_bits)
    : path_(std::move(image_path)) {
  std::remove(path_.c_str());
  RunCommandOrThrow({"mkfs.fat", "-F", std::to_string(fat_bits), "-s", "1", "-C", path_,
                     std::to_string(mib * 1024)});
}

MtoolsVolume::MtoolsVolume(std::string image_path, uint64_t first_sector, uint64_t sectors, int fat_bits,
                           int sectors_per_cluster, const std::string& label)
    : path_(std::move(image_path)), offset_(first_sector * 512) {
  std::vector<std::string> argv{"mkfs.fat", "-F", std::to_string(fat_bits), "-s",
                                std::to_string(sectors_per_cluster), "--offset", std::to_string(first_sector)};
  if (!label.empty()) argv.insert(argv.end(), {"-n", label});
  argv.insert(argv.end(), {path_, std::to_string(sectors / 2)});
  RunCommandOrThrow(argv);
}

std::string MtoolsVolume::Target() const {
  return offset_ == 0 ? path_ : path_ + "@@" + std::to_string(offset_);
}

MtoolsVolume& MtoolsVolume::Run(const std::string& tool, const std::string& volume_path,
                                const std::string& host_path) {
  std::vector<std::string> argv{tool, "-i", Target()};
  // -D o: a clash overwrites instead of asking on the terminal.
  if (!host_path.empty()) {
    // -m: the entry takes the host file's modification time.
    argv.insert(argv.begin() + 1, {"-D", "o", "-m"});
    argv.push_back(host_path);
  }
  argv.push_back("::" + (volume_path.starts_with('/') ? volume_path : "/" + volume_path));
  RunCommandOrThrow(argv);
  return *this;
}

MtoolsVolume& MtoolsVolume::MakeDirectory(const std::string& volume_path) {
  return Run("mmd", volume_path);
}

MtoolsVolume& MtoolsVolume::AddFile(const std::string& volume_path, std::span<const uint8_t> bytes) {
  TempDir scratch;
  WriteFileBytes(scratch.File("content"), bytes);
  return Run("mcopy", volume_path, scratch.File("content"));
}

MtoolsVolume& MtoolsVolume::AddDatedFile(const std::string& volume_path,
                                        std::span<const uint8_t> bytes, int64_t modified) {
  TempDir scratch;
  WriteFileBytes(scratch.File("content"), bytes);
  const timespec times[2] = {{static_cast<time_t>(modified), 0}, {static_cast<time_t>(modified), 0}};
  if (::utimensat(AT_FDCWD, scratch.File("content").c_str(), times, 0) != 0)
    throw std::runtime_error("cannot date " + scratch.File("content"));
  return Run("mcopy", volume_path, scratch.File("content"));
}

MtoolsVolume& MtoolsVolume::AddFile(const std::string& volume_path, const std::string& text) {
  return AddFile(volume_path, std::span<const uint8_t>(
                                  reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

MtoolsVolume& MtoolsVolume::Delete(const std::string& volume_path) { return Run("mdel", volume_path); }

MtoolsVolume& MtoolsVolume::DeleteTree(const std::string& volume_path) {
  return Run("mdeltree", volume_path);
}

MtoolsVolume& MtoolsVolume::SetNextFreeCluster(uint32_t cluster) {
  std::fstream image(path_, std::ios::in | std::ios::out | std::ios::binary);
  uint8_t field[4] = {};
  const auto at = static_cast<std::streamoff>(offset_);
  image.seekg(at + 48).read(reinterpret_cast<char*>(field), 2);  // the FSInfo sector's number
  image.seekp(at + LoadLe16(field, 0) * std::streamoff{512} + 492);  // its next-free field
  StoreLe32(field, 0, cluster);
  image.write(reinterpret_cast<const char*>(field), 4);
  if (!image) throw std::runtime_error("cannot set the free-cluster hint of " + path_);
  return *this;
}

MtoolsVolume& MtoolsVolume::ReserveEntries(const std::string& directory, int entries) {
  TempDir scratch;
  std::vector<std::string> argv{"mcopy", "-i", Target()};
  for (int i = 0; i < entries; ++i) {
    argv.push_back(scratch.File("SLOT" + std::to_string(1000 + i)));
    WriteFileBytes(argv.back(), {});
  }
  const std::string target = "::" + (directory.starts_with('/') ? directory : "/" + directory);
  argv.push_back(target + "/");
  RunCommandOrThrow(argv);
  RunCommandOrThrow({"mdel", "-i", Target(), target + "/SLOT1*"});
  return *this;
}

uint32_t MtoolsVolume::FirstCluster(const std::string& volume_path) {
  const std::string target = "::" + (volume_path.starts_with('/') ? volume_path : "/" + volume_path);
  const CommandResult run = RunCommand({"mshowfat", "-i", Target(), target});
  // "::/Site plan.png <65541-65547>"
  const size_t open = run.output.find('<');
  if (run.status != 0 || open == std::string::npos)
    throw std::runtime_error("mshowfat " + target + ": " + run.output);
  return static_cast<uint32_t>(std::stoul(run.output.substr(open + 1)));
}

namespace {

uint64_t FileChecksum(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  return std::hash<std::string_view>{}(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace

UnchangedGuard::UnchangedGuard(std::string path)
    : path_(std::move(path)), checksum_(FileChecksum(path_)) {}

UnchangedGuard::~UnchangedGuard() {
  bool unchanged = false;
  try {
    unchanged = FileChecksum(path_) == checksum_;
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(unchanged) << "the volume " << path_ << " was changed or removed";
}

}  // namespace quorvane::testing
