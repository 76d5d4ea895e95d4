#include "support/mtools_volume.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace quorvane::testing {

namespace {

// mtools reads a volume as FAT32 only from 65525 clusters on; below that it
// takes the same boot sector for FAT16 and finds no root directory.
uint32_t SmallestFat32Mib(uint32_t sectors_per_cluster) {
  const uint64_t data_bytes = uint64_t{65525 + 64} * sectors_per_cluster * 512;
  const uint64_t fat_bytes = 2 * uint64_t{65525 + 64} * 4;
  return static_cast<uint32_t>((data_bytes + fat_bytes + 64 * 512) / (1 << 20)) + 1;
}

}  // namespace

MtoolsVolume::MtoolsVolume(std::string image_path, const MtoolsOptions& options)
    : path_(std::move(image_path)) {
  const uint32_t mib =
      options.size_mib ? options.size_mib : SmallestFat32Mib(options.sectors_per_cluster);
  std::remove(path_.c_str());
  RunCommandOrThrow({"mkfs.fat", "-F", "32", "-s", std::to_string(options.sectors_per_cluster),
                     "-C", path_, std::to_string(uint64_t{mib} * 1024)});
}

std::string MtoolsVolume::Target(const std::string& volume_path) const {
  return "::" + (volume_path.starts_with('/') ? volume_path : "/" + volume_path);
}

MtoolsVolume& MtoolsVolume::MakeDirectory(const std::string& volume_path) {
  RunCommandOrThrow({"mmd", "-i", path_, Target(volume_path)});
  return *this;
}

MtoolsVolume& MtoolsVolume::AddFile(const std::string& volume_path, std::span<const uint8_t> bytes) {
  TempDir scratch;
  const std::string host = scratch.File("content");
  WriteFileBytes(host, bytes);
  // -D o: a clash overwrites instead of asking on the terminal.
  RunCommandOrThrow({"mcopy", "-D", "o", "-i", path_, host, Target(volume_path)});
  return *this;
}

MtoolsVolume& MtoolsVolume::AddFile(const std::string& volume_path, const std::string& text) {
  return AddFile(volume_path, std::span<const uint8_t>(
                                  reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

MtoolsVolume& MtoolsVolume::Delete(const std::string& volume_path) {
  RunCommandOrThrow({"mdel", "-i", path_, Target(volume_path)});
  return *this;
}

MtoolsVolume& MtoolsVolume::DeleteTree(const std::string& volume_path) {
  RunCommandOrThrow({"mdeltree", "-i", path_, Target(volume_path)});
  return *this;
}

std::vector<uint8_t> MtoolsVolume::ReadFile(const std::string& volume_path) const {
  TempDir scratch;
  const std::string host = scratch.File("content");
  RunCommandOrThrow({"mcopy", "-n", "-i", path_, Target(volume_path), host});
  return ReadFileBytes(host);
}

std::string MtoolsVolume::List(const std::string& volume_path) const {
  return RunCommandOrThrow({"mdir", "-a", "-i", path_, Target(volume_path)});
}

uint64_t MtoolsVolume::Checksum() const { return FileChecksum(path_); }

uint64_t FileChecksum(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  // FNV-1a over 64-bit words, a fast hash for images of tens of MiB; the
  // length enters too, so a trailing run of zeros still counts.
  uint64_t hash = 0xcbf29ce484222325ull;
  uint64_t length = 0;
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

UnchangedGuard::UnchangedGuard(std::string path)
    : path_(std::move(path)), checksum_(FileChecksum(path_)) {}

UnchangedGuard::~UnchangedGuard() {
  EXPECT_TRUE(Unchanged()) << "the volume " << path_ << " was changed or removed";
}

bool UnchangedGuard::Unchanged() const {
  try {
    return FileChecksum(path_) == checksum_;
  } catch (const std::runtime_error&) {
    return false;  // gone or unreadable: not the volume the test began with
  }
}

}  // namespace quorvane::testing
