#pragma once
// The drive table: which image or device stands in for each drive letter.
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "volume/block_device.h"
#include "volume/path_text.h"

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

  // Why the drive's volume could not be opened the last time it was tried
  // ("a FIFO, not an image file or block device"), or empty when that open
  // succeeded or none was tried. Front ends add it to "CreateFile () Failed !".
  std::string OpenFailure(int32_t drive) const;

 private:
  void NoteOpenResult(int32_t drive, const std::string& why);

  std::map<int32_t, std::string> paths_;
  mutable std::mutex failures_mutex_;  // workers open drives at the same time
  std::map<int32_t, std::string> failures_;
};

}  // namespace quorvane
