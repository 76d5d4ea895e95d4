#pragma once
// The drive table: which image or device stands in for each drive letter.
#include <map>
#include <string>
#include <vector>

#include "volume/block_device.h"

namespace quorvane {

class DriveTable final : public DriveSource {
 public:
  // Maps `letter` (A to Z, either case) to `path`. False for a bad letter.
  bool Map(char letter, const std::string& path);
  // Maps `path` to the first free letter from C: on. False when none is free.
  bool MapNext(const std::string& path);

  // Maps every argument of `args`: "--drive L:=PATH", "--drive=L:=PATH", or a
  // bare PATH, which takes the next free letter. On anything else returns
  // false with a message in `error`.
  bool ParseArguments(const std::vector<std::string>& args, std::string& error);

  // Adds the FAT32 partitions found on this machine, C: onwards in device order.
  void Discover();

  bool empty() const { return paths_.empty(); }
  // The path mapped to drive number `drive` (3 = C:), or empty.
  std::string PathOf(int32_t drive) const;
  const std::map<int32_t, std::string>& entries() const { return paths_; }
  // One line per drive: "C: PATH".
  std::string Describe() const;

  std::unique_ptr<BlockDevice> OpenDrive(int32_t drive) override;
  bool VolumeHoldsDirectory(int32_t drive, const std::string& directory) override;

 private:
  std::map<int32_t, std::string> paths_;
};

// Drive number of a letter: its upper-case character code minus 64.
inline int32_t DriveNumber(char letter) {
  const unsigned char c = static_cast<unsigned char>(letter);
  return (c >= 'a' && c <= 'z' ? c - 32 : c) - 64;
}

}  // namespace quorvane
