#pragma once
// Live directories of a FAT32 volume, read below the file system: whether a
// drive path such as C:\My Documents names one, its short (8.3) form, and
// the subdirectories of a directory with their long names. This is how the
// wizard checks and shortens a directory on a volume that is not mounted.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "volume/format/directory_chain.h"
#include "volume/host/block_device.h"
#include "volume/path_text.h"

namespace quorvane {


// A live subdirectory as a folder chooser shows it.
struct DirectoryName {
  std::string shortName;    // stored 8.3 name as a component: "MYDOCU~1", "OLD.D"
  // Its name as the platform shows it: the long name, or the short name in
  // lower case where the entry's case bits ask for it; empty otherwise.
  std::u16string longName;
  uint32_t firstCluster = 0;
  // Where its entries lie (exFAT may keep a directory without a FAT chain).
  DirectoryExtent extent;
};

class DirectoryLookup {
 public:
  // `drives` must outlive the lookup. Every call is one operation with its
  // own read of the boot sector; nothing is kept between calls. The lookup
  // shows no message boxes: a volume that cannot be read simply holds no
  // directory.
  explicit DirectoryLookup(DriveSource& drives) : drives_(drives) {}

  // The short form of the drive path `path` when every component names a
  // live directory, by its 8.3 name or its long name without regard to case:
  // "C:" and the stored names, "C:\MYDOCU~1"; the root alone gives "C:".
  std::optional<std::string> ShortPath(std::u16string_view path);

  // The live subdirectories of the directory that `path` (a drive path, as
  // ShortPath takes it) names, in entry order; none when it names none.
  std::optional<std::vector<DirectoryName>> Subdirectories(std::u16string_view path);

  // Drive numbers 1 to 26 whose volume opens and reads as FAT32.
  std::vector<int32_t> Fat32Drives();

 private:
  DriveSource& drives_;
};

}  // namespace quorvane
