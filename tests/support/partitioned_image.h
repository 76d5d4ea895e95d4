#pragma once
// Disk images with a real partition table, written by sfdisk as onto a card:
// an MBR (primary, extended and logical partitions) or a GPT. Volumes are
// made inside their partitions with MtoolsVolume's partition constructor.
#include <cstdint>
#include <string>
#include <vector>

#include "support/mtools_volume.h"

namespace quorvane::testing {

// The partition type GUIDs of GPT tables made here.
inline constexpr const char* kBasicDataGuid = "EBD0A0A2-B9E5-4433-87C0-68B6B72699C7";
inline constexpr const char* kLinuxDataGuid = "0FC63DAF-8483-4772-8E79-3D69D8477DE4";

// A loop device over an image (root only), detached when the object goes,
// which waits until the kernel has let it go: after that every write made
// through it is in the image. device() is empty when none could be attached.
class LoopDevice {
 public:
  struct Options {
    uint32_t sector_bytes = 512;
    bool read_only = false;
    bool partitions = false;  // /dev/loopNpM for each partition of its table
  };
  LoopDevice(const std::string& image, const Options& options);
  ~LoopDevice();
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;
  const std::string& device() const { return device_; }
  std::string Partition(uint32_t number) const { return device_ + "p" + std::to_string(number); }

 private:
  std::string image_;
  std::string device_;
};

class PartitionedImage {
 public:
  // One partition as sfdisk lists it, in 512-byte sectors.
  struct Partition {
    uint32_t number = 0;  // as Linux numbers it: IMAGE5 is 5
    uint64_t start = 0;
    uint64_t sectors = 0;
    std::string type;     // sfdisk's: "c" for an MBR type byte, a GUID for GPT
    uint64_t offset() const { return start * 512; }
    uint64_t bytes() const { return sectors * 512; }
  };

  // A new image of `mib` MiB at `path` with the table `sfdisk_script`
  // ("label: dos\nsize=34MiB, type=c\n...", sfdisk's input format).
  PartitionedImage(std::string path, uint32_t mib, const std::string& sfdisk_script);

  const std::string& path() const { return path_; }
  // In table order, from sfdisk --dump; the extended partition included.
  const std::vector<Partition>& partitions() const { return partitions_; }
  const Partition& At(uint32_t number) const;

  // A FAT volume filling partition `number` (see MtoolsVolume).
  MtoolsVolume Format(uint32_t number, int fat_bits, int sectors_per_cluster, const std::string& label) const;
  // Partition `number`'s bytes in a file of their own, as dd copies them.
  void Extract(uint32_t number, const std::string& out) const;

 private:
  std::string path_;
  std::vector<Partition> partitions_;
};

}  // namespace quorvane::testing
