#include "support/mtools_volume.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace quorvane::testing {

// mtools reads a volume as FAT32 only from 65525 clusters on; below that it
// takes the same boot sector for FAT16 and finds no root directory. 33 MiB
// is the smallest size that holds them in 512-byte clusters.
MtoolsVolume::MtoolsVolume(std::string image_path) : path_(std::move(image_path)) {
  std::remove(path_.c_str());
  RunCommandOrThrow({"mkfs.fat", "-F", "32", "-s", "1", "-C", path_, std::to_string(33 * 1024)});
}

MtoolsVolume& MtoolsVolume::Run(const std::string& tool, const std::string& volume_path,
                                const std::string& host_path) {
  std::vector<std::string> argv{tool, "-i", path_};
  // -D o: a clash overwrites instead of asking on the terminal.
  if (!host_path.empty()) {
    argv.insert(argv.begin() + 1, {"-D", "o"});
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
  uint8_t field[2] = {};
  image.seekg(48);  // the FSInfo sector's number, in the boot sector
  image.read(reinterpret_cast<char*>(field), 2);
  const uint8_t hint[4] = {static_cast<uint8_t>(cluster), static_cast<uint8_t>(cluster >> 8),
                           static_cast<uint8_t>(cluster >> 16), static_cast<uint8_t>(cluster >> 24)};
  image.seekp(static_cast<std::streamoff>(field[0] | (field[1] << 8)) * 512 + 492);
  image.write(reinterpret_cast<const char*>(hint), 4);
  if (!image) throw std::runtime_error("cannot set the free-cluster hint of " + path_);
  return *this;
}

namespace {

// FNV-1a over 64-bit words and the length; throws when the file cannot be read.
uint64_t FileChecksum(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  uint64_t hash = 0xcbf29ce484222325ull, length = 0;
  std::vector<char> buffer(1 << 20);
  while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
    const size_t got = static_cast<size_t>(in.gcount());
    std::fill(buffer.begin() + static_cast<ptrdiff_t>(got),
              buffer.begin() + static_cast<ptrdiff_t>((got + 7) / 8 * 8), 0);
    for (size_t i = 0; i < got; i += 8) {
      uint64_t word;
      std::memcpy(&word, buffer.data() + i, 8);
      hash = (hash ^ word) * 0x100000001b3ull;
      hash ^= hash >> 29;
    }
    length += got;
  }
  if (in.bad()) throw std::runtime_error("error reading " + path);
  return (hash ^ length) * 0x100000001b3ull;
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
