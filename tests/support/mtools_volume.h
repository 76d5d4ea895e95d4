#pragma once
// Real FAT32 volumes made with mkfs.fat and changed with mtools: real long
// names, real deletions. Every failing tool throws with its output.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "support/run_command.h"

namespace quorvane::testing {

struct MtoolsOptions {
  uint32_t sectors_per_cluster = 1;
  // Image size; 0 picks the smallest size that mtools still reads as FAT32
  // (at least 65525 clusters): 33 MiB for 512-byte clusters, 257 MiB for 4 KiB.
  uint32_t size_mib = 0;
};

class MtoolsVolume {
 public:
  // Creates a new image at `image_path` with mkfs.fat -F 32 -C.
  explicit MtoolsVolume(std::string image_path, const MtoolsOptions& options = {});

  const std::string& path() const { return path_; }

  // Paths on the volume are mtools paths without the "::" prefix, with '/'
  // separators: "/DOCS/Report for 2024.txt".
  MtoolsVolume& MakeDirectory(const std::string& volume_path);
  // Writes `bytes` as the file `volume_path` (long names allowed).
  MtoolsVolume& AddFile(const std::string& volume_path, std::span<const uint8_t> bytes);
  MtoolsVolume& AddFile(const std::string& volume_path, const std::string& text);
  // Deletes as the old systems did: 0xE5 first byte, cluster words and size
  // kept, the chain freed in both FATs.
  MtoolsVolume& Delete(const std::string& volume_path);
  MtoolsVolume& DeleteTree(const std::string& volume_path);
  // The bytes of a live file, copied out with mcopy.
  std::vector<uint8_t> ReadFile(const std::string& volume_path) const;
  // mdir -a listing of a directory (for failure messages).
  std::string List(const std::string& volume_path = "/") const;

  // Hash of the whole image file.
  uint64_t Checksum() const;

 private:
  std::string Target(const std::string& volume_path) const;  // "::" + path
  std::string path_;
};

// 64-bit FNV-1a over the file's bytes; throws when the file cannot be read.
uint64_t FileChecksum(const std::string& path);

// Records the checksum of an image when built and, when destroyed, adds a
// test failure if the image's bytes changed:
//   UnchangedGuard guard(image_path);  ... read the volume ...
class UnchangedGuard {
 public:
  explicit UnchangedGuard(std::string path);
  ~UnchangedGuard();
  UnchangedGuard(const UnchangedGuard&) = delete;
  UnchangedGuard& operator=(const UnchangedGuard&) = delete;
  // Checks now (also done on destruction); true when unchanged.
  bool Unchanged() const;

 private:
  std::string path_;
  uint64_t checksum_;
};

}  // namespace quorvane::testing
