#pragma once
// Real exFAT volumes: made with mkfs.exfat (exfatprogs) and changed through
// exfat-fuse on a loop device, so that entry sets, deletions, FAT chains and
// the allocation bitmap are what a real driver writes. Needs root, loop
// devices and FUSE; every failing tool throws with its output.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include <optional>

#include "volume/format/exfat_entry_set.h"
#include "volume/format/exfat_upcase_table.h"
#include "volume/format/fat_params.h"

namespace quorvane::testing {

// Why exFAT volumes cannot be made and mounted here; empty when they can.
std::string ExFatVolumesUnavailable();

class ExFatVolume {
 public:
  struct Options {
    uint32_t mib = 32;
    uint32_t cluster_bytes = 4096;
    // 512 or 4096: the volume's own sector size, which mkfs.exfat takes from
    // the loop device it formats.
    uint32_t sector_bytes = 512;
    std::string label;
  };
  // Creates a new image at `image_path`.
  ExFatVolume(std::string image_path, const Options& options);

  const std::string& path() const { return path_; }

  // Mounts the volume, lets `change` work on files under the root it is
  // given, then unmounts and waits until the loop device is gone, so that
  // every write has reached the image.
  ExFatVolume& Change(const std::function<void(const std::filesystem::path& root)>& change);

 private:
  std::string path_;
  uint32_t sector_bytes_;
};

// Appends `bytes` to `path` and closes it, so that exfat-fuse allocates the
// clusters at once: appending to two files in turn interleaves their
// clusters (two FAT chains).
void AppendToFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// The first cluster of an image's live or deleted file as The Sleuth Kit
// reads the volume: `fls -r -p` and `istat`.
struct SleuthKitFile {
  std::string path;  // "Café/日記.txt"
  uint64_t inode = 0;
  bool deleted = false;
  bool directory = false;
  uint64_t size = 0;
  std::vector<uint64_t> sectors;  // istat's sectors, in the volume's own sector size
  std::string written;            // istat's "Written:" time, "2024-05-01 10:00:00 (UTC)"
  std::string created;
};
// Every file and directory fls lists, with what istat tells of it; the
// volume's own files ($ALLOC_BITMAP and the like) are left out.
std::vector<SleuthKitFile> SleuthKitFiles(const std::string& image);

// What this system reads of an exFAT image: every entry set of every
// directory, live and deleted, walked through WalkDirectory from the root
// (a deleted directory by its first cluster only, unless it was written
// without a FAT chain), through a view over the image file.
struct ExFatListed {
  std::string path;            // UTF-8 names joined by '/'
  ExFatFileSet set;
  uint32_t cluster = 0;        // the directory cluster holding its File entry
  bool crossesCluster = false; // its entries run on into the directory's next cluster
  std::vector<uint8_t> raw;    // the set's entries as stored
};
struct ExFatListing {
  FatParams params;
  ExFatRootRecords root;
  std::vector<ExFatListed> files;
  std::vector<ExFatDamagedSet> damaged;
  std::optional<ExFatUpcaseTable> upcase;  // the volume's own, if it reads
  const ExFatListed* Find(const std::string& path) const;
};
// Throws when the image holds no exFAT volume or cannot be read.
ExFatListing ListExFatVolume(const std::string& image);

}  // namespace quorvane::testing
