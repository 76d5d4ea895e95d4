#pragma once
// Real FAT32 volumes made with mkfs.fat and changed with mtools: real long
// names, real deletions. Every failing tool throws with its output.
#include <cstdint>
#include <span>
#include <string>

#include "support/run_command.h"

namespace quorvane::testing {

class MtoolsVolume {
 public:
  // Creates a new image at `image_path`: FAT32, 512-byte clusters, `mib`
  // MiB (33 MiB holds just over 65,536 clusters, 70 MiB over 131,072).
  explicit MtoolsVolume(std::string image_path, uint32_t mib = 33) : MtoolsVolume(image_path, mib, 32) {}
  // The same of FAT12 or FAT16 (`fat_bits` 12 or 16; 32 as above); 512-byte
  // clusters still. FAT12 holds fewer than 4,085 of them: 2 MiB at most.
  MtoolsVolume(std::string image_path, uint32_t mib, int fat_bits);
  // Makes a FAT12, FAT16 or FAT32 volume (`fat_bits`) of `sectors` 512-byte
  // sectors inside the image at `image_path` from sector `first_sector` (a
  // partition of a disk image), with `sectors_per_cluster` and `label`
  // (none when empty). FAT32 needs 65,525 clusters, FAT16 4,085.
  MtoolsVolume(std::string image_path, uint64_t first_sector, uint64_t sectors, int fat_bits,
               int sectors_per_cluster, const std::string& label);

  // The image file; the volume begins offset() bytes into it.
  const std::string& path() const { return path_; }
  uint64_t offset() const { return offset_; }

  // Paths on the volume are mtools paths without the "::" prefix, with '/'
  // separators: "/DOCS/Report for 2024.txt".
  MtoolsVolume& MakeDirectory(const std::string& volume_path);
  MtoolsVolume& AddFile(const std::string& volume_path, std::span<const uint8_t> bytes);
  MtoolsVolume& AddFile(const std::string& volume_path, const std::string& text);
  // A file whose entry records `modified` (seconds since 1970, kept in the
  // entry as local time by the host's zone, to 2 seconds).
  MtoolsVolume& AddDatedFile(const std::string& volume_path, std::span<const uint8_t> bytes,
                             int64_t modified);
  // Deletes as the old systems did: 0xE5 first byte, cluster words and size
  // kept, the chain freed in both FATs.
  MtoolsVolume& Delete(const std::string& volume_path);
  MtoolsVolume& DeleteTree(const std::string& volume_path);
  // Sets the FSInfo sector's next-free hint, which mtools takes for the last
  // cluster it allocated: the next directory or file made takes the first
  // free cluster after `cluster`, as a system reuses clusters freed by a
  // deletion.
  MtoolsVolume& SetNextFreeCluster(uint32_t cluster);
  // Makes room for `entries` more short entries in a directory (creating and
  // deleting empty files, whose slots mtools reuses), so that the entries
  // made later take no cluster a test places a file at.
  MtoolsVolume& ReserveEntries(const std::string& directory, int entries);
  // The first cluster of a live file, as mshowfat lists its chain.
  uint32_t FirstCluster(const std::string& volume_path);

 private:
  MtoolsVolume& Run(const std::string& tool, const std::string& volume_path,
                    const std::string& host_path = "");
  // The image as mtools names it: "IMAGE@@OFFSET" for a volume inside one.
  std::string Target() const;
  std::string path_;
  uint64_t offset_ = 0;
};

// Records a hash of an image when built and, when destroyed, adds a test
// failure if the image's bytes changed or it is gone.
class UnchangedGuard {
 public:
  explicit UnchangedGuard(std::string path);
  ~UnchangedGuard();
  UnchangedGuard(const UnchangedGuard&) = delete;
  UnchangedGuard& operator=(const UnchangedGuard&) = delete;

 private:
  std::string path_;
  uint64_t checksum_;
};

}  // namespace quorvane::testing
